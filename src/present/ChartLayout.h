// Which lines the Line window's chart shows and where: one trace per shown
// display-format row, stacked top to bottom in table order, 30 units apart.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/FormatEntry.h"

namespace qv {

// Traces 0 SD, 1 RD, 2..9 the control lines of line-state bits 7..0: the
// display-format line codes 2..11.
inline constexpr int kChartTraceCount = 10;
inline constexpr int kChartTraceSd = 0;
inline constexpr int kChartTraceRd = 1;
inline constexpr int kChartFirstControlTrace = 2;
inline constexpr int kChartRowHeight = 30;   // chart units between two rows
inline constexpr int kChartBaseOffset = 10;  // a trace's low level above its row's bottom
inline constexpr int kChartDataOffset = -5;  // SD and RD sit this far below their base
inline constexpr uint8_t kChartHigh = 10;    // level of a set line or a character
inline constexpr uint8_t kChartLow = 0;

struct ChartTraceStyle {
    bool shown = false;   // the trace has a row among the shown rows
    int base = 0;         // chart units of its low level
    uint32_t colour = 0;  // 0xBBGGRR
    std::string title;
};

struct ChartLayout {
    int rows = 0;  // the Y axis runs from 0 to rows * 30
    std::array<ChartTraceStyle, kChartTraceCount> traces;

    bool Shown(int trace) const { return traces[static_cast<size_t>(trace)].shown; }
    // Chart units at which a trace draws a level (SD and RD a little lower,
    // so that their character labels fit above them).
    double LevelY(int trace, uint8_t level) const;
    // The shown trace whose row holds chart height `units` (0 at the bottom),
    // or -1.
    int TraceAt(double units) const;
    // Whether any of the eight control lines whose bit is set in `bits`
    // (bit 7 = trace 2) is shown.
    bool AnyControlShown(uint8_t bits) const;
};

// The layout of the leading shown rows among the first ten; counting stops at
// the first hidden row. A row whose line code is not 2..11 takes its place in
// the stack but draws nothing.
ChartLayout MakeChartLayout(const std::vector<FormatEntry>& rows);

// The rows that name the lines of a capture: rows 1-10 of its table on an
// RS-232 line (`line` 0), rows 11-20 otherwise; a capture without a table
// (or without rows in that half) gets the default rows of its line type, so that its
// lines are still drawn.
std::vector<FormatEntry> ChartRows(const std::vector<FormatEntry>& table, int line);

// The trace of a display-format line code, or -1.
inline constexpr int TraceOfLineCode(uint8_t code) {
    return code >= kFormatSd && code <= kFormatExtOut ? code - kFormatSd : -1;
}

}  // namespace qv
