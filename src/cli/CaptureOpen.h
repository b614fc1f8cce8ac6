// Opening a stored capture named on the command line, shared by the
// commands that read captures.
#pragma once

#include <string>

#include "export/CaptureTexts.h"
#include "export/LineClock.h"

namespace CLI {
class App;
}
namespace qv {
class CaptureReader;
}

namespace qv::cli {

// A capture is named by its index file or by its folder.
std::string IndexPathOf(std::string path);
// Opens the capture or throws a CommandError; a damaged chunk or a chunk
// table ending at a malformed index entry only warns, since the records
// before the damage can still be read.
void OpenOrFail(CaptureReader& file, const std::string& capture);
// The calendar the last capture opened is read in: the zone --tz or --utc
// chose, else the one it was recorded in, else this machine's.
LocalCalendar CaptureCalendar();

// The code of a run's or capture's start as a sentence for the user.
std::string StartError(int rc);
// "" for a capture that reads as it is; else the advice to recover it, to
// follow a failure's message ("; ... qvtool recover FOLDER ...").
std::string RecoverHint(const std::string& index);

// The display code named HEX, ASCII, JIS7, JIS8, EBCDIC or SJIS; throws a
// CommandError for any other name.
int CodeNumber(const std::string& name);
// A command's --code option, which takes those names (its help lists them,
// and the shell completion offers them from there).
void AddCodeOption(CLI::App& cmd, std::string& code, const std::string& help);

}  // namespace qv::cli
