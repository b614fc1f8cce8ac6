// Messages split at idle gaps, by direction, at breaks, at DNP3 frame ends and
// at the length limit; the walk that feeds them over captures with gaps.
#include "export/MessageSplitter.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "export/LineClock.h"
#include "export/RecordWalk.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"

namespace qv {
namespace {

// 10 000 bit/s, 8N1: a bit is 10 000 ticks, a character 100 000 ticks.
AsyncCharTiming Timing() {
    AsyncCharTiming t;
    t.sdBaud = t.rdBaud = 10'000;
    return t;
}

struct Collect : IMessageSink {
    std::vector<Message> got;
    void OnMessage(const Message& m) override { got.push_back(m); }
};

class Feed {
  public:
    explicit Feed(MessageRule rule = {}) : splitter(Protocol::kAsync, Timing(), rule, sink) {}
    // One character stamped at `stamp` (the stamp is its end less half a bit).
    void Char(int dir, uint8_t byte, int64_t stamp, uint8_t flags = 0) {
        WalkRecord r;
        r.kind = dir == kDirSd ? RecordKind::kSdData : RecordKind::kRdData;
        r.header = MakeHeader(r.kind, flags);
        r.value = byte;
        r.end = stamp;
        r.start = stamp - static_cast<int64_t>(Timing().CharTicks(dir == kDirSd));
        r.frame = frame++;
        bytes[0] = byte;
        r.data = std::span<const uint8_t>(bytes, 1);
        splitter.AddData(r);
    }
    // `n` characters back to back from `stamp`; returns the last stamp.
    int64_t Run(int dir, int n, int64_t stamp) {
        for (int i = 0; i < n; ++i)
            Char(dir, static_cast<uint8_t>(i), stamp + int64_t{i} * 100'000);
        return stamp + int64_t{n - 1} * 100'000;
    }
    Collect sink;
    MessageSplitter splitter;
    uint64_t frame = 0;
    uint8_t bytes[1] = {};
};

TEST(MessageSplitter, AnIdleLineOfThreeAndAHalfCharactersEndsAMessageAndLessDoesNot) {
    for (double idle : {3.4, 3.49, 3.5, 3.6}) {
        SCOPED_TRACE(idle);
        Feed f;
        const int64_t last = f.Run(kDirSd, 3, 1'000'000);
        // The next character starts `idle` characters after the last one ended.
        f.Run(kDirSd, 2, last + 100'000 + static_cast<int64_t>(idle * 100'000));
        f.splitter.Finish();
        const size_t expected = idle >= 3.5 ? 2 : 1;
        ASSERT_EQ(f.sink.got.size(), expected);
        EXPECT_EQ(f.sink.got[0].bytes.size(), expected == 2 ? 3u : 5u);
        if (expected == 2) {
            EXPECT_EQ(f.sink.got[1].gapBefore, static_cast<int64_t>(idle * 100'000) +
                                                   95'000 - static_cast<int64_t>(Timing().CharTicks(true)));
            EXPECT_EQ(f.sink.got[1].prevDir, kDirSd);
        }
    }
    // The rule's threshold in ticks: 3.5 characters of 10 bits at 10 000 bit/s.
    Feed f;
    EXPECT_EQ(f.splitter.Threshold(kDirSd), 350'000);
}

TEST(MessageSplitter, StartEndAndGapAreTheLineTimesOfTheCharacters) {
    Feed f;
    f.Run(kDirSd, 2, 1'000'000);
    f.Run(kDirRd, 1, 2'000'000);
    f.splitter.Finish();
    ASSERT_EQ(f.sink.got.size(), 2u);
    const int64_t ct = static_cast<int64_t>(Timing().CharTicks(true));
    const Message& a = f.sink.got[0];
    EXPECT_EQ(a.start, 1'000'000 - ct);
    EXPECT_EQ(a.end, 1'100'000 + 5'000);  // the stop bit ends half a bit after the stamp
    EXPECT_EQ(a.gapBefore, -1);
    EXPECT_EQ(a.firstFrame, 0u);
    EXPECT_EQ(a.lastFrame, 1u);
    const Message& b = f.sink.got[1];
    EXPECT_EQ(b.dir, kDirRd);
    EXPECT_EQ(b.gapBefore, 2'000'000 - ct - 1'105'000);
    EXPECT_EQ(b.number, 1u);
}

TEST(MessageSplitter, TheOtherDirectionABreakOrALaterRecordEndTheMessage) {
    Feed f;
    f.Char(kDirSd, 1, 1'000'000);
    f.Char(kDirRd, 2, 1'100'000);  // no gap, but the other side speaks
    f.splitter.Break(kDirSd);      // a break on SD leaves RD's message open
    EXPECT_TRUE(f.splitter.HasOpen());
    f.splitter.Idle(1'200'000);  // not yet 3.5 characters of silence
    EXPECT_TRUE(f.splitter.HasOpen());
    f.splitter.Idle(1'105'000 + 350'000);
    EXPECT_FALSE(f.splitter.HasOpen());
    f.Char(kDirRd, 3, 2'000'000);
    f.splitter.Break(kDirRd);
    EXPECT_FALSE(f.splitter.HasOpen());
    ASSERT_EQ(f.sink.got.size(), 3u);
    EXPECT_EQ(f.sink.got[1].bytes, std::vector<uint8_t>{2});
}

TEST(MessageSplitter, ErrorsAreKeptWithTheirMessage) {
    Feed f;
    f.Char(kDirSd, 1, 1'000'000);
    f.Char(kDirSd, 2, 1'100'000, kFlagParityError | kFlagFramingError);
    f.Char(kDirSd, 3, 1'200'000, kFlagMpBit);  // the MP bit is no error
    f.splitter.Finish();
    ASSERT_EQ(f.sink.got.size(), 1u);
    EXPECT_EQ(f.sink.got[0].bytes.size(), 3u);
    EXPECT_EQ(f.sink.got[0].errors, kErrParity | kErrFraming);
    EXPECT_EQ(ErrorNames(f.sink.got[0].errors), "parity,framing");
}

TEST(MessageSplitter, Dnp3LinkFramesEndAtTheirLength) {
    MessageRule rule;
    rule.framing = Framing::kDnp3;
    Feed f(rule);
    // A link frame with 3 bytes of user data: 10 header bytes, 3 data, 2 CRC;
    // a second one follows without a gap.
    const std::vector<uint8_t> frame = {0x05, 0x64, 0x08, 0xC4, 0x01, 0x00, 0x02, 0x00,
                                        0xAA, 0xBB, 0x01, 0x02, 0x03, 0xCC, 0xDD};
    int64_t t = 1'000'000;
    for (int k = 0; k < 2; ++k)
        for (uint8_t b : frame)
            f.Char(kDirSd, b, t += 100'000);
    f.splitter.Finish();
    ASSERT_EQ(f.sink.got.size(), 2u);
    EXPECT_EQ(f.sink.got[0].bytes, frame);
    EXPECT_EQ(f.sink.got[1].bytes, frame);
}

TEST(MessageSplitter, AnEndlessRunIsCutIntoBoundedMessages) {
    Feed f;
    f.Run(kDirRd, static_cast<int>(kMaxMessageBytes) + 10, 1'000'000);
    f.splitter.Finish();
    ASSERT_EQ(f.sink.got.size(), 2u);
    EXPECT_EQ(f.sink.got[0].bytes.size(), kMaxMessageBytes);
    EXPECT_TRUE(f.sink.got[0].cut);
    EXPECT_EQ(f.sink.got[1].bytes.size(), 10u);
    EXPECT_FALSE(f.sink.got[1].cut);
}

TEST(MessageSplitter, WithoutABaudRateOnlyAGapInTimeSplits) {
    Collect sink;
    MessageSplitter none(Protocol::kAsync, AsyncCharTiming{}, MessageRule{}, sink);
    EXPECT_FALSE(none.CanSplit());
    MessageRule rule;
    rule.gapTicks = 1000;
    MessageSplitter timed(Protocol::kAsync, AsyncCharTiming{}, rule, sink);
    EXPECT_TRUE(timed.CanSplit());
    EXPECT_EQ(timed.Threshold(kDirRd), 1000);
}

// --- the walk over a stored capture

class Walk : public ::testing::Test {
  protected:
    test::AppHome home;
    std::string folder = home.file("240501101500");
    void SetUp() override { std::filesystem::create_directories(folder); }
};

TEST_F(Walk, FramesAreOneMessageEachAndDatesRunOn) {
    test::CaptureBuilder b(folder, kProtocolHdlc);
    b.StartChunk("240501", 0);
    b.AddFrame(RecordKind::kSdData, 8'639'999'000'000, 8'639'999'100'000, {1, 2, 3});
    b.AddFrame(RecordKind::kSdData, 8'639'999'200'000, 8'639'999'300'000, {4}, kFlagFcsError);
    b.StartChunk("240502", 0);
    b.AddFrame(RecordKind::kRdData, 100, 200, {5, 6});
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    ASSERT_EQ(file.Open(b.Finish()), 0);
    RecordWalk walk(file);
    walk.BeginAll();
    Collect sink;
    MessageSplitter splitter(Protocol::kHdlc, file.GetCharTiming(), MessageRule{}, sink);
    WalkRecord r;
    while (walk.Next(r) == RecordWalk::Step::kRecord)
        splitter.AddData(r);
    splitter.Finish();
    ASSERT_EQ(sink.got.size(), 3u);
    EXPECT_EQ(sink.got[1].errors, kErrFcs);
    // Across midnight the gap is 700 000 ticks, not a day backwards.
    EXPECT_EQ(sink.got[2].gapBefore, 8'640'000'000'000 - 8'639'999'300'000 + 100);
    EXPECT_EQ(LineDayOf(sink.got[2].start).yymmdd, 240502);
}

TEST_F(Walk, AMissingChunkIsAGapAndTheWalkGoesOn) {
    test::CaptureBuilder b(folder, kProtocolAsync);
    for (int c = 0; c < 3; ++c) {
        b.StartChunk("240501", 0);
        for (int i = 0; i < 4; ++i)
            b.Add(RecordKind::kSdData, static_cast<uint8_t>(c * 4 + i), 1'000'000 * (c * 4 + i + 1));
    }
    const std::string index = b.Finish();
    std::filesystem::remove(b.ChunkPath(2));
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    ASSERT_EQ(file.Open(index), 0);
    RecordWalk walk(file);
    walk.BeginAll();
    std::vector<uint8_t> seen;
    std::vector<WalkGap> gaps;
    WalkRecord r;
    for (RecordWalk::Step s; (s = walk.Next(r)) != RecordWalk::Step::kEnd;) {
        if (s == RecordWalk::Step::kGap)
            gaps.push_back(walk.Gap());
        else
            seen.push_back(r.value);
    }
    EXPECT_EQ(seen, (std::vector<uint8_t>{0, 1, 2, 3, 8, 9, 10, 11}));
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].chunk, 2u);
    EXPECT_EQ(gaps[0].from, 4u);
    EXPECT_EQ(gaps[0].to, 8u);
}

}  // namespace
}  // namespace qv
