// How long the Monitor window takes to fill a page at the start, in the
// middle and at the end of a long capture, and to step a line or a page
// there. The capture is named by QVORT_BENCH_CAPTURE (scripts/bench-monitor-
// scroll.sh makes one of any size); the window runs on the offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/ViewConf.h"
#include "views/MonitorWindow.h"

namespace {

struct Fixture {
    qv::SettingsStore store;
    qv::Log log;
    qv::ViewConf conf{log};
    qv::CaptureReader file{store, log};
    std::unique_ptr<qv::MonitorWindow> view;
    bool ok = false;

    Fixture() {
        const char* path = std::getenv("QVORT_BENCH_CAPTURE");
        if (!path || file.Open(path) != 0) return;
        view = std::make_unique<qv::MonitorWindow>(conf, log);
        view->resize(900, 700);
        view->show();
        std::vector<qv::FormatEntry> rows;
        file.ReadFormatRows(rows);
        view->SetFormatRows(&rows, false);
        qv::DayTime first;
        file.GoToFrame(0);
        file.GetEndRecordTime(first);
        // The view pages with a reader of its own.
        auto own = std::make_unique<qv::CaptureReader>(store, log);
        if (own->Open(path) != 0) return;
        view->SetReader(std::move(own));
        ok = view->ShowAtTime(first) == 0;
    }
};

// Made on first use, dropped before the application object goes.
std::unique_ptr<Fixture> g_fixture;
Fixture& Get() {
    if (!g_fixture) g_fixture = std::make_unique<Fixture>();
    return *g_fixture;
}

uint64_t Position(double fraction) {
    auto& f = Get();
    return static_cast<uint64_t>(fraction * static_cast<double>(f.file.GetTotalRecords()));
}

void BM_FillPage(benchmark::State& state) {
    auto& f = Get();
    if (!f.ok) return state.SkipWithError("set QVORT_BENCH_CAPTURE to a capture index");
    uint64_t at = Position(state.range(0) / 100.0);
    for (auto _ : state)
        f.view->FillPageAt(at);
    state.SetLabel(std::to_string(state.range(0)) + "% of " +
                   std::to_string(f.file.GetTotalRecords()) + " records");
}
BENCHMARK(BM_FillPage)->Arg(0)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_LineDownUp(benchmark::State& state) {
    auto& f = Get();
    if (!f.ok) return state.SkipWithError("set QVORT_BENCH_CAPTURE to a capture index");
    f.view->FillPageAt(Position(state.range(0) / 100.0) - (state.range(0) == 100 ? 100 : 0));
    for (auto _ : state) {
        f.view->LineDown();
        f.view->LineUp();
    }
}
BENCHMARK(BM_LineDownUp)->Arg(0)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_PageDownUp(benchmark::State& state) {
    auto& f = Get();
    if (!f.ok) return state.SkipWithError("set QVORT_BENCH_CAPTURE to a capture index");
    f.view->FillPageAt(Position(state.range(0) / 100.0) - (state.range(0) == 100 ? 1000 : 0));
    for (auto _ : state) {
        f.view->PageDown();
        f.view->PageUp();
    }
}
BENCHMARK(BM_PageDownUp)->Arg(0)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_fixture.reset();
    return 0;
}
