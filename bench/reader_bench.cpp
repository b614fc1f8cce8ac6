// Capture reader speed on a large capture. Make one first:
//   bench/make_capture.sh /dev/shm/qvbench 100000000
// then run with QVORT_BENCH_CAPTURE=<the .qvr path> build/bench/reader_bench.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdlib>
#include <random>
#include <string>

#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/SettingsStore.h"

namespace {

std::string CapturePath() {
    const char* p = std::getenv("QVORT_BENCH_CAPTURE");
    return p ? p : "";
}

size_t HeapInUse() { return mallinfo2().uordblks; }

void BM_Open(benchmark::State& state) {
    std::string path = CapturePath();
    if (path.empty()) return state.SkipWithError("set QVORT_BENCH_CAPTURE");
    qv::SettingsStore store;
    qv::Log log;
    for (auto _ : state) {
        qv::CaptureReader f(store, log);
        if (f.Open(path) != 0) return state.SkipWithError("cannot open the capture");
        benchmark::DoNotOptimize(f.GetTotalRecords());
    }
}
BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_RandomGoToFrame(benchmark::State& state) {
    std::string path = CapturePath();
    if (path.empty()) return state.SkipWithError("set QVORT_BENCH_CAPTURE");
    qv::SettingsStore store;
    qv::Log log;
    qv::CaptureReader f(store, log);
    if (f.Open(path) != 0) return state.SkipWithError("cannot open the capture");
    std::mt19937_64 rng(1);
    const uint64_t total = f.GetTotalRecords();
    for (auto _ : state) {
        if (f.GoToFrame(rng() % total) != 0) return state.SkipWithError("jump failed");
    }
}
// Medians of repetitions of 1000 jumps each.
BENCHMARK(BM_RandomGoToFrame)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(1000)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_WalkNextRecord(benchmark::State& state) {
    std::string path = CapturePath();
    if (path.empty()) return state.SkipWithError("set QVORT_BENCH_CAPTURE");
    qv::SettingsStore store;
    qv::Log log;
    size_t heapBefore = HeapInUse();
    size_t heapPeak = 0;
    uint64_t records = 0;
    for (auto _ : state) {
        qv::CaptureReader f(store, log);
        if (f.Open(path) != 0) return state.SkipWithError("cannot open the capture");
        uint64_t n = 1;
        uint8_t x = 0, h = 0;
        while (f.NextRecord() == 0) {
            f.GetHeaderByte(h);
            x ^= h;
            if ((++n & 0xFFFFF) == 0) heapPeak = std::max(heapPeak, HeapInUse());
        }
        benchmark::DoNotOptimize(x);
        records += n;
    }
    state.SetItemsProcessed(static_cast<int64_t>(records));
    state.counters["reader_heap_MiB"] =
        static_cast<double>(heapPeak > heapBefore ? heapPeak - heapBefore : 0) / (1 << 20);
}
BENCHMARK(BM_WalkNextRecord)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
