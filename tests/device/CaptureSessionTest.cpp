#include "device/CaptureSession.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "capture/CaptureRecovery.h"
#include "core/FileUtil.h"
#include "core/TimeText.h"
#include "device/DecoderHarness.h"
#include "support/TempDir.h"
#include "traffic/LineTraffic.h"
#include "traffic/StreamEncoder.h"

namespace qv {
namespace {

using test::ReadBytes;
using test::Records;
using test::TempDir;

std::time_t Noon(int day) {
    struct tm t {};
    t.tm_year = 124;
    t.tm_mon = 4;
    t.tm_mday = day;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

CaptureStartInfo Info(const std::string& dir, int protocol, int memory, uint64_t fileRecords) {
    CaptureStartInfo info;
    info.directory = dir;
    info.folderTime = Noon(17);
    info.startClock = Noon(17);
    info.settings.status.monitor.Protocol = static_cast<uint8_t>(protocol);
    info.settings.status.monitor.Memory = static_cast<uint8_t>(memory);
    info.frameMax = 100'000'000;
    info.fileRecords = fileRecords;
    return info;
}

std::vector<uint8_t> Traffic(int protocol, int events) {
    sim::TrafficOptions opt;
    opt.protocol = protocol;
    opt.seed = 11;
    opt.startTicks = kTicksPerDay - 2 * kTicksPerSecond;  // crosses midnight
    sim::LineTraffic traffic(opt);
    sim::StreamEncoder enc(protocol, {2024, 5, 17});
    std::vector<uint8_t> out;
    sim::LineEvent first = traffic.Next();
    enc.Begin(out, first.time, first.value);
    for (int i = 0; i < events; ++i)
        enc.Add(out, traffic.Next());
    return out;
}

// A whole capture: folder, index entries, final chunk names, and chunk files
// whose records agree with their entries.
TEST(CaptureSessionTest, CaptureOnDiskMatchesItsIndex) {
    for (int protocol : {kProtocolAsync, kProtocolSync}) {
        SCOPED_TRACE(protocol);
        TempDir dir;
        CaptureSession session(nullptr, nullptr);
        ASSERT_EQ(session.Start(Info(dir.path(), protocol, kMemoryFix, 500)), 0);
        EXPECT_EQ(session.FolderName(), CaptureFolderName(Noon(17)));
        EXPECT_EQ(session.FolderName().size(), 14u);
        session.Feed(Traffic(protocol, 4000));
        ASSERT_EQ(session.Stop(Noon(18)), 0);

        CaptureIndex index;
        ASSERT_EQ(index.OpenIndex(session.IndexPath()), 0);
        const CaptureIndex::Totals totals = index.ChunkTotals();
        const uint64_t chunks = session.Capture().Table().Used();
        EXPECT_EQ(totals.chunks, chunks);
        EXPECT_GT(chunks, 3u);
        EXPECT_EQ(index.ReadFrameNum(), session.Capture().Totals().records);
        EXPECT_EQ(totals.records, session.Capture().Totals().records);
        EXPECT_EQ(index.CounterTotal(2), session.Capture().Totals().kinds[0]);

        uint64_t onDisk = 0;
        for (uint64_t n = 1; n <= chunks; ++n) {
            ChunkEntry e;
            ASSERT_EQ(index.ReadChunkEntry(n, e), 0);
            const auto recs = Records(
                ReadBytes(JoinPath(session.FolderPath(), ChunkWriter::FinalChunkName(n))),
                UsesFrameRecords(protocol));
            ASSERT_EQ(recs.size(), e.RecordCount() + 1) << "chunk " << n;  // + leading record
            if (e.RecordCount() > 0) {
                EXPECT_EQ(recs[1].start, e.startTime);
            }
            onDisk += e.RecordCount();
        }
        EXPECT_EQ(onDisk, totals.records);
        EXPECT_FALSE(std::filesystem::exists(JoinPath(session.FolderPath(), "t000000001.qvd")));

        // StartTime is chunk 1's; the day after midnight has its own chunk.
        IndexTime start, end;
        ASSERT_EQ(index.ReadStartTime(start), 0);
        ChunkEntry first, last;
        index.ReadChunkEntry(1, first);
        index.ReadChunkEntry(chunks, last);
        EXPECT_EQ(start.date, "240517");
        EXPECT_EQ(start.ticks, first.startTime);
        EXPECT_EQ(DateFieldText(last.date), "240518");
        ASSERT_EQ(index.ReadEndTime(end), 0);
        EXPECT_EQ(end.date, "240518");
        EXPECT_EQ(end.ticks, 12 * 3600 * kTicksPerSecond + 99'999'999);
        // The settings of the run went into the index.
        EXPECT_EQ(index.ReadValue("MonitorStatus", "Protocol"),
                  protocol == kProtocolAsync ? "ASYNC" : "SYNC");
    }
}

TEST(CaptureSessionTest, TriggerRecordsAreWrittenInArrivalOrder) {
    TempDir dir;
    CaptureSession session(nullptr, nullptr);
    ASSERT_EQ(session.Start(Info(dir.path(), kProtocolAsync, kMemoryRing, 50000)), 0);
    std::vector<uint8_t> s;
    AppendStreamItem(s, StreamItem::Date(24, 5, 17));
    AppendStreamItem(s, StreamItem::Data(0xC0, 0, 0));
    AppendStreamItem(s, StreamItem::TriggerTime(3, 123'456'789));
    AppendStreamItem(s, StreamItem::TriggerStep(255, 10));
    session.Feed(s);
    ASSERT_EQ(session.Stop(Noon(17)), 0);
    CaptureIndex index;
    ASSERT_EQ(index.OpenIndex(session.IndexPath()), 0);
    EXPECT_EQ(index.ReadValue("TriggerRecord", "1"), "1,240517,00:00:01 234:567:890,3");
    EXPECT_EQ(index.ReadValue("TriggerRecord", "2"), "1,240517,00:00:01 234:567:990,255");
    EXPECT_FALSE(index.HasValue("TriggerRecord", "3"));
    // A capture without records still has chunk 1 and its entry.
    EXPECT_EQ(index.ReadFrameNum(), 0u);
    EXPECT_TRUE(index.HasValue("DataFile", "1"));
}

TEST(CaptureSessionTest, MissingSaveFolderGivesMinus19AndItsMessage) {
    TempDir dir;
    CaptureSession session(nullptr, nullptr);
    EXPECT_EQ(session.Start(Info(dir.file("gone/deeper"), kProtocolAsync, kMemoryFix, 10)),
              kErrCaptureFolder);
    EXPECT_EQ(session.Stop(Noon(17)), 0);  // nothing started: nothing to do
}

TEST(CaptureSessionTest, FullDiskReportsKeepsDecodingAndLeavesReadableChunks) {
    TempDir dir;
    if (::geteuid() != 0 || ::mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    test::RecordedNotices notices;
    {
        CaptureSession session(nullptr, &notices);
        ASSERT_EQ(session.Start(Info(dir.path(), kProtocolAsync, kMemoryFix, 50000)), 0);
        session.Feed(Traffic(kProtocolAsync, 400000));  // ~3 MB of records
        EXPECT_GT(notices.Count(RunNotice::kWriteFailed), 0u);
        const uint64_t failuresBefore = session.Capture().WriteFailures();
        EXPECT_GT(failuresBefore, 0u);
        EXPECT_GE(session.Capture().ChunksOpened(), 8u);  // decoding went on
        session.Stop(Noon(17));
        for (const auto& f : std::filesystem::directory_iterator(session.FolderPath()))
            if (f.path().extension() == ".qvd") Records(ReadBytes(f.path()), false);

        // What reached the disk stays readable: the index lists every chunk
        // and counts exactly the records their files hold.
        CaptureIndex index;
        ASSERT_EQ(index.OpenIndex(session.IndexPath()), 0);
        const CaptureIndex::Totals totals = index.ChunkTotals();
        // A last chunk whose every write failed holds nothing and is dropped.
        EXPECT_GE(totals.chunks + 1, session.Capture().Table().Used());
        uint64_t onDisk = 0;
        for (uint64_t n = 1; n <= totals.chunks; ++n) {
            ChunkEntry e;
            ASSERT_EQ(index.ReadChunkEntry(n, e), 0);
            const auto recs = Records(
                ReadBytes(JoinPath(session.FolderPath(), ChunkWriter::FinalChunkName(n))),
                false);
            if (!recs.empty()) {
                EXPECT_EQ(recs.size(), e.RecordCount() + 1) << "chunk " << n;
            }
            onDisk += recs.empty() ? 0 : recs.size() - 1;
        }
        EXPECT_GT(onDisk, 10000u);
        EXPECT_EQ(totals.records, onDisk);
        EXPECT_EQ(index.ReadFrameNum(), onDisk);
        EXPECT_EQ(session.Capture().Totals().records, onDisk);
        EXPECT_FALSE(std::filesystem::exists(JoinPath(session.FolderPath(), kIndexReserveName)));
    }
    ::umount(dir.path().c_str());
}

// Filling the disk to the last byte before Stop: the index still gets its
// entries, from the space the run held back at its start.
TEST(CaptureSessionTest, IndexIsWrittenAtStopEvenOnAFullDisk) {
    TempDir dir;
    if (::geteuid() != 0 || ::mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=2m") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    {
        CaptureSession session(nullptr, nullptr);
        ASSERT_EQ(session.Start(Info(dir.path(), kProtocolAsync, kMemoryFix, 5000)), 0);
        session.Feed(Traffic(kProtocolAsync, 20000));
        // Another program takes every byte left.
        {
            std::ofstream filler(dir.file("filler"), std::ios::binary);
            std::vector<char> block(4096, 'x');
            while (filler.write(block.data(), static_cast<std::streamsize>(block.size())))
                filler.flush();
        }
        ASSERT_EQ(session.Stop(Noon(17)), 0);
        CaptureIndex index;
        ASSERT_EQ(index.OpenIndex(session.IndexPath()), 0);
        EXPECT_GE(index.ChunkTotals().chunks + 1, session.Capture().Table().Used());
        EXPECT_GT(index.ReadFrameNum(), 0u);
        EXPECT_EQ(index.ReadFrameNum(), index.ChunkTotals().records);
    }
    ::umount(dir.path().c_str());
}

std::vector<uint8_t> DataItems(int count) {
    std::vector<uint8_t> s;
    for (int i = 0; i < count; ++i)
        AppendStreamItem(s, StreamItem::Data(0x80, static_cast<uint8_t>(i), 10));
    return s;
}

// A run that stops right after a chunk switch, or right after a new day,
// leaves no chunk without records behind; readers then land on records.
TEST(CaptureSessionTest, NoEmptyLastChunkAfterASwitchOrANewDay) {
    for (bool newDay : {false, true}) {
        SCOPED_TRACE(newDay);
        TempDir dir;
        CaptureSession session(nullptr, nullptr);
        ASSERT_EQ(session.Start(Info(dir.path(), kProtocolAsync, kMemoryFix, 100)), 0);
        std::vector<uint8_t> s;
        AppendStreamItem(s, StreamItem::Date(24, 5, 17));
        AppendStreamItem(s, StreamItem::Data(0xC0, 0, 0));  // the leading record
        auto data = DataItems(newDay ? 150 : 200);           // exactly two full chunks
        s.insert(s.end(), data.begin(), data.end());
        if (newDay) AppendStreamItem(s, StreamItem::Date(24, 5, 18));
        session.Feed(s);
        ASSERT_EQ(session.Stop(Noon(18)), 0);
        CaptureIndex index;
        ASSERT_EQ(index.OpenIndex(session.IndexPath()), 0);
        EXPECT_EQ(index.ChunkTotals().chunks, 2u);
        EXPECT_EQ(index.ReadFrameNum(), newDay ? 150u : 200u);
        EXPECT_FALSE(index.HasValue("DataFile", "3"));
        EXPECT_FALSE(std::filesystem::exists(
            JoinPath(session.FolderPath(), ChunkWriter::FinalChunkName(3))));
        EXPECT_FALSE(std::filesystem::exists(
            JoinPath(session.FolderPath(), ChunkWriter::ChunkName(3))));
    }
}

TEST(CaptureSessionTest, TriggerRecordsPastTwentyFourHoursAreKept) {
    TempDir dir;
    CaptureSession session(nullptr, nullptr);
    ASSERT_EQ(session.Start(Info(dir.path(), kProtocolAsync, kMemoryFix, 50000)), 0);
    std::vector<uint8_t> s;
    AppendStreamItem(s, StreamItem::Date(24, 5, 17));
    AppendStreamItem(s, StreamItem::Data(0xC0, 0, 0));
    AppendStreamItem(s, StreamItem::TriggerTime(1, kTicksPerDay - 10));
    AppendStreamItem(s, StreamItem::TriggerStep(2, 100));  // 90 ticks past midnight
    AppendStreamItem(s, StreamItem::TriggerStep(3, 10));
    session.Feed(s);
    ASSERT_EQ(session.Stop(Noon(17)), 0);
    CaptureIndex index;
    ASSERT_EQ(index.OpenIndex(session.IndexPath()), 0);
    EXPECT_EQ(index.ReadValue("TriggerRecord", "1"), "1,240517,23:59:59 999:999:900,1");
    EXPECT_EQ(index.ReadValue("TriggerRecord", "2"), "1,240518,00:00:00 000:000:900,2");
    EXPECT_EQ(index.ReadValue("TriggerRecord", "3"), "1,240518,00:00:00 000:001:000,3");
}

// Two units recorded at once start in the same second: each run has its
// own folder and index, and neither loses a record to the other.
TEST(CaptureSessionTest, RunsStartedInOneSecondHaveFoldersOfTheirOwn) {
    TempDir dir;
    CaptureSession a(nullptr, nullptr), b(nullptr, nullptr);
    ASSERT_EQ(a.Start(Info(dir.path(), kProtocolAsync, kMemoryFix, 50)), 0);
    ASSERT_EQ(b.Start(Info(dir.path(), kProtocolAsync, kMemoryFix, 50)), 0);
    EXPECT_NE(a.FolderPath(), b.FolderPath());
    EXPECT_NE(a.IndexPath(), b.IndexPath());
    EXPECT_EQ(a.FolderName(), CaptureFolderName(Noon(17)));
    EXPECT_EQ(b.FolderName(), CaptureFolderName(Noon(17) + 1));
    std::vector<uint8_t> s;
    AppendStreamItem(s, StreamItem::Date(24, 5, 17));
    AppendStreamItem(s, StreamItem::Data(0xC0, 0, 0));
    auto data = DataItems(120);
    s.insert(s.end(), data.begin(), data.end());
    a.Feed(s);
    ASSERT_EQ(a.Stop(Noon(17)), 0);
    ASSERT_EQ(b.Stop(Noon(17)), 0);  // stores nothing
    CaptureIndex ia, ib;
    ASSERT_EQ(ia.OpenIndex(a.IndexPath()), 0);
    ASSERT_EQ(ib.OpenIndex(b.IndexPath()), 0);
    EXPECT_EQ(ia.ReadFrameNum(), 120u);
    EXPECT_EQ(ia.ChunkTotals().records, 120u);
    EXPECT_EQ(ib.ReadFrameNum(), 0u);
    // A run that saw no date item still dates its capture by its start.
    IndexTime start;
    ASSERT_EQ(ib.ReadStartTime(start), 0);
    EXPECT_EQ(start.date, "240517");
}

// A run joined after its date item went by (a second run on a unit that
// was already monitoring) dates its chunks and its start by its start clock.
TEST(CaptureSessionTest, ARunWithoutADateItemIsDatedByItsStart) {
    TempDir dir;
    CaptureSession session(nullptr, nullptr);
    ASSERT_EQ(session.Start(Info(dir.path(), kProtocolAsync, kMemoryFix, 50)), 0);
    std::vector<uint8_t> s;
    AppendStreamItem(s, StreamItem::Data(0xC0, 0, 0));
    auto data = DataItems(30);
    s.insert(s.end(), data.begin(), data.end());
    session.Feed(s);
    ASSERT_EQ(session.Stop(Noon(17)), 0);
    CaptureIndex index;
    ASSERT_EQ(index.OpenIndex(session.IndexPath()), 0);
    ChunkEntry first;
    ASSERT_EQ(index.ReadChunkEntry(1, first), 0);
    EXPECT_EQ(DateFieldText(first.date), "240517");
    IndexTime start;
    ASSERT_EQ(index.ReadStartTime(start), 0);
    EXPECT_EQ(start.date, "240517");
}

TEST(CaptureSessionTest, IndexNamesTheUnitTheRunRecords) {
    TempDir dir;
    CaptureSession session(nullptr, nullptr);
    CaptureStartInfo info = Info(dir.path(), kProtocolAsync, kMemoryFix, 50);
    info.unit = StatusUnit{17, "SZ000042", "ライン1"};
    ASSERT_EQ(session.Start(info), 0);
    ASSERT_EQ(session.Stop(Noon(17)), 0);
    CaptureIndex index;
    ASSERT_EQ(index.OpenIndex(session.IndexPath()), 0);
    EXPECT_EQ(index.ReadValue("RegistInfo", "Product"), "QV-SZ2");
    EXPECT_EQ(index.ReadValue("RegistInfo", "SerialNumber"), "SZ000042");
    EXPECT_EQ(index.ReadValue("RegistInfo", "Alias"), "ライン1");
}

}  // namespace
}  // namespace qv
