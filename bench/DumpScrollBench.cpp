// How long the Dump window takes to fill a page at the start, in the middle
// and at the end of a long capture, and to step a line down and up there
// (with the selection left on the first record, so that every step also puts
// the reader back on it: the slowest case);
// and whether paging through the whole capture makes its memory grow. The
// capture is named by QVORT_BENCH_CAPTURE (scripts/bench-dump-scroll.sh makes
// one); the window runs on the offscreen platform.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <QScrollBar>
#include <cstdlib>
#include <memory>

#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/ViewConf.h"
#include "views/DumpWindow.h"

namespace {

struct Fixture {
    qv::SettingsStore store;
    qv::Log log;
    qv::ViewConf conf{log};
    qv::CaptureReader file{store, log};
    std::unique_ptr<qv::DumpWindow> view;
    bool ok = false;

    Fixture() {
        const char* path = std::getenv("QVORT_BENCH_CAPTURE");
        if (!path || file.Open(path) != 0) return;
        view = std::make_unique<qv::DumpWindow>(conf, log);
        view->resize(1000, 700);
        view->show();
        std::vector<qv::FormatEntry> rows;
        file.ReadFormatRows(rows);
        view->SetFormatRows(&rows, false);
        view->SetCodes(qv::kDumpDual, qv::kDisplayAscii);
        qv::DayTime first;
        file.GoToFrame(0);
        file.GetEndRecordTime(first);
        // The view pages with a reader of its own.
        auto own = std::make_unique<qv::CaptureReader>(store, log);
        if (own->Open(path) != 0) return;
        view->SetReader(std::move(own));
        ok = view->ShowAtTime(first) == 0;
    }
    int LastLine() const { return view->ScrollBar()->maximum(); }
};

// Made on first use, dropped before the application object goes.
std::unique_ptr<Fixture> g_fixture;
Fixture& Get() {
    if (!g_fixture) g_fixture = std::make_unique<Fixture>();
    return *g_fixture;
}

int LineAt(int percent) {
    return static_cast<int>(static_cast<int64_t>(Get().LastLine()) * percent / 100);
}

void BM_DumpFillPage(benchmark::State& state) {
    auto& f = Get();
    if (!f.ok) return state.SkipWithError("set QVORT_BENCH_CAPTURE to a capture index");
    const int line = LineAt(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        // Far away and back, so that each fill is a fresh positioning rather
        // than a step from the page before.
        f.view->ThumbReleased(line);
        state.PauseTiming();
        f.view->ThumbReleased(line < f.LastLine() / 2 ? f.LastLine() : 0);
        state.ResumeTiming();
    }
    state.SetLabel(std::to_string(state.range(0)) + "% (" + std::to_string(f.view->Page().size()) +
                   " bytes a page)");
}
BENCHMARK(BM_DumpFillPage)->Arg(0)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_DumpLineDownUp(benchmark::State& state) {
    auto& f = Get();
    if (!f.ok) return state.SkipWithError("set QVORT_BENCH_CAPTURE to a capture index");
    const int line = LineAt(static_cast<int>(state.range(0)));
    f.view->ThumbReleased(line == 0 ? 0 : line - 1);
    for (auto _ : state) {
        f.view->LineDown();
        f.view->LineUp();
    }
    state.SetLabel("a line down and a line up");
}
BENCHMARK(BM_DumpLineDownUp)->Arg(0)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

// Pages through the capture at 200 points and reports the heap in use
// before and after; it should not grow with the distance travelled.
void BM_DumpMemoryAcrossCapture(benchmark::State& state) {
    auto& f = Get();
    if (!f.ok) return state.SkipWithError("set QVORT_BENCH_CAPTURE to a capture index");
    f.view->ThumbReleased(0);
    const size_t before = mallinfo2().uordblks;
    for (auto _ : state) {
        for (int i = 0; i <= 200; ++i)
            f.view->ThumbReleased(static_cast<int>(static_cast<int64_t>(f.LastLine()) * i / 200));
    }
    f.view->ThumbReleased(0);
    const size_t after = mallinfo2().uordblks;
    state.counters["heap_before_MiB"] = static_cast<double>(before) / (1 << 20);
    state.counters["heap_after_MiB"] = static_cast<double>(after) / (1 << 20);
}
BENCHMARK(BM_DumpMemoryAcrossCapture)->Iterations(1)->Unit(benchmark::kMillisecond);

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
