#include "device/StreamDecoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "core/TimeText.h"
#include "device/DecoderHarness.h"
#include "traffic/LineTraffic.h"
#include "traffic/StreamEncoder.h"

namespace qv {
namespace {

using test::DecoderHarness;
using test::Rec;
using test::Records;

constexpr uint8_t kSd = 0x80, kRd = 0xA0, kLines = 0xC0, kEvent = 0xE0;

struct Stream {
    std::vector<uint8_t> bytes;
    Stream& Add(const StreamItem& it) {
        AppendStreamItem(bytes, it);
        return *this;
    }
};

ChunkConfig Async(uint64_t fileRecords = 50000, int memory = kMemoryFix,
                    uint64_t frameMax = kFixFrameMax) {
    return ChunkConfig{Protocol::kAsync, memory, frameMax, fileRecords};
}

// --- 4-byte layout: leading records, steps, rotation, dates

TEST(StreamDecoderTest, LeadingRecordStepsAndRotationEveryFileRecords) {
    DecoderHarness h(Async(3));
    Stream s;
    s.Add(StreamItem::Data(kSd, 'x', 5))  // before any date: dropped
        .Add(StreamItem::Date(24, 5, 17))
        .Add(StreamItem::Time(1000))
        .Add(StreamItem::Data(kLines, 0xA0, 7))  // leading: step not added, not counted
        .Add(StreamItem::Data(kSd, 'A', 10))
        .Add(StreamItem::Data(kLines, 0x20, 10))
        .Add(StreamItem::Data(kRd, 'B', 10))
        .Add(StreamItem::Data(kEvent, 0x80, 10));  // fourth record: chunk 2
    h.Feed(s.bytes);

    EXPECT_EQ(Records(h.Chunk(1), false), (std::vector<Rec>{{kLines, 0xA0, 1000, 1000, {}},
                                                            {kSd, 'A', 1010, 1010, {}},
                                                            {kLines, 0x20, 1020, 1020, {}},
                                                            {kRd, 'B', 1030, 1030, {}}}));
    h.capture.FinishRun();
    EXPECT_EQ(Records(h.Chunk(2), false),
              (std::vector<Rec>{{0xC0, 0x20, 0, 0, {}}, {kEvent, 0x80, 1040, 1040, {}}}));

    const ChunkTable& t = h.capture.Table();
    ASSERT_EQ(t.Used(), 2u);
    const ChunkEntry& c1 = t.Chronological(0);
    EXPECT_EQ(DateFieldText(c1.date), "240517");
    EXPECT_EQ(c1.startTime, 1010u);
    EXPECT_EQ(c1.sdRecords, 1u);
    EXPECT_EQ(c1.rdRecords, 1u);
    EXPECT_EQ(c1.lineChanges, 1u);
    EXPECT_EQ(c1.lineBitChanges[0], 1u);  // RS went down against 0xA0
    EXPECT_EQ(c1.lineBitChanges[2], 0u);  // ER stayed up
    EXPECT_EQ(t.Chronological(1).events, 1u);
    EXPECT_EQ(t.Chronological(1).eventBitChanges[0], 1u);
    EXPECT_EQ(h.capture.Totals().records, 4u);
    EXPECT_EQ(h.capture.Totals().changes[0], 1u);
}

TEST(StreamDecoderTest, DateChangeStartsANewChunkWithTheNewDate) {
    DecoderHarness h(Async());
    Stream s;
    s.Add(StreamItem::Date(24, 12, 31))
        .Add(StreamItem::Data(kLines, 0x30, 0))
        .Add(StreamItem::Time(kTicksPerDay - 100))
        .Add(StreamItem::Data(kSd, 'a', 50))
        .Add(StreamItem::Date(25, 1, 1))
        .Add(StreamItem::Data(kRd, 'b', 40))  // the new chunk's leading record, at 0
        .Add(StreamItem::Data(kRd, 'c', 40));
    h.Feed(s.bytes);
    h.capture.FinishRun();
    const ChunkTable& t = h.capture.Table();
    ASSERT_EQ(t.Used(), 2u);
    EXPECT_EQ(DateFieldText(t.Chronological(0).date), "241231");
    EXPECT_EQ(DateFieldText(t.Chronological(1).date), "250101");
    EXPECT_EQ(t.Chronological(1).startTime, 40u);
    EXPECT_EQ(Records(h.Chunk(2), false),
              (std::vector<Rec>{{kRd, 'b', 0, 0, {}}, {kRd, 'c', 40, 40, {}}}));
    // A leading record of another kind restarts the line state at 0.
    EXPECT_EQ(h.decoder.LineState(), 0);
}

// A live record keeps the day its ticks count from: after midnight the ring
// still holds the evening's records, which must not move to the new day.
TEST(StreamDecoderTest, LiveRecordsKeepTheDayTheirTimesCountFrom) {
    DecoderHarness h(Async());
    LiveRing& ring = h.Watch();
    Stream s;
    s.Add(StreamItem::Date(24, 12, 31))
        .Add(StreamItem::Data(kLines, 0x30, 0))
        .Add(StreamItem::Time(kTicksPerDay - 100))
        .Add(StreamItem::Data(kSd, 'a', 50))
        .Add(StreamItem::Date(25, 1, 1))
        .Add(StreamItem::Data(kRd, 'b', 40))
        .Add(StreamItem::Data(kRd, 'c', 40));
    h.Feed(s.bytes);
    int evening = 0, morning = 0;
    for (int i = 0; i < ring.Count(false); ++i) {
        const LiveRecord& r = *ring.At(ring.SlotOfOldest(i, false), false);
        const bool before = r.value == 'a' || r.value == 0x30;
        EXPECT_EQ(r.date, before ? 241231 : 250101) << "record " << r.value;
        (before ? evening : morning) += 1;
    }
    EXPECT_GE(evening, 1);
    EXPECT_GE(morning, 1);
}

TEST(StreamDecoderTest, DateRightAfterALeadingRecordDoesNotStackLeadingRecords) {
    DecoderHarness h(Async(1));
    Stream s;
    s.Add(StreamItem::Date(24, 1, 1))
        .Add(StreamItem::Data(kLines, 0x10, 0))
        .Add(StreamItem::Data(kSd, 'a', 1))  // fills chunk 1; chunk 2 gets 0xC0
        .Add(StreamItem::Date(24, 1, 2))
        .Add(StreamItem::Data(kLines, 0x11, 0))
        .Add(StreamItem::Data(kSd, 'b', 1));
    h.Feed(s.bytes);
    EXPECT_EQ(Records(h.Chunk(2), false),
              (std::vector<Rec>{{kLines, 0x11, 0, 0, {}}, {kSd, 'b', 1, 1, {}}}));
}

TEST(StreamDecoderTest, StepBeyondTwentyFourHoursIsStoredAsIs) {
    DecoderHarness h(Async());
    Stream s;
    s.Add(StreamItem::Date(24, 1, 1))
        .Add(StreamItem::Data(kLines, 0, 0))
        .Add(StreamItem::Time(8'639'999'990'000ULL))
        .Add(StreamItem::Data(kSd, 1, 0xFFFF));
    h.Feed(s.bytes);
    h.capture.FinishRun();
    EXPECT_EQ(Records(h.Chunk(1), false).back().start, 8'639'999'990'000ULL + 0xFFFF);
}

// --- 8-byte layout: frames and their pieces

TEST(StreamDecoderTest, SyncFrameOf600BytesIsAssembledFromPieces) {
    DecoderHarness h(ChunkConfig{Protocol::kSync, kMemoryFix, kFixFrameMax, 50000});
    std::vector<uint8_t> data(600);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i);
    Stream s;
    s.Add(StreamItem::Frame(kSd, 1, 2, {data.data(), 5}))  // before the first line change
        .Add(StreamItem::LineChange(kLines, 0x80, 100))
        .Add(StreamItem::Frame(kSd | 0x10, 200, 300, {data.data(), 255}))
        .Add(StreamItem::LineChange(kLines, 0xC0, 350))  // written between the pieces
        .Add(StreamItem::Frame(kSd | 0x18, 999, 400, {data.data() + 255, 255}))
        .Add(StreamItem::Frame(kSd | 0x08, 888, 500, {data.data() + 510, 90}))
        .Add(StreamItem::Frame(kRd, 600, 700, {data.data(), 3}))
        .Add(StreamItem::Event(kEvent, 0x80, 800));  // skipped
    h.Feed(s.bytes);
    h.capture.FinishRun();
    const std::vector<Rec> recs = Records(h.Chunk(1), true);
    ASSERT_EQ(recs.size(), 4u);
    EXPECT_EQ(recs[0], (Rec{kLines, 0x80, 100, 100, {}}));
    EXPECT_EQ(recs[1], (Rec{kLines, 0xC0, 350, 350, {}}));
    EXPECT_EQ(recs[2].header, kSd | 0x10);  // the first piece's header byte
    EXPECT_EQ(recs[2].start, 200u);
    EXPECT_EQ(recs[2].end, 500u);
    EXPECT_EQ(recs[2].data, std::string(data.begin(), data.end()));
    EXPECT_EQ(recs[3], (Rec{kRd, 0, 600, 700, std::string("\0\1\2", 3)}));
    const ChunkEntry e = h.capture.Table().Chronological(0);
    EXPECT_EQ(e.sdRecords, 1u);
    EXPECT_EQ(e.rdRecords, 1u);
    EXPECT_EQ(e.lineChanges, 1u);
    EXPECT_EQ(e.events, 0u);
    EXPECT_EQ(e.startTime, 350u);
}

TEST(StreamDecoderTest, PiecesBeyond256AreDroppedAndTheFrameStillFits) {
    DecoderHarness h(ChunkConfig{Protocol::kHdlc, kMemoryFix, kFixFrameMax, 50000});
    std::vector<uint8_t> piece(255, 0x5A);
    Stream s;
    s.Add(StreamItem::LineChange(kLines, 0, 1));
    for (int i = 0; i < 300; ++i)
        s.Add(StreamItem::Frame(kRd | 0x10, 10, 20, piece));
    s.Add(StreamItem::Frame(kRd, 10, 30, piece));
    h.Feed(s.bytes);
    h.capture.FinishRun();
    const std::vector<Rec> recs = Records(h.Chunk(1), true);
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[1].data.size(), 65535u);
}

// --- chunk table in RING mode

TEST(StreamDecoderTest, RingWithTwoSlotsReusesSlotOneAndSubtractsTheOldChunk) {
    // FrameMax 4, FileRecords 2: N = 2.
    DecoderHarness h(Async(2, kMemoryRing, 4));
    Stream s;
    s.Add(StreamItem::Date(24, 1, 1)).Add(StreamItem::Data(kLines, 0, 0));
    for (int i = 0; i < 5; ++i)
        s.Add(StreamItem::Data(kSd, static_cast<uint8_t>('0' + i), 1));
    h.Feed(s.bytes);
    // Chunks 1 and 2 are full; the third chunk (slot 1) has been opened and
    // the first chunk's two records have left the totals.
    EXPECT_EQ(h.capture.Totals().records, 3u);
    EXPECT_EQ(h.capture.Totals().kinds[0], 3u);
    h.capture.FinishRun();
    const ChunkTable& t = h.capture.Table();
    EXPECT_EQ(t.Used(), 2u);
    EXPECT_EQ(t.OldestSlot(), 2u);
    EXPECT_EQ(Records(h.Chunk(1), false).front().header, 0xC0);  // reused by the third chunk
    EXPECT_EQ(Records(h.Chunk(2), false).size(), 3u);

    h.writer.FinalNames(t.OldestSlot(), t.Used());
    EXPECT_EQ(Records(test::ReadBytes(h.dir.file("000000001.qvd")), false)[1].value, '2');
    EXPECT_EQ(Records(test::ReadBytes(h.dir.file("000000002.qvd")), false)[1].value, '4');
}

// --- trigger events, notices, the FIX limit

TEST(StreamDecoderTest, TriggerEventsNoticeAndFixLimit) {
    DecoderHarness h(Async(50000, kMemoryFix, 3));
    Stream s;
    s.Add(StreamItem::Date(24, 2, 29)).Add(StreamItem::Data(kLines, 0, 0));
    s.Add(StreamItem::TriggerStep(2, 100)).Add(StreamItem::TriggerTime(255, 5000));
    for (int i = 0; i < 1100; ++i)
        s.Add(StreamItem::TriggerStep(1, 1));
    s.Add(StreamItem::Notice());
    for (int i = 0; i < 5; ++i)
        s.Add(StreamItem::Data(kRd, 'r', 1));
    h.Feed(s.bytes);
    const auto& ev = h.capture.TriggerEvents();
    ASSERT_EQ(ev.size(), kMaxTriggerEvents);
    EXPECT_EQ(ev[0].code, 2);
    EXPECT_EQ(ev[0].time, 100u);
    EXPECT_EQ(ev[0].chunk, 1u);
    EXPECT_EQ(DateFieldText(ev[0].date), "240229");
    EXPECT_EQ(ev[1].time, 5000u);
    EXPECT_TRUE(h.decoder.BufferFull());
    EXPECT_EQ(h.notices.Count(RunNotice::kStop), 1u);
    // Three records kept, two dropped with one report.
    EXPECT_EQ(h.capture.Totals().records, 3u);
    EXPECT_EQ(h.decoder.DroppedAtLimit(), 2u);
    EXPECT_EQ(h.notices.Count(RunNotice::kCaptureFull), 1u);
}

// --- items split anywhere give the same capture

std::vector<uint8_t> GeneratedStream(Protocol protocol, int events, uint64_t seed) {
    sim::TrafficOptions opt;
    opt.protocol = ProtocolCode(protocol);
    opt.seed = seed;
    opt.startTicks = kTicksPerDay - 3 * kTicksPerSecond;  // crosses midnight
    sim::LineTraffic traffic(opt);
    sim::StreamEncoder enc(ProtocolCode(protocol), {2024, 3, 31});
    std::vector<uint8_t> out;
    sim::LineEvent first = traffic.Next();
    enc.Begin(out, first.time, first.value);
    for (int i = 0; i < events; ++i) {
        enc.Add(out, traffic.Next());
        if (i % 97 == 0) enc.AddFiller(out, static_cast<uint32_t>(i % 13));
    }
    return out;
}

TEST(StreamDecoderTest, ItemsSplitAtEveryByteGiveTheSameChunks) {
    for (Protocol protocol : {Protocol::kAsync, Protocol::kHdlc, Protocol::kLogic}) {
        SCOPED_TRACE(ProtocolCode(protocol));
        const std::vector<uint8_t> stream = GeneratedStream(protocol, 1500, 3);
        ChunkConfig cfg{protocol, kMemoryFix, kFixFrameMax, 97};
        DecoderHarness whole(cfg);
        whole.Feed(stream);
        whole.capture.FinishRun();
        // Every read size from 1 to 23 bytes, so every item is cut at every byte.
        for (size_t step : {size_t{1}, size_t{2}, size_t{3}, size_t{5}, size_t{7}, size_t{23}}) {
            DecoderHarness split(cfg);
            for (size_t at = 0; at < stream.size(); at += step) {
                const size_t n = std::min(step, stream.size() - at);
                split.Feed({stream.begin() + at, stream.begin() + at + n});
            }
            split.capture.FinishRun();
            ASSERT_EQ(split.capture.Table().Used(), whole.capture.Table().Used());
            for (uint64_t slot = 1; slot <= whole.capture.Table().Used(); ++slot)
                ASSERT_EQ(split.Chunk(slot), whole.Chunk(slot)) << "slot " << slot;
            EXPECT_EQ(split.buffer.Fill(), whole.buffer.Fill());
        }
        EXPECT_GT(whole.capture.Table().Used(), 2u);
        EXPECT_GE(whole.capture.ChunksOpened(), 2u);
    }
}

// --- the live ring is for watching only

// Everything a decoder leaves behind: chunk files, table, totals, counts.
void ExpectSameCapture(DecoderHarness& a, DecoderHarness& b) {
    const ChunkSink& x = a.capture;
    const ChunkSink& y = b.capture;
    ASSERT_EQ(x.Table().Used(), y.Table().Used());
    for (uint64_t i = 0; i < x.Table().Used(); ++i) {
        const ChunkEntry &e = x.Table().Chronological(i), &f = y.Table().Chronological(i);
        EXPECT_EQ(0, std::memcmp(&e, &f, sizeof e)) << "entry " << i;
    }
    // A RING run reuses its slots: those beyond the table are never made.
    for (uint64_t slot = 1; slot <= x.ChunksOpened(); ++slot) {
        if (!std::filesystem::exists(a.dir.file(ChunkWriter::ChunkName(slot)))) break;
        ASSERT_TRUE(a.Chunk(slot) == b.Chunk(slot)) << "slot " << slot;
    }
    EXPECT_EQ(0, std::memcmp(&x.Totals(), &y.Totals(), sizeof(CaptureTotals)));
    EXPECT_EQ(x.ChunksOpened(), y.ChunksOpened());
    EXPECT_EQ(a.decoder.DroppedAtLimit(), b.decoder.DroppedAtLimit());
    EXPECT_EQ(x.TriggerEvents().size(), y.TriggerEvents().size());
    EXPECT_EQ(a.decoder.RunningTime(), b.decoder.RunningTime());
    EXPECT_EQ(a.decoder.LineState(), b.decoder.LineState());
}

// Time items among the data items of a quiet line: decoded in one sweep over
// a whole buffer, they must leave the capture that items arriving one byte at
// a time leave, chunk rotations, times set backwards and a time item as the
// last bytes of the stream included.
TEST(StreamDecoderTest, TimeItemsAmongDataItemsGiveTheSameCaptureWholeOrByteByByte) {
    Stream s;
    s.Add(StreamItem::Date(24, 3, 31));
    const uint8_t headers[] = {kSd, kRd, kSd | 0x04, kLines, kRd, kEvent, kSd, kLines};
    uint64_t time = 36'000'000'000;
    for (int i = 0; i < 2000; ++i) {
        const uint8_t value = static_cast<uint8_t>(i * 37);
        s.Add(StreamItem::Data(headers[i % 8], value, static_cast<uint16_t>(100 + i % 50)));
        // One to three time items after every few data items, some of them
        // setting the clock back.
        if (i % (1 + i % 5) == 0) {
            for (int k = 0; k <= i % 3; ++k) {
                time = (i % 7 == 0) ? time - 12'345 : time + 1'000'000 + static_cast<uint64_t>(k);
                s.Add(StreamItem::Time(time));
            }
        }
    }
    s.Add(StreamItem::Time(time + 777));

    for (uint64_t fileRecords : {uint64_t{101}, uint64_t{50000}}) {
        SCOPED_TRACE(fileRecords);
        DecoderHarness whole(Async(fileRecords));
        whole.Feed(s.bytes);
        DecoderHarness bytewise(Async(fileRecords));
        for (uint8_t b : s.bytes)
            bytewise.Feed({b});
        EXPECT_EQ(whole.decoder.RunningTime(), time + 777);
        whole.capture.FinishRun();
        bytewise.capture.FinishRun();
        ExpectSameCapture(whole, bytewise);
        EXPECT_EQ(whole.capture.Totals().records, 1999u);  // the first is the leading record
        EXPECT_EQ(whole.buffer.Fill(), 0u);
    }
}

// Data items of every kind in random mixes, from lines that never change to
// lines that change with every item, with line states that repeat, events
// and time items: decoded many items at once they must leave what they leave
// arriving one byte at a time (each item then decoded on its own), the line
// bits counted included. Small chunks and a FIX limit cut the runs of items
// at every place.
TEST(StreamDecoderTest, RandomMixesOfKindsGiveTheSameCaptureWholeOrByteByByte) {
    struct Mix {
        unsigned linesPer256, eventsPer256, timesPer256;
    };
    const Mix mixes[] = {{0, 0, 0},   {64, 0, 0},   {64, 2, 20}, {128, 16, 40},
                         {256, 0, 0}, {200, 50, 0}, {8, 0, 128}};
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (const Mix& mix : mixes) {
        Stream s;
        s.Add(StreamItem::Date(24, 6, 1));
        uint64_t time = 1'000'000;
        for (int i = 0; i < 3000; ++i) {
            const unsigned pick = next() & 0xFF;
            uint8_t header = (next() & 1) ? kSd : kRd;
            if (pick < mix.linesPer256)
                header = kLines;
            else if (pick < mix.linesPer256 + mix.eventsPer256)
                header = kEvent;
            header |= static_cast<uint8_t>(next() & 0x1F);
            // Line states from a few values, so that many changes turn no bit.
            const uint8_t value = static_cast<uint8_t>(
                header >= kLines && header < kEvent ? (next() & 3) * 0x55 : next());
            s.Add(StreamItem::Data(header, value, static_cast<uint16_t>(next())));
            if ((next() & 0xFF) < mix.timesPer256) {
                time += next() & 0xFFFFFF;
                s.Add(StreamItem::Time(time));
            }
        }
        for (ChunkConfig cfg : {Async(7), Async(101), Async(50000, kMemoryFix, 2222)}) {
            SCOPED_TRACE(testing::Message()
                         << "lines " << mix.linesPer256 << " events " << mix.eventsPer256
                         << " times " << mix.timesPer256 << " chunk " << cfg.fileRecords);
            DecoderHarness whole(cfg);
            whole.Feed(s.bytes);
            DecoderHarness bytewise(cfg);
            for (uint8_t b : s.bytes)
                bytewise.Feed({b});
            whole.capture.FinishRun();
            bytewise.capture.FinishRun();
            ExpectSameCapture(whole, bytewise);
            if (mix.linesPer256 > 0) {
                uint64_t turned = 0;
                for (uint64_t c : whole.capture.Totals().changes)
                    turned += c;
                EXPECT_GT(turned, 0u);
            }
        }
    }
}

TEST(StreamDecoderTest, ALiveRingChangesNothingOnDiskAndHoldsTheNewestRecords) {
    for (Protocol protocol : {Protocol::kAsync, Protocol::kLogic, Protocol::kHdlc}) {
        const std::vector<uint8_t> stream = GeneratedStream(protocol, 12000, 11);
        // Chunks of a few records and of many, a FIX run that reaches its
        // limit, and a RING run that overwrites its oldest chunks.
        for (ChunkConfig cfg : {ChunkConfig{protocol, kMemoryFix, kFixFrameMax, 97},
                                  ChunkConfig{protocol, kMemoryFix, 9000, 50000},
                                  ChunkConfig{protocol, kMemoryRing, 1200, 300}}) {
            SCOPED_TRACE(testing::Message() << ProtocolCode(protocol) << " " << cfg.memory << " "
                                            << cfg.frameMax << " " << cfg.fileRecords);
            // Whole, and in reads that cut the data runs at odd places.
            for (size_t step : {stream.size(), size_t{4093}}) {
                DecoderHarness plain(cfg), watched(cfg);
                LiveRing& ring = watched.Watch();
                for (size_t at = 0; at < stream.size(); at += step) {
                    const size_t n = std::min(step, stream.size() - at);
                    plain.Feed({stream.begin() + at, stream.begin() + at + n});
                    watched.Feed({stream.begin() + at, stream.begin() + at + n});
                }
                plain.capture.FinishRun();
                watched.capture.FinishRun();
                ExpectSameCapture(plain, watched);
                EXPECT_GT(plain.capture.Totals().records, 500u);

                if (cfg.memory != kMemoryFix || cfg.fileRecords != 97) continue;
                // The ring holds the newest 200 records written: all records
                // but each chunk's leading one, in the order of the chunks.
                std::vector<Rec> written;
                for (uint64_t slot = 1; slot <= watched.capture.ChunksOpened(); ++slot) {
                    std::vector<Rec> recs = Records(watched.Chunk(slot), UsesFrameRecords(protocol));
                    if (!recs.empty()) written.insert(written.end(), recs.begin() + 1, recs.end());
                }
                ASSERT_GT(written.size(), size_t{LiveRing::kSlots});
                EXPECT_EQ(ring.Seen(), written.size());
                ring.Freeze();
                for (int i = 0; i < LiveRing::kSlots; ++i) {
                    const Rec& w = written[written.size() - LiveRing::kSlots + i];
                    const LiveRecord& r = *ring.At(i, true);
                    EXPECT_EQ(r.header, w.header) << i;
                    EXPECT_EQ(r.end, w.end) << i;
                    EXPECT_EQ(r.value, w.data.empty() ? w.value : uint8_t(w.data[0])) << i;
                    // A line change after a frame in the same slot shows no data.
                    EXPECT_EQ(std::string(r.data.begin(), r.data.end()), w.data) << i;
                }
            }
        }
    }
}

// --- bad input

TEST(StreamDecoderTest, BadInputNeverCrashesAndLeavesWholeRecords) {
    uint64_t x = 0x1234567;
    auto next = [&] {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        return static_cast<uint8_t>(x);
    };
    for (Protocol protocol : {Protocol::kAsync, Protocol::kSync}) {
        DecoderHarness h(ChunkConfig{protocol, kMemoryRing, 4000, 1000});
        std::vector<uint8_t> junk(100000);
        for (auto& b : junk)
            b = next();
        // Random bytes, with a date and line change now and then so that
        // records get written, fed in odd-sized reads.
        for (size_t at = 0; at < junk.size(); at += 777) {
            Stream s;
            s.Add(StreamItem::Date(24, 1, 1)).Add(StreamItem::LineChange(kLines, 0, 0));
            h.Feed(s.bytes);
            h.Feed({junk.begin() + at, junk.begin() + std::min(junk.size(), at + 777)});
        }
        // A filler longer than the receive buffer is skipped across reads.
        h.Feed({kItemFiller, 0, 0, 0, 0xF0, 0xFF, 0xFF, 0xFF});
        h.Feed(std::vector<uint8_t>(1 << 20, kSd));
        EXPECT_EQ(h.buffer.Fill(), 0u);
        h.capture.FinishRun();
        for (uint64_t slot = 1; slot <= h.capture.Table().Used(); ++slot)
            Records(h.Chunk(slot), UsesFrameRecords(protocol));
    }
}

}  // namespace
}  // namespace qv
