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
    EXPECT_EQ(index.ReadChunkEntry(3, e), -2);  // wrong comma count: malformed
    EXPECT_EQ(index.ReadChunkEntry(4, e), -1);  // absent: the table ends
    EXPECT_EQ(index.CounterTotal(1), 14u);      // and the totals stop there

    EXPECT_EQ(index.WriteStartTime("240517", 8'640'000'000'001ULL), -1);
    ASSERT_EQ(index.WriteEndTime("240518", 100), 0);
    IndexTime t;
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

// The text of one section as it stands in the file, header to the next one.
std::string SectionText(const std::string& file, const std::string& section) {
    size_t pos = file.find("[" + section + "]");
    if (pos == std::string::npos) return "";
    size_t end = file.find("\n[", pos);
    return file.substr(pos, end == std::string::npos ? std::string::npos : end + 1 - pos);
}

TEST(CaptureIndexTest, EveryEntryIsWrittenByteForByte) {
    TempDir dir;
    const std::string path = dir.file("20241106120000.qvr");
    CaptureIndex index;
    ASSERT_EQ(index.OpenIndex(path), 0);
    const uint64_t noon = 12ULL * 3600 * 100'000'000;
    ASSERT_EQ(index.WriteStartTime("241106", noon), 0);
    ASSERT_EQ(index.WriteEndTime("241107", 99'999'999), 0);
    ASSERT_EQ(index.WriteFilterFlag(0), 0);
    ASSERT_EQ(index.WriteFrameNum(17), 0);
    ChunkEntry a;
    SetDateField(a.date, "241106");
    a.startTime = noon + 1;
    a.sdRecords = 3;
    a.rdRecords = 4;
    a.lineChanges = 2;
    a.events = 1;
    a.lineBitChanges[0] = 1;  // bit 7, RS
    a.lineBitChanges[7] = 2;  // bit 0, Ext OUT
    a.eventBitChanges[1] = 1;
    ChunkEntry b;
    SetDateField(b.date, "241107");
    b.startTime = 8'640'000'000'001ULL;  // over 24 h: the time text of 0
    b.rdRecords = 7;
    ASSERT_EQ(index.WriteChunkEntry(a, 1), 0);
    ASSERT_EQ(index.WriteChunkEntry(b, 2), 0);

    CaptureMark m2;
    m2.chunk = 2;
    m2.date = "241107";
    m2.time = 100;
    m2.signal = kSignalRdData;
    m2.comment = "note";
    CaptureMark m5;
    m5.name = "end";
    m5.chunk = 1;
    m5.date = "241106";
    m5.time = 8'639'999'999'999ULL;
    m5.signal = -1;
    ASSERT_EQ(index.WriteMark(m2, 2), 0);
    ASSERT_EQ(index.WriteMark(m5, 5), 0);

    TriggerEvent e1;
    e1.chunk = 7'000'000'000ULL;
    SetDateField(e1.date, "241106");
    e1.time = noon;
    e1.code = 255;
    TriggerEvent e2 = e1;
    e2.chunk = 1;
    e2.time = 5;
    e2.code = 3;
    ASSERT_EQ(index.WriteTriggerRecord(e1, 1), 0);
    ASSERT_EQ(index.WriteTriggerRecord(e2, 2), 0);

    TriggerSetting t;
    t.enabled = 1;
    t.andOr = kAndOrOr;
    t.lines[0] = 1;
    t.lineStates[0] = kLevelHigh;
    t.action1 = 0x20;
    t.option1 = 255;
    ASSERT_EQ(index.WriteTrigger(t, 1), 0);
    ASSERT_EQ(index.WriteFormatTable(DefaultFormatTable(), 20), 0);

    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(SectionText(bytes, "DataFile"),
              "[DataFile]\r\n"
              "StartTime=241106,12:00:00 000:000:000\r\n"
              "EndTime=241107,00:00:00 999:999:990\r\n"
              "FilterFlg=OFF\r\n"
              "FrameNum=17\r\n"
              "1=241106,12:00:00 000:000:010,3,4,2,1,1,0,0,0,0,0,0,2,0,1\r\n"
              "2=241107,00:00:00 000:000:000,0,7,0,0,0,0,0,0,0,0,0,0,0,0\r\n");
    EXPECT_EQ(SectionText(bytes, "Mark"),
              "[Mark]\r\nM1=\r\n"
              "M2=,2,241107,00:00:00 000:001:000,RD_DATA,note\r\n"
              "M3=\r\nM4=\r\n"
              "M5=end,1,241106,23:59:59 999:999:990,NON,\r\n");
    EXPECT_EQ(SectionText(bytes, "TriggerRecord"),
              "[TriggerRecord]\r\n"
              "1=7000000000,241106,12:00:00 000:000:000,255\r\n"
              "2=1,241106,00:00:00 000:000:050,3\r\n");
    EXPECT_EQ(SectionText(bytes, "SyncRecord"), "[SyncRecord]\r\n");

    std::string trigger = "[Trigger1]\r\nSD=ON\r\n";
    for (const char* k : {"RD", "RS", "CS", "ER", "DR", "CD", "CI", "ExtIn", "ExtOut", "Time1",
                          "Time2", "Time3", "Time4", "Cnt1", "Cnt2", "Cnt3", "Cnt4", "SDStr1",
                          "SDStr2", "SDStr3", "SDStr4", "RDStr1", "RDStr2", "RDStr3", "RDStr4"})
        trigger += std::string(k) + "=OFF\r\n";
    for (const char* k : {"Event", "Sync"})
        for (int i = 1; i <= 8; ++i)
            trigger += k + std::to_string(i) + "=OFF\r\n";
    trigger += "SD_State=HIGH\r\n";
    for (const char* k : {"RD", "RS", "CS", "ER", "DR", "CD", "CI", "ExtIN", "ExtOUT"})
        trigger += std::string(k) + "_State=LOW\r\n";
    trigger += "ERROR_State=\r\n";
    for (const char* k : {"Event", "Sync"})
        for (int i = 1; i <= 8; ++i)
            trigger += k + std::to_string(i) + "_State=OFF\r\n";
    trigger +=
        "AND/OR=OR\r\nAction1=20\r\nOption1=255\r\nAction2=00\r\nOption2=0\r\n"
        "Enabled=ON\r\nSDError=OFF\r\nRDError=OFF\r\nSDBreak=OFF\r\nRDBreak=OFF\r\n"
        "BufferFull=OFF\r\n";
    EXPECT_EQ(SectionText(bytes, "Trigger1"), trigger);

    std::string format = "[Format]\r\n";
    for (const char* row :
         {"1=,SD,SD,0,255,0,ON,Send Data", "2=,RD,RD,0,255,0,ON,Receive Data",
          "3=,RS,RS,0,255,0,ON,Request to Send", "4=,CS,CS,0,255,0,ON,Clear to Send",
          "5=,ER,ER,0,255,0,ON,Equipment Ready", "6=,DR,DR,0,255,0,ON,Dataset Ready",
          "7=,CD,CD,0,255,0,ON,Carrier Detect", "8=,CI,CI,0,255,0,ON,Call Indicate",
          "9=,EXT_IN,IN,0,255,0,ON,External In", "10=,EXT_OUT,OUT,0,255,0,ON,External Out",
          "11=,SD,TxD,0,255,0,ON,Transmitted Data", "12=,RD,RxD,0,255,0,ON,Received Data",
          "13=,RS,RTS,0,255,0,ON,Request to Send", "14=,CS,CTS,0,255,0,ON,Clear to Send",
          "15=,ER,DTR,0,255,0,ON,DTE Ready", "16=,DR,DSR,0,255,0,ON,DCE Ready",
          "17=,CD,DCD,0,255,0,ON,Data Carrier Detect", "18=,EXT_IN,EI,0,255,0,ON,External In",
          "19=,EXT_OUT,EO,0,255,0,ON,External Out", "20=,CI,,0,255,0,OFF,"})
        format += std::string(row) + "\r\n";
    for (int i = 21; i <= 30; ++i)
        format += std::to_string(i) + "=\r\n";
    EXPECT_EQ(SectionText(bytes, "Format"), format);
}

}  // namespace
}  // namespace qv
