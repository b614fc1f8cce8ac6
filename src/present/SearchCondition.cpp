#include "present/SearchCondition.h"

#include "capture/CaptureReader.h"
#include "capture/CaptureRecord.h"

namespace qv {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Header bits 7-5 of a stored SD / RD data record: 100 and 101.
constexpr uint8_t kTopBitsMask = 0xE0;
constexpr uint8_t kSdDataTop = 0x80;
constexpr uint8_t kRdDataTop = 0xA0;

}  // namespace

int SearchPattern::Length() const {
    for (int i = kPatternBytes; i > 0; --i)
        if (care[static_cast<size_t>(i - 1)]) return i;
    return 0;
}

std::optional<SearchPattern> ParsePattern(std::string_view text) {
    SearchPattern p;
    p.enabled = true;
    size_t n = 0;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == ',') {
            ++i;
            continue;
        }
        if (n == kPatternBytes || i + 1 >= text.size()) return std::nullopt;
        if (text[i] == '*' && text[i + 1] == '*') {
            p.care[n++] = false;
        } else {
            int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
            if (hi < 0 || lo < 0) return std::nullopt;
            p.bytes[n] = static_cast<uint8_t>(hi * 16 + lo);
            p.care[n++] = true;
        }
        i += 2;
        if (i < text.size() && text[i] != ' ' && text[i] != ',') return std::nullopt;
    }
    return p;
}

bool SearchCondition::AnyLine() const {
    for (bool e : lineEnabled)
        if (e) return true;
    return false;
}

bool SearchCondition::IsSet() const {
    if ((sd.enabled && sd.Length() == 0) || (rd.enabled && rd.Length() == 0)) return false;
    return sd.enabled || rd.enabled || sdLevelEnabled || rdLevelEnabled || AnyLine() || parity ||
           overrun || framing;
}

int SearchMatcher::CandidateType() const {
    const bool others = m_c.sdLevelEnabled || m_c.rdLevelEnabled || m_c.AnyLine() || m_c.parity ||
                        m_c.overrun || m_c.framing;
    // The line test compares with the record stepped from, which must then be
    // the neighbouring record: no skipping with it.
    if (m_c.AnyLine()) return 0;
    if (m_c.andMode) {
        if (m_c.sd.enabled) return kJumpSd;
        if (m_c.rd.enabled) return kJumpRd;
        return 0;
    }
    if (others) return 0;
    if (m_c.sd.enabled && m_c.rd.enabled) return kJumpData;
    if (m_c.sd.enabled) return kJumpSd;
    if (m_c.rd.enabled) return kJumpRd;
    return 0;
}

bool SearchMatcher::MatchString(CaptureReader& file, const SearchPattern& p, bool sd) {
    const uint8_t top = sd ? kSdDataTop : kRdDataTop;
    if ((m_frame.Header() & kTopBitsMask) != top) return false;
    const int length = p.Length();
    int pos = 0;
    bool compared = false;
    for (;;) {
        for (uint8_t b : m_frame.Data()) {
            if (pos >= length) break;
            if (p.care[static_cast<size_t>(pos)]) {
                if (b != p.bytes[static_cast<size_t>(pos)]) return false;
                compared = true;
            }
            ++pos;
        }
        if (pos >= length) return compared;
        if (const int rc = file.NextOfType(sd ? kJumpSd : kJumpRd); rc != kQvrOk) {
            // The end of the capture only means no match; anything else is a
            // string that may go on where the reader cannot see.
            if (rc != kQvrNotFound) m_readError = rc;
            return false;
        }
        if (file.GetFrame(m_frame) != kQvrOk) return false;
    }
}

bool SearchMatcher::Test(CaptureReader& file, std::optional<uint8_t> neighbourLine) {
    m_readError = 0;
    if (file.GetFrame(m_frame) != kQvrOk) return false;
    const uint8_t header = m_frame.Header();
    const Protocol protocol = file.GetProtocol();
    const bool logic = TraitsOf(protocol).lineSamples;
    const bool async = TraitsOf(protocol).characterErrors;

    // The tests that look at this record alone, in a fixed order.
    struct Local {
        bool enabled;
        bool holds;
    };
    bool linesHold = false;
    if (m_c.AnyLine() && neighbourLine && m_frame.LineState() != *neighbourLine) {
        linesHold = true;
        for (int i = 0; i < kSearchLines; ++i) {
            if (!m_c.lineEnabled[static_cast<size_t>(i)]) continue;
            const uint8_t bit = (m_frame.LineState() >> (7 - i)) & 1;
            if (bit != m_c.lineLevel[static_cast<size_t>(i)]) linesHold = false;
        }
    }
    const Local local[] = {
        {m_c.sdLevelEnabled, logic && ((header >> 1) & 1) == m_c.sdLevel},
        {m_c.rdLevelEnabled, logic && (header & 1) == m_c.rdLevel},
        {m_c.AnyLine(), linesHold},
        {m_c.parity, async && (header & kFlagParityError) != 0},
        {m_c.overrun, async && (header & kFlagOverrunError) != 0},
        {m_c.framing, async && (header & kFlagFramingError) != 0},
    };
    if (m_c.andMode) {
        for (const Local& t : local)
            if (t.enabled && !t.holds) return false;
        // A record is SD or RD data, never both.
        if (m_c.sd.enabled && m_c.rd.enabled) return false;
        if (m_c.sd.enabled) return MatchString(file, m_c.sd, true);
        if (m_c.rd.enabled) return MatchString(file, m_c.rd, false);
        return true;
    }
    for (const Local& t : local)
        if (t.enabled && t.holds) return true;
    // At most one of the two strings can start on this record (its kind
    // decides), so the walk of one never has to be undone for the other.
    if (m_c.sd.enabled && MatchString(file, m_c.sd, true)) return true;
    if (m_c.rd.enabled && MatchString(file, m_c.rd, false)) return true;
    return false;
}

}  // namespace qv
