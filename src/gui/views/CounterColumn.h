// The width of a Monitor window counter column (TR, SD, RD): wide enough for
// the largest count the rows can show, in the font in use, so that a record
// number is never cut to "1996…".
#pragma once

#include <cstdint>

class QFontMetrics;
class QWidget;

namespace qv {

// The largest count a running monitor's rows are sized for: its counts are
// not known ahead, and every count below 10^10 prints in ten characters.
inline constexpr uint64_t kLiveCountSpan = 9'999'999'999ull;

// Pixels for a cell that shows any count up to `largest` in `view`'s font,
// with the cell margins of its style. Counts of up to ten digits take the
// same width, as their texts are padded to ten characters.
int CounterColumnWidth(const QWidget& view, uint64_t largest);

}  // namespace qv
