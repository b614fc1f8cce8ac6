#include "export/ExportSteps.h"

#include "capture/CaptureReader.h"

namespace qv {

ExportResult Refused(std::string why) {
    ExportResult out;
    out.ending = SaveReport::kStartRefused;
    out.error = std::move(why);
    out.usage = true;
    return out;
}

bool KeysOf(CaptureReader& file, const ExportRequest& r, DayTime& a, DayTime& b) {
    if (!r.range) return CaptureSpan(file, a, b);
    a = r.range->first;
    b = r.range->second;
    return true;
}

std::optional<ExportResult> RefusedRange(CaptureReader& file, const ExportRequest& r) {
    DayTime a, b;
    SaveRange range;
    const bool keys = KeysOf(file, r, a, b);
    if (keys && CheckSaveRange(file, a, b, range)) return std::nullopt;
    ExportResult out;
    out.ending = SaveReport::kStartRefused;
    out.error = keys ? "the range lies outside the capture"
                     : "the capture's index holds no start or end time";
    return out;
}

ExportResult StartRefused(CaptureReader& file, const ExportRequest& r) {
    ExportResult out;
    out.ending = SaveReport::kStartRefused;
    EndFolderPass(file, r, out);
    return out;
}

void EndFolderPass(CaptureReader& file, const ExportRequest& r, ExportResult& out) {
    out.unreadableChunk = file.GetFailedChunk() != 0 ? file.ChunkPath(file.GetFailedChunk()) : "";
    switch (out.ending) {
        case SaveReport::kRangeDone:
        case SaveReport::kCaptureEnd:
            out.made = true;
            return;
        case SaveReport::kStartRefused:
            out.error = r.destination + " takes no files; nothing was saved";
            return;
        default:
            break;
    }
    const std::string records = std::to_string(out.written) + " records";
    if (!out.unreadableChunk.empty())
        out.error = out.unreadableChunk + " cannot be read: the save stopped after " + records +
                    "; what was written stays";
    else
        out.error = "writing to " + r.destination + " failed after " + records +
                    (out.discarded ? "; the partial copy was removed, nothing was saved"
                                   : "; what was written stays");
}

}  // namespace qv
