// One complete status as the parameter dialog edits it (settings, sampling,
// sync code, five triggers, the shared trigger operands and the 20-row display
// table), with the Import and Save steps that move it to and from files.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "settings/FormatEntry.h"
#include "settings/MonitorSettings.h"
#include "settings/TriggerSetting.h"

namespace qv {

class StatusFile;

struct StatusSet {
    MonitorStatus status;
    std::array<TriggerSetting, kTriggerCount> triggers{};
    TriggerOption option;
    FormatTable format = DefaultFormatTable();

    bool operator==(const StatusSet&) const = default;
};

// What kind of file Import takes a path for, by its extension compared in
// lower case: a status file (".qvs") or a capture index (".qvr").
enum class ImportKind { None, StatusFile, CaptureIndex };
ImportKind ImportKindOf(const std::string& path);

// Reads a bound file into the set: monitor status, triggers 1 to 5, the
// trigger operands (absent times read as `now`), and rows 1 to 20 of the
// display table, each row replacing the set's row only when it was read.
void LoadStatusSet(StatusFile& file, StatusSet& set, int64_t now);

// Import: loads a ".qvs" status file or a ".qvr" capture index into the set.
// -1 and the set unchanged for any other path, for a path the file classes
// refuse (their extension test is case-sensitive, so "A.QVS" loads nothing),
// or for a file that does not exist: importing never creates a file.
int ImportStatusSet(const std::string& path, StatusSet& set, int64_t now);

// Save: lowers the data lines' sampling cycles to half a bit time when the
// protocol is ASYNC (in the set, as the dialog's copy is), then writes the
// monitor status, triggers 1 to 5, the trigger operands and the 20 display
// rows to the status file at `path` (created from the template when missing;
// the unit note it holds is kept), stopping at the first failure. All of it is one rewrite of the
// file. 0 or -1.
int SaveStatusSet(const std::string& path, StatusSet& set);
// The same on an already bound file (its unit note is kept).
int SaveStatusSet(StatusFile& file, StatusSet& set);

}  // namespace qv
