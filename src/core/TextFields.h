// Comma-separated values as the settings and index files hold them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace qv {

// Field n (1-based): the text between comma n-1 and comma n (or the end),
// blanks kept. Empty when the text has fewer fields.
inline std::string_view GetField(std::string_view text, size_t n) {
    if (n == 0) return {};
    size_t begin = 0;
    for (size_t i = 1; i < n; ++i) {
        size_t comma = text.find(',', begin);
        if (comma == std::string_view::npos) return {};
        begin = comma + 1;
    }
    size_t end = text.find(',', begin);
    return text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
}

inline size_t CountCommas(std::string_view text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), ','));
}

}  // namespace qv
