#include "core/NumberText.h"

namespace qv {

size_t SkipBlanksAndSign(std::string_view text, bool& negative) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    return i;
}

int64_t ParseLeadingInt(std::string_view text) {
    bool negative = false;
    size_t i = SkipBlanksAndSign(text, negative);
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value > (INT64_MAX - 9) / 10) break;  // saturate rather than overflow
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

std::string FormatThousands(int32_t value) {
    // Widen first: the magnitude of INT32_MIN does not fit in 32 bits.
    int64_t v = value;
    std::string digits = std::to_string(v < 0 ? -v : v);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return v < 0 ? "-" + out : out;
}

}  // namespace qv
