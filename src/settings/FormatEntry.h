// The display format table: 20 rows that name and colour the monitored lines,
// rows 1-10 labelled the RS-232 way, rows 11-20 the RS-422/485/530 way, and
// the rules that keep the edited half in order.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/MonitorSettings.h"
#include "settings/ValueText.h"

namespace qv {

// Line codes of a row.
inline constexpr uint8_t kFormatSdData = 0;
inline constexpr uint8_t kFormatRdData = 1;
inline constexpr uint8_t kFormatSd = 2;  // codes 2..11 follow the sampled lines SD..EXT_OUT
inline constexpr uint8_t kFormatExtOut = 11;
inline constexpr uint8_t kFormatNoLine = 255;
extern const WordTable kFormatLineWords;  // unknown words read as 0

// Colours: red in the low byte, green in the second, blue in the third.
inline constexpr uint32_t RgbColour(uint8_t r, uint8_t g, uint8_t b) {
    return r | (static_cast<uint32_t>(g) << 8) | (static_cast<uint32_t>(b) << 16);
}
inline constexpr uint32_t kFormatDefaultColour = RgbColour(0, 255, 0);

struct FormatEntry {
    std::string mark;  // carried as read; empty in every default row
    uint8_t line = kFormatNoLine;
    std::string name;  // at most 14 characters; the editor allows 3
    uint32_t colour = 0;
    uint32_t shown = 0;  // 1 shown, 0 hidden
    std::string comment;

    bool operator==(const FormatEntry&) const = default;
};

inline constexpr int kFormatRows = 20;     // rows written
inline constexpr int kFormatMaxRows = 30;  // rows read when present
inline constexpr int kFormatHalfRows = 10;
using FormatTable = std::array<FormatEntry, kFormatRows>;
using FormatHalf = std::array<FormatEntry, kFormatHalfRows>;

// Line types of the editors: which half of the table names the lines.
inline constexpr int kLineTypeRs232 = 0;
inline constexpr int kLineTypeRs422 = 1;

// The [Format] value: mark, line word, name, red, green, blue, ON/OFF, comment.
// nullopt when the line code has no word, or when a text field holds a comma
// or a line break: such a row could not be read back (it would stop the table
// and hide every later row), so it is refused rather than written.
std::optional<std::string> FormatLineText(const FormatEntry& entry);
// nullopt unless the text has exactly seven commas. Empty numbers read as 0.
std::optional<FormatEntry> ParseFormatLine(std::string_view text);

// The table of a new status file.
const FormatTable& DefaultFormatTable();
// The ten rows "デフォルト" puts in place for a line type: line codes 2 to 11
// in order, all shown and green, named as the matching half of the default
// table (on RS-422/485/530 the CI row has no name).
FormatHalf DefaultFormatHalf(int lineType);

// Whether the line of a row is sampled: SD and RD by their enable flags, the
// others by a non-zero sampling cycle; on RS-422/485/530, ER, DR, CD and CI
// never. Rows for no line (or codes without a line) are never available.
bool IsLineAvailable(uint8_t lineCode, const SamplingSettings& sampling, int lineType);

// Hides rows whose line is not available, then orders the rows: available and
// shown, available and hidden, not available, each group keeping its order.
void NormaliseFormatRows(FormatHalf& rows, const SamplingSettings& sampling, int lineType);

// The half of the table a line type edits (rows 1-10 or 11-20), and back.
FormatHalf FormatHalfOf(const FormatTable& table, int lineType);
void SetFormatHalf(FormatTable& table, int lineType, const FormatHalf& rows);

// The SD and RD names a line type shows: from the rows of its half whose line
// code is 2 (SD) and 3 (RD); "SD" and "RD" when there is no such row.
std::pair<std::string, std::string> DataLineNames(const FormatTable& table, int lineType);
// Names of line codes 2 to 11 from a half of the table; a code without a row
// keeps its default name.
std::array<std::string, 10> LineNamesOf(const FormatTable& table, int lineType);

}  // namespace qv
