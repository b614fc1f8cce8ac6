// Raw capture streams of any content through the stream decoder. The first
// input byte picks the protocol, the memory mode and how many records a chunk
// holds; the second where the stream is cut into reads. Decoding the stream in
// one piece and in reads split at any byte must give the same capture.
#include <cstdlib>
#include <cstring>

#include "FuzzCapture.h"
#include "core/FileUtil.h"
#include "capture/ChunkSink.h"
#include "capture/ChunkWriter.h"
#include "device/StreamDecoder.h"

namespace {

struct Outcome {
    qv::CaptureTotals totals;
    size_t triggers = 0;
    uint64_t chunks = 0;
    std::string chunk1;
};

Outcome Decode(const std::string& folder, const qv::ChunkConfig& config,
               std::span<const uint8_t> stream, size_t piece) {
    using namespace qv;
    static ReceiveBuffer buffer;
    buffer.Clear();
    ChunkWriter writer;
    writer.SetFolder(folder);
    ChunkSink capture(writer, nullptr);
    capture.Reset(config);
    StreamDecoder decoder(capture);
    decoder.Reset(config.protocol);
    if (capture.OpenFirstChunk() != 0) std::abort();
    for (size_t at = 0; at < stream.size(); at += piece)
        decoder.Feed(buffer, stream.subspan(at, std::min(piece, stream.size() - at)));
    capture.FinishRun();
    Outcome out;
    out.totals = capture.Totals();
    out.triggers = capture.TriggerEvents().size();
    out.chunks = capture.ChunksOpened();
    out.chunk1 = ReadWholeFile(JoinPath(folder, ChunkWriter::ChunkName(1))).value_or("");
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qv;
    if (size < 2) return 0;
    static const std::string whole = [] {
        std::string f = fuzz::ScratchFolder() + "/whole";
        MakeDirectories(f);
        return f;
    }();
    static const std::string split = [] {
        std::string f = fuzz::ScratchFolder() + "/split";
        MakeDirectories(f);
        return f;
    }();
    static const Protocol protocols[] = {Protocol::kAsync, Protocol::kSync, Protocol::kHdlc,
                                         Protocol::kLogic};
    ChunkConfig config;
    config.protocol = protocols[data[0] & 3];
    config.memory = (data[0] & 4) ? kMemoryRing : kMemoryFix;
    config.fileRecords = 1 + ((data[0] >> 3) & 7) * 7;
    config.frameMax = (data[0] & 4) ? config.fileRecords * 3 : kFixFrameMax;
    const size_t piece = 1 + data[1] % 17;
    std::span<const uint8_t> stream(data + 2, size - 2);

    Outcome a = Decode(whole, config, stream, stream.size() + 1);
    Outcome b = Decode(split, config, stream, piece);
    if (a.totals.records != b.totals.records ||
        std::memcmp(a.totals.kinds, b.totals.kinds, sizeof a.totals.kinds) != 0 ||
        std::memcmp(a.totals.changes, b.totals.changes, sizeof a.totals.changes) != 0 ||
        a.triggers != b.triggers || a.chunks != b.chunks || a.chunk1 != b.chunk1) {
        std::fprintf(stderr, "fuzz_stream: reads split every %zu bytes decoded differently\n", piece);
        std::abort();
    }
    return 0;
}
