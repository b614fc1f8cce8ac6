// The way from the instrument to the disk in a live run: blocks read and
// handed over through a bounded queue, decoded where they lie, the gaps of
// an overflowing instrument counted, and the newest records copied out for
// the windows.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "capture/CaptureGaps.h"
#include "capture/CaptureReader.h"
#include "capture/ChunkWriter.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/TimeText.h"
#include "device/BlockQueue.h"
#include "device/CaptureSession.h"
#include "device/DecoderHarness.h"
#include "support/AppHome.h"
#include "support/TempDir.h"
#include "traffic/LineTraffic.h"
#include "traffic/StreamEncoder.h"

namespace qv {
namespace {

using test::ReadBytes;
using test::TempDir;

std::time_t Noon() {
    struct tm t {};
    t.tm_year = 124;
    t.tm_mon = 4;
    t.tm_mday = 17;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

CaptureStartInfo Info(const std::string& dir, int protocol) {
    CaptureStartInfo info;
    info.directory = dir;
    info.folderTime = info.startClock = Noon();
    info.settings.status.monitor.Protocol = static_cast<uint8_t>(protocol);
    info.settings.status.monitor.Memory = kMemoryFix;
    info.frameMax = 100'000'000;
    info.fileRecords = 700;
    return info;
}

// A stream of `events` line events; with `overflowAt`, the instrument's
// buffer overflows after that many: a trigger 255, fifty events dropped,
// then a fresh start with a date item and a leading record, as the
// instrument does once its buffer has room again. The gap ends at the first
// record after that leading record (`resumeTime`).
std::vector<uint8_t> Stream(int protocol, int events, int overflowAt = -1,
                            uint64_t* overflowTime = nullptr, uint64_t* resumeTime = nullptr) {
    sim::TrafficOptions opt;
    opt.protocol = protocol;
    opt.seed = 5;
    opt.startTicks = 10 * 3600 * kTicksPerSecond;
    sim::LineTraffic traffic(opt);
    auto enc = std::make_unique<sim::StreamEncoder>(protocol, sim::StreamDate{2024, 5, 17});
    std::vector<uint8_t> out;
    sim::LineEvent ev = traffic.Next();
    enc->Begin(out, ev.time, ev.value);
    bool resumed = false;
    for (int i = 0; i < events; ++i) {
        ev = traffic.Next();
        if (i == overflowAt) {
            sim::LineEvent t;
            t.kind = sim::LineEventKind::kTrigger;
            t.time = ev.time;
            t.value = kTriggerCodeBufferFull;
            enc->Add(out, t);
            if (overflowTime) *overflowTime = ev.time;
            for (int k = 0; k < 50; ++k)
                ev = traffic.Next();
            enc = std::make_unique<sim::StreamEncoder>(protocol, sim::StreamDate{2024, 5, 17});
            enc->Begin(out, ev.time, ev.value);
            resumed = true;
            continue;
        }
        // The first record after the fresh start's leading record.
        if (resumed && resumeTime) *resumeTime = ev.time;
        resumed = false;
        enc->Add(out, ev);
    }
    return out;
}

// Every chunk file of a finished capture, by name.
std::map<std::string, std::string> Files(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().extension() == ".qvd")
            files[e.path().filename().string()] = ReadBytes(e.path().string());
    return files;
}

// Blocks of any size, split anywhere (items torn across blocks included),
// make the same capture as the stream decoded in one piece.
TEST(ReadQueueTest, BlocksOfAnySizeDecodeToTheSameCapture) {
    for (int protocol : {kProtocolAsync, kProtocolHdlc}) {
        SCOPED_TRACE(protocol);
        const std::vector<uint8_t> stream = Stream(protocol, 6000);
        TempDir wholeDir;
        CaptureSession whole(nullptr, nullptr);
        ASSERT_EQ(whole.Start(Info(wholeDir.path(), protocol)), 0);
        whole.Feed(stream);
        ASSERT_EQ(whole.Stop(Noon()), 0);
        const auto expected = Files(whole.FolderPath());
        ASSERT_GT(expected.size(), 3u);

        for (size_t step : {size_t{1}, size_t{3}, size_t{509}, size_t{4095}, size_t{4097},
                            size_t{70000}}) {
            SCOPED_TRACE(step);
            TempDir dir;
            CaptureSession session(nullptr, nullptr);
            ASSERT_EQ(session.Start(Info(dir.path(), protocol)), 0);
            // Sizes vary around `step`, so that the splits fall everywhere.
            size_t at = 0, k = 0;
            while (at < stream.size()) {
                const size_t n = std::min(stream.size() - at, step + (k++ % 7));
                session.DecodeBlock(stream.data() + at, n);
                at += n;
            }
            ASSERT_EQ(session.Stop(Noon()), 0);
            EXPECT_EQ(session.Capture().Totals().records, whole.Capture().Totals().records);
            EXPECT_TRUE(Files(session.FolderPath()) == expected);
        }
    }
}

// An overflow is counted with the time it lost: from the overflow to the
// record the stream went on with; one the stream never recovered from ends
// at the stop.
TEST(ReadQueueTest, OverflowsAreCountedWithTheTimeTheyLost) {
    uint64_t from = 0, to = 0;
    const std::vector<uint8_t> stream = Stream(kProtocolAsync, 3000, 1000, &from, &to);
    TempDir dir;
    CaptureSession session(nullptr, nullptr);
    ASSERT_EQ(session.Start(Info(dir.path(), kProtocolAsync)), 0);
    session.DecodeBlock(stream.data(), stream.size());
    const CaptureGaps& gaps = session.Capture().Gaps();
    EXPECT_EQ(gaps.Count(), 1u);
    ASSERT_GT(to, from);
    EXPECT_EQ(gaps.CoveredTicks(), to - from);
    ASSERT_EQ(gaps.List().size(), 1u);
    EXPECT_EQ(gaps.List()[0].from, (DayTime{240517, from}));
    EXPECT_EQ(gaps.List()[0].to, (DayTime{240517, to}));

    // An overflow the stream did not recover from runs to the stop (noon);
    // a second report within it adds no time.
    CaptureGaps open;
    open.Overflow(240517, from);
    open.Overflow(240517, from);
    open.End(240517, 12 * 3600 * kTicksPerSecond);
    EXPECT_EQ(open.Count(), 2u);
    EXPECT_EQ(open.CoveredTicks(), 12 * 3600 * kTicksPerSecond - from);
    // Across midnight.
    EXPECT_EQ(TicksBetween({240517, kTicksPerDay - 5}, {240518, 7}), 12u);
    EXPECT_EQ(TicksBetween({240518, 7}, {240517, 5}), 0u);
}

// The stored capture lists the same gap.
TEST(ReadQueueTest, AStoredCaptureListsItsGaps) {
    test::AppHome home;
    uint64_t from = 0, to = 0;
    const std::vector<uint8_t> stream = Stream(kProtocolAsync, 3000, 1000, &from, &to);
    TempDir dir;
    CaptureSession session(nullptr, nullptr);
    ASSERT_EQ(session.Start(Info(dir.path(), kProtocolAsync)), 0);
    session.DecodeBlock(stream.data(), stream.size());
    ASSERT_EQ(session.Stop(Noon()), 0);
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    ASSERT_EQ(file.Open(session.IndexPath()), 0);
    const std::vector<CaptureGap> gaps = ReadCaptureGaps(file);
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].from, (DayTime{240517, from}));
    EXPECT_EQ(gaps[0].to, (DayTime{240517, to}));
}

// The queue holds at most its memory bound, and once the writing side has
// shown its pace, no more than it writes in about half a second: then the
// reading side is refused a block.
TEST(ReadQueueTest, TheQueueIsBoundedByMemoryAndByTheWritersPace) {
    BlockQueue queue(3 * StreamBlock::kCapacity);
    std::vector<std::unique_ptr<StreamBlock>> taken;
    for (int i = 0; i < 3; ++i) {
        taken.push_back(queue.Take());
        ASSERT_TRUE(taken.back());
        taken.back()->size = StreamBlock::kCapacity;
    }
    EXPECT_FALSE(queue.Take());
    EXPECT_EQ(queue.TimesFull(), 1u);
    for (auto& b : taken)
        queue.Push(std::move(b));
    EXPECT_EQ(queue.QueuedBytes(), 3 * StreamBlock::kCapacity);

    // Blocks come out in order; the close comes after the last of them.
    std::unique_ptr<StreamBlock> block;
    queue.Close();
    ASSERT_EQ(queue.Pop(block), BlockQueue::Got::kBlock);
    // A slow disk: a block took a second to write.
    queue.Done(std::move(block), 1.0);
    EXPECT_EQ(queue.QueuedBytes(), 2 * StreamBlock::kCapacity);
    EXPECT_FALSE(queue.Take());  // two blocks wait: more than half a second's writing
    ASSERT_EQ(queue.Pop(block), BlockQueue::Got::kBlock);
    queue.Done(std::move(block), 1.0);
    ASSERT_EQ(queue.Pop(block), BlockQueue::Got::kBlock);
    queue.Done(std::move(block), 1.0);
    // Half a second of that pace may be read ahead now, less what is held.
    EXPECT_EQ(queue.Room(0), StreamBlock::kCapacity / 2);
    EXPECT_EQ(queue.Room(1000), StreamBlock::kCapacity / 2 - 1000);
    EXPECT_TRUE(queue.Take());
    EXPECT_EQ(queue.Pop(block), BlockQueue::Got::kClosed);

    // A new run forgets the pace and takes up to the memory bound again.
    queue.Reset(2 * StreamBlock::kCapacity);
    auto a = queue.Take(), b = queue.Take();
    EXPECT_TRUE(a && b);
    queue.Quit();
    EXPECT_EQ(queue.Pop(block), BlockQueue::Got::kQuit);
}

// What the windows read is a copy of the newest records that matches the
// decoder's own ring, however many records came between two copies.
TEST(ReadQueueTest, TheWindowsCopyOfTheNewestRecordsMatchesTheRing) {
    const std::vector<uint8_t> stream = Stream(kProtocolAsync, 2000);
    ChunkConfig config;
    test::DecoderHarness h(config);
    LiveRing& ring = h.Watch();
    LiveRing copy;
    size_t at = 0;
    for (size_t n : std::initializer_list<size_t>{10, 1, 0, 150, 400, 4, 3000, 44}) {
        n = std::min(n, stream.size() - at);
        h.Feed(std::vector<uint8_t>(stream.begin() + at, stream.begin() + at + n));
        at += n;
        copy.TakeNewest(ring);
        ASSERT_EQ(copy.Count(false), ring.Count(false));
        for (int i = 0; i < ring.Count(false); ++i) {
            const int slot = ring.SlotOfOldest(i, false);
            EXPECT_EQ(copy.SlotOfOldest(i, false), slot);
            EXPECT_EQ(copy.At(slot, false)->end, ring.At(slot, false)->end);
            EXPECT_EQ(copy.TripleAt(slot, false)->records, ring.TripleAt(slot, false)->records);
        }
    }
}

}  // namespace
}  // namespace qv
