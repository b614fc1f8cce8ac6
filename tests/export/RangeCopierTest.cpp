#include "export/RangeCopier.h"

#include <gtest/gtest.h>

#include "capture/CaptureIndex.h"
#include "capture/CaptureReader.h"
#include "capture/ChunkWriter.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/TimeText.h"
#include "export/ExportCaptures.h"
#include "export/ExportRegistry.h"
#include "export/SaveWorker.h"
#include "support/AppHome.h"

namespace qv {
namespace {

using test::AppHome;
using test::CaptureBuilder;
using test::Key;
using test::SaveSink;

ExportRequest CopyRequest(const std::string& index, const std::string& out, DayTime a, DayTime b) {
    ExportRequest r;
    r.source = index;
    r.destination = out;
    r.range = {a, b};
    return r;
}

// Every record of `copy` equals the source record `first + i`: bytes, line
// state, times and date.
void ExpectSameRecords(CaptureReader& src, CaptureReader& copy, uint64_t first, uint64_t count) {
    ASSERT_EQ(copy.GetTotalRecords(), count);
    ASSERT_EQ(copy.GoToFrame(0), 0);
    ASSERT_EQ(src.GoToFrame(first), 0);
    for (uint64_t i = 0; i < count; ++i) {
        std::vector<uint8_t> a, b;
        src.GetRawRecord(a);
        copy.GetRawRecord(b);
        EXPECT_EQ(a, b) << "record " << i;
        uint8_t la = 0, lb = 0;
        src.GetLineState(la);
        copy.GetLineState(lb);
        EXPECT_EQ(la, lb) << "line state of record " << i;
        std::string ta, tb;
        uint64_t t;
        src.GetStartTime(ta, t);
        copy.GetStartTime(tb, t);
        EXPECT_EQ(ta, tb) << "record " << i;
        if (i + 1 < count) {
            ASSERT_EQ(src.NextRecord(), 0);
            ASSERT_EQ(copy.NextRecord(), 0);
        }
    }
    EXPECT_EQ(copy.NextRecord(), kQvrNotFound);
}

class RangeCopierTest : public ::testing::TestWithParam<int> {
  protected:
    AppHome home;
    SettingsStore store;
    Log log;
    std::atomic<bool> cancel{false};
};

TEST_P(RangeCopierTest, CopyOpensAndMatchesTheSourceRecordByRecord) {
    const int protocol = GetParam();
    CaptureBuilder b(home.file("cap"), protocol);
    b.settings().SD_Baudrate = 19200;
    std::string index = test::BuildExportCapture(b, 3, 150, 21);
    CaptureReader src(store, log);
    ASSERT_EQ(src.Open(index), 0);
    const auto& r = b.records();
    const std::string out = home.file("copy");
    std::filesystem::create_directories(out);
    RangeCopier copier(src, out, 100);
    SaveSink sink;
    // From record 30 of the first day to the end of the capture.
    EXPECT_EQ(copier.Run(Key("241107", kTicksPerDay), Key("241106", r[30].end), &sink, cancel),
              SaveReport::kCaptureEnd);
    EXPECT_EQ(copier.FramesCopied(), r.size() - 30);
    EXPECT_EQ(copier.IndexPath(), out + "/copy.qvr");
    EXPECT_FALSE(sink.progress.empty());

    CaptureReader copy(store, log);
    ASSERT_EQ(copy.Open(copier.IndexPath()), 0);
    ExpectSameRecords(src, copy, 30, r.size() - 30);
    MonitorSettings ms, mc;
    SamplingSettings ss, sc;
    src.GetMonitorSettings(ms, ss);
    copy.GetMonitorSettings(mc, sc);
    EXPECT_EQ(ms, mc);
    CaptureIndex idx;
    idx.SetPath(copier.IndexPath());
    EXPECT_EQ(idx.ReadFilterFlag(), 1);
    EXPECT_EQ(idx.ReadFrameNum(), r.size() - 30);
    // A chunk never mixes dates, and no chunk passes the limit; its counters
    // are the sums of what it holds.
    uint64_t total = 0;
    for (uint32_t c = 1; c <= copy.GetChunkCount(); ++c) {
        std::string text;
        ChunkEntry e;
        copy.GetChunkInfo(c, text, e);
        EXPECT_LE(e.RecordCount(), 100u);
        total += e.RecordCount();
    }
    EXPECT_EQ(total, r.size() - 30);
    EXPECT_EQ(
        copy.GetTotal(kCountLineChanges), src.GetTotal(kCountLineChanges) - [&] {
            uint64_t n = 0;
            for (int i = 0; i < 30; ++i)
                n += HeaderKind(r[i].header) == RecordKind::kLineChange;
            return n;
        }());
}

INSTANTIATE_TEST_SUITE_P(Protocols, RangeCopierTest,
                         ::testing::Values(kProtocolAsync, kProtocolSync, kProtocolHdlc,
                                           kProtocolLogic));

class CopyEndingsTest : public ::testing::Test {
  protected:
    AppHome home;
    SettingsStore store;
    Log log;
    std::atomic<bool> cancel{false};
};

TEST_F(CopyEndingsTest, TypeSearchesFindEveryLineChangeInTheCopy) {
    // The chunk counters must count a change at a chunk's first line change
    // against the state its leading record carries, or the type search would
    // pass over that chunk.
    CaptureBuilder b(home.file("cap"), kProtocolAsync);
    std::filesystem::create_directories(home.file("cap"));
    b.StartChunk("241106", 0x80);  // RS on
    for (int i = 0; i < 10; ++i)
        b.Add(RecordKind::kSdData, 0x30, 1000 + i);
    b.Add(RecordKind::kLineChange, 0x00, 2000);  // RS off, in the copy's 2nd chunk
    b.Add(RecordKind::kSdData, 0x30, 2001);
    std::string index = b.Finish();
    CaptureReader src(store, log);
    ASSERT_EQ(src.Open(index), 0);
    std::string out = home.file("copy");
    std::filesystem::create_directories(out);
    RangeCopier copier(src, out, 10);
    ASSERT_EQ(copier.Run(Key("241106", 0), Key("241106", 5000), nullptr, cancel),
              SaveReport::kCaptureEnd);
    CaptureReader copy(store, log);
    ASSERT_EQ(copy.Open(copier.IndexPath()), 0);
    ASSERT_EQ(copy.GetChunkCount(), 2u);
    ASSERT_EQ(copy.GoToFrame(0), 0);
    ASSERT_EQ(copy.NextOfType(kJumpLineBit7), 0);
    CursorPosition pos;
    copy.GetCursor(pos);
    EXPECT_EQ(pos.frame, 10u);
}

TEST_F(CopyEndingsTest, WorkerRefusesCancelsAndFails) {
    CaptureBuilder b(home.file("cap"), kProtocolAsync);
    std::string index = test::BuildExportCapture(b, 1, 400, 4);
    // Outside the capture: refused, nothing made.
    {
        std::string out = home.file("none");
        std::filesystem::create_directories(out);
        SaveSink sink;
        SaveWorker w(sink, *FindExportFormat("capture"),
                     CopyRequest(index, out, Key("231106", 0), Key("231106", 10)));
        w.Start();
        w.Wait();
        EXPECT_EQ(sink.endings,
                  (std::vector<SaveReport>{SaveReport::kStartRefused, SaveReport::kEnded}));
        EXPECT_TRUE(std::filesystem::is_empty(out));
    }
    // Cancelled from the first progress report: a readable capture of what
    // was copied.
    {
        std::string out = home.file("part");
        std::filesystem::create_directories(out);
        CaptureReader src(store, log);
        ASSERT_EQ(src.Open(index), 0);
        class Canceller : public ISaveReport {
          public:
            explicit Canceller(std::atomic<bool>& c) : m_c(c) {}
            void OnSaveReport(SaveReport, int) override { m_c = true; }
            std::atomic<bool>& m_c;
        } canceller(cancel);
        RangeCopier copier(src, out, 30);
        EXPECT_EQ(copier.Run(Key("241106", 0), Key("241107", 0), &canceller, cancel),
                  SaveReport::kEnded);
        EXPECT_EQ(copier.FramesCopied(), 40u);
        CaptureReader copy(store, log);
        ASSERT_EQ(copy.Open(copier.IndexPath()), 0);
        ExpectSameRecords(src, copy, 0, 40);
        cancel = false;
    }
    // A destination that takes no more: the failure, and what was written
    // stays readable. A read-only folder after the index: chunk 1 cannot be
    // made.
    if (::geteuid() != 0) {
        std::string out = home.file("ro");
        std::filesystem::create_directories(out);
        std::filesystem::permissions(
            out, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        SaveSink sink;
        SaveWorker w(sink, *FindExportFormat("capture"),
                     CopyRequest(index, out, Key("241106", 0), Key("241107", 0)));
        w.Start();
        w.Wait();
        EXPECT_EQ(sink.endings.front(), SaveReport::kStartRefused);
    }
}

// A copy refused after it began (its first chunk file cannot be made: here
// a folder stands in the chunk's place) takes back its index: "nothing was
// saved" holds for the folder too, and a retry is not refused as a capture.
TEST_F(CopyEndingsTest, ARefusedCopyLeavesNoIndex) {
    CaptureBuilder b(home.file("cap"), kProtocolAsync);
    std::string index = test::BuildExportCapture(b, 1, 400, 4);
    const std::string out = home.file("NAME");
    std::filesystem::create_directories(out + "/" + ChunkWriter::FinalChunkName(1));
    SaveSink sink;
    ExportRequest request = CopyRequest(index, out, Key("241106", 0), Key("241107", 0));
    request.overwrite = true;
    SaveWorker w(sink, *FindExportFormat("capture"), request);
    w.Start();
    w.Wait();
    ASSERT_EQ(sink.endings.front(), SaveReport::kStartRefused);
    EXPECT_TRUE(w.Result().discarded);
    EXPECT_FALSE(std::filesystem::exists(CaptureIndexPathOf(out)));
    EXPECT_TRUE(std::filesystem::is_directory(out));  // not made by the copy: kept
    std::filesystem::remove(out + "/" + ChunkWriter::FinalChunkName(1));
    CaptureReader src(store, log);
    ASSERT_EQ(src.Open(index), 0);
    EXPECT_EQ(CheckCopyTarget(index, out, false), CopyTarget::kFree);
}

}  // namespace
}  // namespace qv
