// The Line window on a long capture: loading N records each side of a frame
// at the capture's start, middle and end, and redrawing the chart after a
// zoom or a scroll, painted by the window's own QPainter canvas and, for
// comparison, by QCustomPlot fed the same loaded traces. The capture is named
// by QVORT_BENCH_CAPTURE (bench/make_capture.sh makes one), N by
// QVORT_BENCH_FRAMENUMS (hundreds of records, 100 unless set).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <memory>

#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "lineview/LineChartCanvas.h"
#include "present/ChartPlot.h"
#include "present/ChartScale.h"
#include "present/LineChartModel.h"
#ifdef QVORT_BENCH_QCUSTOMPLOT
#include <qcustomplot.h>
#endif

namespace {

constexpr int kWidth = 1600, kHeight = 800;

struct Fixture {
    qv::SettingsStore store;
    qv::Log log;
    qv::CaptureReader file{store, log};
    std::unique_ptr<qv::LineChartModel> model;
    std::unique_ptr<qv::LineChartCanvas> canvas;
    bool ok = false;

    Fixture() {
        const char* path = std::getenv("QVORT_BENCH_CAPTURE");
        if (!path || file.Open(path) != 0 || file.GetTotalRecords() == 0) return;
        const char* hundreds = std::getenv("QVORT_BENCH_FRAMENUMS");
        const uint64_t n = 100 * static_cast<uint64_t>(hundreds ? std::atoi(hundreds) : 100);
        model = std::make_unique<qv::LineChartModel>(n);
        std::vector<qv::FormatEntry> rows;
        file.ReadFormatRows(rows);
        model->SetFormatRows(rows);
        canvas = std::make_unique<qv::LineChartCanvas>(*model);
        canvas->resize(kWidth, kHeight);
        ok = ShowAt(0.5) == 0;
    }
    qv::DayTime TimeAt(double fraction) {
        const uint64_t total = file.GetTotalRecords();
        file.GoToFrame(std::min<uint64_t>(total - 1, static_cast<uint64_t>(fraction * total)));
        qv::DayTime when;
        file.GetEndRecordTime(when);
        return when;
    }
    int ShowAt(double fraction) { return model->ShowAtTime(file, TimeAt(fraction)); }
    // Moves the reader far away, so that the next load reads its chunks again.
    void Evict(double fraction) {
        const uint64_t total = file.GetTotalRecords();
        for (double f : {0.25, 0.75, fraction < 0.5 ? 0.9 : 0.1})
            file.GoToFrame(static_cast<uint64_t>(f * (total - 1)));
    }
};

std::unique_ptr<Fixture> g_fixture;
Fixture& Get() {
    if (!g_fixture) g_fixture = std::make_unique<Fixture>();
    return *g_fixture;
}

void BM_LoadAroundFrame(benchmark::State& state) {
    auto& f = Get();
    if (!f.ok) return state.SkipWithError("set QVORT_BENCH_CAPTURE to a capture index");
    const double at = static_cast<double>(state.range(0)) / 100;
    const qv::DayTime when = f.TimeAt(at);
    for (auto _ : state) {
        state.PauseTiming();
        f.Evict(at);
        state.ResumeTiming();
        benchmark::DoNotOptimize(f.model->ShowAtTime(f.file, when));
    }
    state.SetLabel(std::to_string(state.range(0)) + "% of " + std::to_string(f.file.GetTotalRecords()) +
                   " records, " + std::to_string(f.model->Data().recordTimes.size()) + " loaded");
}
BENCHMARK(BM_LoadAroundFrame)->Arg(0)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

// Range 0: 0 zoom in/out, 1 step forward/back. Range 1: the division the
// window starts at (0 fits the loaded span: every record is in sight).
void Move(qv::ChartViewport& v, int what, bool odd) {
    if (what == 0 && odd)
        v.ZoomIn();
    else if (what == 0)
        v.ZoomOut();
    else if (odd)
        v.StepBack();
    else
        v.StepForward();
}

void StartAt(Fixture& f, int division) {
    f.ShowAt(0.5);
    auto& v = f.model->Viewport();
    v.SetDivision(division ? division : qv::FitDivision(v.SpanEnd() - v.SpanStart(), 29));
}

void BM_RedrawPainter(benchmark::State& state) {
    auto& f = Get();
    if (!f.ok) return state.SkipWithError("set QVORT_BENCH_CAPTURE to a capture index");
    StartAt(f, static_cast<int>(state.range(1)));
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    bool odd = false;
    for (auto _ : state) {
        Move(f.model->Viewport(), static_cast<int>(state.range(0)), odd = !odd);
        QPainter p(&image);
        f.canvas->Render(p);
    }
    state.counters["points"] = static_cast<double>(f.canvas->LastPointCount());
}
BENCHMARK(BM_RedrawPainter)->Args({0, 0})->Args({1, 0})->Args({1, 12})->Unit(benchmark::kMillisecond);

#ifdef QVORT_BENCH_QCUSTOMPLOT
// The same traces handed to QCustomPlot as step graphs (it samples lines
// adaptively itself), re-ranged and rendered into an image per redraw.
void BM_RedrawCustomPlot(benchmark::State& state) {
    auto& f = Get();
    if (!f.ok) return state.SkipWithError("set QVORT_BENCH_CAPTURE to a capture index");
    StartAt(f, static_cast<int>(state.range(1)));
    QCustomPlot plot;
    plot.resize(kWidth, kHeight);
    plot.setNotAntialiasedElements(QCP::aeAll);
    const auto& layout = f.model->Layout();
    for (int i = 0; i < qv::kChartTraceCount; ++i) {
        if (!layout.Shown(i)) continue;
        const auto& tr = f.model->Data().traces[static_cast<size_t>(i)];
        QVector<double> x(tr.times.begin(), tr.times.end()), y;
        for (auto l : tr.levels)
            y.push_back(layout.LevelY(i, l));
        QCPGraph* g = plot.addGraph();
        g->setLineStyle(QCPGraph::lsStepLeft);
        g->setAdaptiveSampling(true);
        g->setData(x, y, true);
    }
    QCPGraph* marks = plot.addGraph();
    marks->setLineStyle(QCPGraph::lsNone);
    marks->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssPlus, 3));
    const auto& rt = f.model->Data().recordTimes;
    QVector<double> mx(rt.begin(), rt.end()), my(mx.size(), 0.0);
    marks->setData(mx, my);
    plot.yAxis->setRange(0, layout.rows * qv::kChartRowHeight);
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    std::vector<size_t> kept;
    bool odd = false;
    for (auto _ : state) {
        auto& v = f.model->Viewport();
        Move(v, static_cast<int>(state.range(0)), odd = !odd);
        plot.xAxis->setRange(v.Left(), v.Right());
        // The character labels, as text items: only those the canvas would
        // show, so both draw the same texts.
        plot.clearItems();
        const qv::PlotScale scale{v.Left(), v.Right(), kWidth};
        for (int trace : {qv::kChartTraceSd, qv::kChartTraceRd}) {
            if (!layout.Shown(trace)) continue;
            qv::PlotLabels(f.model->Data().labels, trace, scale, 20, kept);
            for (size_t k : kept) {
                const auto& l = f.model->Data().labels[k];
                auto* text = new QCPItemText(&plot);
                text->position->setCoords(l.time, layout.LevelY(trace, qv::kChartHigh) + 2);
                text->setText(QString::asprintf("%02X", l.value));
            }
        }
        QCPPainter p(&image);
        plot.toPainter(&p, kWidth, kHeight);
    }
}
BENCHMARK(BM_RedrawCustomPlot)->Args({0, 0})->Args({1, 0})->Args({1, 12})->Unit(benchmark::kMillisecond);
#endif

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    g_fixture.reset();
    benchmark::Shutdown();
    return 0;
}
