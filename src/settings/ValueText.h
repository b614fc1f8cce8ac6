// The text forms of settings values: fixed value words, hexadecimal bytes and
// numbers. Readers are lenient in the way the C runtime is (a number is read as
// far as it goes, a non-number is 0), because files written by older versions
// or edited by hand must still load; writers produce one exact form.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qv {

// The code that a word outside a field's list reads as, unless the field says
// otherwise.
inline constexpr uint8_t kUnknownCode = 255;

// One code and the word that stands for it in a settings file.
struct CodeWord {
    int code;
    std::string_view word;
};
using WordTable = std::span<const CodeWord>;

// The word of a code; nullopt when the code has none.
std::optional<std::string_view> WordOf(WordTable table, int code);
// The code of a word, compared exactly (case and blanks included); `unknown`
// when the word is not in the table.
int CodeOf(WordTable table, std::string_view word, int unknown = kUnknownCode);

// ASCII comparison without regard to case, as settings files match names.
bool EqualsNoCase(std::string_view a, std::string_view b);

// A byte as two lower-case hex digits, high nibble first ("0a").
std::string HexByte(uint8_t value);
// Hex digits (either case) from the start of the text, at most `maxDigits` of
// them, as far as they go; 0 when the text does not begin with one.
// `digits`, when given, receives how many were read.
uint64_t ParseHexPrefix(std::string_view text, size_t maxDigits, size_t* digits = nullptr);
// A hexadecimal number as strtoul reads it: leading blanks, an optional "0x",
// digits as far as they go; limited to 32 bits.
uint32_t ParseHex32(std::string_view text);

// A decimal number as atof reads it (leading blanks, sign, digits, fraction,
// exponent, as far as they go; 0 otherwise, and 0 for infinities and NaN).
// Independent of the C locale, so a
// GUI that sets a locale with a decimal comma still reads "9600.0".
double ParseLeadingDouble(std::string_view text);
// "%.1f" without the C locale's decimal separator.
std::string FormatFixed1(double value);

}  // namespace qv
