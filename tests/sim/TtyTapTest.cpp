// The tty tap's pieces without ports: the driver's error marks undone, and
// the times and order of what two lines receive.
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <vector>

#include "capture/CaptureRecord.h"
#include "sim/TapTimeline.h"
#include "sim/TtyMarks.h"
#include "sim/TtySource.h"

namespace qv::sim {
namespace {

TEST(MarkReader, UndoesTheDriversMarksWhereverAReadEnds) {
    // A, a received FF, B, C with an error, a break, D.
    const std::vector<uint8_t> stream = {0x41, 0xFF, 0xFF, 0x42, 0xFF, 0x00,
                                         0x43, 0xFF, 0x00, 0x00, 0x44};
    const std::vector<std::pair<uint8_t, TapCharKind>> want = {
        {0x41, TapCharKind::kData},   {0xFF, TapCharKind::kData},  {0x42, TapCharKind::kData},
        {0x43, TapCharKind::kMarked}, {0x00, TapCharKind::kBreak}, {0x44, TapCharKind::kData}};
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        for (size_t cut2 = cut; cut2 <= stream.size(); ++cut2) {
            MarkReader r;
            std::vector<TapChar> out;
            r.Feed(stream.data(), cut, out);
            r.Feed(stream.data() + cut, cut2 - cut, out);
            r.Feed(stream.data() + cut2, stream.size() - cut2, out);
            ASSERT_EQ(out.size(), want.size()) << cut << " " << cut2;
            for (size_t i = 0; i < want.size(); ++i) {
                EXPECT_EQ(out[i].value, want[i].first) << cut << " " << cut2 << " " << i;
                EXPECT_EQ(out[i].kind, want[i].second) << cut << " " << cut2 << " " << i;
            }
        }
    }
}

std::vector<TapInput> Chars(const std::string& text) {
    std::vector<TapInput> v;
    for (char c : text)
        v.push_back({static_cast<uint8_t>(c), 0, false});
    return v;
}

std::string Text(const std::deque<LineEvent>& events, RecordKind kind) {
    std::string s;
    for (const auto& e : events)
        if (e.kind == LineEventKind::kData && HeaderKind(e.header) == kind)
            s += static_cast<char>(e.value);
    return s;
}

constexpr uint64_t kChar = 8680;  // 115 200 bit/s, 10 bits: 86.8 us

TEST(TapTimeline, AReadsCharactersEndAtTheReadOneCharacterTimeApart) {
    TapTimeline t({kChar, kChar}, 1000);
    std::deque<LineEvent> out;
    t.Read(TapTimeline::kSd, Chars("ABC"), 1'000'000);
    t.Read(TapTimeline::kRd, {}, 1'000'100);
    t.Release(out);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].time, 1'000'000 - 2 * kChar);
    EXPECT_EQ(out[1].time, 1'000'000 - kChar);
    EXPECT_EQ(out[2].time, 1'000'000u);
    // Read late, the next characters cannot overlap these nor go before the
    // moment the line was found empty.
    t.Read(TapTimeline::kSd, Chars("DEFG"), 1'000'000 + kChar);
    t.Read(TapTimeline::kRd, {}, 1'100'000);
    t.Release(out);
    ASSERT_EQ(out.size(), 7u);
    EXPECT_EQ(out[3].time, 1'000'000 + kChar);
    EXPECT_EQ(out[6].time, 1'000'000 + 4 * kChar);
}

TEST(TapTimeline, FramesKeptApartByTheLineStayApartAndInOrderUnderADelay) {
    // A request of 8 characters ends at 10 ms, its response of 9 starts a
    // gap later and each is read `delay` after its end, the response's bytes
    // all at once. Every delay shorter than the gap keeps them apart.
    const uint64_t requestEnd = 1'000'000;
    for (uint64_t gap : {uint64_t{3 * kChar + kChar / 2}, uint64_t{100'000}, uint64_t{500'000}}) {
        for (uint64_t delay : {0ull, 1000ull, 30'000ull, 99'000ull, 499'000ull}) {
            if (delay >= gap) continue;
            const uint64_t responseEnd = requestEnd + gap + 9 * kChar;
            TapTimeline t({kChar, kChar}, 0);
            std::deque<LineEvent> out;
            const uint64_t sdRead = requestEnd + delay;
            const uint64_t rdRead = responseEnd + delay;
            t.Read(TapTimeline::kSd, Chars("REQUEST!"), sdRead);
            t.Read(TapTimeline::kRd, {}, sdRead + 10);
            t.Release(out);
            t.Read(TapTimeline::kRd, Chars("RESPONSE!"), rdRead);
            t.Read(TapTimeline::kSd, {}, rdRead + 10);
            t.Release(out);
            EXPECT_FALSE(t.Holding());
            ASSERT_EQ(out.size(), 17u);
            std::string order;
            for (size_t i = 0; i < out.size(); ++i) {
                order += HeaderKind(out[i].header) == RecordKind::kSdData ? 'S' : 'R';
                if (i > 0) {
                    EXPECT_GE(out[i].time, out[i - 1].time) << gap << " " << delay << " " << i;
                }
            }
            EXPECT_EQ(order, "SSSSSSSSRRRRRRRRR") << gap << " " << delay;
            EXPECT_GT(out[8].time, out[7].time) << gap << " " << delay;
        }
    }
}

TEST(TapTimeline, EventsWaitUntilTheOtherLineHasBeenReadPastThem) {
    TapTimeline t({kChar, kChar}, 0);
    std::deque<LineEvent> out;
    t.Read(TapTimeline::kSd, {}, 500'000);
    t.Read(TapTimeline::kRd, Chars("OK"), 600'000);
    t.Release(out);
    EXPECT_TRUE(out.empty());  // SD might still bring something from before 600 000
    EXPECT_TRUE(t.Holding());
    // SD's late read brings a character that came before RD's; SD's next
    // one cannot end before another character time has passed.
    t.Read(TapTimeline::kSd, Chars("X"), 590'000);
    t.Release(out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(Text(out, RecordKind::kSdData), "X");
    EXPECT_EQ(Text(out, RecordKind::kRdData), "O");
    EXPECT_TRUE(t.Holding());
    t.Read(TapTimeline::kSd, {}, 600'100);
    t.Release(out);
    EXPECT_EQ(Text(out, RecordKind::kRdData), "OK");
    EXPECT_FALSE(t.Holding());
}

TEST(TapTimeline, BreakBeginsWhereReportedAndEndsBeforeTheLinesNextCharacter) {
    TapTimeline t({kChar, kChar}, 0);
    std::deque<LineEvent> out;
    TapInput brk;
    brk.brk = true;
    TapInput bad{0x55, kFlagParityError, false};
    t.Read(TapTimeline::kRd, std::vector<TapInput>{brk}, 100'000);
    t.Read(TapTimeline::kSd, {}, 100'001);
    t.Read(TapTimeline::kRd, std::vector<TapInput>{bad}, 900'000);
    t.Read(TapTimeline::kSd, {}, 900'001);
    t.Release(out);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].kind, LineEventKind::kEvent);
    EXPECT_EQ(out[0].value, kEventRdBreak);
    EXPECT_EQ(out[0].time, 100'000u);
    EXPECT_EQ(out[1].kind, LineEventKind::kEvent);
    EXPECT_EQ(out[1].value, 0);
    EXPECT_EQ(out[1].time, 900'000 - kChar);
    EXPECT_EQ(out[2].header, MakeHeader(RecordKind::kRdData, kFlagParityError));
    EXPECT_EQ(out[2].time, 900'000u);
}

TEST(TtySource, RefusesWhatNoSerialPortReceives) {
    LineFormat ok;
    EXPECT_EQ(TtyFormatRefusal(ok), "");
    struct Case {
        void (*change)(LineFormat&);
        const char* says;
    };
    const Case cases[] = {
        {[](LineFormat& f) { f.protocol = kProtocolHdlc; }, "ASYNC"},
        {[](LineFormat& f) { f.protocol = kProtocolLogic; }, "ASYNC"},
        {[](LineFormat& f) { f.stopBit = 0; }, "without a stop bit"},
        {[](LineFormat& f) { f.rdInverted = true; }, "inverted RD"},
    };
    for (const Case& c : cases) {
        LineFormat f;
        c.change(f);
        EXPECT_NE(TtyFormatRefusal(f).find(c.says), std::string::npos) << c.says;
        TtySource source(f, {});
        std::string error;
        EXPECT_FALSE(source.Open("/dev/null", "/dev/null", error));
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
    // A port that does not open, and a file that is no port, are named.
    TtySource source(ok, {});
    std::string error;
    EXPECT_FALSE(source.Open("/nonexistent/sd", "/dev/null", error));
    EXPECT_EQ(error, "/nonexistent/sd: No such file or directory");
    TtySource file(ok, {});
    EXPECT_FALSE(file.Open("/dev/null", "/dev/null", error));
    EXPECT_EQ(error, "/dev/null: not a serial port");
}

TEST(TtySource, ReceivedFfComesOnceThroughTheDriversErrorMarking) {
    int master[2], slave[2];
    char name[2][64];
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(openpty(&master[i], &slave[i], name[i], nullptr, nullptr), 0);
    {
        TtySource source(LineFormat{}, {});
        std::string error;
        ASSERT_TRUE(source.Open(name[0], name[1], error)) << error;
        const uint8_t bytes[] = {0x41, 0xFF, 0x00, 0xFF, 0x42};
        ASSERT_EQ(::write(master[0], bytes, sizeof bytes), static_cast<ssize_t>(sizeof bytes));
        std::atomic<bool> stop{false};
        std::vector<uint8_t> got;
        LineEvent ev;
        while (got.size() < sizeof bytes && source.Next(ev, stop)) {
            ASSERT_EQ(ev.kind, LineEventKind::kData);
            EXPECT_EQ(ev.header, MakeHeader(RecordKind::kSdData));
            got.push_back(ev.value);
        }
        EXPECT_EQ(got, std::vector<uint8_t>(bytes, bytes + sizeof bytes));
    }
    for (int i = 0; i < 2; ++i) {
        ::close(master[i]);
        ::close(slave[i]);
    }
}

}  // namespace
}  // namespace qv::sim
