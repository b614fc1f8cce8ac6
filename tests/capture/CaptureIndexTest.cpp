#include "capture/CaptureIndex.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "support/TempDir.h"

namespace qv {
namespace {

using test::ReadBytes;
using test::TempDir;

TEST(CaptureIndexTest, SkeletonHasEverySectionInOrderWithEmptyValues) {
    TempDir dir;
    CaptureIndex index;
    EXPECT_EQ(index.OpenIndex(dir.file("a.qvs")), -1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.qvs")));
    ASSERT_EQ(index.OpenIndex(dir.file("20240517120000.qvr")), 0);
    const std::string text = ReadBytes(dir.file("20240517120000.qvr"));
    size_t at = 0;
    for (const char* section :
         {"[RegistInfo]\r\nProduct=\r\n", "[MonitorStatus]\r\nLine=\r\n", "Memory=\r\n",
          "[TriggerOption]\r\n", "SDStr1_Scope1=\r\n", "[Trigger1]\r\n", "[Trigger8]\r\n",
          "Option2=\r\n[DataFile]\r\nStartTime=\r\nEndTime=\r\nFilterFlg=\r\n[Mark]\r\nM1=\r\n",
          "M5=\r\n[Format]\r\n1=\r\n", "30=\r\n[SyncRecord]\r\n[TriggerRecord]\r\n"}) {
        const size_t found = text.find(section, at);
        ASSERT_NE(found, std::string::npos) << section;
        at = found;
    }
    EXPECT_EQ(text.size(), at + std::strlen("30=\r\n[SyncRecord]\r\n[TriggerRecord]\r\n"));
    EXPECT_EQ(text.find("[Format]"), text.rfind("[Format]"));
    EXPECT_EQ(text.find("\n", 0), text.find("\r\n", 0) + 1);
}

TEST(CaptureIndexTest, EntriesRoundTripAndBadOnesAreRejected) {
    TempDir dir;
    CaptureIndex index;
    ASSERT_EQ(index.OpenIndex(dir.file("x.qvr")), 0);
    ChunkEntry e;
    EXPECT_EQ(index.ReadChunkEntry(1, e), -1);
    EXPECT_EQ(index.CounterTotal(1), 0u);
    EXPECT_EQ(index.ReadFrameNum(), 0u);
    EXPECT_EQ(index.ReadFilterFlag(), -1);

    ChunkEntry a;
    SetDateField(a.date, "240517");
    a.startTime = 8'640'000'000'001ULL;  // over 24 h: written as 0
    a.sdRecords = 3;
    a.events = 2;
    a.lineBitChanges[7] = 9;
    ChunkEntry b = a;
    b.startTime = 5;
    b.rdRecords = 4;
    ASSERT_EQ(index.WriteChunkEntry(a, 1), 0);
    ASSERT_EQ(index.WriteChunkEntry(b, 2), 0);
    ASSERT_EQ(index.ReadChunkEntry(1, e), 0);
    EXPECT_EQ(e.startTime, 0u);
    EXPECT_EQ(e.lineBitChanges[7], 9u);
    EXPECT_EQ(index.CounterTotal(1), 14u);
    EXPECT_EQ(index.CounterTotal(3), 4u);
    EXPECT_EQ(index.CounterTotal(5), 4u);
    EXPECT_EQ(index.CounterTotal(6), 0u);

    index.WriteString("DataFile", "3", "240517,00:00:00 000:000:000,1,2");
    EXPECT_EQ(index.ReadChunkEntry(3, e), -1);  // wrong comma count
    EXPECT_EQ(index.CounterTotal(1), 14u);      // and the totals stop there

    EXPECT_EQ(index.WriteStartTime("240517", 8'640'000'000'001ULL), -1);
    ASSERT_EQ(index.WriteEndTime("240518", 100), 0);
    CaptureTime t;
    ASSERT_EQ(index.ReadEndTime(t), 0);
    EXPECT_EQ(t.date, "240518");
    EXPECT_EQ(t.ticks, 100u);

    ASSERT_EQ(index.WriteFrameNum(12'345'678'901ULL), 0);
    EXPECT_EQ(index.ReadFrameNum(), 12'345'678'901ULL);
    ASSERT_EQ(index.WriteFilterFlag(1), 0);
    EXPECT_EQ(index.ReadFilterFlag(), 1);
    ASSERT_EQ(index.WriteFilterFlag(7), 0);
    EXPECT_EQ(index.ReadValue("DataFile", "FilterFlg"), "OFF");

    const std::string before = ReadBytes(dir.file("x.qvr"));
    CaptureMark mark;
    mark.date = "240517";
    mark.time = 42;
    mark.signal = kSignalRdData;
    EXPECT_EQ(index.WriteMark(mark, 6), -1);
    EXPECT_EQ(ReadBytes(dir.file("x.qvr")), before);
    ASSERT_EQ(index.WriteMark(mark, 5), 0);
    std::string date;
    uint64_t time = 0;
    ASSERT_EQ(index.MarkPosition(5, date, time), 0);
    EXPECT_EQ(date, "240517");
    EXPECT_EQ(time, 42u);
    EXPECT_EQ(index.MarkPosition(4, date, time), -1);

    TriggerEvent ev;
    ev.chunk = 7'000'000'000ULL;
    SetDateField(ev.date, "240517");
    ev.time = 99;
    ev.code = 255;
    ASSERT_EQ(index.WriteTriggerRecord(ev, 1), 0);
    TriggerEvent back;
    ASSERT_EQ(index.ReadTriggerRecord(1, back), 0);
    EXPECT_EQ(back.chunk, ev.chunk);
    EXPECT_EQ(back.code, 255);
}

}  // namespace
}  // namespace qv
