#include "export/MessageSplitter.h"

#include <cmath>

namespace qv {

uint8_t RecordErrors(Protocol protocol, uint8_t header) {
    uint8_t e = 0;
    if (TraitsOf(protocol).characterErrors) {
        if (header & kFlagParityError) e |= kErrParity;
        if (header & kFlagFramingError) e |= kErrFraming;
        if (header & kFlagOverrunError) e |= kErrOverrun;
    } else if (UsesFrameRecords(protocol)) {
        if (header & kFlagFcsError) e |= kErrFcs;
        if (header & kFlagAbort) e |= kErrAbort;
    }
    return e;
}

std::string ErrorNames(uint8_t errors) {
    static constexpr const char* kNames[] = {"parity", "framing", "overrun", "fcs", "abort"};
    std::string out;
    for (int i = 0; i < 5; ++i) {
        if (!(errors & (1 << i))) continue;
        if (!out.empty()) out += ',';
        out += kNames[i];
    }
    return out;
}

MessageSplitter::MessageSplitter(Protocol protocol, const AsyncCharTiming& timing,
                                 const MessageRule& rule, IMessageSink& sink)
    : m_protocol(protocol), m_rule(rule), m_sink(sink) {
    for (int dir : {kDirSd, kDirRd}) {
        const double bit = timing.BitTicks(dir == kDirSd);
        const bool characters = TraitsOf(protocol).startStopCharacters;
        m_halfBit[dir] = characters ? std::llround(bit / 2) : 0;
        if (rule.gapTicks > 0)
            m_threshold[dir] = rule.gapTicks;
        else if (characters)
            m_threshold[dir] = std::llround(rule.gapChars * timing.Bits() * bit);
        else
            m_threshold[dir] = INT64_MAX;  // frames are messages of their own
    }
}

bool MessageSplitter::Dnp3Complete() const {
    const auto& b = m_msg.bytes;
    if (b.size() < 3 || b[0] != 0x05 || b[1] != 0x64 || b[2] < 5) return false;
    // Header of 10 bytes (with its CRC), then the user data in blocks of
    // up to 16 bytes, each followed by a 2-byte CRC.
    const size_t n = b[2] - 5u;
    return b.size() >= 10 + n + 2 * ((n + 15) / 16);
}

void MessageSplitter::Emit() {
    if (!m_open) return;
    m_open = false;
    m_msg.number = m_count++;
    m_sink.OnMessage(m_msg);
    m_lastEnd = m_msg.end;
    m_lastDir = m_msg.dir;
}

void MessageSplitter::AddData(const WalkRecord& r) {
    const int dir = r.kind == RecordKind::kSdData ? kDirSd : kDirRd;
    const int64_t end = r.end + m_halfBit[dir];
    if (m_open) {
        const bool frames = UsesFrameRecords(m_protocol);
        if (frames || dir != m_msg.dir || r.start - m_msg.end >= m_threshold[dir] ||
            m_msg.bytes.size() + r.data.size() > kMaxMessageBytes) {
            m_msg.cut = !frames && dir == m_msg.dir && r.start - m_msg.end < m_threshold[dir];
            Emit();
        }
    }
    if (!m_open) {
        m_open = true;
        m_msg.dir = dir;
        m_msg.start = r.start;
        m_msg.gapBefore = m_lastDir < 0 ? -1 : r.start - m_lastEnd;
        m_msg.prevDir = m_lastDir;
        m_msg.lineState = r.lineState;
        m_msg.errors = 0;
        m_msg.firstFrame = r.frame;
        m_msg.cut = false;
        m_msg.bytes.clear();
    }
    m_msg.bytes.insert(m_msg.bytes.end(), r.data.begin(), r.data.end());
    m_msg.end = end;
    m_msg.lastFrame = r.frame;
    m_msg.errors |= RecordErrors(m_protocol, r.header);
    if (UsesFrameRecords(m_protocol) || (m_rule.framing == Framing::kDnp3 && Dnp3Complete()))
        Emit();
}

void MessageSplitter::Idle(int64_t now) {
    if (m_open && now - m_msg.end >= m_threshold[m_msg.dir]) Emit();
}

void MessageSplitter::Break(int dir) {
    if (m_open && m_msg.dir == dir) Emit();
}

void MessageSplitter::Finish() {
    Emit();
}

std::string UnsplittableReason(Protocol protocol, bool canSplit) {
    if (TraitsOf(protocol).lineSamples)
        return "a " + std::string(ProtocolName(protocol)) +
               " capture holds line samples, not characters: it has no messages";
    if (!canSplit)
        return "the capture has no baud rate, so a character time is unknown; give the idle "
               "time that ends a message with --gap-us";
    return {};
}

}  // namespace qv
