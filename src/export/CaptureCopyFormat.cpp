// The range as a new capture (RangeCopier): an index and numbered chunk
// files in a folder, opened like any capture.
#include <cinttypes>
#include <cstdio>

#include "capture/CaptureReader.h"
#include "export/ExportFormat.h"
#include "export/ExportSteps.h"
#include "export/RangeCopier.h"

namespace qv {

namespace {

class CaptureCopy final : public ExportFormat {
  public:
    std::string_view Name() const override { return "capture"; }
    ExportText Label() const override { return {"キャプチャとして保存", "Save as a capture"}; }
    ExportText OutputName() const override { return {"ファイル", "capture"}; }
    const char* Noun() const override { return "a new capture"; }
    const char* CommandHelp() const override { return "Write a new capture (the default)"; }
    Target Writes() const override { return Target::kFolder; }

    std::optional<ExportResult> Refusal(CaptureReader& file,
                                        const ExportRequest& r) const override {
        if (auto refused = RefusedRange(file, r)) return refused;
        switch (CheckCopyTarget(file.GetIndexPath(), r.destination, r.overwrite)) {
            case CopyTarget::kSourceFolder:
                return Refused(r.destination +
                               " is the folder of the capture being saved; choose another folder");
            case CopyTarget::kHoldsCapture:
                return Refused(r.destination +
                               " already holds a capture; give --overwrite to replace it");
            case CopyTarget::kFree:
                break;
        }
        return std::nullopt;
    }

    ExportResult Run(CaptureReader& file, const ExportRequest& r, ISaveReport* sink,
                     const std::atomic<bool>& cancel) const override {
        ExportResult out;
        DayTime a, b;
        if (!KeysOf(file, r, a, b)) return StartRefused(file, r);
        RangeCopier copier(file, r.destination, r.fileRecords);
        copier.SetOverwrite(r.overwrite);
        copier.SetDiscardOnFailure(r.discardOnFailure, r.madeFolder);
        out.ending = copier.Run(a, b, sink, cancel);
        out.discarded = copier.Discarded();
        out.written = copier.FramesCopied();
        out.files = copier.ChunksWritten();
        EndFolderPass(file, r, out);
        char text[64];
        std::snprintf(text, sizeof text,
                      "%" PRIu64 " records in %" PRIu64 " chunk files: ", out.written, out.files);
        out.summary = text + CaptureIndexPathOf(r.destination) + "\n";
        return out;
    }
};

}  // namespace

const ExportFormat& CaptureCopyFormat() {
    static const CaptureCopy format;
    return format;
}

}  // namespace qv
