#include "settings/PatternEdit.h"

namespace qv {

namespace {

// Makes positions before `pos` part of the pattern (matching any byte where
// the pattern had ended).
void Reach(Pattern& p, int pos) {
    for (int i = 0; i < pos; ++i) {
        auto k = static_cast<size_t>(i);
        if (p.scopes[k] == kScopeEnd) {
            p.scopes[k] = kScopeAll;
            p.bytes[k] = 0;
        }
    }
}

bool Valid(int pos) {
    return pos >= 0 && pos < kStringBytes;
}

}  // namespace

Pattern EmptyPattern() {
    Pattern p;
    p.scopes.fill(kScopeEnd);
    return p;
}

void SetPatternByte(Pattern& p, int pos, uint8_t value) {
    if (!Valid(pos)) return;
    Reach(p, pos);
    auto k = static_cast<size_t>(pos);
    p.bytes[k] = value;
    if (p.scopes[k] == kScopeEnd || p.scopes[k] == kScopeAll) p.scopes[k] = kScopeNone;
}

void SetPatternScope(Pattern& p, int pos, uint8_t scope) {
    if (!Valid(pos) || scope == kScopeEnd || scope > kScopeEnd) return;
    Reach(p, pos);
    p.scopes[static_cast<size_t>(pos)] = scope;
}

bool SetPatternBytes(Pattern& p, std::string_view bytes) {
    if (bytes.size() > static_cast<size_t>(kStringBytes)) return false;
    p = EmptyPattern();
    for (size_t i = 0; i < bytes.size(); ++i) {
        p.bytes[i] = static_cast<uint8_t>(bytes[i]);
        p.scopes[i] = kScopeNone;
    }
    return true;
}

}  // namespace qv
