// A decoder writing into a temporary folder, with the main-window reports
// recorded, and helpers that read chunk files back record by record.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/CaptureRecord.h"
#include "capture/ChunkWriter.h"
#include "device/StreamDecoder.h"
#include "support/TempDir.h"

namespace qv::test {

struct RecordedEvents : IMonitorEvents {
    std::vector<std::pair<MainWindowMessage, std::string>> posted;
    void PostToMainWindow(MainWindowMessage m, std::string_view text) override {
        posted.emplace_back(m, std::string(text));
    }
    size_t Count(MainWindowMessage m, std::string_view text = {}) const {
        size_t n = 0;
        for (const auto& [msg, t] : posted)
            if (msg == m && (text.empty() || t == text)) ++n;
        return n;
    }
};

struct DecoderHarness {
    TempDir dir;
    RecordedEvents events;
    ChunkWriter writer;
    ReceiveBuffer buffer;
    StreamDecoder decoder{writer, &events};

    explicit DecoderHarness(const DecoderConfig& config) {
        writer.SetFolder(dir.path());
        decoder.Reset(config);
        decoder.OpenFirstChunk();
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
