// The statistics of a hand-built capture against values worked out by hand,
// and the distribution's quantiles exact and folded.
#include "export/LineStats.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "export/LineClock.h"
#include "export/RecordWalk.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"

namespace qv {
namespace {

TEST(Distribution, QuantilesAreNearestRanksOfTheValues) {
    Distribution d;
    EXPECT_EQ(d.Quantile(0.5), 0);
    for (int v : {40, 10, 30, 20})
        d.Add(v);
    EXPECT_EQ(d.Count(), 4u);
    EXPECT_EQ(d.Min(), 10);
    EXPECT_EQ(d.Max(), 40);
    EXPECT_DOUBLE_EQ(d.Mean(), 25);
    EXPECT_EQ(d.Quantile(0.5), 20);  // rank 2 of 4
    EXPECT_EQ(d.Quantile(0.99), 40);
    EXPECT_EQ(d.Quantile(0.0), 10);
    EXPECT_TRUE(d.Exact());
}

TEST(Distribution, ManyValuesFoldIntoBucketsWithinAQuarterPercent) {
    Distribution d;
    std::vector<int64_t> all;
    std::mt19937_64 rng(5);
    for (size_t i = 0; i < Distribution::kExactLimit * 3; ++i) {
        const int64_t v = static_cast<int64_t>(rng() % 10'000'000);
        d.Add(v);
        all.push_back(v);
    }
    EXPECT_FALSE(d.Exact());
    std::sort(all.begin(), all.end());
    for (double q : {0.01, 0.5, 0.99}) {
        const int64_t exact = all[static_cast<size_t>(std::ceil(q * all.size())) - 1];
        EXPECT_NEAR(static_cast<double>(d.Quantile(q)), static_cast<double>(exact),
                    static_cast<double>(exact) / 256 + 1)
            << q;
    }
    EXPECT_EQ(d.Min(), all.front());
    EXPECT_EQ(d.Max(), all.back());
}

// SD asks, RD answers with a parity error in its last character, SD asks
// again, a break, SD once more; RS goes on and off. 10 000 bit/s 8N1: a
// character is 100 000 ticks, its stop bit ends 5 000 ticks after its stamp.
TEST(LineStats, AHandBuiltExchangeGivesTheValuesWorkedOutByHand) {
    test::AppHome home;
    const std::string folder = home.file("240501101500");
    std::filesystem::create_directories(folder);
    test::CaptureBuilder b(folder, kProtocolAsync);
    b.settings().SD_Baudrate = b.settings().RD_Baudrate = 10'000;
    b.StartChunk("240501", 0);
    b.Add(RecordKind::kSdData, 0x01, 1'000'000);
    b.Add(RecordKind::kSdData, 0x03, 1'100'000);
    b.Add(RecordKind::kLineChange, kLineRs, 1'200'000);
    b.Add(RecordKind::kRdData, 0x01, 1'700'000);
    b.Add(RecordKind::kRdData, 0x83, 1'800'000);
    b.Add(RecordKind::kRdData, 0x02, 1'900'000, kFlagParityError);
    b.Add(RecordKind::kSdData, 0x05, 3'000'000);
    b.Add(RecordKind::kEvent, kEventSdBreak, 3'500'000);
    b.Add(RecordKind::kEvent, 0, 3'600'000);
    b.Add(RecordKind::kSdData, 0x06, 4'000'000);
    b.Add(RecordKind::kLineChange, 0, 4'500'000);
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    ASSERT_EQ(file.Open(b.Finish()), 0);
    const int64_t ct = static_cast<int64_t>(file.GetCharTiming().CharTicks(true));

    LineStats stats(RecordProtocolOf(file.GetProtocol()), file.GetCharTiming(), MessageRule{});
    RecordWalk walk(file);
    walk.BeginAll();
    WalkRecord r;
    while (walk.Next(r) == RecordWalk::Step::kRecord)
        stats.Add(r);
    stats.Finish();

    EXPECT_EQ(stats.Records(), 11u);
    const int64_t day = LineTicks(DayIndexOf(240501), 0);
    EXPECT_EQ(stats.First(), day + 1'000'000 - ct);
    EXPECT_EQ(stats.Last(), day + 4'500'000);

    const DirectionStats& sd = stats.Direction(kDirSd);
    EXPECT_EQ(sd.bytes, 4u);
    EXPECT_EQ(sd.messages, 3u);  // 01 03 | 05 | 06
    EXPECT_EQ(sd.lengths.Min(), 1);
    EXPECT_EQ(sd.lengths.Quantile(0.5), 1);
    EXPECT_EQ(sd.lengths.Max(), 2);
    // 05 starts after RD's message ended at 1 905 000; 06 after 05 ended
    // at 3 005 000.
    ASSERT_EQ(sd.gaps.Count(), 2u);
    EXPECT_EQ(sd.gaps.Min(), 4'000'000 - ct - 3'005'000);
    EXPECT_EQ(sd.gaps.Max(), 3'000'000 - ct - 1'905'000);
    ASSERT_EQ(sd.turnaround.Count(), 1u);
    EXPECT_EQ(sd.turnaround.Quantile(0.5), 3'000'000 - ct - 1'905'000);
    EXPECT_EQ(sd.breaks, 1u);
    EXPECT_EQ(sd.parity, 0u);

    const DirectionStats& rd = stats.Direction(kDirRd);
    EXPECT_EQ(rd.bytes, 3u);
    EXPECT_EQ(rd.messages, 1u);
    EXPECT_EQ(rd.lengths.Quantile(0.99), 3);
    ASSERT_EQ(rd.turnaround.Count(), 1u);
    EXPECT_EQ(rd.turnaround.Max(), 1'700'000 - ct - 1'105'000);
    EXPECT_EQ(rd.parity, 1u);
    EXPECT_EQ(rd.framing, 0u);

    EXPECT_EQ(stats.LineChanges()[0], 2u);  // RS on, then off
    for (size_t i = 1; i < 8; ++i)
        EXPECT_EQ(stats.LineChanges()[i], 0u);
    const double seconds = static_cast<double>(4'500'000 - (1'000'000 - ct)) / 1e8;
    EXPECT_NEAR(stats.CharRate(kDirSd), 4 / seconds, 1e-9);
}

}  // namespace
}  // namespace qv
