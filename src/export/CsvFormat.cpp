// The range as CSV files 1.csv, 2.csv, ... in a folder (CsvExporter).
#include <cinttypes>
#include <cstdio>

#include "capture/CaptureReader.h"
#include "export/CsvExporter.h"
#include "export/ExportFormat.h"
#include "export/ExportSteps.h"

namespace qv {

namespace {

class Csv final : public ExportFormat {
  public:
    std::string_view Name() const override { return "csv"; }
    ExportText Label() const override { return {"CSV形式による保存", "Save as CSV"}; }
    ExportText OutputName() const override { return {"CSVファイル", "CSV file"}; }
    ExportText CountUnit() const override { return {"件", " rows"}; }
    const char* Noun() const override { return "CSV files"; }
    const char* CommandHelp() const override {
        return "Write CSV files 1.csv, 2.csv, ... instead of a capture";
    }
    Target Writes() const override { return Target::kFolder; }

    std::optional<ExportResult> Refusal(CaptureReader& file,
                                        const ExportRequest& r) const override {
        if (auto refused = RefusedRange(file, r)) return refused;
        if (!r.overwrite && HoldsCsvExport(r.destination))
            return Refused(r.destination +
                           " already holds the CSV files of an export; give --overwrite to "
                           "replace them");
        return std::nullopt;
    }

    ExportResult Run(CaptureReader& file, const ExportRequest& r, ISaveReport* sink,
                     const std::atomic<bool>& cancel) const override {
        ExportResult out;
        DayTime a, b;
        if (!KeysOf(file, r, a, b)) return StartRefused(file, r);
        CsvExporter csv(file, r.destination, r.fileRecords);
        csv.SetOverwrite(r.overwrite);
        out.ending = csv.Run(a, b, sink, cancel);
        out.written = csv.RowsWritten();
        out.files = csv.FilesWritten();
        EndFolderPass(file, r, out);
        char text[64];
        std::snprintf(text, sizeof text, "%" PRIu64 " rows in %" PRIu64 " CSV files in ",
                      out.written, out.files);
        out.summary = text + r.destination + "\n";
        return out;
    }
};

}  // namespace

const ExportFormat& CsvFormat() {
    static const Csv format;
    return format;
}

}  // namespace qv
