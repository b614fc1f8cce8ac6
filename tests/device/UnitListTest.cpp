// The unit list file, the scan that marks and appends units, choosing,
// releasing and naming, and the state rows of the unit information.
#include <gtest/gtest.h>

#include <cerrno>

#include "core/Prompt.h"
#include "device/DeviceStatus.h"
#include "device/FakeBackend.h"
#include "device/UnitList.h"
#include "support/AppHome.h"
#include "support/TempDir.h"

namespace qv {
namespace {

class ScriptedPrompt : public IPrompt {
  public:
    explicit ScriptedPrompt(bool answer) : m_answer(answer) {}
    void ShowMessage(const std::string&) override {}
    bool AskYesNo(const std::string& text) override {
        asked.push_back(text);
        return m_answer;
    }
    std::vector<std::string> asked;

  private:
    bool m_answer;
};

TEST(UnitFile, LinesWriteAndReadBack) {
    UnitInfo u{0x9, 0x14D2, 0x11, "42", "left, bench"};
    EXPECT_EQ(UnitLine(u), "0009,14d2,0011,      42,left, bench\n");
    UnitInfo back = ParseUnitLine(UnitLine(u));
    EXPECT_EQ(back.flags, 0x8u);   // attachment is found afresh
    EXPECT_EQ(back.serial, "42");  // not "42,left," as a blank-ended word would give
    EXPECT_EQ(back.name, "left, bench");
    EXPECT_EQ(back.productId, 0x11u);
    UnitInfo eight = ParseUnitLine("0001,14d2,0010,ABCDEFGH,\r\n");
    EXPECT_EQ(eight.serial, "ABCDEFGH");
    EXPECT_EQ(eight.name, "");
    UnitInfo bad = ParseUnitLine("zz,14d2");
    EXPECT_EQ(bad.flags, 0u);
    EXPECT_EQ(bad.vendorId, 0x14D2u);
    EXPECT_EQ(bad.serial, "");
}

class Units : public ::testing::Test {
  protected:
    test::AppHome home;
    std::shared_ptr<test::FakeWire> wire = std::make_shared<test::FakeWire>();
    std::shared_ptr<UsbDevice> Devices(std::vector<test::FakeUnit> units) {
        return test::MakeFakeDevice(std::move(units), wire);
    }
};

TEST_F(Units, ScanAppendsNewUnitsAndMarksKnownOnes) {
    auto dev = Devices({{kProductQvS1, "A1"}, {0x0099, "X"}, {kProductQvSz2, "B2", false}});
    UnitList list{SelectedUnit{}};
    ASSERT_EQ(list.Reload(dev.get()),
              1u);  // another product and a unit that does not open are skipped
    EXPECT_FALSE(dev->IsOpen());
    EXPECT_EQ(test::ReadBytes(UnitListPath()), "0001,14d2,0010,      A1,\n");

    auto later = Devices({{kProductQvSz2, "B2"}});
    UnitList again{SelectedUnit{}};
    ASSERT_EQ(again.Reload(later.get()), 2u);
    EXPECT_EQ(again.Units()[0].flags, 0u);  // A1 no longer attached
    EXPECT_EQ(again.Rows(false).size(), 1u);
    EXPECT_EQ(again.Rows(true).size(), 2u);
    EXPECT_EQ(again.Rows(true)[1].attachedMark, " ○");
}

// An attached unit this user may not open is shown, marked, never written to
// the file and never selectable unless the list knows it.
TEST_F(Units, UnitsThisUserMayNotOpenAreShownApart) {
    UnitList first{SelectedUnit{}};
    first.Reload(Devices({{kProductQvSz2, "B2"}}).get());

    auto dev = Devices({{kProductQvS1, "A1"}, {kProductQvSz2, "B2", false}, {kProductQvS1, "C3", false}});
    UnitList list{SelectedUnit{}};
    ASSERT_EQ(list.Reload(dev.get()), 2u);  // A1 appended; B2 known; C3 not written
    EXPECT_EQ(list.Inaccessible().size(), 2u);
    const std::string file = test::ReadBytes(UnitListPath());
    EXPECT_NE(file.find("A1"), std::string::npos);
    EXPECT_EQ(file.find("C3"), std::string::npos);
    for (bool all : {false, true}) {
        auto rows = list.Rows(all);
        ASSERT_EQ(rows.size(), 3u);
        int known = 0, unknown = 0;
        for (const auto& r : rows) {
            if (r.serial == "A1") {
                EXPECT_FALSE(r.noAccess);
                EXPECT_EQ(r.attachedMark, " ○");
                continue;
            }
            EXPECT_TRUE(r.noAccess) << r.serial;
            EXPECT_EQ(r.attachedMark, " ×");
            if (r.serial == "B2") {
                ++known;
                EXPECT_NE(r.index, kNoListIndex);
                EXPECT_EQ(r.model, "QV-SZ2");
            } else {
                ++unknown;
                EXPECT_EQ(r.serial, "C3");
                EXPECT_EQ(r.index, kNoListIndex);
                EXPECT_EQ(list.Apply(r.index, nullptr, dev.get()),
                          UnitList::ApplyResult::kNoSuchUnit);
            }
        }
        EXPECT_EQ(known, 1);
        EXPECT_EQ(unknown, 1);
    }
}

// Bit 3 (0x08) of a unit's flags marks it selected by some copy of the
// application; the question is the one the user is asked, word for word.
TEST_F(Units, SelectReleaseAndTheInUseQuestion) {
    auto dev = Devices({{kProductQvS1, "A1"}, {kProductQvSz2, "B2"}});
    test::WriteBytes(home.file("QvStatus_14D2_0011_B2.qvs"), "[RegistInfo]\r\n");
    UnitList list{SelectedUnit{}};
    list.Reload(dev.get());
    EXPECT_EQ(list.Apply(1, nullptr, dev.get()), UnitList::ApplyResult::kSelected);
    EXPECT_EQ(list.Selected().serial, "B2");
    EXPECT_EQ(test::ReadBytes(home.file("QvStatus.qvs")), "[RegistInfo]\r\n");
    EXPECT_EQ(list.Rows(true)[1].selectedMark, " ◎");

    // Another copy sees bit 3 and asks before taking the unit.
    UnitList other{SelectedUnit{}};
    other.Reload(dev.get());
    EXPECT_EQ(other.Rows(true)[1].selectedMark, " ○");
    ScriptedPrompt no(false);
    EXPECT_EQ(other.Apply(1, &no, dev.get()), UnitList::ApplyResult::kDeclined);
    ASSERT_EQ(no.asked.size(), 1u);
    EXPECT_EQ(no.asked[0],
              "他のアプリケーションが使用している場合、不具合が生じる可能性がありますが実行しますか?");
    EXPECT_TRUE(other.Selected().IsNone());

    // Selecting the selected unit releases it; then no unit is selected.
    EXPECT_EQ(list.Apply(1, nullptr, dev.get()), UnitList::ApplyResult::kReleased);
    EXPECT_TRUE(list.Selected().IsNone());
    EXPECT_EQ(ReadUnitFile(UnitListPath())[1].flags & 0x08u, 0u);

    // Choosing another unit clears the previous one's bit 3.
    list.Apply(0, nullptr, dev.get());
    list.Apply(1, nullptr, dev.get());
    auto units = ReadUnitFile(UnitListPath());
    EXPECT_EQ(units[0].flags & 0x08u, 0u);
    EXPECT_EQ(units[1].flags & 0x08u, 0x08u);
    EXPECT_EQ(SelectedUnitFromFile().serial, "B2");
    list.ReleaseAtExit();
    EXPECT_TRUE(SelectedUnitFromFile().IsNone());
}

TEST_F(Units, RenameKeepsTheNameOnOneLine) {
    auto dev = Devices({{kProductQvS1, "A1"}});
    UnitList list{SelectedUnit{}};
    list.Reload(dev.get());
    ASSERT_TRUE(list.Rename(0, "new\nline, 名前", dev.get()));
    auto units = ReadUnitFile(UnitListPath());
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].name, "newline, 名前");
}

// A name the CP932 unit list cannot hold is refused and the file stays as
// it was; a list already kept as UTF-8 takes it.
TEST_F(Units, ANameWithoutACp932FormNeverChangesTheFilesEncoding) {
    auto dev = Devices({{kProductQvS1, "A1"}, {kProductQvSz2, "B2"}});
    UnitList list{SelectedUnit{}};
    list.Reload(dev.get());
    ASSERT_TRUE(list.Rename(1, "テスト", dev.get()));
    const std::string cp932 = test::ReadBytes(UnitListPath());
    EXPECT_EQ(cp932.find("テスト"), std::string::npos);  // stored as CP932 bytes
    EXPECT_FALSE(list.Rename(0, "😀x", dev.get()));
    EXPECT_EQ(errno, EILSEQ);
    EXPECT_EQ(test::ReadBytes(UnitListPath()), cp932);

    test::WriteBytes(UnitListPath(), "0001,14d2,0010,      A1,😀\n0001,14d2,0011,      B2,\n");
    list.Reload(dev.get());
    ASSERT_TRUE(list.Rename(1, "😀y", dev.get()));
    EXPECT_NE(test::ReadBytes(UnitListPath()).find(",😀y\n"), std::string::npos);
}

TEST_F(Units, FindUnitByIdentityOrTheLastOneSeen) {
    auto dev = Devices({{kProductQvS1, "A1"}, {kProductQvSz2, "B2"}, {0x0099, "X"}});
    UnitIdentity found;
    EXPECT_TRUE(FindUnit(*dev, {kQvVendorId, kProductQvS1, "A1"}, false, &found));
    EXPECT_EQ(dev->OpenIndex(), 0);
    EXPECT_FALSE(FindUnit(*dev, {kQvVendorId, kProductQvS1, "B2"}, true));
    EXPECT_FALSE(dev->IsOpen());
    EXPECT_FALSE(FindUnit(*dev, {}, false));  // no unit selected
    EXPECT_TRUE(FindUnit(*dev, {}, true, &found));
    EXPECT_EQ(found.serial, "B2");
}

TEST(StatusRows, StateBitsToTexts) {
    auto rows = StateRows(kStateMonitoring | 0x2 | kStateToCard | kStateAcPower | kStateMaster);
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[0].value, "モニタ中（蓄積中）");
    EXPECT_EQ(rows[1].value, "CF");
    EXPECT_EQ(rows[2].value, "あり");
    EXPECT_EQ(rows[6].value, "マスタ");
    // Without a card its state is "-" and row 5 is empty whatever bits 5 and 6 say.
    rows = StateRows(kStateCardFault | kStateCardIndexDamaged | 0x2);
    EXPECT_EQ(rows[0].value, "停止中");
    EXPECT_EQ(rows[3].value, "未挿入");
    EXPECT_EQ(rows[4].value, "-");
    EXPECT_EQ(rows[5].value, "");
    rows = StateRows(kStateCardInserted | kStateCardFault | kStateCardIndexDamaged | 1);
    EXPECT_EQ(rows[0].value, "モニタ中（トリガ待ち）");
    EXPECT_EQ(rows[4].value, "異常");
    EXPECT_EQ(rows[5].value, "管理ファイルが壊れています");
}

TEST(StatusRows, ClockTextsBothWays) {
    auto t = ParseClockText("2024/02/29 23:59:58");
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(ClockText(*t), "2024/02/29 23:59:58");
    EXPECT_FALSE(ParseClockText("2023/02/29 00:00:00"));
    EXPECT_FALSE(ParseClockText("2024/13/01 00:00:00"));
    EXPECT_FALSE(ParseClockText("2024/01/01 00:00"));
    EXPECT_FALSE(ParseClockText("2024/01/01 00:00:00x"));
    EXPECT_FALSE(ParseClockText("2200/01/01 00:00:00"));  // beyond the 32-bit clock
    // Well formed but beyond the clock: read, and refused with the range.
    auto late = ParseLocalTimeText("2110/01/01 00:00:00");
    ASSERT_TRUE(late.has_value());
    EXPECT_GT(*late, int64_t{UINT32_MAX});
    EXPECT_NE(ClockRangeProblem(*late).find(ClockText(UINT32_MAX)), std::string::npos);
    EXPECT_EQ(ClockRangeProblem(*ParseClockText("2106/02/06 00:00:00")), "");
    EXPECT_NE(ClockRangeProblem(-1), "");
}

TEST(StatusRows, ReadingStopsAtTheFirstFailingCommand) {
    auto wire = std::make_shared<test::FakeWire>();
    auto dev = test::MakeFakeDevice({test::FakeUnit{}}, wire);
    ASSERT_TRUE(dev->Open(0));
    DeviceCommand cmd(dev);
    wire->Reply({kStateCardInserted});
    wire->Reply({1'700'000'000, 1'700'000'001});
    // no answer to the version query
    std::vector<StatusRow> rows;
    EXPECT_EQ(ReadStatusRows(cmd, 0x0123, true, rows), -1);
    EXPECT_EQ(rows.size(), 9u);
    EXPECT_EQ(wire->outs.size(), 3u);
}

TEST(MasterSlave, RefusedWhileMonitoring) {
    auto wire = std::make_shared<test::FakeWire>();
    auto dev = test::MakeFakeDevice({test::FakeUnit{}}, wire);
    ASSERT_TRUE(dev->Open(0));
    DeviceCommand cmd(dev);
    wire->Reply({kStateMonitoring});
    EXPECT_EQ(PrepareMasterSlave(cmd).message, MessageText(MessageId::kMonitoringNoChange));
    wire->Reply({kStateMaster});
    auto r = PrepareMasterSlave(cmd);
    EXPECT_TRUE(r.message.empty());
    EXPECT_EQ(r.entry, 1);
    wire->Reply({});
    ASSERT_EQ(ApplyMasterSlave(cmd, 0), 0);
    EXPECT_EQ(wire->outs.back().bytes[3], 0);
    EXPECT_EQ(wire->outs.back().bytes[7], 2);
}

}  // namespace
}  // namespace qv
