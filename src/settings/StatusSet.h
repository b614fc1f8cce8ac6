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

// The first value of the set that the status file cannot hold, named with
// the reason, in the editors' language; empty when every value can be
// stored. Text values are the ones at risk: a display row's name or comment
// with a comma, a line break or a character the file's CP932 text has no
// code for.
std::string StatusSetProblem(StatusFile& file, const StatusSet& set);
// The same for the rows of a display table alone.
std::string FormatTableProblem(StatusFile& file, const FormatTable& table);

// Save: lowers the data lines' sampling cycles to half a bit time when the
// protocol is ASYNC (in the set, as the dialog's copy is), then writes the
// monitor status, triggers 1 to 5, the trigger operands and the 20 display
// rows to the status file at `path` (created from the template when missing;
// the unit note it holds is kept). All of it is one rewrite of the file, made
// whole or not at all: when any value cannot be written the file keeps its
// old content. 0 or -1.
int SaveStatusSet(const std::string& path, StatusSet& set);
// The same on an already bound file (its unit note is kept).
int SaveStatusSet(StatusFile& file, StatusSet& set);

}  // namespace qv
