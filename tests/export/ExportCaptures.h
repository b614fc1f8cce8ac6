// Small captures of every protocol for the export tests, and a report sink.
#pragma once

#include <filesystem>
#include <mutex>
#include <random>
#include <vector>

#include "export/SaveRange.h"
#include "support/CaptureBuilder.h"

namespace qv::test {

// Records of every kind the protocol has, over `chunks` chunks; the last
// chunk starts a new date just after midnight, so that ASYNC start times
// run back into the previous day.
inline std::string BuildExportCapture(CaptureBuilder& b, int chunks, int perChunk, uint32_t seed) {
    std::filesystem::create_directories(b.ChunkPath(1).substr(0, b.ChunkPath(1).rfind('/')));
    std::mt19937 rng(seed);
    const bool frames = UsesFrameRecords(b.protocol());
    uint8_t line = 0xC0;
    uint64_t t = 200'000;
    for (int c = 0; c < chunks; ++c) {
        const bool newDay = c == chunks - 1 && chunks > 1;
        if (newDay) t = 50;
        b.StartChunk(newDay ? "241107" : "241106", line);
        for (int i = 0; i < perChunk; ++i) {
            t += 1 + rng() % 100'000;
            const int r = static_cast<int>(rng() % 8);
            const uint8_t flags = static_cast<uint8_t>(rng() % 32);
            if (r < 3 || r < 6) {
                RecordKind kind = r < 3 ? RecordKind::kSdData : RecordKind::kRdData;
                if (frames) {
                    std::vector<uint8_t> data(rng() % 5);
                    for (auto& d : data)
                        d = static_cast<uint8_t>(rng());
                    b.AddFrame(kind, t, t + 500, data, flags);
                    t += 500;
                } else {
                    b.Add(kind, static_cast<uint8_t>(rng()), t, flags);
                }
            } else if (r == 6 || frames) {
                line = static_cast<uint8_t>(line ^ (1u << (rng() % 8)));
                b.Add(RecordKind::kLineChange, line, t);
            } else {
                b.Add(RecordKind::kEvent, static_cast<uint8_t>((rng() % 4) << 6), t);
            }
        }
    }
    return b.Finish();
}

class SaveSink : public ISaveReport {
  public:
    void OnSaveReport(SaveReport r, int percent) override {
        std::lock_guard<std::mutex> lock(m);
        if (r == SaveReport::kProgress)
            progress.push_back(percent);
        else
            endings.push_back(r);
    }
    std::mutex m;
    std::vector<int> progress;
    std::vector<SaveReport> endings;
};

inline DayTime Key(const char* date, uint64_t ticks) {
    return MakeDayTime(date, ticks);
}

}  // namespace qv::test
