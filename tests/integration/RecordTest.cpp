// Monitoring runs end to end: qvsim as the instrument, qvtool record as the
// user (or the monitor object in this process), the capture read back with
// the reader and reconciled with what the emulator says it sent.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <thread>

#include "capture/CaptureFolderList.h"
#include "capture/CaptureReader.h"
#include "capture/ChunkWriter.h"
#include "core/FileUtil.h"
#include "core/IniFile.h"
#include "core/Log.h"
#include "core/Prompt.h"
#include "core/SettingsStore.h"
#include "core/TimeText.h"
#include "core/ViewConf.h"
#include "device/LiveRun.h"
#include "device/UnitList.h"
#include "integration/Bench.h"

namespace qv::test {
namespace {

class Record : public Bench {
  protected:
    // Selects the unit and makes its status file store from the start.
    void Prepare(const std::string& serial, const std::string& protocol = "ASYNC") {
        ASSERT_EQ(Tool({"units", "select", serial}).status, 0);
        if (protocol != "ASYNC") {
            auto r = Tool({"settings", "set", "Protocol=" + protocol});
            ASSERT_EQ(r.status, 0) << r.err;
        }
        auto r = Tool({"settings", "check", "--yes"});
        ASSERT_EQ(r.status, 0) << r.err;
    }
};

TEST_F(Record, CaptureHoldsExactlyWhatTheEmulatorSentInEveryProtocol) {
    for (std::string proto : {"ASYNC", "SYNC", "HDLC", "LOGIC"}) {
        SCOPED_TRACE(proto);
        std::string serial = "R" + proto.substr(0, 3);
        Process& sim = StartSim({"--serial", serial, "--source", "synth:11", "--rate", "max"});
        Prepare(serial, proto);
        auto r = Tool({"record", "--duration", "3", "--yes"});
        ASSERT_EQ(r.status, 0) << r.err;
        uint64_t stored = CheckConsistent(IndexOf(r));
        sim.Signal(SIGTERM);
        ASSERT_EQ(sim.Wait(60), 0);
        uint64_t sent = Counted(sim.Out(), "records sent: ");
        EXPECT_GT(stored, 1000u);
        EXPECT_EQ(stored, sent) << sim.Out();
        ASSERT_EQ(Tool({"units", "release"}).status, 0);
    }
}

// --out puts the capture where the command says, not in the configured save
// folder, and a folder that is not there is refused before the instrument is
// touched.
TEST_F(Record, OutNamesTheFolderTheCaptureGoesTo) {
    StartSim({"--serial", "OUT1", "--source", "synth:5", "--rate", "max"});
    Prepare("OUT1");
    const std::string out = work.file("elsewhere");
    std::filesystem::create_directories(out);
    auto r = Tool({"record", "--duration", "1", "--yes", "--out", out});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string index = IndexOf(r);
    EXPECT_EQ(std::filesystem::path(index).parent_path().parent_path(), out) << index;
    EXPECT_GT(CheckConsistent(index), 0u);
    for (auto& e : std::filesystem::directory_iterator(home.path()))
        EXPECT_FALSE(e.is_directory() && e.path().filename().string().starts_with("20"))
            << e.path();

    r = Tool({"record", "--duration", "1", "--yes", "--out", work.file("missing")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no such folder"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(work.file("missing")));
}

// Both lines busy without a pause, at the line's own pace: the emulator
// hands the records over as its clock reaches them, and every one arrives.
TEST_F(Record, AFloodAtTheLinePaceArrivesWhole) {
    Process& sim = StartSim({"--serial", "F1", "--source", "flood:3", "--rate", "real"});
    Prepare("F1");
    // 1 Mbit/s, 8N1: 100 000 characters a second on each line.
    auto r = Tool({"settings", "set", "Line=422/485", "SD_Baudrate=1000000", "RD_Baudrate=1000000"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Tool({"record", "--duration", "2", "--yes"});
    ASSERT_EQ(r.status, 0) << r.err;
    uint64_t stored = CheckConsistent(IndexOf(r));
    sim.Signal(SIGTERM);
    ASSERT_EQ(sim.Wait(60), 0);
    EXPECT_EQ(stored, Counted(sim.Out(), "records sent: ")) << sim.Out();
    EXPECT_GT(stored, 100000u);
    EXPECT_EQ(r.out.find("full"), std::string::npos) << r.out;
}

TEST_F(Record, PauseResumeStopAndTheirCodes) {
    StartSim({"--serial", "P1", "--source", "synth:2", "--rate", "max"});
    Prepare("P1");
    ::setenv("QVORT_HOME", home.path().c_str(), 1);
    ::setenv("QVORT_SIM_DIR", sims.path().c_str(), 1);
    DeviceAccess devices;
    devices.Select(SelectedUnitFromFile());
    SettingsStore store;
    Log log;
    ViewConf conf(log);
    ScriptedPrompt prompt;
    LiveRun mon(store, log, devices, LiveRunRequest{conf.GetSaveDirectory(), &prompt, nullptr});
    EXPECT_EQ(mon.Stop(), 0);    // no run: nothing to do
    EXPECT_EQ(mon.Pause(), -7);  // no run to pause
    ASSERT_EQ(mon.Start(), 0);
    EXPECT_EQ(mon.Start(), -18);  // running and not paused
    ASSERT_TRUE(WaitFor([&] { return mon.RecordTotal() > 1000; }, 60));
    ASSERT_EQ(mon.Pause(), 0);
    uint64_t frozen = mon.RecordTotal(true);
    std::vector<LiveRow> rows;
    EXPECT_EQ(mon.LiveRows(true, 0, kLiveRingSlots, rows), 0);
    EXPECT_EQ(rows.size(), size_t{kLiveRingSlots});
    EXPECT_EQ(mon.LiveRows(true, kLiveRingSlots, 1, rows), kQvrNoRecord);
    // Capturing goes on while the display is frozen.
    ASSERT_TRUE(WaitFor([&] { return mon.RecordTotal() > frozen + 1000; }, 60));
    EXPECT_EQ(mon.RecordTotal(true), frozen);
    ASSERT_EQ(mon.Start(), 0);  // resume: same capture
    std::string folder = mon.CaptureFolder();
    ASSERT_EQ(mon.Stop(), 0);
    EXPECT_EQ(mon.CaptureFolder(), folder);
    uint64_t stored = CheckConsistent(mon.IndexPath());
    EXPECT_EQ(stored, mon.RecordTotal());
}

TEST_F(Record, StartWhileRunningIsRefusedWithoutTouchingTheRun) {
    StartSim({"--serial", "S1", "--source", "synth:4"});
    Prepare("S1");
    ::setenv("QVORT_HOME", home.path().c_str(), 1);
    ::setenv("QVORT_SIM_DIR", sims.path().c_str(), 1);
    DeviceAccess devices;
    devices.Select(SelectedUnitFromFile());
    SettingsStore store;
    Log log;
    ViewConf conf(log);
    ScriptedPrompt prompt;
    LiveRun run(store, log, devices,
                LiveRunRequest{conf.GetSaveDirectory(), &prompt, nullptr, false});
    ASSERT_EQ(run.Start(), 0);
    prompt.asked.clear();
    // Refused before anything reaches the instrument: no question offers to
    // stop the run that is going.
    EXPECT_EQ(run.Start(), -18);
    EXPECT_TRUE(run.Running());
    EXPECT_TRUE(prompt.asked.empty());
    EXPECT_EQ(run.Stop(), 0);
}

TEST_F(Record, InstrumentAlreadyMonitoringAndNoCreatesNothing) {
    StartSim({"--serial", "Q1", "--source", "synth:5"});
    Prepare("Q1");
    auto dev = OpenUnit("Q1");
    DeviceCommand cmd(dev);
    ASSERT_EQ(cmd.StartToComputer(), 0);
    auto r = Tool({"record", "--duration", "1", "--no"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("すでにQVはモニタ中です。"), std::string::npos) << r.err;
    for (auto& e : std::filesystem::directory_iterator(home.path()))
        EXPECT_FALSE(e.is_directory() && e.path().filename().string().starts_with("20"))
            << e.path();
}

// A fresh unit has no trigger that starts storing: --yes does not make
// "record" run for nothing. It fails with the way out, stores nothing and
// leaves no folder, unless --store-nothing asks for exactly that.
TEST_F(Record, ARunThatWouldStoreNothingIsRefusedUnlessAskedFor) {
    StartSim({"--serial", "F1", "--source", "synth:5"});
    ASSERT_EQ(Tool({"units", "select", "F1"}).status, 0);
    auto r = Tool({"record", "--duration", "1", "--yes"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("settings check --yes"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--store-nothing"), std::string::npos) << r.err;
    for (auto& e : std::filesystem::directory_iterator(home.path()))
        EXPECT_FALSE(e.is_directory() && e.path().filename().string().starts_with("20"))
            << e.path();
    r = Tool({"record", "--duration", "1", "--yes", "--store-nothing"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("records 0"), std::string::npos) << r.out;
}

TEST_F(Record, ClockOffByMoreThanTwoMinutesAsks) {
    StartSim({"--serial", "C1", "--source", "synth:6", "--clock-offset", "600"});
    Prepare("C1");
    auto r = Tool({"record", "--duration", "1", "--no"});
    EXPECT_NE(r.err.find("QVの時計とパソコンの時計がずれています。"), std::string::npos) << r.err;
}

// The run goes by the instrument's monitoring time (reply word 1 of the clock
// read), not by its built-in clock: that is the clock compared with the
// computer's before the start and the one the capture's times come from.
TEST_F(Record, TheRunGoesByTheMonitoringClockNotTheBuiltInOne) {
    // Built-in clock right, monitoring clock ten minutes ahead: asked.
    StartSim({"--serial", "M1", "--source", "synth:6", "--monitor-clock-offset", "600"});
    Prepare("M1");
    auto r = Tool({"record", "--duration", "1", "--no"});
    EXPECT_NE(r.err.find("QVの時計とパソコンの時計がずれています。"), std::string::npos) << r.err;
    // Built-in clock ten minutes ahead, monitoring clock right: not asked.
    StartSim({"--serial", "M2", "--source", "synth:6", "--clock-offset", "600",
              "--monitor-clock-offset", "-600"});
    Prepare("M2");
    r = Tool({"record", "--duration", "1", "--no"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("QVの時計とパソコンの時計がずれています。"), std::string::npos) << r.err;

    // Monitoring clock three days behind, answered No: the capture's end
    // time is of the monitoring clock's day, as its records are.
    StartSim({"--serial", "M3", "--source", "synth:6", "--monitor-clock-offset", "-259200"});
    Prepare("M3");
    r = Tool({"record", "--duration", "1", "--no"});
    ASSERT_EQ(r.status, 0) << r.err;
    IniFile ini;
    ini.SetPath(IndexOf(r));
    const std::string end = ini.ReadValue("DataFile", "EndTime");
    const std::string first = ini.ReadValue("DataFile", "1");
    ASSERT_GE(first.size(), 6u) << first;
    EXPECT_EQ(end.substr(0, 6), first.substr(0, 6)) << end << " / " << first;
    char today[8];
    const std::time_t now = std::time(nullptr);
    std::strftime(today, sizeof today, "%y%m%d", std::localtime(&now));
    EXPECT_NE(end.substr(0, 6), today) << end;
}

TEST_F(Record, UnplugAndReplugDuringARun) {
    Process& sim = StartSim({"--serial", "U1", "--source", "synth:8", "--rate", "max"});
    Prepare("U1");
    Process record({QVTOOL_PATH, "record", "--duration", "8", "--yes"},
                   TestEnv(home.path(), sims.path()), work.file("rec.out"), work.file("rec.err"));
    // Unplugged once records are flowing: a chunk file holds some.
    ASSERT_TRUE(WaitFor(
        [&] {
            std::error_code ec;
            for (auto& e : std::filesystem::recursive_directory_iterator(home.path(), ec))
                if (e.path().extension() == ".qvd" && e.file_size(ec) > 0) return true;
            return false;
        },
        60));
    sim.Signal(SIGUSR1);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    sim.Signal(SIGUSR2);
    ASSERT_EQ(record.Wait(120), 0) << record.Err();
    std::string log = ReadBytes(home.file("qv-ort.log"));
    EXPECT_NE(log.find("USBDevice Close -> Open."), std::string::npos) << log;
    std::string out = record.Out();
    CheckConsistent(out.substr(0, out.find('\n')));
}

// A unit lost during a run is logged when its loss is found, not only once
// it is back; and once, however many read steps fail meanwhile.
TEST_F(Record, ALostUnitIsLoggedWhileItIsAway) {
    Process& sim = StartSim({"--serial", "L1", "--source", "synth:8"});
    Prepare("L1");
    Process record({QVTOOL_PATH, "record", "--yes"}, TestEnv(home.path(), sims.path()),
                   work.file("rec.out"), work.file("rec.err"));
    auto chunkFiles = [&] {
        std::error_code ec;
        for (auto& e : std::filesystem::recursive_directory_iterator(home.path(), ec))
            if (e.path().extension() == ".qvd") return true;
        return false;
    };
    ASSERT_TRUE(WaitFor(chunkFiles)) << record.Err();
    sim.Signal(SIGUSR1);
    auto lines = [&] {
        const std::string log = ReadBytes(home.file("qv-ort.log"));
        size_t n = 0;
        for (size_t at = log.find("USBDevice Close -> Open."); at != std::string::npos;
             at = log.find("USBDevice Close -> Open.", at + 1))
            ++n;
        return n;
    };
    EXPECT_TRUE(WaitFor([&] { return lines() > 0; }, 30));
    sim.Signal(SIGUSR2);
    record.Signal(SIGINT);
    ASSERT_EQ(record.Wait(120), 0) << record.Err();
    EXPECT_EQ(lines(), 1u);
}

// The header and value bytes of every record: what the line carried,
// whatever clock stamped it.
std::string RecordBytes(const std::string& index, uint64_t limit) {
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    std::string out;
    if (file.Open(index) != 0 || !file.HasRecord()) return out;
    for (uint64_t n = 0; n < limit; ++n) {
        std::vector<uint8_t> raw;
        file.GetRawRecord(raw);
        out.push_back(static_cast<char>(raw[0]));
        out.push_back(static_cast<char>(raw[1]));
        if (file.NextRecord() != 0) break;
    }
    return out;
}

// A run killed mid-way (SIGKILL: no stop, no index entries, chunks under
// their temporary names) is made readable by qvtool recover and holds what
// the instrument sent, up to the last chunk write that reached the disk.
TEST_F(Record, KilledRunIsRecoveredUpToTheLastChunkWrite) {
    StartSim({"--serial", "K1", "--source", "synth:4", "--rate", "max"});
    StartSim({"--serial", "K2", "--source", "synth:4", "--rate", "max"});
    Prepare("K1");
    auto r = Tool({"record", "--duration", "3", "--yes"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string reference = IndexOf(r);
    ASSERT_EQ(Tool({"units", "release"}).status, 0);

    Prepare("K2");
    Process record({QVTOOL_PATH, "record", "--yes"}, TestEnv(home.path(), sims.path()),
                   work.file("kill.out"), work.file("kill.err"));
    std::string folder;
    auto thirdChunk = [&] {
        std::error_code ec;
        for (auto& e : std::filesystem::recursive_directory_iterator(home.path(), ec))
            if (e.path().filename() == "t000000003.qvd") {
                folder = e.path().parent_path().string();
                return true;
            }
        return false;
    };
    ASSERT_TRUE(WaitFor(thirdChunk, 60)) << record.Err();
    record.Signal(SIGKILL);
    record.Wait(60);
    const std::string index = CaptureIndexPathOf(folder);
    EXPECT_NE(index, reference);

    auto rec = Tool({"recover", folder});
    ASSERT_EQ(rec.status, 0) << rec.err;
    EXPECT_NE(rec.out.find("recovered"), std::string::npos) << rec.out;
    EXPECT_FALSE(std::filesystem::exists(folder + "/t000000001.qvd"));
    const uint64_t stored = CheckConsistent(index);
    // Two chunks were complete (the same stream's first two chunks in the
    // reference run); the third had its 64 KiB pieces written.
    {
        ::setenv("QVORT_HOME", home.path().c_str(), 1);
        SettingsStore store;
        Log log;
        CaptureReader ref(store, log);
        ASSERT_EQ(ref.Open(reference), 0);
        ASSERT_GE(ref.GetChunkCount(), 3u);
        EXPECT_GE(stored, ref.ChunkFirstFrame(3));
        EXPECT_GT(ref.ChunkFirstFrame(3), 50000u);
    }
    const std::string want = RecordBytes(reference, stored);
    const std::string got = RecordBytes(index, stored);
    ASSERT_GE(want.size(), got.size()) << "the reference run is too short";
    EXPECT_EQ(got.size(), 2 * stored);
    EXPECT_TRUE(got == want.substr(0, got.size()));
    // The capture names the unit it was made on.
    IniFile ini;
    ini.SetPath(index);
    EXPECT_EQ(ini.ReadValue("RegistInfo", "SerialNumber"), "K2");
    auto again = Tool({"recover", folder});
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.out.find("nothing to recover"), std::string::npos) << again.out;
}

TEST_F(Record, RingModeWrapsAndNamesTheChunksInOrder) {
    StartSim({"--serial", "W1", "--source", "synth:12", "--rate", "max"});
    Prepare("W1");
    ASSERT_EQ(Tool({"settings", "set", "Memory=RING"}).status, 0);
    ASSERT_EQ(Tool({"config", "set", "FrameMax", "150000"}).status, 0);
    // Long enough to pass the frame limit even on a loaded machine; the ring
    // keeps the kept count bounded however long the run is.
    auto r = Tool({"record", "--duration", "8", "--yes"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string index = IndexOf(r);
    uint64_t kept = CheckConsistent(index);
    // The ring keeps the newest chunks only: the frame limit and at most the
    // chunk being written beyond it.
    EXPECT_GT(kept, 100000u);
    EXPECT_LE(kept, 150000u + 50000u);
    // Chunk files 1..N, oldest first: each starts no earlier than the one before.
    ::setenv("QVORT_HOME", home.path().c_str(), 1);
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    ASSERT_EQ(file.Open(index), 0);
    ASSERT_GE(file.GetChunkCount(), 3u);
    for (uint32_t c = 1; c <= file.GetChunkCount(); ++c) {
        EXPECT_TRUE(
            std::filesystem::exists(DirName(index) + "/" + ChunkWriter::FinalChunkName(c)));
        if (c == 1) continue;
        std::string a, b;
        ChunkEntry ea, eb;
        file.GetChunkInfo(c - 1, a, ea);
        file.GetChunkInfo(c, b, eb);
        EXPECT_LE(a, b) << c;
    }
}

TEST_F(Record, ARunAcrossMidnightStartsAChunkWithTheNewDate) {
    // The instrument's clock eight seconds before its midnight: the unit's
    // selection and check before the run take seconds on a loaded machine.
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    long toMidnight = 86400 - (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec);
    StartSim({"--serial", "N1", "--source", "synth:13", "--rate", "max", "--clock-offset",
              std::to_string(toMidnight - 8)});
    Prepare("N1");
    auto r = Tool({"record", "--duration", "10", "--no"});  // keep the instrument's clock
    ASSERT_EQ(r.status, 0) << r.err;
    std::string index = IndexOf(r);
    CheckConsistent(index);
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    ASSERT_EQ(file.Open(index), 0);
    // The first chunk of the new date starts just after midnight.
    std::string text;
    ChunkEntry e1, e;
    file.GetChunkInfo(1, text, e1);
    uint32_t c = 2;
    for (; c <= file.GetChunkCount(); ++c) {
        file.GetChunkInfo(c, text, e);
        if (DateFieldText(e.date) != DateFieldText(e1.date)) break;
    }
    ASSERT_LE(c, file.GetChunkCount()) << "no chunk of a new date";
    // Synthetic traffic has idle gaps, so the new date's first record may
    // come well after midnight; it is that record that starts the chunk, and
    // the record before it still has the old date.
    uint64_t before = 0;
    for (uint32_t k = 1; k < c; ++k) {
        ChunkEntry p;
        file.GetChunkInfo(k, text, p);
        before += uint64_t{p.sdRecords} + p.rdRecords + p.lineChanges + p.events;
    }
    ASSERT_GT(before, 0u);
    std::string first, last;
    uint64_t ticks = 0;
    ASSERT_EQ(file.GoToFrame(before), 0);
    ASSERT_EQ(file.GetEndTime(first, ticks), 0);
    EXPECT_EQ(ticks, e.startTime) << first;
    ASSERT_EQ(file.GoToFrame(before - 1), 0);
    ASSERT_EQ(file.GetEndTime(last, ticks), 0);
    EXPECT_LT(last.substr(0, 8), first.substr(0, 8)) << last << " / " << first;
    // The trigger that started storing is in the index.
    IniFile ini;
    ini.SetPath(index);
    EXPECT_NE(ini.ReadValue("TriggerRecord", "1"), "NOKEY");
}

TEST_F(Record, CardRunStoredThenFetchedAsACapture) {
    std::string card = work.file("card.bin");
    Process& sim = StartSim({"--serial", "K1", "--card", card, "--source", "synth:9"});
    Prepare("K1");
    auto r = Tool({"settings", "set", "SaveDevice=CF"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Tool({"card", "start", "--yes"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("モニタスタートしました。"), std::string::npos) << r.err;
    std::this_thread::sleep_for(std::chrono::seconds(3));
    ASSERT_EQ(Tool({"stop"}).status, 0);
    r = Tool({"card", "fetch", "--idle", "3", "--yes"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string index = IndexOf(r);
    uint64_t stored = CheckConsistent(index);
    sim.Signal(SIGTERM);
    ASSERT_EQ(sim.Wait(60), 0);
    EXPECT_GT(stored, 0u);
    EXPECT_EQ(stored, Counted(sim.Out(), "records sent: ")) << sim.Out();
    // The capture carries the settings that were stored with the card run,
    // in FIX mode as every retrieval is.
    IniFile ini;
    ini.SetPath(index);
    EXPECT_EQ(ini.ReadValue("MonitorStatus", "Memory"), "FIX");
    EXPECT_EQ(ini.ReadValue("RegistInfo", "SaveDevice"), "1");  // CF
}

// A run whose status sends it to the card leaves the instrument storing
// there on its own; the run's Stop stops it all the same.
TEST_F(Record, StopEndsARunTheCardStores) {
    StartSim({"--serial", "K2", "--source", "synth:3"});
    Prepare("K2");
    ASSERT_EQ(Tool({"settings", "set", "SaveDevice=CF"}).status, 0);
    ::setenv("QVORT_HOME", home.path().c_str(), 1);
    ::setenv("QVORT_SIM_DIR", sims.path().c_str(), 1);
    DeviceAccess devices;
    devices.Select(SelectedUnitFromFile());
    SettingsStore store;
    Log log;
    ViewConf conf(log);
    ScriptedPrompt prompt;
    LiveRun mon(store, log, devices, LiveRunRequest{conf.GetSaveDirectory(), &prompt, nullptr});
    ASSERT_EQ(mon.Start(), 0);
    EXPECT_FALSE(mon.Running());  // nothing comes to the computer
    auto dev = OpenUnit("K2");
    DeviceCommand cmd(dev);
    uint32_t bits = 0;
    ASSERT_EQ(cmd.QueryState(bits), 0);
    EXPECT_NE(bits & kStateRunMask, 0u);
    EXPECT_EQ(mon.Stop(), 0);
    ASSERT_EQ(cmd.QueryState(bits), 0);
    EXPECT_EQ(bits & kStateRunMask, 0u);
}

// Ctrl+C, a kill and a closed terminal each end a recording in order: the
// capture is finished and consistent, and qvtool reports it as usual.
TEST_F(Record, EndingSignalsFinishTheCapture) {
    StartSim({"--serial", "S1", "--source", "synth:4", "--rate", "max"});
    Prepare("S1");
    int n = 0;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        ++n;
        Process rec({QVTOOL_PATH, "record", "--yes"}, TestEnv(home.path(), sims.path()),
                    work.file("sig" + std::to_string(n) + ".out"),
                    work.file("sig" + std::to_string(n) + ".err"));
        // Records are flowing once the run's folder holds a chunk file.
        std::string save = home.path();
        ASSERT_TRUE(WaitFor(
            [&] {
                std::error_code ec;
                for (auto& e : std::filesystem::recursive_directory_iterator(save, ec))
                    if (e.path().extension() == ".qvd" && e.file_size(ec) > 0) return true;
                return false;
            },
            60));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        rec.Signal(sig);
        ASSERT_EQ(rec.Wait(60), 0) << rec.Err();
        uint64_t stored = CheckConsistent(IndexOf({0, rec.Out(), rec.Err()}));
        EXPECT_GT(stored, 0u);
        // The next run makes a new capture folder; the old one's chunks must
        // not satisfy the wait above.
        std::filesystem::remove_all(std::filesystem::path(IndexOf({0, rec.Out(), rec.Err()}))
                                        .parent_path());
    }
}

}  // namespace
}  // namespace qv::test
