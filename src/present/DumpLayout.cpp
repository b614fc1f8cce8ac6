#include "present/DumpLayout.h"

#include "present/DumpLines.h"

namespace qv {

namespace {

// The title column and what the frame and scroll bar take beside it.
int Reserved(const DumpCells& cells) {
    return cells.titleTwips + DumpLayout::kReservedTwips - DumpLayout::kTitleTwips;
}

}  // namespace

std::optional<DumpLayout> DumpLayout::For(int widthTwips, int heightTwips, int mode,
                                          const DumpCells& cells) {
    const int rowTwips = cells.rowTwips;
    const int reserved = Reserved(cells);
    if (widthTwips < reserved || heightTwips < rowTwips) return std::nullopt;
    // Byte columns take about 7/11 of what fits of byte columns (400 twips
    // in the usual font); the rest is left to the character column, whose
    // texts are full-width.
    const int columns = (widthTwips - reserved) / cells.byteTwips * 7 / 11 + 2;
    const int separator = mode == kDumpDual ? kSeparatorTwips : 0;
    const int lines = (heightTwips - rowTwips) / (2 * rowTwips + separator);
    if (columns < 3 || lines < 1) return std::nullopt;
    DumpLayout l;
    l.m_columns = columns;
    l.m_lines = lines;
    l.m_mode = mode == kDumpSd || mode == kDumpRd ? mode : kDumpDual;
    l.m_widthTwips = widthTwips;
    l.m_cells = cells;
    return l;
}

DumpLayout DumpLayout::Smallest() {
    return *For(kReservedTwips + 2 * kByteTwips, 3 * kRowTwips + kSeparatorTwips, kDumpDual);
}

int DumpLayout::PageLines() const {
    return m_mode == kDumpDual ? m_lines : 2 * m_lines;
}

int DumpLayout::ColumnTwips(int column) const {
    if (column == 0) return m_cells.titleTwips;
    if (column < CharColumn()) return m_cells.byteTwips;
    if (column == CharColumn())
        return m_widthTwips - (BytesPerLine() * m_cells.byteTwips + Reserved(m_cells));
    return 0;
}

int DumpLayout::RowTwips(int gridRow) const {
    if (gridRow == 0) return m_cells.rowTwips;
    if (gridRow < 0 || gridRow >= GridRows()) return 0;
    switch ((gridRow - 1) % 4) {
        case 0:
        case 1:
            return m_cells.rowTwips;
        case 2:
            return m_mode == kDumpDual ? kSeparatorTwips : 0;
        default:
            return 0;
    }
}

DumpRowShade DumpLayout::Shade(int gridRow) const {
    if (gridRow <= 0) return DumpRowShade::kBoundary;
    switch ((gridRow - 1) % 4) {
        case 0:
            return DumpRowShade::kOdd;
        case 1:
            return DumpRowShade::kEven;
        default:
            return DumpRowShade::kBoundary;
    }
}

int DumpLayout::PageIndexOfCell(int gridRow, int column) const {
    const int t = TextRowOfGridRow(gridRow);
    if (t < 0 || t >= TextRows() || column < 1 || column > BytesPerLine()) return -1;
    const int row = m_mode == kDumpDual ? t / 2 : t;
    return row * BytesPerLine() + column - 1;
}

DumpLayout::Cell DumpLayout::CellOfPageIndex(int index, bool sd) const {
    const int b = BytesPerLine();
    if (index < 0) return {};
    const int t = m_mode == kDumpDual ? 2 * (index / b) + (sd ? 0 : 1) : index / b;
    if (t >= TextRows()) return {};
    return {GridRowOfTextRow(t), index % b + 1};
}

int DumpLayout::TextRowOfGridRow(int gridRow) {
    if (gridRow <= 0) return -1;
    int k = (gridRow - 1) / 4, r = (gridRow - 1) % 4;
    return r < 2 ? 2 * k + r : -1;
}

}  // namespace qv
