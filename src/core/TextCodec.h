// Text encoding at the file boundary. Settings, index and CSV files keep CP932
// (Shift-JIS) bytes so that they move unchanged between this system and the
// Windows one; inside the program all text is UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv {

// The length (1 to 4) of the well-formed UTF-8 character at s[i], or 0 when
// the bytes there are not one: a stray continuation byte, a lead byte C0, C1
// or F5..FF, a cut sequence, an overlong form, a surrogate (U+D800..DFFF) or
// a value past U+10FFFF. The one rule of the tree for what UTF-8 is.
size_t Utf8SequenceLength(std::string_view s, size_t i);
// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);
// Whether a file's bytes are taken as UTF-8: valid UTF-8 with a non-ASCII
// byte. Such a file may keep characters CP932 lacks; any other file takes
// only text with a CP932 form.
bool ReadsAsUtf8(std::string_view bytes);
// The bytes a settings file keeps for UTF-8 text: its CP932 form, unless
// those bytes would read back as UTF-8 (and so as other text; a few CP932
// pairs such as 0xDF 0x84 are valid UTF-8), in which case the UTF-8 itself,
// which reads back unchanged. nullopt when CP932 lacks a character.
std::optional<std::string> SettingsFileBytes(std::string_view utf8);
// True when every byte is below 0x80 (such text is the same in both encodings).
bool IsAscii(std::string_view bytes);

// UTF-8 → CP932; nullopt when a character has no CP932 form.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);
// CP932 → UTF-8; nullopt when the bytes are not valid CP932.
std::optional<std::string> Cp932ToUtf8(std::string_view cp932);

// Reads file content as text: valid UTF-8 (with non-ASCII bytes) is taken as
// UTF-8, anything else as CP932. Bytes that are neither are kept as U+FFFD so
// that reading never fails; the caller never writes them back unnoticed
// because U+FFFD has no CP932 form.
std::string DecodeFileText(std::string_view bytes);

}  // namespace qv
