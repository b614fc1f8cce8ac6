#include "settings/ValueText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/NumberText.h"

namespace qv {

std::optional<std::string_view> WordOf(WordTable table, int code) {
    for (const CodeWord& cw : table)
        if (cw.code == code) return cw.word;
    return std::nullopt;
}

int CodeOf(WordTable table, std::string_view word, int unknown) {
    for (const CodeWord& cw : table)
        if (cw.word == word) return cw.code;
    return unknown;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string HexByte(uint8_t value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

uint64_t ParseHexPrefix(std::string_view text, size_t maxDigits, size_t* digits) {
    uint64_t value = 0;
    size_t n = 0;
    while (n < maxDigits && n < text.size()) {
        int d = HexDigit(text[n]);
        if (d < 0) break;
        value = value * 16 + static_cast<uint64_t>(d);
        ++n;
    }
    if (digits) *digits = n;
    return value;
}

uint32_t ParseHex32(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    text.remove_prefix(i);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
        HexDigit(text[2]) >= 0)
        text.remove_prefix(2);
    uint64_t value = 0;
    for (char c : text) {
        int d = HexDigit(c);
        if (d < 0) break;
        // strtoul saturates rather than wrapping.
        value = std::min<uint64_t>(value * 16 + static_cast<uint64_t>(d), UINT32_MAX);
    }
    return static_cast<uint32_t>(value);
}

double ParseLeadingDouble(std::string_view text) {
    bool negative = false;
    const size_t i = SkipBlanksAndSign(text, negative);
    double value = 0;
    auto [ptr, ec] = std::from_chars(text.data() + i, text.data() + text.size(), value,
                                     std::chars_format::general);
    (void)ptr;
    // "inf", "nan" and overflowing exponents are no use as a rate or a time:
    // they read as a non-number would, so later arithmetic stays defined.
    if (ec != std::errc() || !std::isfinite(value)) return 0;
    return negative ? -value : value;
}

std::string FormatFixed1(double value) {
    char buf[400];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 1);
    if (ec != std::errc()) return "0.0";
    return std::string(buf, ptr);
}

}  // namespace qv
