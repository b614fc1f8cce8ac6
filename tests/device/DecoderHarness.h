// A decoder writing into a temporary folder through the capture's chunk
// sink, with the run's notices recorded, and helpers that read chunk files
// back record by record.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "capture/CaptureRecord.h"
#include "capture/ChunkSink.h"
#include "capture/ChunkWriter.h"
#include "core/RunNotice.h"
#include "device/LiveRingSink.h"
#include "device/StreamDecoder.h"
#include "support/TempDir.h"

namespace qv::test {

struct RecordedNotices : RunNoticeSink {
    std::vector<RunNotice> notices;
    void OnNotice(RunNotice notice) override { notices.push_back(notice); }
    size_t Count(RunNotice notice) const {
        return static_cast<size_t>(std::count(notices.begin(), notices.end(), notice));
    }
};

struct DecoderHarness {
    TempDir dir;
    RecordedNotices notices;
    ChunkWriter writer;
    ChunkSink capture{writer, &notices};
    ReceiveBuffer buffer;
    StreamDecoder decoder{capture, &notices};
    std::unique_ptr<LiveRingSink> live;

    explicit DecoderHarness(const ChunkConfig& config) {
        writer.SetFolder(dir.path());
        capture.Reset(config);
        decoder.Reset(config.protocol);
        capture.OpenFirstChunk();
    }
    // A view watches: the records also go to a live ring.
    LiveRing& Watch() {
        live = std::make_unique<LiveRingSink>(capture.Totals());
        decoder.SetLiveSink(live.get());
        return live->Ring();
    }
    void Feed(const std::vector<uint8_t>& bytes) { decoder.Feed(buffer, bytes); }
    std::string Chunk(uint64_t slot) const {
        return ReadBytes(dir.file(ChunkWriter::ChunkName(slot)));
    }
};

struct Rec {
    uint8_t header = 0, value = 0;
    uint64_t start = 0, end = 0;
    std::string data;
    bool operator==(const Rec&) const = default;
};

// Splits a chunk file into records; a torn record at the end fails the test.
inline std::vector<Rec> Records(const std::string& bytes, bool frames) {
    std::vector<Rec> out;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t size = RecordSizeAt({p + pos, bytes.size() - pos}, frames);
        if (size == 0 || pos + size > bytes.size()) {
            ADD_FAILURE() << "torn record at " << pos;
            break;
        }
        Rec r;
        r.header = p[pos];
        if (size == kShortRecordSize && !(frames && IsDataKind(HeaderKind(p[pos])))) {
            ShortRecord s = DecodeShortRecord(p + pos);
            r.value = s.value;
            r.start = r.end = s.time;
        } else {
            FrameHeader f = DecodeFrameHeader(p + pos);
            r.start = f.start;
            r.end = f.end;
            r.data.assign(bytes, pos + kFrameHeaderSize, f.length);
        }
        out.push_back(r);
        pos += size;
    }
    return out;
}

}  // namespace qv::test
