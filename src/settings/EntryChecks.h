// Checks of the values typed into the settings editors. Each returns the
// reason a text is refused (in the editors' language), or an empty text when
// it is accepted, so that an editor refuses a bad value where it is typed
// instead of quietly changing it. qvtool and the dialogs share them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

// "min～maxの範囲で入力してください" with thousands separators (limits within
// 32 bits).
std::string RangeReason(int64_t min, int64_t max);

// A whole decimal number written with digits and optional "," separators;
// false for anything else (signs, fractions, blanks, an empty text).
bool ParseGroupedWhole(std::string_view text, int64_t& value);

// A typed value that must be a whole number between min and max.
std::string WholeNumberProblem(std::string_view text, int64_t min, int64_t max);

// A typed bit rate: digits with "," separators and at most one ".", between
// 10 and 12,500,000 bit/s, and on RS-232 (line type 0) at most 1,500,000.
std::string BitRateProblem(std::string_view text, int lineType);

// The frame limit field: whole units of 10,000 frames, 1 to 200,000 (two
// billion frames, the most a capture can hold). A fraction would be dropped
// and a zero would leave a ring capture no room, so both are refused.
inline constexpr int64_t kMaxFrameLimitUnits = 200'000;
std::string FrameLimitProblem(std::string_view text);

}  // namespace qv
