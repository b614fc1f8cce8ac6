// Captures whose records share time stamps, as a real line gives them: an SD
// and an RD character in the same 10 ns tick, runs of records at one tick,
// zero-length frames, and chunks that begin at the very tick the previous one
// ended. Readers that position by time must pick the first of equal records.
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/CaptureBuilder.h"

namespace qv::test {

// `chunks` chunks of `perChunk` records; most steps between records are 0,
// some 1, a few longer. The last chunk starts a new date at tick 0 when there
// is more than one chunk. Data bytes come from "A", "B", "C" so that search
// strings match now and then.
inline std::string BuildEqualTimes(CaptureBuilder& b, int chunks, int perChunk, uint32_t seed) {
    std::filesystem::create_directories(b.ChunkPath(1).substr(0, b.ChunkPath(1).rfind('/')));
    std::mt19937 rng(seed);
    const bool frames = UsesFrameRecords(b.protocol());
    uint64_t t = 1000;
    uint8_t line = 0x80;
    for (int c = 0; c < chunks; ++c) {
        const bool newDay = c == chunks - 1 && chunks > 1;
        if (newDay) t = 0;
        b.StartChunk(newDay ? "241107" : "241106", line);
        for (int i = 0; i < perChunk; ++i) {
            // No step before a chunk's first record: zero gap to the last chunk.
            const int s = static_cast<int>(rng() % 10);
            if (i > 0) t += s < 6 ? 0 : (s < 9 ? 1 : 1 + rng() % 500);
            const int r = static_cast<int>(rng() % 10);
            const uint8_t value = static_cast<uint8_t>(0x41 + rng() % 3);
            if (r < 7) {
                // SD and RD alike, so that equal ticks mix the two lines.
                RecordKind kind = r % 2 ? RecordKind::kRdData : RecordKind::kSdData;
                if (frames)
                    b.AddFrame(kind, t, t, {value});
                else
                    b.Add(kind, value, t,
                          b.protocol() == kProtocolLogic ? static_cast<uint8_t>(rng() % 4) : 0);
            } else if (r < 9 || frames) {
                line = static_cast<uint8_t>(line ^ (0x80 >> (rng() % 3)));
                b.Add(RecordKind::kLineChange, line, t);
            } else {
                b.Add(RecordKind::kEvent, static_cast<uint8_t>((rng() % 4) << 6), t);
            }
        }
    }
    return b.Finish();
}

// The record go-to-time puts the cursor on, found by scanning: on `date`, the
// first record ending exactly at `t`, else the last ending before it, else the
// date's first record; an earlier date gives the capture's first record and a
// later one its last.
inline size_t ScanForTime(const std::vector<WrittenRecord>& r, const std::string& date,
                          uint64_t t) {
    size_t lo = 0;
    while (lo < r.size() && std::stoi(r[lo].date) < std::stoi(date))
        ++lo;
    if (lo == r.size()) return r.size() - 1;
    if (r[lo].date != date) return lo;
    size_t i = lo;
    while (i < r.size() && r[i].date == date && r[i].end < t)
        ++i;
    if (i < r.size() && r[i].date == date && r[i].end == t) return i;
    return i == lo ? lo : i - 1;
}

}  // namespace qv::test
