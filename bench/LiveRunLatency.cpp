// How long the desktop application's event loop waits while a monitoring
// run records and while it stops: a 10 ms timer measures how late each of
// its ticks comes. Drives the real main window and a real run on the unit
// selected in $QVORT_HOME (an emulated one: scripts/bench-slow-disk.sh sets
// it up on a slow or a normal disk), on the offscreen platform.
//   live_run_latency [SECONDS]
// Prints the lateness (p50, p99, max) during the run and from Stop until the
// finished capture is shown, how long the window's call for the live rows
// and totals takes while the run writes, how long Stop took to return, the records the
// capture got per second and the instrument's overflows it lists.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/AppServices.h"
#include "app/MainFrame.h"
#include "app/MonitorEventsBridge.h"
#include "app/WindowRegistry.h"
#include "capture/CaptureReader.h"
#include "capture/CaptureRecord.h"
#include "core/Log.h"
#include "core/Prompt.h"
#include "core/SettingsStore.h"
#include "core/ViewConf.h"
#include "device/DeviceAccess.h"
#include "device/LiveRun.h"
#include "device/UnitList.h"
#include "present/MarkList.h"

namespace {

struct YesPrompt : qv::IPrompt {
    void ShowMessage(const std::string& t) override { std::fprintf(stderr, "message: %s\n", t.c_str()); }
    bool AskYesNo(const std::string&) override { return true; }
};

struct Lateness {
    std::vector<double> ms;
    void Print(const char* what, const char* measure = "lateness") {
        if (ms.empty()) return;
        std::sort(ms.begin(), ms.end());
        auto at = [&](double q) { return ms[static_cast<size_t>(q * static_cast<double>(ms.size() - 1))]; };
        std::printf("%-6s %s p50 %.3f ms  p99 %.3f ms  max %.3f ms  (%zu ticks)\n", what, measure,
                    at(0.5), at(0.99), ms.back(), ms.size());
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20;
    qv::Log log;
    qv::SettingsStore store;
    qv::ViewConf conf{log};
    qv::DeviceAccess devices;
    qv::AppServices services{store, conf, log, devices};
    devices.Select(qv::SelectedUnitFromFile());
    YesPrompt prompt;
    log.SetPrompt(&prompt);
    qv::MainFrame frame;
    frame.resize(1000, 700);
    frame.show();
    qv::WindowRegistry& ctrl = *frame.Controller();
    ctrl.SetServices(&services);
    qv::MonitorEventsBridge events(&frame);
    ctrl.SetMonitorFactory([&]() -> std::unique_ptr<qv::ILiveMonitor> {
        return std::make_unique<qv::LiveRun>(
            store, log, devices, qv::LiveRunRequest{conf.GetSaveDirectory(), &prompt, &events});
    });

    ctrl.StartMonitoring();
    const int slot = ctrl.CurrentSlot();
    ctrl.DeferredStart(slot);
    if (!ctrl.Slot(slot).monitor) {
        std::fprintf(stderr, "the run did not start\n");
        return 1;
    }

    // The probe: a tick every 10 ms, each one's lateness kept by phase.
    constexpr int kTickMs = 10;
    Lateness run, stop, calls;
    Lateness* phase = &run;
    std::vector<qv::LiveRow> rows;
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        phase->ms.push_back(std::max(0.0, static_cast<double>(now - last) / 1e6 - kTickMs));
        last = now;
        // What a Monitor window asks of the run on each refresh: the newest
        // rows and the totals. None of it may wait behind the writing.
        if (phase == &run && ctrl.Slot(slot).monitor) {
            const qv::ILiveMonitor& m = *ctrl.Slot(slot).monitor;
            const qint64 begin = clock.nsecsElapsed();
            m.LiveRows(false, 0, qv::kLiveRingSlots, rows);
            uint64_t sum = m.GetRecordTotal(false);
            for (int field = 3; field <= 16; ++field)
                sum += m.GetCounterTotal(field);
            calls.ms.push_back(static_cast<double>(clock.nsecsElapsed() - begin) / 1e6);
            if (sum == UINT64_MAX) std::printf(" ");  // keeps the calls from being left out
        }
    });
    probe.start(kTickMs);

    QElapsedTimer runTime;
    runTime.start();
    QTimer::singleShot(static_cast<int>(seconds * 1000), [&] {
        const double ran = static_cast<double>(runTime.nsecsElapsed()) / 1e9;
        phase = &stop;
        QElapsedTimer stopCall;
        stopCall.start();
        ctrl.StopMonitoring();
        std::printf("run    %.1f s; Stop returned after %.1f ms\n", ran,
                    static_cast<double>(stopCall.nsecsElapsed()) / 1e6);
        QElapsedTimer shown;
        shown.start();
        auto* wait = new QTimer(&app);
        QObject::connect(wait, &QTimer::timeout, [&, wait, shown, ran] {
            if (ctrl.Slot(slot).monitor) return;  // still finishing
            wait->stop();
            std::printf("stop   the capture was shown %.1f s after Stop\n",
                        static_cast<double>(shown.nsecsElapsed()) / 1e9);
            if (const qv::CaptureReader* r = ctrl.Slot(slot).reader.get()) {
                int overflows = 0;
                for (const auto& t : qv::ReadTriggerRecords(r->GetIndexPath()))
                    overflows += t.event.code == qv::kTriggerCodeMemoryOverflow;
                std::printf("capture %llu records, %.0f records/s, %d overflows\n",
                            static_cast<unsigned long long>(r->GetTotalRecords()),
                            static_cast<double>(r->GetTotalRecords()) / ran, overflows);
            }
            app.quit();
        });
        wait->start(20);
    });
    app.exec();
    run.Print("run");
    stop.Print("stop");
    calls.Print("calls", "live rows + totals");
    return 0;
}
