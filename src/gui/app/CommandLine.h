// What the qv-ort command line asks for. The help and version requests are
// answered before any window system is touched, so they work without a
// display (over SSH, from a package script).
#pragma once

#include <string>
#include <vector>

#include "core/UiLanguage.h"

namespace qv {

struct StartupRequest {
    enum Action { kRun, kHelp, kVersion, kError };
    Action action = kRun;
    std::string captureFile;  // the capture to open after the unit selection
    std::string error;        // why the command line was refused
};

// `args` without the program name. Options the windowing toolkit takes for
// itself are removed before this is called for a run; a request for help or
// the version wins over everything else on the line.
// The error text is in `language`.
StartupRequest ParseStartupArgs(const std::vector<std::string>& args, UiLanguage language);

// True when the line asks only for help or the version (checked before the
// application object exists).
bool AsksForHelpOrVersion(const std::vector<std::string>& args);

// The one usage line, the whole help, and the hint an argument error ends with.
std::string UsageLine(const std::string& program, UiLanguage language);
std::string UsageText(const std::string& program, UiLanguage language);
std::string UsageHint(const std::string& program, UiLanguage language);
std::string VersionText();

}  // namespace qv
