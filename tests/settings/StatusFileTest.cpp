#include "settings/StatusFile.h"
#include "settings/StatusSet.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "support/AsUser.h"
#include "support/TempDir.h"

namespace qv {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// The template of a new status file, built from the key lists a new file is
// described with (not from the code's own tables).
std::string ExpectedTemplate() {
    std::string t;
    auto lines = [&](std::initializer_list<std::string> ls) {
        for (const std::string& l : ls)
            t += l + "\n";
    };
    auto numbered = [&](const std::string& prefix, int count, const std::string& suffix = "") {
        for (int i = 1; i <= count; ++i)
            t += prefix + std::to_string(i) + suffix + "=\n";
    };
    lines(
        {"[RegistInfo]", "Product=", "SerialNumber=", "Alias=", "SaveDevice=", "[MonitorStatus]"});
    for (const char* k : {"Line",
                          "Protocol",
                          "SD_Baudrate",
                          "RD_Baudrate",
                          "DataLen",
                          "Parity",
                          "StopBit",
                          "FCS",
                          "SyncCharCnt",
                          "SyncChar1",
                          "SyncChar2",
                          "SyncReleaseCnt",
                          "SyncReleaseChar",
                          "TransParent",
                          "TransParentChar",
                          "BitOrder",
                          "SDDataLogic",
                          "RDDataLogic",
                          "DataFormat",
                          "Clock",
                          "SD_ClockRate",
                          "RD_ClockRate",
                          "Padding",
                          "PaddingChar",
                          "SyncSetting",
                          "SDEnable",
                          "RDEnable",
                          "SDSamplingCycle",
                          "RDSamplingCycle",
                          "RSSamplingCycle",
                          "CSSamplingCycle",
                          "ERSamplingCycle",
                          "DRSamplingCycle",
                          "CDSamplingCycle",
                          "CISamplingCycle",
                          "EXTINSamplingCycle",
                          "EXTOUTSamplingCycle"})
        t += std::string(k) + "=\n";
    lines({"Memory=FIX", "[TriggerOption]"});
    numbered("Time", 4);
    numbered("Cnt", 4);
    for (const char* s : {"SD", "RD"})
        for (int i = 1; i <= 4; ++i) {
            std::string key = std::string(s) + "Str" + std::to_string(i);
            t += key + "=\n" + key + "_Scope1=END\n";
            for (int k = 2; k <= 16; ++k)
                t += key + "_Scope" + std::to_string(k) + "=\n";
        }
    for (int n = 1; n <= 8; ++n) {
        t += "[Trigger" + std::to_string(n) + "]\n";
        lines({"SD=", "RD=", "RS=", "CS=", "ER=", "DR=", "CD=", "CI=", "ExtIn=", "ExtOut="});
        numbered("Time", 4);
        numbered("Cnt", 4);
        numbered("SDStr", 4);
        numbered("RDStr", 4);
        numbered("Event", 8);
        numbered("Sync", 8);
        lines({"SD_State=", "RD_State=", "RS_State=", "CS_State=", "ER_State=", "DR_State=",
               "CD_State=", "CI_State=", "ExtIN_State=", "ExtOUT_State=", "ERROR_State="});
        numbered("Event", 8, "_State");
        numbered("Sync", 8, "_State");
        lines({"AND/OR=", "Action1=", "Option1=", "Action2=", "Option2="});
    }
    lines({"[Format]",
           "1=,SD,SD,0,255,0,ON,Send Data",
           "2=,RD,RD,0,255,0,ON,Receive Data",
           "3=,RS,RS,0,255,0,ON,Request to Send",
           "4=,CS,CS,0,255,0,ON,Clear to Send",
           "5=,ER,ER,0,255,0,ON,Equipment Ready",
           "6=,DR,DR,0,255,0,ON,Dataset Ready",
           "7=,CD,CD,0,255,0,ON,Carrier Detect",
           "8=,CI,CI,0,255,0,ON,Call Indicate",
           "9=,EXT_IN,IN,0,255,0,ON,External In",
           "10=,EXT_OUT,OUT,0,255,0,ON,External Out",
           "11=,SD,TxD,0,255,0,ON,Transmitted Data",
           "12=,RD,RxD,0,255,0,ON,Received Data",
           "13=,RS,RTS,0,255,0,ON,Request to Send",
           "14=,CS,CTS,0,255,0,ON,Clear to Send",
           "15=,ER,DTR,0,255,0,ON,DTE Ready",
           "16=,DR,DSR,0,255,0,ON,DCE Ready",
           "17=,CD,DCD,0,255,0,ON,Data Carrier Detect",
           "18=,EXT_IN,EI,0,255,0,ON,External In",
           "19=,EXT_OUT,EO,0,255,0,ON,External Out",
           "20=,CI,,0,255,0,OFF,"});
    return t;
}

// The lines of one section, without line ends.
std::vector<std::string> SectionLines(const std::string& file, const std::string& section) {
    std::vector<std::string> out;
    size_t pos = file.find("[" + section + "]");
    if (pos == std::string::npos) return out;
    pos = file.find('\n', pos) + 1;
    while (pos < file.size() && file[pos] != '[') {
        size_t end = file.find('\n', pos);
        std::string line = file.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
        pos = end + 1;
    }
    return out;
}

class StatusFileTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::string path = dir.file("s.qvs");
    StatusFile file;
};

TEST_F(StatusFileTest, NewFileIsTheExactTemplateAndReadsAsDefaults) {
    ASSERT_EQ(file.OpenStatusFile(path), 0);
    EXPECT_EQ(ReadBytes(path), ExpectedTemplate());

    MonitorSettings m;
    SamplingSettings s;
    SyncSetting sync = 7;
    m.Line = 9;  // readers start from the defaults, not from what the caller had
    ASSERT_EQ(file.ReadMonitorStatus(m, s, sync), 0);
    MonitorSettings expected;
    expected.Memory = kMemoryFix;
    EXPECT_EQ(m, expected);
    EXPECT_EQ(s, SamplingSettings{});
    EXPECT_EQ(sync, 7);  // absent: left as it was

    TriggerOption o;
    ASSERT_EQ(file.ReadTriggerOption(o, 1234), 0);
    for (int i = 0; i < kOptionStrings; ++i)
        EXPECT_EQ(PatternLength(o.scopes[i]), 0);
    EXPECT_EQ(o.times[0], 1234);
    EXPECT_EQ(o.counts[3], 0);
    TriggerSetting t;
    t.enabled = 1;
    ASSERT_EQ(file.ReadTrigger(t, 1), 0);
    EXPECT_EQ(t, TriggerSetting{});
    std::vector<FormatEntry> rows;
    ASSERT_EQ(file.ReadFormatTable(rows), 20);
    EXPECT_TRUE(std::equal(rows.begin(), rows.end(), DefaultFormatTable().begin()));
}

TEST_F(StatusFileTest, OpenTestsTheExtensionCaseSensitively) {
    EXPECT_EQ(file.OpenStatusFile(dir.file("a.QVS")), -1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.QVS")));
    ASSERT_EQ(file.OpenStatusFile(dir.file("x.qvs.bak")), 0);
    EXPECT_EQ(ReadBytes(dir.file("x.qvs.bak")), ExpectedTemplate());
}

TEST_F(StatusFileTest, MissingSectionAndOddValuesReadByTheirRules) {
    WriteBytes(path,
               "[MonitorStatus]\r\nProtocol=SYNCX\r\nTransParent=YES\r\nMemory=ring\r\n"
               "BitOrder=lsb\r\nSDSamplingCycle=0000000a\r\nRDSamplingCycle=1F4\r\n"
               "SyncChar1=Ab\r\nSyncChar2=f\r\nPaddingChar=zz\r\nSD_Baudrate=NOKEY 5\r\n"
               "RD_Baudrate=115200.5\r\nDataLen=7x\r\nLine=\r\nSyncSetting=ONCE\r\n");
    ASSERT_EQ(file.OpenStatusFile(path), 0);
    MonitorSettings m;
    SamplingSettings s;
    SyncSetting sync = 0;
    file.ReadMonitorStatus(m, s, sync);
    EXPECT_EQ(m.Protocol, 255);
    EXPECT_EQ(m.TransParent, 0u);
    EXPECT_EQ(m.Memory, kMemoryFix);  // anything but "RING" is FIX
    EXPECT_EQ(m.BitOrder, 255u);
    EXPECT_EQ(s.cycles[kSD], 10u);
    EXPECT_EQ(s.cycles[kRD], 500u);
    EXPECT_EQ(m.SyncChar1, 0xAB);
    EXPECT_EQ(m.SyncChar2, 0x0F);
    EXPECT_EQ(m.PaddingChar, 0);
    EXPECT_EQ(m.SD_Baudrate, 9600.0);  // "NOKEY..." is absent
    EXPECT_EQ(m.RD_Baudrate, 115200.5);
    EXPECT_EQ(m.DataLen, 7);
    EXPECT_EQ(m.Line, 0);
    EXPECT_EQ(sync, 2);
    EXPECT_EQ(s.cycles[kCS], 10u);
}

// The text of one section as it stands in the file, header to the next one.
std::string SectionText(const std::string& file, const std::string& section) {
    size_t pos = file.find("[" + section + "]");
    if (pos == std::string::npos) return "";
    size_t end = file.find("\n[", pos);
    return file.substr(pos, end == std::string::npos ? std::string::npos : end + 1 - pos);
}

// Key lines as a writer leaves them: a rewritten key ends in CR LF, a key of
// the template nobody wrote keeps its bare line feed.
std::string Written(std::initializer_list<std::string> lines) {
    std::string t;
    for (const std::string& l : lines)
        t += l.back() == '=' ? l + "\n" : l + "\r\n";
    return t;
}

TEST_F(StatusFileTest, EveryWriterWritesItsSectionByteForByte) {
    ASSERT_EQ(file.OpenStatusFile(path), 0);
    MonitorSettings m;
    m.SaveDevice = 1;
    m.Line = kLineRs530;
    m.Protocol = kProtocolHdlc;
    m.SD_Baudrate = 134.5;
    m.RD_Baudrate = 12'500'000;
    m.Parity = 5;
    m.StopBit = 15;
    m.FCS = 4;
    m.SyncChar1 = 0x0A;
    m.SyncReleaseChar = 0xFF;
    m.TransParent = 1;
    m.BitOrder = 0;
    m.RDDataLogic = 0;
    m.DataFormat = 1;
    m.Clock = 3;
    m.RD_ClockRate = 3;
    m.Padding = 1;
    m.Memory = kMemoryRing;
    SamplingSettings s;
    s.RDEnable = 0;
    s.cycles = {0, 1, 10'000'000, 0xFFFFFFFF, 5, 6, 7, 8, 9, 0x1234abcd};
    ASSERT_EQ(file.WriteMonitorStatus(m, s, 1), 0);
    EXPECT_EQ(SectionText(ReadBytes(path), "MonitorStatus"),
              "[MonitorStatus]\n" +
                  Written({"Line=530", "Protocol=HDLC", "SD_Baudrate=134.5",
                           "RD_Baudrate=12500000.0", "DataLen=8", "Parity=MP", "StopBit=1.5",
                           "FCS=CRC6", "SyncCharCnt=0", "SyncChar1=0a", "SyncChar2=00",
                           "SyncReleaseCnt=0", "SyncReleaseChar=ff", "TransParent=ON",
                           "TransParentChar=00", "BitOrder=MSB", "SDDataLogic=PositiveLogic",
                           "RDDataLogic=NegativeLogic", "DataFormat=NRZI", "Clock=RT",
                           "SD_ClockRate=1/1", "RD_ClockRate=1/64", "Padding=ON", "PaddingChar=00",
                           "SyncSetting=ALWAYS", "SDEnable=Y", "RDEnable=N",
                           "SDSamplingCycle=00000000", "RDSamplingCycle=00000001",
                           "RSSamplingCycle=00989680", "CSSamplingCycle=ffffffff",
                           "ERSamplingCycle=00000005", "DRSamplingCycle=00000006",
                           "CDSamplingCycle=00000007", "CISamplingCycle=00000008",
                           "EXTINSamplingCycle=00000009", "EXTOUTSamplingCycle=1234abcd",
                           "Memory=RING"}));
    EXPECT_NE(ReadBytes(path).find("SaveDevice=1\r\n"), std::string::npos);
    MonitorSettings m2;
    SamplingSettings s2;
    SyncSetting sync = 0;
    file.ReadMonitorStatus(m2, s2, sync);
    EXPECT_EQ(m2, m);
    EXPECT_EQ(s2, s);
    EXPECT_EQ(sync, 1);

    // Times are local calendar times, written as twelve digits.
    auto local = [](int y, int mo, int d, int h, int mi, int se) {
        std::tm tm{};
        tm.tm_year = y - 1900;
        tm.tm_mon = mo - 1;
        tm.tm_mday = d;
        tm.tm_hour = h;
        tm.tm_min = mi;
        tm.tm_sec = se;
        tm.tm_isdst = -1;
        return static_cast<int64_t>(std::mktime(&tm));
    };
    TriggerOption o;
    o.times = {local(2024, 11, 6, 12, 34, 56), local(2001, 1, 2, 3, 4, 5),
               local(2037, 12, 31, 23, 59, 59), local(2024, 2, 29, 0, 0, 0)};
    o.counts = {-5, 1, 1'000'000'000, INT32_MAX};
    for (int i = 0; i < kOptionStrings; ++i)
        for (int b = 0; b < kStringBytes; ++b) {
            o.strings[i][b] = static_cast<uint8_t>(i * 31 + b * 17);
            o.scopes[i][b] = static_cast<uint8_t>((i + b) % 6);
        }
    ASSERT_EQ(file.WriteTriggerOption(o), 0);
    std::string option = "[TriggerOption]\n" + Written({"Time1=241106123456", "Time2=010102030405",
                                            "Time3=371231235959", "Time4=240229000000",
                                            "Cnt1=-5", "Cnt2=1", "Cnt3=1000000000",
                                            "Cnt4=2147483647"});
    const char* scopeWords[] = {"NONE", "NOT", "ALL", "OVER", "UNDER", "END"};
    for (int i = 0; i < 8; ++i) {
        std::string key = (i < 4 ? "SDStr" : "RDStr") + std::to_string(i % 4 + 1);
        char hex[4];
        option += key + "=";
        for (int b = 0; b < 16; ++b) {
            std::snprintf(hex, sizeof hex, b < 15 ? "%02x " : "%02x", (i * 31 + b * 17) & 0xFF);
            option += hex;
        }
        option += "\r\n";
        for (int b = 0; b < 16; ++b)
            option += key + "_Scope" + std::to_string(b + 1) + "=" + scopeWords[(i + b) % 6] +
                      "\r\n";
    }
    EXPECT_EQ(SectionText(ReadBytes(path), "TriggerOption"), option);
    TriggerOption o2;
    file.ReadTriggerOption(o2, 99);
    EXPECT_EQ(o2, o);

    // Every group of a trigger with something other than its default.
    TriggerSetting t;
    t.enabled = 1;
    t.lines[9] = 1;
    t.events[7] = 1;
    t.syncs[0] = 1;
    t.times[3] = 1;
    t.counts[2] = 1;
    t.sdStrings[1] = 1;
    t.rdStrings[3] = 1;
    t.sdError = t.rdError = t.sdBreak = t.rdBreak = t.bufferFull = 1;
    t.andOr = kAndOrOr;
    t.lineStates[0] = kLevelHigh;
    t.lineStates[9] = kLevelHigh;
    t.eventStates[2] = 1;
    t.syncStates[7] = 1;
    t.action1 = 0x31;
    t.option1 = 2;
    t.action2 = 0xAB;
    t.option2 = 65535;
    for (int n = 1; n <= 5; ++n)
        ASSERT_EQ(file.WriteTrigger(t, n), 0);
    auto onOff = [](const std::string& prefix, int count, int on, const std::string& suffix = "") {
        std::string lines;
        for (int i = 1; i <= count; ++i)
            lines += prefix + std::to_string(i) + suffix + (i == on ? "=ON\r\n" : "=OFF\r\n");
        return lines;
    };
    std::string trigger =
        Written({"SD=OFF", "RD=OFF", "RS=OFF", "CS=OFF", "ER=OFF", "DR=OFF", "CD=OFF", "CI=OFF",
                 "ExtIn=OFF", "ExtOut=ON"}) +
        onOff("Time", 4, 4) + onOff("Cnt", 4, 3) + onOff("SDStr", 4, 2) + onOff("RDStr", 4, 4) +
        onOff("Event", 8, 8) + onOff("Sync", 8, 1) +
        Written({"SD_State=HIGH", "RD_State=LOW", "RS_State=LOW", "CS_State=LOW", "ER_State=LOW",
                 "DR_State=LOW", "CD_State=LOW", "CI_State=LOW", "ExtIN_State=LOW",
                 "ExtOUT_State=HIGH", "ERROR_State="}) +
        onOff("Event", 8, 3, "_State") + onOff("Sync", 8, 8, "_State") +
        Written({"AND/OR=OR", "Action1=31", "Option1=2", "Action2=ab", "Option2=65535",
                 "Enabled=ON", "SDError=ON", "RDError=ON", "SDBreak=ON", "RDBreak=ON",
                 "BufferFull=ON"});
    const std::string bytes = ReadBytes(path);
    for (int n = 1; n <= 5; ++n) {
        EXPECT_EQ(SectionText(bytes, "Trigger" + std::to_string(n)),
                  "[Trigger" + std::to_string(n) + "]\n" + trigger)
            << n;
        TriggerSetting t2;
        file.ReadTrigger(t2, n);
        EXPECT_EQ(t2, t) << n;
    }
    EXPECT_EQ(SectionText(bytes, "Trigger6"), SectionText(ExpectedTemplate(), "Trigger6"));
    EXPECT_EQ(file.WriteTrigger(t, 0), -1);
    EXPECT_EQ(file.WriteTrigger(t, 9), -1);
    EXPECT_EQ(file.ReadTrigger(t, 9), -1);

    // The display table: red, green, blue from the low byte up; ON or OFF.
    FormatTable rows = DefaultFormatTable();
    rows[0] = FormatEntry{"mk", 1, "ABC", 0x00CC8844, 1, "コメント"};
    rows[19] = FormatEntry{"", 255, "", 0x00010203, 0, ""};
    ASSERT_EQ(file.WriteFormatTable(rows, 20), 0);
    std::string format = SectionText(ExpectedTemplate(), "Format");
    std::string cp932Comment = "\x83\x52\x83\x81\x83\x93\x83\x67";
    format.replace(format.find("1=,SD,SD,0,255,0,ON,Send Data\n"),
                   std::strlen("1=,SD,SD,0,255,0,ON,Send Data\n"),
                   "1=mk,RD_DATA,ABC,68,136,204,ON," + cp932Comment + "\n");
    format.replace(format.find("20=,CI,,0,255,0,OFF,\n"), std::strlen("20=,CI,,0,255,0,OFF,\n"),
                   "20=,NON,,3,2,1,OFF,\n");
    for (size_t at = format.find('\n', format.find('\n') + 1); at != std::string::npos;
         at = format.find('\n', at + 2))
        format.insert(at, "\r");
    EXPECT_EQ(SectionText(ReadBytes(path), "Format"), format);
}

TEST_F(StatusFileTest, TriggerValuesReadByTheirRules) {
    WriteBytes(path,
               "[TriggerOption]\nSDStr1=41 42 43\nSDStr1_Scope1=NONE\nSDStr1_Scope2=NONE\n"
               "SDStr1_Scope3=NONE\nSDStr1_Scope4=END\nSDStr2=4\nSDStr2_Scope1=all\n"
               "Time1=241301000000\nTime2=240229235959\nTime3=2402\nCnt1=12abc\n"
               "[Trigger1]\nAND/OR=and\nSD=YES\nSD_State=high\nEvent1_State=1\n"
               "Action1=2\nAction2=3F\nOption1=70000\nEnabled=1\n");
    ASSERT_EQ(file.OpenStatusFile(path), 0);
    TriggerOption o;
    file.ReadTriggerOption(o, 77);
    EXPECT_EQ(PatternLength(o.scopes[0]), 3);
    EXPECT_EQ(o.strings[0][0], 0x41);
    EXPECT_EQ(o.strings[0][2], 0x43);
    EXPECT_EQ(o.strings[0][3], 0);  // a short value leaves the rest 0
    EXPECT_EQ(o.strings[1][0], 4);
    EXPECT_EQ(o.scopes[1][0], 255);
    EXPECT_EQ(o.scopes[0][4], kScopeNone);  // absent scope
    EXPECT_EQ(o.times[0], 77);              // month 13 keeps the default
    EXPECT_EQ(TriggerTimeText(o.times[1]), "240229235959");
    EXPECT_EQ(o.times[2], 77);
    EXPECT_EQ(o.counts[0], 12);

    TriggerSetting t;
    file.ReadTrigger(t, 1);
    EXPECT_EQ(t.andOr, 255);
    EXPECT_EQ(t.lines[0], 0u);
    EXPECT_EQ(t.lineStates[0], 255u);
    EXPECT_EQ(t.eventStates[0], 0u);
    EXPECT_EQ(t.action1, 0);  // one digit is not an action code
    EXPECT_EQ(t.action2, 0x3F);
    EXPECT_EQ(t.option1, static_cast<uint16_t>(70000));
    EXPECT_EQ(t.enabled, 0u);
}

TEST_F(StatusFileTest, KeysTheTemplateLacksGoToTheEndOfTheirSection) {
    ASSERT_EQ(file.OpenStatusFile(path), 0);
    TriggerSetting t;
    ASSERT_EQ(file.WriteTrigger(t, 1), 0);
    std::vector<std::string> lines = SectionLines(ReadBytes(path), "Trigger1");
    ASSERT_GE(lines.size(), 6u);
    std::vector<std::string> tail(lines.end() - 6, lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"Enabled=OFF", "SDError=OFF", "RDError=OFF",
                                              "SDBreak=OFF", "RDBreak=OFF", "BufferFull=OFF"}));
    EXPECT_EQ(lines[0], "SD=OFF");
    // Other sections are untouched, byte for byte.
    EXPECT_EQ(SectionLines(ReadBytes(path), "Trigger2"),
              SectionLines(ExpectedTemplate(), "Trigger2"));
}

TEST_F(StatusFileTest, FormatRowsStopAtTheFirstUnreadableLine) {
    WriteBytes(path,
               "[Format]\n1=m,RD_DATA,R,1,2,3,ON,c\n2=,XX,N,300,,x,on,\n"
               "3=,SD,a,b,0,0,0,ON,x\n4=,SD,S,0,0,0,ON,after\n21=,SD,S,0,0,0,ON,\n");
    ASSERT_EQ(file.OpenStatusFile(path), 0);
    std::vector<FormatEntry> rows;
    ASSERT_EQ(file.ReadFormatTable(rows), 2);
    EXPECT_EQ(rows[0], (FormatEntry{"m", 1, "R", RgbColour(1, 2, 3), 1, "c"}));
    EXPECT_EQ(rows[1], (FormatEntry{"", 0, "N", RgbColour(44, 0, 0), 0, ""}));
    FormatEntry e;
    EXPECT_EQ(file.ReadFormatEntry(e, 21), 0);  // read when present, never written
    EXPECT_EQ(file.ReadFormatEntry(e, 31), -1);
    EXPECT_EQ(file.WriteFormatEntry(e, 21), -1);
    ASSERT_EQ(file.WriteFormatEntry(rows[0], 5), 0);
    EXPECT_NE(ReadBytes(path).find("5=m,RD_DATA,R,1,2,3,ON,c\r\n"), std::string::npos);
}

TEST_F(StatusFileTest, ATableWithARowThatCannotBeWrittenIsNotWrittenAtAll) {
    ASSERT_EQ(file.OpenStatusFile(path), 0);
    const std::string before = ReadBytes(path);
    for (auto spoil : {+[](FormatEntry& r) { r.name = "A,B"; },  // would hide every later row
                       +[](FormatEntry& r) { r.line = 12; },     // no word
                       +[](FormatEntry& r) { r.comment = "€"; }}) {  // no CP932 code
        FormatTable rows = DefaultFormatTable();
        for (FormatEntry& r : rows)
            r.comment = "new";
        spoil(rows[4]);
        EXPECT_EQ(file.WriteFormatTable(rows, 20), -1);
        EXPECT_EQ(ReadBytes(path), before);
        std::vector<FormatEntry> back;
        ASSERT_EQ(file.ReadFormatTable(back), 20);
        EXPECT_EQ(back[3].comment, DefaultFormatTable()[3].comment);
    }

    // A unit alias that has no CP932 form does not stop the settings.
    file.SetUnit({16, "AB123456", "😀"});
    EXPECT_EQ(file.WriteMonitorStatus({}, {}, 0), 0);
    std::string bytes = ReadBytes(path);
    EXPECT_NE(bytes.find("Product=QV-S1\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("Line=232\r\n"), std::string::npos);
    EXPECT_EQ(file.WriteRegistInfo(), -1);  // the status of the alias
}

TEST_F(StatusFileTest, AFailedRewriteLeavesTheOldFile) {
    ASSERT_EQ(file.OpenStatusFile(path), 0);
    std::string before = ReadBytes(path);
    ::chmod(dir.path().c_str(), 0555);
    test::AsUser(dir.path(), [&] {
        TriggerSetting t;
        t.enabled = 1;
        EXPECT_EQ(file.WriteTrigger(t, 1), -1);
        EXPECT_EQ(file.WriteMonitorStatus({}, {}, 0), -1);
    });
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(ReadBytes(path), before);
    TriggerSetting back;
    file.ReadTrigger(back, 1);
    EXPECT_EQ(back.enabled, 0u);
}

// Text whose CP932 bytes happen to be valid UTF-8 (U+FF9F U+0415 are DF 84
// 45 in CP932) is saved so that it reads back as itself: an exported file
// imports into another, and the second save reads back the same.
TEST_F(StatusFileTest, TextWhoseCp932BytesLookLikeUtf8ReadsBackAsWritten) {
    StatusSet set;
    set.format[0].name = "\xEF\xBE\x9F\xD0\x95";  // "ﾟЕ"
    const std::string exported = dir.file("exported.qvs");
    ASSERT_EQ(SaveStatusSet(exported, set), 0);
    StatusSet imported;
    ASSERT_EQ(ImportStatusSet(exported, imported, 0), 0);
    EXPECT_EQ(imported.format[0].name, set.format[0].name);
    const std::string target = dir.file("target.qvs");
    WriteBytes(target, "[RegistInfo]\r\nAlias=\x83\x65\x83\x58\x83\x67\r\n");  // "テスト"
    ASSERT_EQ(SaveStatusSet(target, imported), 0);
    StatusSet again;
    ASSERT_EQ(ImportStatusSet(target, again, 0), 0);
    EXPECT_EQ(again.format[0].name, set.format[0].name);
}

TEST(StatusFileNames, UnitFilesAreNamedByIdsAndSerial) {
    EXPECT_EQ(UnitStatusFileName(0, 0, ""), "QvStatus.qvs");
    EXPECT_EQ(UnitStatusFileName(0x14D2, 0x1a, "S0000001"), "QvStatus_14D2_001a_S0000001.qvs");
    EXPECT_EQ(UnitStatusFileName(0, 0, "../x"), "QvStatus_0000_0000_.._x.qvs");
}

}  // namespace
}  // namespace qv
