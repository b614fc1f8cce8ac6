#include "cli/GapList.h"

#include <cinttypes>

#include "capture/CaptureGaps.h"
#include "capture/CaptureReader.h"

namespace qv::cli {

void PrintCaptureGaps(CaptureReader& file, std::FILE* out) {
    const std::vector<CaptureGap> gaps = ReadCaptureGaps(file);
    if (gaps.empty()) return;
    uint64_t total = 0;
    for (const CaptureGap& g : gaps)
        total += TicksBetween(g.from, g.to);
    std::fprintf(out, "Gaps (the instrument overflowed): %zu, %.6f s not recorded\n", gaps.size(),
                 static_cast<double>(total) / 1e8);
    for (size_t i = 0; i < gaps.size(); ++i) {
        const CaptureGap& g = gaps[i];
        std::fprintf(out, "  gap %zu  %s  to  %s  (%.6f s)\n", i + 1,
                     FormatRecordTimeText(g.from).c_str(), FormatRecordTimeText(g.to).c_str(),
                     static_cast<double>(TicksBetween(g.from, g.to)) / 1e8);
    }
}

}  // namespace qv::cli
