// Edits of a trigger data string (16 bytes with a match rule each) as the
// string editor makes them. A pattern ends before its first END rule; an edit
// past the end extends the pattern, and the positions it reaches over match
// any byte, so that an edit never leaves a position the pattern skips.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "settings/TriggerSetting.h"

namespace qv {

struct Pattern {
    DataString bytes{};
    DataString scopes{};  // ScopeCode per byte
    bool operator==(const Pattern&) const = default;
};

// A pattern of no bytes: every rule END, every byte 0.
Pattern EmptyPattern();
// Sets the byte at `pos` (0-15); a position that matched any byte (or lay
// past the end) now matches that byte exactly; other rules are kept.
void SetPatternByte(Pattern& p, int pos, uint8_t value);
// Sets the rule at `pos` (any rule but END).
void SetPatternScope(Pattern& p, int pos, uint8_t scope);
// The typed bytes (at most 16) matched exactly, the rest of the pattern ended.
// False, and the pattern unchanged, for more than 16 bytes.
bool SetPatternBytes(Pattern& p, std::string_view bytes);

}  // namespace qv
