#include "core/TextCodec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace qv {

bool IsAscii(std::string_view bytes) {
    for (unsigned char c : bytes)
        if (c >= 0x80) return false;
    return true;
}

size_t Utf8SequenceLength(std::string_view s, size_t i) {
    if (i >= s.size()) return 0;
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) return 1;
    size_t len;
    uint32_t cp;
    if ((c & 0xE0) == 0xC0)
        len = 2, cp = c & 0x1F;
    else if ((c & 0xF0) == 0xE0)
        len = 3, cp = c & 0x0F;
    else if ((c & 0xF8) == 0xF0)
        len = 4, cp = c & 0x07;
    else
        return 0;
    if (i + len > s.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        const auto cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF (which F5..F7 lead
    // bytes give) are not UTF-8.
    if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
        (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        return 0;
    return len;
}

bool IsValidUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const size_t n = Utf8SequenceLength(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

namespace {

// One conversion through iconv. With `lossy` an unconvertible input byte is
// replaced by U+FFFD (only meaningful towards UTF-8); otherwise it fails.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view in,
                                   bool lossy) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    out.resize(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    size_t done = 0;
    bool ok = true;
    while (srcLeft > 0) {
        char* dst = out.data() + done;
        size_t dstLeft = out.size() - done;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        done = out.size() - dstLeft;
        if (r != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
        } else if (lossy && (errno == EILSEQ || errno == EINVAL)) {
            ++src, --srcLeft;
            out.resize(done);
            out += "\xEF\xBF\xBD";
            done = out.size();
            out.resize(done + srcLeft * 2 + 16);
        } else {
            ok = false;
            break;
        }
    }
    iconv_close(cd);
    if (!ok) return std::nullopt;
    out.resize(done);
    return out;
}

}  // namespace

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    return Convert("CP932", "UTF-8", utf8, false);
}

std::optional<std::string> Cp932ToUtf8(std::string_view cp932) {
    if (IsAscii(cp932)) return std::string(cp932);
    return Convert("UTF-8", "CP932", cp932, false);
}

bool ReadsAsUtf8(std::string_view bytes) {
    return !IsAscii(bytes) && IsValidUtf8(bytes);
}

std::optional<std::string> SettingsFileBytes(std::string_view utf8) {
    std::optional<std::string> cp932 = Utf8ToCp932(utf8);
    if (cp932 && ReadsAsUtf8(*cp932)) return std::string(utf8);
    return cp932;
}

std::string DecodeFileText(std::string_view bytes) {
    if (IsAscii(bytes) || IsValidUtf8(bytes)) return std::string(bytes);
    auto text = Convert("UTF-8", "CP932", bytes, true);
    return text ? *text : std::string();
}

}  // namespace qv
