// qvtool against emulated instruments: the unit list, status rows, the
// clock, stopping, and unplugging and replugging.
#include <signal.h>

#include <chrono>
#include <thread>

#include "device/DeviceStatus.h"
#include "integration/Bench.h"

namespace qv::test {
namespace {

using UnitsAndStatus = Bench;

TEST_F(UnitsAndStatus, TwoUnitsListedSelectedAndNamed) {
    StartSim({"--serial", "A0000001"});
    StartSim({"--model", "QV-SZ2", "--serial", "42"});
    RunResult r = Tool({"units"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("QV-S1   A0000001"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("QV-SZ2  42"), std::string::npos) << r.out;
    std::string list = ReadBytes(home.file("ActiveUnitInfo.txt"));
    EXPECT_NE(list.find("0001,14d2,0010,A0000001,\n"), std::string::npos) << list;
    EXPECT_NE(list.find("0001,14d2,0011,      42,\n"), std::string::npos) << list;

    // The unit's own status file becomes the working one on selection.
    WriteBytes(home.file("QvStatus_14D2_0011_42.qvs"), "[MonitorStatus]\r\nLine=530\r\n");
    r = Tool({"units", "select", "42"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(home.file("QvStatus.qvs")), "[MonitorStatus]\r\nLine=530\r\n");
    ASSERT_EQ(Tool({"units", "name", "42", "bench, left"}).status, 0);
    list = ReadBytes(home.file("ActiveUnitInfo.txt"));
    EXPECT_NE(list.find(",0011,      42,bench, left\n"), std::string::npos) << list;
    EXPECT_NE(list.find("0009,14d2,0011"), std::string::npos) << list;

    // A serial that names no unit is a wrong argument.
    r = Tool({"units", "select", "nosuch"});
    EXPECT_EQ(r.status, 2);
    r = Tool({"units", "release"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(ReadBytes(home.file("ActiveUnitInfo.txt")).find("0001,14d2,0011"), std::string::npos);
}

// A unit's own status file names its unit in [RegistInfo] (product, serial,
// and the name the user gave it), whatever the file held before.
TEST_F(UnitsAndStatus, AUnitsStatusFileNamesItsUnit) {
    StartSim({"--model", "QV-SZ2", "--serial", "SZ000042"});
    ASSERT_EQ(Tool({"units", "select", "SZ000042"}).status, 0);
    ASSERT_EQ(Tool({"units", "name", "SZ000042", "bench"}).status, 0);
    const std::string file = home.file("QvStatus_14D2_0011_SZ000042.qvs");
    WriteBytes(file, "[RegistInfo]\r\nProduct=\r\nSerialNumber=\r\nAlias=\r\n");
    RunResult r = Tool({"settings", "set", "Protocol=ASYNC"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = ReadBytes(file);
    EXPECT_NE(text.find("Product=QV-SZ2\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("SerialNumber=SZ000042\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Alias=bench\r\n"), std::string::npos) << text;
}

// A unit the user may not open is listed as attached-but-inaccessible with
// what to do, instead of "no unit attached".
TEST_F(UnitsAndStatus, UnitWithoutPermissionIsListedWithAdvice) {
    StartSim({"--serial", "DENIED01", "--no-access"});
    RunResult r = Tool({"units"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("(no unit"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("QV-S1   DENIED01"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("×"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("udev"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("plugdev"), std::string::npos) << r.err;
    // It cannot be selected, and the list file does not learn it.
    EXPECT_NE(Tool({"units", "select", "DENIED01"}).status, 0);
    EXPECT_EQ(ReadBytes(home.file("ActiveUnitInfo.txt")).find("DENIED01"), std::string::npos);
}

TEST_F(UnitsAndStatus, StatusRowsAndExtendedRows) {
    StartSim({"--serial", "S1", "--release", "0207", "--no-card", "--master"});
    RunResult r = Tool({"status"});
    EXPECT_EQ(r.status, 1);  // no unit selected yet
    EXPECT_NE(r.err.find("QVが接続されていません"), std::string::npos) << r.err;
    ASSERT_EQ(Tool({"units", "select", "S1"}).status, 0);
    r = Tool({"status"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("ステータス\t停止中\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("CFカード\t未挿入\n"), std::string::npos);
    EXPECT_NE(r.out.find("CFカードの状態\t-\n"), std::string::npos);
    EXPECT_NE(r.out.find("モード\tマスタ\n"), std::string::npos);
    EXPECT_EQ(r.out.find("FX2"), std::string::npos);
    r = Tool({"status", "--extended"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("本体情報 [拡張] \n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("FX2\t0207\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("API\t1.11\n"), std::string::npos);
}

TEST_F(UnitsAndStatus, ClockSetAndReadBack) {
    StartSim({"--serial", "C1", "--clock-offset", "7200"});
    RunResult r = Tool({"clock"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("時刻情報取得できませんでした"), std::string::npos) << r.err;
    ASSERT_EQ(Tool({"units", "select", "C1"}).status, 0);
    r = Tool({"clock", "--set", "2030/01/02 03:04:05"});
    ASSERT_EQ(r.status, 0) << r.err;
    // Read back through the protocol: the instrument's clock runs on from the set time.
    auto dev = OpenUnit("C1");
    DeviceCommand cmd(dev);
    uint32_t mon = 0, clock = 0;
    ASSERT_EQ(cmd.ReadClocks(mon, clock), 0);
    uint32_t set = *ParseClockText("2030/01/02 03:04:05");
    EXPECT_GE(clock, set);
    EXPECT_LT(clock, set + 120);
    // The ISO 8601 form sets the same clock (a fraction is cut to the second).
    ASSERT_EQ(Tool({"clock", "--set", "2030-01-02T03:04:05.9"}).status, 0);
    ASSERT_EQ(cmd.ReadClocks(mon, clock), 0);
    EXPECT_GE(clock, set);
    EXPECT_LT(clock, set + 120);
    r = Tool({"clock"});
    EXPECT_NE(r.out.find("本体内蔵時計\t2030/01/02 03:0"), std::string::npos) << r.out;
    ASSERT_EQ(Tool({"clock", "--set", "now"}).status, 0);
    ASSERT_EQ(cmd.ReadClocks(mon, clock), 0);
    EXPECT_LT(std::abs(static_cast<long>(clock) - static_cast<long>(std::time(nullptr))), 60);
    EXPECT_EQ(Tool({"clock", "--set", "2030/02/31 00:00:00"}).status, 2);
    r = Tool({"clock", "--set", "2030-01-02 03:04"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("YYYY-MM-DDThh:mm:ss"), std::string::npos) << r.err;
    // A well-formed time past what the 32-bit clock holds is refused for
    // that, and the clock keeps its time.
    r = Tool({"clock", "--set", "2110/01/01 00:00:00"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.find("bad time"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("2106/02/0"), std::string::npos) << r.err;
    ASSERT_EQ(cmd.ReadClocks(mon, clock), 0);
    EXPECT_LT(std::abs(static_cast<long>(clock) - static_cast<long>(std::time(nullptr))), 60);
}

TEST_F(UnitsAndStatus, StopEndsARun) {
    StartSim({"--serial", "R1"});
    ASSERT_EQ(Tool({"units", "select", "R1"}).status, 0);
    auto dev = OpenUnit("R1");
    DeviceCommand cmd(dev);
    ASSERT_EQ(cmd.StartToComputer(), 0);
    uint32_t bits = 0;
    ASSERT_EQ(cmd.QueryState(bits), 0);
    EXPECT_EQ(bits & kStateRunMask, 1u);  // no trigger starts storing: waiting
    RunResult r = Tool({"stop"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(cmd.QueryState(bits), 0);
    EXPECT_EQ(bits & kStateRunMask, 0u);
}

// Another copy of the application selecting a unit (bit 3 of its line) does
// not make it this copy's: qvtool goes on showing and using its own choice,
// and does not stop the other copy's run without being told to.
TEST_F(UnitsAndStatus, AnotherCopysSelectionStaysAnothers) {
    StartSim({"--serial", "AB12", "--clock-fixed", "1000000000"});
    StartSim({"--serial", "CD34", "--clock-fixed", "2000000000"});
    ASSERT_EQ(Tool({"units", "select", "AB12"}).status, 0);
    // The other copy selects CD34 (its line first, so that a reader taking
    // the first selected line would take it).
    WriteBytes(home.file("ActiveUnitInfo.txt"),
               "0009,14d2,0010,    CD34,\n0009,14d2,0010,    AB12,\n");
    RunResult r = Tool({"units", "--format", "csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("QV-S1,AB12,,yes,yes,here\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("QV-S1,CD34,,yes,yes,other\n"), std::string::npos) << r.out;
    // The clock shown is AB12's (2001), not CD34's (2033).
    r = Tool({"clock"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\t2001/09/"), std::string::npos) << r.out;
    // The save device qvtool shows and sets is AB12's, not the other copy's.
    ASSERT_EQ(Tool({"config", "set", "SaveDevice", "CF"}).status, 0);
    EXPECT_NE(ReadBytes(home.file("QvStatus_14D2_0010_AB12.qvs")).find("SaveDevice=1"),
              std::string::npos);
    EXPECT_EQ(ReadBytes(home.file("QvStatus_14D2_0010_CD34.qvs")).find("SaveDevice=1"),
              std::string::npos);
    r = Tool({"config"});
    EXPECT_NE(r.out.find("SaveDevice  CF (in " + home.file("QvStatus_14D2_0010_AB12.qvs")),
              std::string::npos) << r.out;
    ASSERT_EQ(Tool({"config", "set", "SaveDevice", "PC"}).status, 0);

    // CD34 monitors for the other copy: stopping it needs --yes.
    auto dev = OpenUnit("CD34");
    DeviceCommand cmd(dev);
    ASSERT_EQ(cmd.StartToComputer(), 0);
    uint32_t bits = 0;
    EXPECT_EQ(Tool({"stop"}).status, 0);  // this copy's AB12
    ASSERT_EQ(cmd.QueryState(bits), 0);
    EXPECT_NE(bits & kStateRunMask, 0u);
    r = Tool({"stop", "--unit", "CD34"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("another copy"), std::string::npos) << r.err;
    ASSERT_EQ(cmd.QueryState(bits), 0);
    EXPECT_NE(bits & kStateRunMask, 0u);
    r = Tool({"stop", "--unit", "CD34", "--yes"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(cmd.QueryState(bits), 0);
    EXPECT_EQ(bits & kStateRunMask, 0u);

    // Released, qvtool has no unit; the other copy's stays the other's.
    ASSERT_EQ(Tool({"units", "release"}).status, 0);
    EXPECT_EQ(Tool({"clock"}).status, 1);
    EXPECT_NE(ReadBytes(home.file("ActiveUnitInfo.txt")).find("0009,14d2,0010,    CD34"),
              std::string::npos);
}

TEST_F(UnitsAndStatus, UnplugDuringATransferAndReplug) {
    Process& sim = StartSim({"--serial", "U1"});
    ASSERT_EQ(Tool({"units", "select", "U1"}).status, 0);
    auto dev = OpenUnit("U1");
    std::atomic<int> status{-1};
    std::thread reader([&] {
        uint8_t buf[512];
        size_t n = sizeof buf;
        dev->SetTimeout(kEpStream, 60000);  // waits in the instrument until cut
        status = static_cast<int>(dev->Transfer(kEpStream, buf, n));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sim.Signal(SIGUSR1);
    reader.join();
    EXPECT_EQ(status.load(), static_cast<int>(TransferStatus::kNoDevice));
    ASSERT_TRUE(WaitFor([&] { return !SocketFor("U1"); }));
    RunResult r = Tool({"status"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("QVが接続されていません"), std::string::npos);

    sim.Signal(SIGUSR2);
    ASSERT_TRUE(WaitFor([&] { return SocketFor("U1"); }));
    r = Tool({"status"});
    EXPECT_EQ(r.status, 0) << r.err;
    r = Tool({"units"});
    EXPECT_NE(r.out.find("U1"), std::string::npos);
}

TEST_F(UnitsAndStatus, CardBlocksWrittenAndReadBackAcrossRestarts) {
    std::string card = work.file("card.bin");
    std::vector<uint8_t> data(64 * 512);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 31 + 7);
    {
        Process& sim = StartSim({"--serial", "K1", "--card", card});
        auto dev = OpenUnit("K1");
        DeviceCommand cmd(dev);
        ASSERT_EQ(cmd.WriteCardBlocks(kCardSettingsAddress, data.data(), 64), 64 * 512);
        std::vector<uint8_t> back;
        ASSERT_EQ(cmd.ReadCardBlocks(kCardSettingsAddress, 64, back), 64 * 512);
        EXPECT_EQ(back, data);
        sim.Signal(SIGTERM);
        EXPECT_EQ(sim.Wait(60), 0);
    }
    StartSim({"--serial", "K1", "--card", card});
    auto dev = OpenUnit("K1");
    DeviceCommand cmd(dev);
    std::vector<uint8_t> back;
    ASSERT_EQ(cmd.ReadCardBlocks(kCardSettingsAddress, 64, back), 64 * 512);
    EXPECT_EQ(back, data);
}

// Kana, kanji, CJK punctuation and full-width forms in UTF-8 text: what the
// English interface must not print.
bool HasJapanese(const std::string& text) {
    for (size_t i = 0; i + 2 < text.size(); ++i) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        if ((b0 & 0xF0) != 0xE0) continue;
        const uint32_t cp = ((b0 & 0x0Fu) << 12) |
                            ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
                            (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
        if ((cp >= 0x3000 && cp <= 0x30FF) || (cp >= 0x4E00 && cp <= 0x9FFF) ||
            (cp >= 0xFF00 && cp <= 0xFFEF))
            return true;
    }
    return false;
}

// In English, what qvtool prints about a unit, its settings and a capture
// holds no Japanese; the words a user types are taken in either language;
// JSON keeps its keys and values whatever the language, with zoned times.
TEST_F(UnitsAndStatus, EnglishOutputAndLanguageFreeJson) {
    StartSim({"--serial", "EN01", "--clock-fixed", "1000000000"});
    ASSERT_EQ(Tool({"units", "select", "EN01"}).status, 0);
    const std::string folder = work.file("caps");
    std::filesystem::create_directories(folder);
    const std::string stream = work.file("en.bin");
    ASSERT_EQ(Tool({"gen-stream", stream, "--protocol", "ASYNC", "--events", "200"}).status, 0);
    RunResult d = Tool({"decode", stream, "--protocol", "ASYNC", "--out", folder});
    ASSERT_EQ(d.status, 0) << d.err;
    const std::string capture = d.out.substr(0, d.out.find('\n'));

    toolEnv["QVORT_LANG"] = "en";
    // An action named in English is stored as the file's own Japanese label.
    RunResult set = Tool({"settings", "trigger", "1", "--enable", "--on", "RS=HIGH", "--action1",
                          "start storing", "--action2", "LED-2 ON"});
    ASSERT_EQ(set.status, 0) << set.err;
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"status"},
                                               {"status", "--extended"},
                                               {"settings", "show"},
                                               {"settings", "check"},
                                               {"settings", "actions"},
                                               {"info", capture}}) {
        RunResult r = Tool(args);
        EXPECT_FALSE(HasJapanese(r.out + r.err)) << args[0] << " " << args.back() << ":\n"
                                                 << r.out << r.err;
    }
    EXPECT_NE(Tool({"settings", "show"}).out.find("Action 1 Start storing"), std::string::npos);
    toolEnv["QVORT_LANG"] = "ja";
    EXPECT_NE(Tool({"settings", "show"}).out.find("アクション1 蓄積開始"), std::string::npos);
    EXPECT_NE(Tool({"settings", "show"}).out.find("アクション2 LED-2　ON"), std::string::npos);

    RunResult ja = Tool({"status", "--extended", "--format", "json"});
    toolEnv["QVORT_LANG"] = "en";
    RunResult en = Tool({"status", "--extended", "--format", "json"});
    ASSERT_EQ(ja.status, 0) << ja.err;
    EXPECT_EQ(ja.out, en.out);
    EXPECT_NE(en.out.find("\"status\":\"Stopped\""), std::string::npos) << en.out;
    // 10^9 seconds since 1970, with the zone's offset.
    EXPECT_NE(en.out.find("\"unit_clock\":\"2001-09-09T"), std::string::npos) << en.out;
    EXPECT_NE(en.out.find(":46:40+"), std::string::npos) << en.out;
}

}  // namespace
}  // namespace qv::test
