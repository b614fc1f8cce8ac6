#include "capture/RecordTime.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/TimeText.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"

namespace qv {
namespace {

TEST(RecordTime, CharacterTime) {
    AsyncCharTiming t;
    t.sdBaud = t.rdBaud = 9600;
    EXPECT_EQ(t.CharTicks(true), 98958u);  // (10 - 0.5) / 9600 s, truncated
    t.parity = 2;
    t.stopBit = 20;
    EXPECT_EQ(t.CharTicks(false), static_cast<uint64_t>(11.5 / 9600 * 1e8));
    // Without baud rates the clock frequency and the direction's divisor give the rate.
    AsyncCharTiming clk;
    clk.sdBaud = clk.rdBaud = 0;
    clk.frequency = 1'000'000;
    clk.sdClockRate = 1;
    clk.rdClockRate = 3;
    EXPECT_EQ(clk.CharTicks(true), static_cast<uint64_t>(9.5 / (1e6 / 16) * 1e8));
    EXPECT_EQ(clk.CharTicks(false), static_cast<uint64_t>(9.5 / (1e6 / 64) * 1e8));
    clk.frequency = 0;  // no rate at all: no character time, no division by zero
    EXPECT_EQ(clk.CharTicks(true), 0u);
}

TEST(RecordTime, MidnightMovesTheDate) {
    const int64_t day = static_cast<int64_t>(kTicksPerDay);
    auto at = [](int date, int64_t t) {
        auto d = NormaliseDayTime(date, t);
        return d ? FormatRecordTimeText(d->date, d->ticks) : std::string("fail");
    };
    EXPECT_EQ(
        at(91205, 13 * 360'000'000'000LL + 45 * 6'000'000'000LL + 12 * 100'000'000LL + 12'345'678),
        "09/12/05 13:45:12 123m456u780n");
    EXPECT_EQ(at(91205, day), "09/12/05 24:00:00 000m000u000n");
    EXPECT_EQ(at(91205, day + 1), "09/12/06 00:00:00 000m000u010n");
    EXPECT_EQ(at(240301, -1), "24/02/29 23:59:59 999m999u990n");  // leap day
    EXPECT_EQ(at(241231, day + 5), "25/01/01 00:00:00 000m000u050n");
    EXPECT_EQ(at(240100, -1), "fail");  // not a calendar date
}

TEST(RecordTime, AsyncStartTimeCrossesMidnightAndBadDatesAreLogged) {
    test::AppHome home;
    SettingsStore store;
    Log log;
    std::string folder = home.file("20241106000000");
    std::filesystem::create_directories(folder);
    test::CaptureBuilder b(folder, kProtocolAsync);
    b.settings().SD_Baudrate = b.settings().RD_Baudrate = 9600;
    b.StartChunk("241106", 0);
    b.Add(RecordKind::kSdData, 0x41, 500);  // stamped 5 us after midnight
    b.Add(RecordKind::kLineChange, 0x80, 600);
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(b.Finish()), 0);
    std::string text;
    uint64_t ticks;
    ASSERT_EQ(f.GetStartTime(text, ticks), 0);
    EXPECT_EQ(text, "24/11/05 23:59:59 999m015u420n");  // 500 - 98958 ticks
    ASSERT_EQ(f.GetEndTime(text, ticks), 0);
    EXPECT_EQ(text, "24/11/06 00:00:00 000m005u000n");
    ASSERT_EQ(f.GetEndTimeShifted(kTicksPerDay, text), 0);
    EXPECT_EQ(text, "24/11/07 00:00:00 000m005u000n");
    f.NextRecord();
    ASSERT_EQ(f.GetStartTime(text, ticks), 0);  // line changes have no character time
    EXPECT_EQ(ticks, 600u);
}

}  // namespace
}  // namespace qv
