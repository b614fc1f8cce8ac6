#include "settings/StatusSet.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "core/FileUtil.h"
#include "settings/StatusFile.h"
#include "support/TempDir.h"

namespace qv {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// Every enumerated key with its codes and words as the settings files carry
// them, and the code an unknown word reads as; written out here so that a
// word, a code or a case slipped in the key table shows.
TEST(MonitorKeys, EveryWordReadsAsItsCodeAndIsWrittenBack) {
    using Get = unsigned (*)(const MonitorStatus&);
    struct Row {
        const char* key;
        Get get;
        std::vector<std::pair<unsigned, const char*>> words;
        unsigned unknown;
    };
    const Row rows[] = {
        {"Line", [](const MonitorStatus& s) -> unsigned { return s.monitor.Line; },
         {{0, "232"}, {1, "422/485"}, {2, "530"}}, 255},
        {"Protocol", [](const MonitorStatus& s) -> unsigned { return s.monitor.Protocol; },
         {{0, "ASYNC"}, {16, "SYNC"}, {32, "HDLC"}, {48, "LOGIC"}}, 255},
        {"Parity", [](const MonitorStatus& s) -> unsigned { return s.monitor.Parity; },
         {{0, "NON"}, {1, "ODD"}, {2, "EVEN"}, {3, "MARK"}, {4, "SPACE"}, {5, "MP"}}, 255},
        {"StopBit", [](const MonitorStatus& s) -> unsigned { return s.monitor.StopBit; },
         {{0, "NON"}, {10, "1"}, {15, "1.5"}, {20, "2"}}, 255},
        {"FCS", [](const MonitorStatus& s) -> unsigned { return s.monitor.FCS; },
         {{0, "NON"}, {1, "CRC-CCIT"}, {2, "CRC16"}, {3, "CRC12"}, {4, "CRC6"}}, 255},
        {"TransParent", [](const MonitorStatus& s) -> unsigned { return s.monitor.TransParent; },
         {{1, "ON"}, {0, "OFF"}}, 0},
        {"BitOrder", [](const MonitorStatus& s) -> unsigned { return s.monitor.BitOrder; },
         {{1, "LSB"}, {0, "MSB"}}, 255},
        {"SDDataLogic", [](const MonitorStatus& s) -> unsigned { return s.monitor.SDDataLogic; },
         {{1, "PositiveLogic"}, {0, "NegativeLogic"}}, 255},
        {"RDDataLogic", [](const MonitorStatus& s) -> unsigned { return s.monitor.RDDataLogic; },
         {{1, "PositiveLogic"}, {0, "NegativeLogic"}}, 255},
        {"DataFormat", [](const MonitorStatus& s) -> unsigned { return s.monitor.DataFormat; },
         {{0, "NRZ"}, {1, "NRZI"}}, 255},
        {"Clock", [](const MonitorStatus& s) -> unsigned { return s.monitor.Clock; },
         {{0, "INT"}, {1, "ST1"}, {2, "ST2"}, {3, "RT"}}, 255},
        {"SD_ClockRate", [](const MonitorStatus& s) -> unsigned { return s.monitor.SD_ClockRate; },
         {{0, "1/1"}, {1, "1/16"}, {2, "1/32"}, {3, "1/64"}}, 255},
        {"RD_ClockRate", [](const MonitorStatus& s) -> unsigned { return s.monitor.RD_ClockRate; },
         {{0, "1/1"}, {1, "1/16"}, {2, "1/32"}, {3, "1/64"}}, 255},
        {"Padding", [](const MonitorStatus& s) -> unsigned { return s.monitor.Padding; },
         {{1, "ON"}, {0, "OFF"}}, 0},
        {"Memory", [](const MonitorStatus& s) -> unsigned { return s.monitor.Memory; },
         {{1, "FIX"}, {2, "RING"}}, 1},
        {"SDEnable", [](const MonitorStatus& s) -> unsigned { return s.sampling.SDEnable; },
         {{1, "Y"}, {0, "N"}}, 255},
        {"RDEnable", [](const MonitorStatus& s) -> unsigned { return s.sampling.RDEnable; },
         {{1, "Y"}, {0, "N"}}, 255},
        {"SyncSetting", [](const MonitorStatus& s) -> unsigned { return s.sync; },
         {{0, "NONE"}, {1, "ALWAYS"}, {2, "ONCE"}}, 255},
    };
    std::set<std::string> listed;
    for (const Row& r : rows) {
        const MonitorKey* k = FindMonitorKey(r.key);
        ASSERT_NE(k, nullptr) << r.key;
        EXPECT_EQ(k->key, r.key);
        listed.insert(r.key);
        for (auto [code, word] : r.words) {
            MonitorStatus s;
            ApplyMonitorKeyText(s, *k, word);
            EXPECT_EQ(r.get(s), code) << r.key << " " << word;
            EXPECT_EQ(MonitorKeyText(s, *k), word) << r.key;
            // Words are compared exactly: another case or a trailing blank is unknown.
            std::string lower = word;
            for (char& c : lower)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            for (const std::string& odd : {std::string(word) + " ", lower}) {
                if (odd == word) continue;
                MonitorStatus u;
                ApplyMonitorKeyText(u, *k, odd);
                EXPECT_EQ(r.get(u), r.unknown) << r.key << " '" << odd << "'";
            }
        }
    }
    // No enumerated key goes unlisted above.
    for (const MonitorKey& k : MonitorKeys()) {
        if (k.kind == MonitorKey::Kind::Word) {
            EXPECT_EQ(listed.count(std::string(k.key)), 1u) << k.key;
        }
    }
    EXPECT_EQ(FindMonitorKey("sd_baudrate")->key, "SD_Baudrate");
    EXPECT_EQ(FindMonitorKey("Product"), nullptr);
    // Codes without a word are written as empty values.
    MonitorStatus s;
    s.monitor.Protocol = 255;
    s.monitor.Memory = 0;
    EXPECT_EQ(MonitorKeyText(s, *FindMonitorKey("Protocol")), "");
    EXPECT_EQ(MonitorKeyText(s, *FindMonitorKey("Memory")), "");
}

class StatusSetTest : public ::testing::Test {
  protected:
    TempDir dir;
    StatusSet set;
    StatusSet Changed() {
        StatusSet s;
        s.status.monitor.Line = kLineRs422;
        s.status.monitor.SD_Baudrate = 115200;
        s.status.sampling.cycles[kSD] = 1'000'000;
        s.status.sampling.cycles[kCS] = 0;
        s.triggers[4].enabled = 1;
        s.triggers[4].action1 = kActionStartStoring;
        s.option.times.fill(1'700'000'000);
        s.option.counts[0] = 42;
        s.format[12].name = "ZZ";
        return s;
    }
};

TEST_F(StatusSetTest, SaveThenImportGivesTheSameSetWithHalfBitSampling) {
    StatusSet s = Changed();
    std::string path = dir.file("e.qvs");
    ASSERT_EQ(SaveStatusSet(path, s), 0);
    EXPECT_EQ(s.status.sampling.cycles[kSD], 4'340u);  // 0.5 / 115200 s
    ASSERT_EQ(ImportStatusSet(path, set, 1), 0);
    EXPECT_EQ(set, s);
}

TEST_F(StatusSetTest, Trigger6IsNeverReadNorWritten) {
    std::string path = dir.file("t.qvs");
    StatusFile file;
    ASSERT_EQ(file.OpenStatusFile(path), 0);
    TriggerSetting six;
    six.enabled = 1;
    six.action1 = 0x91;
    ASSERT_EQ(file.WriteTrigger(six, 6), 0);
    std::string before = ReadBytes(path);
    std::string section = before.substr(before.find("[Trigger6]"));
    section = section.substr(0, section.find("[Trigger7]"));

    StatusSet s = Changed();
    ASSERT_EQ(SaveStatusSet(path, s), 0);
    std::string after = ReadBytes(path);
    EXPECT_NE(after.find(section), std::string::npos);
    ASSERT_EQ(ImportStatusSet(path, set, 1), 0);
    for (const TriggerSetting& t : set.triggers)
        EXPECT_NE(t, six);
}

TEST_F(StatusSetTest, ImportTakesOnlyExistingStatusFilesAndCaptureIndexes) {
    StatusSet s = Changed();
    ASSERT_EQ(SaveStatusSet(dir.file("a.qvs"), s), 0);
    std::filesystem::copy_file(dir.file("a.qvs"), dir.file("B.QVS"));
    std::filesystem::copy_file(dir.file("a.qvs"), dir.file("c.qvr"));
    std::filesystem::copy_file(dir.file("a.qvs"), dir.file("d.txt"));
    StatusSet before = set;
    EXPECT_EQ(ImportStatusSet(dir.file("B.QVS"), set, 1), -1);  // the file classes' test is exact
    EXPECT_EQ(ImportStatusSet(dir.file("d.txt"), set, 1), -1);
    EXPECT_EQ(ImportStatusSet(dir.file("missing.qvs"), set, 1), -1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.qvs")));
    EXPECT_EQ(set, before);
    ASSERT_EQ(ImportStatusSet(dir.file("c.qvr"), set, 1), 0);
    EXPECT_EQ(set, s);
}

TEST_F(StatusSetTest, ImportKeepsRowsThatCannotBeRead) {
    std::string path = dir.file("f.qvs");
    WriteBytes(path, "[Format]\n1=,SD,A,0,0,0,ON,x\n2=bad\n3=,RD,C,0,0,0,OFF,y\n");
    set.format[1].name = "kept";
    ASSERT_EQ(ImportStatusSet(path, set, 1), 0);
    EXPECT_EQ(set.format[0].name, "A");
    EXPECT_EQ(set.format[1].name, "kept");
    EXPECT_EQ(set.format[2].name, "C");  // unlike the table read, import goes on
    EXPECT_EQ(set.format[3], DefaultFormatTable()[3]);
}

// A save lands whole or not at all, and the value that stops it is named.
TEST_F(StatusSetTest, ASetWithAValueTheFileCannotHoldChangesNothing) {
    std::string path = dir.file("w.qvs");
    StatusFile file;
    ASSERT_EQ(file.OpenStatusFile(path), 0);
    const std::string before = ReadWholeFile(path).value_or("");
    StatusSet s = Changed();
    EXPECT_EQ(StatusSetProblem(file, s), "");
    s.format[11].comment = "host €";
    const std::string why = StatusSetProblem(file, s);
    EXPECT_NE(why.find("12行目"), std::string::npos) << why;
    EXPECT_NE(why.find("host €"), std::string::npos) << why;
    EXPECT_NE(why.find("CP932"), std::string::npos) << why;
    EXPECT_EQ(SaveStatusSet(path, s), -1);
    EXPECT_EQ(ReadWholeFile(path).value_or(""), before);  // Line=422/485 not written either
}

TEST_F(StatusSetTest, SavingKeepsTheUnitNoteOfTheFile) {
    std::string path = dir.file("QvStatus_14D2_0010_S1.qvs");
    StatusFile file;
    ASSERT_EQ(file.OpenStatusFile(path), 0);
    file.SetUnit({16, "S1", "ライン1"});
    ASSERT_EQ(file.WriteRegistInfo(), 0);
    StatusSet s = Changed();
    ASSERT_EQ(SaveStatusSet(path, s), 0);
    StatusFile again;
    again.SetPath(path);
    StatusUnit unit = ReadStatusUnit(again);
    EXPECT_EQ(unit.productId, 16u);
    EXPECT_EQ(unit.serial, "S1");
    EXPECT_EQ(unit.alias, "ライン1");
}

}  // namespace
}  // namespace qv
