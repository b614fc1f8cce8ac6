// Decimal number texts as the settings files hold them and the windows show them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

// Where the digits of a number begin as the C runtime reads one: past leading
// blanks and tabs and one optional sign, which sets `negative`.
size_t SkipBlanksAndSign(std::string_view text, bool& negative);

// Reads a decimal number the way atoi does: leading blanks and a sign, then
// digits as far as they go; anything else reads as 0.
int64_t ParseLeadingInt(std::string_view text);

// Decimal digits with "," every three digits: 1,234,567 and -1,000.
std::string FormatThousands(int32_t value);

// A typed number: digits, grouped by "," every three digits from the
// decimal point or not at all ("1,000" and "1000", never "1,00" or
// "1,2,3"), and with `fraction` one "." followed by digits. The text
// without its separators, or nullopt; no sign, blank or exponent.
std::optional<std::string> UngroupNumberText(std::string_view text, bool fraction);

}  // namespace qv
