// A running monitor's newest records as the Monitor window takes them: whole
// rows in one snapshot, each reading exactly as the stored capture's row of
// the same record; and the questions of a start, which are asked with the
// run's state free for the live views. qvsim is the instrument; the run is a
// monitoring run in this process that reaches qvsim through its own
// DeviceAccess.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>

#include "capture/CaptureReader.h"
#include "core/CodeTable.h"
#include "core/Log.h"
#include "core/Prompt.h"
#include "core/SettingsStore.h"
#include "core/ViewConf.h"
#include "device/DeviceAccess.h"
#include "device/LiveRun.h"
#include "device/SimSocketBackend.h"
#include "device/UnitList.h"
#include "integration/Bench.h"
#include "present/MonitorRows.h"

namespace qv::test {
namespace {

class LiveRows : public Bench {
  protected:
    // Selects the unit in the unit list and in `devices`, with `protocol`;
    // `storing` gives the status a trigger that starts storing, so that the
    // start asks nothing about it.
    void Prepare(DeviceAccess& devices, const std::string& serial, const std::string& protocol,
                 bool storing = true) {
        ASSERT_EQ(Tool({"units", "select", serial}).status, 0);
        auto r = Tool({"settings", "set", "Protocol=" + protocol});
        ASSERT_EQ(r.status, 0) << r.err;
        if (storing) {
            r = Tool({"settings", "check", "--yes"});
            ASSERT_EQ(r.status, 0) << r.err;
        }
        ::setenv("QVORT_HOME", home.path().c_str(), 1);
        devices.Select(SelectedUnitFromFile());
        ASSERT_FALSE(devices.Selected().IsNone());
    }
};

TEST_F(LiveRows, ALiveRowReadsAsTheStoredRowOfTheSameRecordInEveryProtocol) {
    for (std::string proto : {"ASYNC", "SYNC", "HDLC", "LOGIC"}) {
        SCOPED_TRACE(proto);
        const std::string serial = "L" + proto.substr(0, 3);
        Process& sim = StartSim({"--serial", serial, "--source", "synth:5", "--rate", "max"});
        DeviceAccess devices(SimBackends());
        Prepare(devices, serial, proto);
        SettingsStore store;
        Log log;
        ViewConf conf(log);
        ScriptedPrompt prompt;
        LiveRun run(store, log, devices, LiveRunRequest{conf.GetSaveDirectory(), &prompt, nullptr});
        ASSERT_EQ(run.Start(), 0);
        ASSERT_TRUE(WaitFor([&] { return run.RecordTotal() > 1000; }, 60));
        ASSERT_EQ(run.Pause(), 0);
        std::vector<LiveRow> frozen;
        ASSERT_EQ(run.LiveRows(true, 0, kLiveRingSlots, frozen), 0);
        ASSERT_EQ(frozen.size(), size_t{kLiveRingSlots});
        // A part of the snapshot is the same rows.
        std::vector<LiveRow> part;
        ASSERT_EQ(run.LiveRows(true, 150, 100, part), 0);
        ASSERT_EQ(part.size(), size_t{50});
        EXPECT_EQ(part.front(), frozen[150]);
        EXPECT_EQ(part.back(), frozen.back());
        ASSERT_EQ(run.Stop(), 0);

        CaptureReader file(store, log);
        ASSERT_EQ(file.Open(run.IndexPath()), 0);
        MonitorSettings m;
        SamplingSettings s;
        file.GetMonitorSettings(m, s);
        std::vector<FormatEntry> format;
        file.ReadFormatRows(format);
        const LineNames names = MonitorLineNames(format, m.Line);
        const Protocol protocol = file.GetProtocol();
        EXPECT_EQ(ProtocolCode(protocol), m.Protocol);

        // The frozen rows are the newest records of the pause, oldest first,
        // one after another; in HEX a stored data cell shows the byte a live
        // one does, so every cell must agree.
        ASSERT_GE(frozen.front().tr, 1u);
        ASSERT_EQ(file.GoToFrame(frozen.front().tr - 1), 0);
        MonitorRowFiller filler(DisplayCodeTable(), names, m.Line, protocol, kDisplayHex);
        ASSERT_EQ(filler.Begin(file), 0);
        int dataRows = 0;
        for (size_t i = 0; i < frozen.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(frozen[i].tr, frozen.front().tr + i);
            if (i > 0) {
                ASSERT_EQ(file.NextRecord(), 0);
            }
            MonitorRow stored, live;
            ASSERT_EQ(filler.Fill(file, stored), 0);
            ComposeLiveMonitorRow(frozen[i], names, m.Line, protocol, live);
            for (int c = 0; c < kMonitorColumns; ++c)
                EXPECT_EQ(live[c], stored[c]) << "column " << c;
            dataRows += IsDataKind(HeaderKind(frozen[i].header));
        }
        EXPECT_GT(dataRows, 0);
        sim.Signal(SIGTERM);
        ASSERT_EQ(sim.Wait(60), 0);
        ASSERT_EQ(Tool({"units", "release"}).status, 0);
    }
}

// The live views read the run while a start asks its questions (the prompt
// runs an event loop in the desktop program): every question and message
// must find the run's state free, also while an earlier capture of the same
// run is still there to be shown.
struct ProbingPrompt : IPrompt {
    LiveRun* run = nullptr;
    std::vector<std::string> asked, shown;
    int blocked = 0;

    void Probe() {
        if (!run) return;
        auto reader = std::async(std::launch::async, [this] {
            std::vector<LiveRow> rows;
            run->LiveRows(false, 0, kLiveRingSlots, rows);
            run->RecordTotal();
            run->BufferFull();
            StatusSet status;
            run->GetRunStatus(status);
        });
        // A held lock would keep the reader waiting until the prompt returns.
        if (reader.wait_for(std::chrono::seconds(10)) != std::future_status::ready) ++blocked;
    }
    void ShowMessage(const std::string& t) override {
        shown.push_back(t);
        Probe();
    }
    bool AskYesNo(const std::string& t) override {
        asked.push_back(t);
        Probe();
        return true;
    }
};

TEST_F(LiveRows, QuestionsOfAStartAreAskedWithTheRunFree) {
    // A clock an hour off and no trigger that stores: two questions.
    Process& sim = StartSim(
        {"--serial", "QASK0001", "--source", "synth:2", "--rate", "max", "--clock-offset", "3600"});
    DeviceAccess devices(SimBackends());
    Prepare(devices, "QASK0001", "ASYNC", false);
    SettingsStore store;
    Log log;
    ViewConf conf(log);
    ProbingPrompt prompt;
    log.SetPrompt(&prompt);
    LiveRun run(store, log, devices, LiveRunRequest{conf.GetSaveDirectory(), &prompt, nullptr});
    prompt.run = &run;
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        prompt.asked.clear();
        ASSERT_EQ(run.Start(), 0);
        // The clock is set by the first Yes: later starts ask only about the trigger.
        EXPECT_GE(prompt.asked.size(), pass == 0 ? 2u : 1u);
        EXPECT_EQ(prompt.blocked, 0);
        // Nothing stores without a storing trigger; the capture exists all the same.
        EXPECT_TRUE(run.Running());
        ASSERT_EQ(run.Stop(), 0);
    }
    sim.Signal(SIGTERM);
    ASSERT_EQ(sim.Wait(60), 0);
}

}  // namespace
}  // namespace qv::test
