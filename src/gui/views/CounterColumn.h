// The width of a Monitor window counter column (TR, SD, RD): wide enough for
// the largest count the rows can show, in the font in use, so that a record
// number is never cut to "1996…".
#pragma once

#include <cstdint>

class QFontMetrics;
class QWidget;

namespace qv {

// Pixels for a cell that shows any count up to `largest` in `view`'s font,
// with the cell margins of its style. Counts of up to ten digits take the
// same width, as their texts are padded to ten characters.
int CounterColumnWidth(const QWidget& view, uint64_t largest);

}  // namespace qv
