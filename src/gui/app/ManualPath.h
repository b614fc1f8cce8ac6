// Where the user manual (manual.pdf) is, found from the running program so
// that an install under any prefix, a package and the build tree all work.
#pragma once

#include <string>

namespace qv {

// The installed manual's place for a program whose binary lies in `binDir`:
// the documentation folder taken relative to the binaries' folder.
std::string InstalledManualPath(const std::string& binDir);

// Where the manual of the running program is when it is installed.
std::string InstalledManualHere();

// The manual the help command opens: the installed copy beside the running
// program, then the build tree's, then the application folder's. Empty when
// none exists.
std::string FindManual();

}  // namespace qv
