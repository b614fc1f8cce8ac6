// Decoding a 4-byte-layout capture stream into chunk files, side by side
// with a plain buffered loop that writes the same output bytes. Both write to
// tmpfs (/dev/shm, or $QVORT_BENCH_DIR) so that the figures measure the code,
// not a disk.
//
//   qvr_bench --benchmark_min_time=2
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "capture/ChunkSink.h"
#include "capture/ChunkWriter.h"
#include "core/FileUtil.h"
#include "device/LiveRingSink.h"
#include "device/StreamDecoder.h"
#include "traffic/StreamGenerator.h"

namespace {

using namespace qv;

constexpr uint64_t kEvents = 4'000'000;

std::string BenchDir() {
    const char* env = std::getenv("QVORT_BENCH_DIR");
    std::string dir = env ? env : "/dev/shm/qvr_bench";
    std::filesystem::create_directories(dir);
    return dir;
}

// A busy ASYNC line at 1.5 Mbit/s: almost every item is a data item whose
// step fits 16 bits.
const std::vector<uint8_t>& Stream() {
    static const std::vector<uint8_t> stream = [] {
        sim::GeneratorOptions g;
        g.traffic.protocol = kProtocolAsync;
        g.traffic.sdBaudrate = g.traffic.rdBaudrate = 1'500'000;
        g.traffic.seed = 2024;
        g.traffic.longIdleOneIn = 0;
        g.events = kEvents;
        std::vector<uint8_t> s;
        s.reserve(kEvents * 5);
        sim::GenerateStream(g, s);
        return s;
    }();
    return stream;
}

// Argument 0: nobody watches the run (an offline decode, qvtool record);
// 1: a view shows it, so the decoder also fills the live ring.
void BM_DecodeToChunks(benchmark::State& state) {
    const std::vector<uint8_t>& stream = Stream();
    const std::string dir = BenchDir() + "/decode";
    std::filesystem::create_directories(dir);
    ChunkWriter writer;
    writer.SetFolder(dir);
    ReceiveBuffer buffer;
    ChunkSink capture(writer, nullptr);
    StreamDecoder decoder(capture);
    LiveRingSink live(capture.Totals());
    if (state.range(0) != 0) decoder.SetLiveSink(&live);
    uint64_t records = 0, items = 0, bytesOut = 0;
    for (auto _ : state) {
        capture.Reset(ChunkConfig{Protocol::kAsync, kMemoryFix, kFixFrameMax, 50000});
        decoder.Reset(Protocol::kAsync);
        capture.OpenFirstChunk();
        // Reads of 1 MiB, as the monitoring run makes them.
        for (size_t at = 0; at < stream.size();) {
            const size_t n =
                std::min<size_t>({size_t{1} << 20, stream.size() - at, buffer.FreeSize()});
            std::memcpy(buffer.FreeSpace(), stream.data() + at, n);
            buffer.Commit(n);
            decoder.Decode(buffer);
            at += n;
        }
        capture.FinishRun();
        records += capture.Totals().records;
        items += stream.size() / kShortItemSize;
        bytesOut += (capture.Totals().records + capture.ChunksOpened()) * kShortRecordSize;
    }
    state.counters["records/s"] = benchmark::Counter(double(records), benchmark::Counter::kIsRate);
    state.counters["items/s"] = benchmark::Counter(double(items), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(int64_t(bytesOut));
}
BENCHMARK(BM_DecodeToChunks)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The decoder alone: the stream decoded straight from memory into a sink
// that keeps reusing one 64 KiB room and writes nothing, so that the figure
// is the decoding work without the kernel's copy of the bytes.
class RoomSink : public DecodeSink {
  public:
    bool Record(const DecodedRecord&) override {
        ++records;
        return false;
    }
    uint8_t* ShortRoom(uint64_t& n) override {
        n = m_room.size() / kShortRecordSize;
        return m_room.data();
    }
    bool ShortWritten(const ShortSweep& sweep) override {
        records += sweep.records;
        for (uint64_t c : sweep.lineBits)
            lineBits += c;
        benchmark::DoNotOptimize(m_room.data());
        return false;
    }
    uint64_t records = 0, lineBits = 0;

  private:
    std::vector<uint8_t> m_room = std::vector<uint8_t>(65536);
};

void BM_DecodeInMemory(benchmark::State& state) {
    const std::vector<uint8_t>& stream = Stream();
    RoomSink sink;
    StreamDecoder decoder(sink);
    uint64_t items = 0;
    for (auto _ : state) {
        decoder.Reset(Protocol::kAsync);
        for (size_t at = 0; at < stream.size();) {
            const size_t n = std::min<size_t>(size_t{1} << 20, stream.size() - at);
            const size_t took = decoder.Decode(stream.data() + at, n);
            if (took == 0) break;
            at += took;
        }
        items += stream.size() / kShortItemSize;
    }
    if (sink.lineBits == 0) state.SkipWithError("the stream turned no line bit");
    state.counters["items/s"] = benchmark::Counter(double(items), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(int64_t(items * kShortRecordSize));
}
BENCHMARK(BM_DecodeInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same number of 8-byte records, copied one by one into a 64 KiB buffer
// that is written to one file whenever it is full: the floor any writer of
// these bytes has to pay.
void BM_PlainBufferedWrite(benchmark::State& state) {
    const std::vector<uint8_t>& stream = Stream();
    // Exactly as many records as the decoder writes: one per data item, the
    // leading records included.
    uint64_t records = 0;
    for (size_t at = 0; at < stream.size();) {
        StreamItem item;
        const size_t n =
            ParseStreamItem(stream.data() + at, stream.size() - at, StreamLayout::kShort, item);
        if (n == 0) break;
        if (item.type == ItemType::kData) ++records;
        at += n + (item.type == ItemType::kFiller ? item.fillerLength : 0);
    }
    records += (records + 49'999) / 50'000;  // the leading records of rotated chunks
    std::vector<uint8_t> recordsBytes(records * kShortRecordSize, 0x80);
    const std::string path = BenchDir() + "/plain.bin";
    std::vector<uint8_t> buffer(65536);
    uint64_t done = 0;
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        size_t fill = 0;
        for (uint64_t i = 0; i < records; ++i) {
            if (fill + 8 > buffer.size()) {
                if (::write(fd, buffer.data(), fill) < 0) state.SkipWithError("write failed");
                fill = 0;
            }
            std::memcpy(buffer.data() + fill, &recordsBytes[i * 8], 8);
            fill += 8;
        }
        if (::write(fd, buffer.data(), fill) < 0) state.SkipWithError("write failed");
        ::close(fd);
        done += records;
    }
    state.counters["records/s"] = benchmark::Counter(double(done), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(int64_t(done * 8));
}
BENCHMARK(BM_PlainBufferedWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
