// Character code table: the two-position cell texts that stand for each byte value
// under each display code (HEX, ASCII, JIS7, JIS8, EBCDIC), and the JIS7 shift rules.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// Display codes as the views, the child frame and the search dialog store them.
// Plain ints on purpose: the numbers are persisted and exchanged in messages.
enum DisplayCode : int {
    kDisplayHex = 0,
    kDisplayAscii = 1,
    kDisplayJis7 = 2,
    kDisplayJis7Shifted = 3,  // the state a JIS7 view enters after a shift-out byte
    kDisplayJis8 = 4,
    kDisplayEbcdic = 5,
    kDisplayUnicode = 6,   // no table column; shows every byte as blank
    kDisplayShiftJis = 7,  // no table column; bytes stay Shift-JIS text
};

// Number of text columns in a table row: HEX, ASCII, JIS7, JIS7 shifted, JIS8, EBCDIC.
inline constexpr int kCodeTableColumns = 6;

// "HEX", "ASCII", "JIS7" (for 2 and 3), "JIS8", "EBCDIC", "UNICODE", "S-JIS";
// "??????" for any other number.
std::string_view DisplayCodeName(int code);

// The source line of one byte value: two upper-case hex digits, then the ASCII,
// JIS7, JIS7 shifted, JIS8 and EBCDIC texts, separated by commas
// (byte 0x21 gives "21,！,！,。,！,SS"). Texts are UTF-8.
std::string CodeTableSourceLine(uint8_t byte);
// All 256 source lines in byte order.
std::vector<std::string> CodeTableSourceLines();

// Which data line a byte was seen on; a view keeps one display code for each.
enum class DataDirection { kSd, kRd };

// The current display code of each direction. A JIS7 view shifts the two
// directions independently, because SO/SI on one line says nothing about the other.
struct DirectionCodes {
    int sd = kDisplayHex;
    int rd = kDisplayHex;

    // Choosing a display code from the menu resets both directions to it.
    void Select(int code) { sd = rd = code; }
    int& operator[](DataDirection dir) { return dir == DataDirection::kSd ? sd : rd; }
    int operator[](DataDirection dir) const { return dir == DataDirection::kSd ? sd : rd; }
};

// The 256-row table, built once and then only read. Lookups return views into the
// table and never allocate, since views call them for every byte they show; the
// views stay valid as long as the table lives.
class CodeTable {
  public:
    using Row = std::array<std::string, kCodeTableColumns>;

    // Builds the table from CodeTableSourceLines().
    CodeTable();

    // Splits one source line at its commas into the six texts of a row. An empty
    // field, or one missing at the end, gives an empty text; fields past the sixth
    // are ignored.
    static Row SplitSourceLine(std::string_view line);

    // The table text of a byte in the column of `code` (possibly empty). Codes
    // without a column of their own (ASCII, UNICODE, S-JIS and unknown numbers)
    // read the ASCII column.
    std::string_view ColumnText(uint8_t byte, int code) const;

    // The cell of a byte under `code`: always exactly two display positions (one
    // full-width character, two ASCII letters, or blanks). Empty texts and codes
    // outside HEX..EBCDIC give two spaces. No shift handling.
    std::string_view CellText(uint8_t byte, int code) const;

    // The cell of a byte seen in `dir`, using and advancing that direction's JIS7
    // shift state: at JIS7 a shift-out byte (0E/8E) is shown unshifted and moves the
    // direction to JIS7 shifted; there a shift-in byte (0F/8F) is shown shifted and
    // moves it back.
    std::string_view CellText(uint8_t byte, DirectionCodes& codes, DataDirection dir) const;

  private:
    std::array<Row, 256> text_;
    // text_ fitted to two display positions, so CellText is a plain lookup.
    std::array<Row, 256> cell_;
};

// The one table every view, listing and search shares; built on first use.
const CodeTable& DisplayCodeTable();

}  // namespace qv
