// The Monitor listing's columns, in order: their titles, the width a window
// gives them and the width a text listing pads them to, their alignment, and
// which captures show them. The desktop window and `qvtool list` both read
// this one table, so a column is added in one place.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "capture/CaptureRecord.h"
#include "present/MonitorRows.h"

namespace qv {

enum class CellAlign { kLeft, kRight };

struct MonitorColumnSpec {
    MonitorColumn column;
    std::string_view title;  // empty when the column is named after a line
    int lineName;            // -1, or the index in LineNames of the line naming it
    int twips;               // the window's default width (1/1440 inch)
    int textWidth;           // characters a text listing pads the cell to
    CellAlign align;
    bool lineData;  // shown only where records carry SD/RD data
};

const std::array<MonitorColumnSpec, kMonitorColumns>& MonitorColumns();

// The header of a column: its title, or the name of the line it counts.
std::string MonitorColumnTitle(MonitorColumn column, const LineNames& names);
bool MonitorColumnShown(MonitorColumn column, Protocol protocol);

// The titles as a row, for a listing's header line.
MonitorRow MonitorHeaderRow(const LineNames& names);

// Appends one line of a text listing (without its line end): the shown cells
// padded to their widths and joined by spaces. `afterTr` (e.g. a delta
// column) goes between TR and the next field; a run of hidden columns leaves
// one empty field, so a LOGIC listing keeps the layout its readers know.
void AppendMonitorTextLine(std::string& out, const MonitorRow& cells, Protocol protocol,
                           std::string_view afterTr);

}  // namespace qv
