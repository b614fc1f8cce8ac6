#include "present/ChartLayout.h"

#include <algorithm>

namespace qv {

double ChartLayout::LevelY(int trace, uint8_t level) const {
    const auto& t = traces[static_cast<size_t>(trace)];
    const int offset = trace <= kChartTraceRd ? kChartDataOffset : 0;
    return t.base + offset + level;
}

int ChartLayout::TraceAt(double units) const {
    for (int i = 0; i < kChartTraceCount; ++i) {
        const auto& t = traces[static_cast<size_t>(i)];
        const double bottom = t.base - kChartBaseOffset;
        if (t.shown && units >= bottom && units < bottom + kChartRowHeight) return i;
    }
    return -1;
}

bool ChartLayout::AnyControlShown(uint8_t bits) const {
    for (int i = 0; i < 8; ++i)
        if ((bits & (0x80 >> i)) && Shown(kChartFirstControlTrace + i)) return true;
    return false;
}

std::vector<FormatEntry> ChartRows(const std::vector<FormatEntry>& table, int line) {
    const size_t first = line == 0 ? 0 : kFormatHalfRows;
    if (table.size() > first) {
        const size_t end = std::min(table.size(), first + kFormatHalfRows);
        return {table.begin() + static_cast<std::ptrdiff_t>(first),
                table.begin() + static_cast<std::ptrdiff_t>(end)};
    }
    const FormatHalf half = DefaultFormatHalf(line == 0 ? kLineTypeRs232 : kLineTypeRs422);
    return {half.begin(), half.end()};
}

ChartLayout MakeChartLayout(const std::vector<FormatEntry>& rows) {
    ChartLayout layout;
    const size_t limit = std::min<size_t>(rows.size(), kFormatHalfRows);
    while (static_cast<size_t>(layout.rows) < limit && rows[static_cast<size_t>(layout.rows)].shown)
        ++layout.rows;
    for (int r = 0; r < layout.rows; ++r) {
        const FormatEntry& row = rows[static_cast<size_t>(r)];
        const int trace = TraceOfLineCode(row.line);
        if (trace < 0) continue;
        auto& t = layout.traces[static_cast<size_t>(trace)];
        t.shown = true;
        t.base = (layout.rows - 1 - r) * kChartRowHeight + kChartBaseOffset;
        t.colour = row.colour;
        t.title = row.name;
    }
    return layout;
}

}  // namespace qv
