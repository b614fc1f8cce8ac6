// The steps the export format modules share: the range of a request, its
// refusals, and the ending of a pass into a folder in the command line's
// words.
#pragma once

#include <optional>
#include <string>

#include "export/ExportFormat.h"

namespace qv {

// A refusal of what the command line named (its exit status says usage).
ExportResult Refused(std::string why);
// The request's range keys, or the capture's whole span; false when it
// names no range and the index holds no span.
bool KeysOf(CaptureReader& file, const ExportRequest& r, DayTime& a, DayTime& b);
// The refusal of a range outside the capture (or of a capture without a
// span when no range is given); none when the range holds records.
std::optional<ExportResult> RefusedRange(CaptureReader& file, const ExportRequest& r);
// A pass into a folder refused at its start: nothing was made.
ExportResult StartRefused(CaptureReader& file, const ExportRequest& r);
// Fills in what a folder pass's ending means: the output made whole, or why
// not, with the chunk of the source that could not be read.
void EndFolderPass(CaptureReader& file, const ExportRequest& r, ExportResult& out);

}  // namespace qv
