// Speed of the CSV exporter, the range copier and the search on a large ASYNC
// capture. Make one first (about 10^7 records):
//   qvtool gen-stream --protocol ASYNC --events 10000000 --baud 1000000 s.bin
//   qvtool decode s.bin --out DIR
// then run with QVORT_BENCH_CAPTURE=<the .qvr path> and QVORT_BENCH_OUT=<a
// scratch folder on the same disk> build/bench/export_search_bench.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "capture/CaptureIndex.h"
#include "capture/CaptureIndexText.h"
#include "capture/CaptureReader.h"
#include "capture/ChunkWriter.h"
#include "capture/RecordTime.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/TimeText.h"
#include "export/CsvExporter.h"
#include "export/RangeCopier.h"
#include "present/SearchWorker.h"

namespace {

using namespace qv;

std::string Env(const char* name) {
    const char* p = std::getenv(name);
    return p ? p : "";
}

std::string Scratch(const char* name) {
    std::string dir = Env("QVORT_BENCH_OUT") + "/" + name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

std::pair<DayTime, DayTime> WholeCapture(CaptureReader& f) {
    std::string a, b;
    f.GetCaptureStartText(a);
    f.GetCaptureEndText(b);
    auto s = ParseRecordTime(a), e = ParseRecordTime(b);
    return {*s, *e};
}

uint64_t FolderBytes(const std::string& dir) {
    uint64_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        n += e.file_size();
    return n;
}

// Bytes and rows the last CSV export wrote: the plain write below writes as
// many.
uint64_t g_csvBytes = 0, g_csvRows = 0;

void BM_CsvExport(benchmark::State& state) {
    if (Env("QVORT_BENCH_CAPTURE").empty() || Env("QVORT_BENCH_OUT").empty())
        return state.SkipWithError("set QVORT_BENCH_CAPTURE and QVORT_BENCH_OUT");
    SettingsStore store;
    Log log;
    uint64_t rows = 0, bytes = 0;
    std::atomic<bool> cancel{false};
    for (auto _ : state) {
        CaptureReader f(store, log);
        if (f.Open(Env("QVORT_BENCH_CAPTURE")) != 0) return state.SkipWithError("cannot open");
        auto [a, b] = WholeCapture(f);
        std::string out = Scratch("csv");
        CsvExporter csv(f, out, SettingsStore::kFileRecords);
        csv.Run(a, b, nullptr, cancel);
        rows += csv.RowsWritten();
        state.PauseTiming();
        g_csvRows = csv.RowsWritten();
        g_csvBytes = FolderBytes(out);
        bytes += g_csvBytes;
        std::filesystem::remove_all(out);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(rows));
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_CsvExport)->Unit(benchmark::kSecond)->Iterations(1);

// The same number of bytes as the export writes, in rows of the same mean
// length and files of as many rows, with plain buffered writes: the floor the
// exporter is measured against. Without an export before it, 10^7 rows.
void BM_PlainWriteOfCsvBytes(benchmark::State& state) {
    if (Env("QVORT_BENCH_OUT").empty()) return state.SkipWithError("set QVORT_BENCH_OUT");
    const uint64_t rows = g_csvRows ? g_csvRows : 10'000'000;
    const uint64_t total = g_csvBytes ? g_csvBytes : rows * 100;
    const std::string row(static_cast<size_t>(total / rows), 'x');
    uint64_t bytes = 0;
    for (auto _ : state) {
        std::string out = Scratch("plain");
        std::FILE* f = nullptr;
        uint64_t left = total;
        for (uint64_t i = 0; left > 0; ++i) {
            if (i % SettingsStore::kFileRecords == 0) {
                if (f) std::fclose(f);
                f = std::fopen((out + "/" + std::to_string(i) + ".csv").c_str(), "wb");
            }
            // The last row takes what the mean length leaves over.
            const uint64_t n = i + 1 == rows ? left : std::min<uint64_t>(row.size(), left);
            for (uint64_t put = 0; put < n; put += row.size())
                std::fwrite(row.data(), 1, std::min<uint64_t>(row.size(), n - put), f);
            left -= n;
        }
        std::fclose(f);
        bytes += total;
        state.PauseTiming();
        std::filesystem::remove_all(out);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(rows));
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_PlainWriteOfCsvBytes)->Unit(benchmark::kSecond)->Iterations(1);

void BM_RangeCopy(benchmark::State& state) {
    if (Env("QVORT_BENCH_CAPTURE").empty() || Env("QVORT_BENCH_OUT").empty())
        return state.SkipWithError("set QVORT_BENCH_CAPTURE and QVORT_BENCH_OUT");
    SettingsStore store;
    Log log;
    uint64_t records = 0;
    std::atomic<bool> cancel{false};
    for (auto _ : state) {
        CaptureReader f(store, log);
        if (f.Open(Env("QVORT_BENCH_CAPTURE")) != 0) return state.SkipWithError("cannot open");
        auto [a, b] = WholeCapture(f);
        std::string out = Scratch("copy");
        RangeCopier copier(f, out, SettingsStore::kFileRecords);
        copier.Run(a, b, nullptr, cancel);
        records += copier.FramesCopied();
        state.PauseTiming();
        std::filesystem::remove_all(out);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(records));
}
BENCHMARK(BM_RangeCopy)->Unit(benchmark::kSecond)->Iterations(1);

void BM_SearchFindsNothing(benchmark::State& state) {
    if (Env("QVORT_BENCH_CAPTURE").empty()) return state.SkipWithError("set QVORT_BENCH_CAPTURE");
    SettingsStore store;
    Log log;
    SearchCondition c;
    c.sd = *ParsePattern("FF FE FD FC");
    SearchStart s;
    s.from = SearchFrom::kFirst;
    std::atomic<bool> cancel{false};
    uint64_t records = 0;
    for (auto _ : state) {
        CaptureReader f(store, log);
        if (f.Open(Env("QVORT_BENCH_CAPTURE")) != 0) return state.SkipWithError("cannot open");
        SearchResult r = RunSearch(f, c, s, SearchDirection::kForward, nullptr, cancel);
        if (r.report != SearchReport::kEndOfCapture) state.SkipWithError("found something");
        records += f.GetTotalRecords();
    }
    state.SetItemsProcessed(static_cast<int64_t>(records));
}
BENCHMARK(BM_SearchFindsNothing)->Unit(benchmark::kSecond)->Iterations(1);

// 200 chunks of SD records and one RD record in the last: a search for RD
// data reads the first and the last chunk only.
std::string MakeSkipCapture() {
    std::string dir = Scratch("skip");
    ChunkWriter w;
    w.SetFolder(dir);
    CaptureIndex index;
    std::string path = dir + "/skip.qvr";
    index.SetPath(path);
    index.CreateNew();
    index.WriteString("MonitorStatus", "Protocol", "ASYNC");
    index.BeginBatch();
    uint64_t t = 1000;
    const int chunks = 200;
    for (int c = 1; c <= chunks; ++c) {
        w.SetChunkName(ChunkWriter::FinalChunkName(static_cast<uint64_t>(c)));
        w.OpenChunk();
        w.AppendShort(kRotatedLeadingHeader, 0, 0);
        ChunkEntry e;
        SetDateField(e.date, "241106");
        e.startTime = t;
        for (uint32_t i = 0; i < SettingsStore::kFileRecords; ++i, t += 10) {
            const bool rd = c == chunks && i == SettingsStore::kFileRecords - 1;
            w.AppendShort(MakeHeader(rd ? RecordKind::kRdData : RecordKind::kSdData), 0x41, t);
            rd ? ++e.rdRecords : ++e.sdRecords;
        }
        w.FlushAndClose();
        index.WriteChunkEntry(e, static_cast<uint64_t>(c));
    }
    index.WriteStartTime("241106", 1000);
    index.WriteEndTime("241106", t);
    index.EndBatch();
    return path;
}

void BM_SearchSkipsChunksWithoutTheType(benchmark::State& state) {
    if (Env("QVORT_BENCH_OUT").empty()) return state.SkipWithError("set QVORT_BENCH_OUT");
    std::string path = MakeSkipCapture();
    SettingsStore store;
    Log log;
    SearchCondition c;
    c.rd = *ParsePattern("41");
    SearchStart s;
    s.from = SearchFrom::kFirst;
    std::atomic<bool> cancel{false};
    for (auto _ : state) {
        CaptureReader f(store, log);
        if (f.Open(path) != 0) return state.SkipWithError("cannot open");
        SearchResult r = RunSearch(f, c, s, SearchDirection::kForward, nullptr, cancel);
        if (r.report != SearchReport::kFound) state.SkipWithError("not found");
    }
    state.counters["records_in_capture"] = 200.0 * SettingsStore::kFileRecords;
}
BENCHMARK(BM_SearchSkipsChunksWithoutTheType)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
