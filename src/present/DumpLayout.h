// The geometry of the Dump window's grid, worked out from the window's client
// size in twips and kept apart from the widget so that it can be checked
// without a screen.
//
// The grid has C columns: the line titles, B = C - 2 byte columns and the
// character column, which takes the width the others leave. Below a header
// row come L lines of four grid rows each: two rows of bytes, a separator
// (only DUAL mode gives it height) and a row of no height. Text row r of a
// page (the r-th row of bytes) is grid row r + (r / 2) * 2 + 1, so that text
// rows 0, 1, 2, 3 ... sit on grid rows 1, 2, 5, 6 ...
#pragma once

#include <cstdint>
#include <optional>

namespace qv {

// What a grid row is painted in: the colours "dco", "dce" and "dcs".
enum class DumpRowShade { kOdd, kEven, kBoundary };

// The sizes of a row, a byte column and the title column in twips: the
// usual ones, or larger ones a larger font needs.
struct DumpCells {
    int rowTwips = 240;
    int byteTwips = 400;
    int titleTwips = 500;
    bool operator==(const DumpCells&) const = default;
};

class DumpLayout {
  public:
    static constexpr int kTitleTwips = DumpCells{}.titleTwips;
    static constexpr int kByteTwips = DumpCells{}.byteTwips;
    // The title column plus the frame and scroll bar the width must leave.
    static constexpr int kReservedTwips = 740;
    static constexpr int kRowTwips = DumpCells{}.rowTwips;
    static constexpr int kSeparatorTwips = 120;  // between the lines in DUAL mode

    // The layout for a client area, or nullopt when it is too small to hold
    // one byte column (C below 3) or one line; the window then keeps the
    // layout it had. `cells` are larger than the usual sizes when the font
    // needs it.
    static std::optional<DumpLayout> For(int widthTwips, int heightTwips, int mode,
                                         const DumpCells& cells = {});

    // The smallest layout there is: one byte column, one DUAL line. A window
    // starts with it until it knows its size.
    static DumpLayout Smallest();

    int Columns() const { return m_columns; }
    int BytesPerLine() const { return m_columns - 2; }
    int CharColumn() const { return m_columns - 1; }
    int Lines() const { return m_lines; }
    int Mode() const { return m_mode; }
    int GridRows() const { return 4 * m_lines + 1; }
    // Text rows on a page: two per line in every mode.
    int TextRows() const { return 2 * m_lines; }
    // Lines of B bytes a page holds: L in DUAL mode, 2L in SD or RD mode.
    int PageLines() const;

    int ColumnTwips(int column) const;
    int RowTwips(int gridRow) const;
    DumpRowShade Shade(int gridRow) const;

    // The page index of the byte a cell of a byte column can show, or -1. In
    // DUAL mode both rows of a line share the line's indexes and the byte
    // shows only in its own direction's row.
    int PageIndexOfCell(int gridRow, int column) const;
    struct Cell {
        int gridRow = -1, column = -1;
    };
    // Where page byte `index` shows.
    Cell CellOfPageIndex(int index, bool sd) const;

    static int GridRowOfTextRow(int textRow) { return textRow + (textRow / 2) * 2 + 1; }
    // The text row shown on a grid row, or -1 for the header and the rows
    // between the lines.
    static int TextRowOfGridRow(int gridRow);

    bool operator==(const DumpLayout&) const = default;

  private:
    int m_columns = 3;
    int m_lines = 1;
    int m_mode = 0;
    int m_widthTwips = 0;
    DumpCells m_cells;
};

}  // namespace qv
