// Helpers of the qvtool settings commands: readable text of a status for
// `settings show`, and the parsing of the values the edit commands take.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "settings/StatusSet.h"

namespace qv::cli {

// Writes the status in readable form: line, protocol, rates, character
// format, sampling, memory, the five trigger summaries, the trigger operands
// and the display table.
void PrintStatusSet(std::ostream& out, const StatusSet& set);
// Its first part: line, protocol, rates, character format, sync, clocking,
// sampling and memory.
void PrintMonitorSettings(std::ostream& out, const MonitorSettings& m, const SamplingSettings& s,
                          SyncSetting sync, const std::string& sdName, const std::string& rdName);

// A byte pattern of the trigger string editor: up to 16 blank-separated
// tokens, "41" (equal), "!41" (not equal), ">=41" (this or more), "<=41" (this
// or less), "**" (any byte); the pattern ends after the last token. nullopt
// and a reason on a bad token.
struct ParsedPattern {
    DataString bytes{};
    DataString scopes{};
};
std::optional<ParsedPattern> ParsePattern(std::string_view text, std::string& why);
// The same text for a stored pattern ("" when it is empty).
std::string PatternText(const DataString& bytes, const DataString& scopes);

// "YYYY-MM-DD HH:MM:SS" (or with "T"), years 2000 to 2099, local time.
std::optional<int64_t> ParseLocalTime(std::string_view text);
std::string LocalTimeText(int64_t time);

// Whole-text decimal number; nullopt for anything else.
std::optional<int64_t> ParseWholeNumber(std::string_view text);

}  // namespace qv::cli
