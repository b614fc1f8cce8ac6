// The texts of a Dump window page: for each row of bytes its direction's name,
// one two-digit hexadecimal cell per byte column and the character column.
//
// In DUAL mode a line is a pair of rows, SD above RD: the line's bytes keep
// their time order across the columns, each byte in its own direction's row,
// with the other row's cell of that column left empty; the character column
// of each row shows two spaces for the other direction's columns, so that
// both character texts stay aligned with the byte columns. In SD or RD mode
// every row holds the next B bytes of the one direction.
#pragma once

#include <string>
#include <vector>

#include "core/CodeTable.h"
#include "present/DumpLines.h"

namespace qv {

struct DumpRowText {
    bool sd = true;                  // whose row it is
    std::string name;                // column 0
    std::vector<std::string> cells;  // B cells: "HEX" texts or empty
    std::string chars;               // the character column
};

struct DumpTextOptions {
    int mode = kDumpDual;
    int bytesPerLine = 1;
    int code = kDisplayAscii;
    std::string sdName = "SD", rdName = "RD";
};

// The rows of a page in display order, two per layout line (SD then RD in
// DUAL mode), only as many as the bytes fill. The JIS7 shift state of each
// direction starts unshifted at the page's first byte, so that the same page
// always reads the same, however it was reached.
std::vector<DumpRowText> DumpPageTexts(const std::vector<DumpByte>& bytes,
                                       const DumpTextOptions& options, const CodeTable& table);

// Raw bytes shown as Shift-JIS text (CP932), converted to UTF-8 for the
// screen. Two-byte characters become one character; bytes that are no
// character (control codes, a lead byte without its trail, unassigned codes)
// are shown as "." so that nothing the line carried can upset the display.
std::string ShiftJisDisplayText(const std::string& raw);

}  // namespace qv
