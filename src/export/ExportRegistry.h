// The export formats, in the order the save dialog and the command line
// offer them; the first is the default (a copy of the capture).
#pragma once

#include <span>
#include <string_view>

#include "export/ExportFormat.h"

namespace qv {

std::span<const ExportFormat* const> ExportFormats();
// The format of that name, or null.
const ExportFormat* FindExportFormat(std::string_view name);

}  // namespace qv
