// Where the application keeps its own files: the settings store, "QV-ORT.conf",
// the status files, "ActiveUnitInfo.txt", the log and, by default, captures.
// Nothing is ever written beside the installed programs.
#pragma once

#include <string>

namespace qv {

// $QVORT_HOME if set, else ${XDG_DATA_HOME:-$HOME/.local/share}/qv-ort. The
// folder is created on first use; the result has no trailing "/".
std::string AppFolder();

// A file in the application folder.
std::string AppFile(const std::string& name);

}  // namespace qv
