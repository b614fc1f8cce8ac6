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

std::optional<std::string> UngroupNumberText(std::string_view text, bool fraction) {
    const size_t point = fraction ? text.find('.') : std::string_view::npos;
    const std::string_view whole = text.substr(0, point);
    if (point != std::string_view::npos) {
        const std::string_view tail = text.substr(point + 1);
        if (tail.empty()) return std::nullopt;
        for (char c : tail)
            if (c < '0' || c > '9') return std::nullopt;
    }
    const bool grouped = whole.find(',') != std::string_view::npos;
    // Grouped, a text of 4n characters would begin with a separator.
    if (grouped && whole.size() % 4 == 0) return std::nullopt;
    std::string out;
    for (size_t i = 0; i < whole.size(); ++i) {
        const char c = whole[i];
        // With separators, one stands before every third digit from the right.
        const bool separatorHere = grouped && i > 0 && (whole.size() - i) % 4 == 0;
        if (separatorHere ? c != ',' : (c < '0' || c > '9')) return std::nullopt;
        if (c != ',') out += c;
    }
    if (out.empty()) return std::nullopt;
    if (point != std::string_view::npos) out.append(text.substr(point));
    return out;
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
