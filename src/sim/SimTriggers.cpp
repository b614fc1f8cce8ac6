#include "sim/SimTriggers.h"

#include <cstring>

#include "capture/CaptureRecord.h"

namespace qv::sim {

namespace {

constexpr uint8_t kScopeNone = 0, kScopeNot = 1, kScopeAll = 2, kScopeOver = 3, kScopeUnder = 4,
                  kScopeEnd = 5;

// Condition bits 2..9 of p2/p3 (RS, CS, ER, DR, CD, CI, ExtIn, ExtOut) and
// their bits in the line state byte.
constexpr uint8_t kLineBitOfCondition[8] = {kLineRs, kLineCs, kLineEr,    kLineDr,
                                            kLineCd, kLineCi, kLineExtIn, kLineExtOut};

}  // namespace

void TriggerEngine::History::Add(uint8_t b) {
    if (size == bytes.size()) {
        std::memmove(bytes.data(), bytes.data() + 1, bytes.size() - 1);
        --size;
    }
    bytes[size++] = b;
}

void TriggerEngine::Reset(const TriggerSetup& setup) {
    m_setup = setup;
    m_was = {};
    m_counters = {};
    m_events = 0;
    m_sync = 0;
    m_sdHistory = {};
    m_rdHistory = {};
    m_stringsTaken = 0;
    for (const auto& w : m_setup.words)
        if (w[0] & 1) m_stringsTaken |= static_cast<uint8_t>(w[3] >> 8);
}

bool TriggerEngine::AnyStartsStoring() const {
    for (const auto& w : m_setup.words)
        if ((w[0] & 1) && (w[4] & kActStartStoring)) return true;
    return false;
}

bool TriggerEngine::StringMatches(int index, const History& history) const {
    const auto& pat = m_setup.patterns[static_cast<size_t>(index)];
    const auto& sc = m_setup.scopes[static_cast<size_t>(index)];
    // The pattern is right-aligned: position 15 is compared with the byte just
    // received, 14 with the one before, and END positions take no part.
    bool any = false;
    for (int i = 15; i >= 0; --i) {
        uint8_t scope = sc[static_cast<size_t>(i)];
        if (scope == kScopeEnd) continue;
        size_t back = static_cast<size_t>(15 - i);
        if (back >= history.size) return false;
        uint8_t got = history.Back(back);
        uint8_t want = pat[static_cast<size_t>(i)];
        bool ok = scope == kScopeNone    ? got == want
                  : scope == kScopeNot   ? got != want
                  : scope == kScopeAll   ? true
                  : scope == kScopeOver  ? got >= want
                  : scope == kScopeUnder ? got <= want
                                         : false;
        if (!ok) return false;
        any = true;
    }
    return any;  // an empty pattern matches nothing
}

bool TriggerEngine::ConditionsHold(int t, const LineEvent* ev, uint8_t lines, uint32_t clock,
                                   bool bufferFull, const std::array<bool, 8>& stringHit) const {
    const auto& w = m_setup.words[static_cast<size_t>(t)];
    const bool orMode = (w[0] & 2) != 0;
    const uint32_t take = w[1], want = w[2], other = w[3];
    int taking = 0, holding = 0;
    auto cond = [&](bool part, bool holds) {
        if (!part) return;
        ++taking;
        if (holds) ++holding;
    };
    // Runs every event on a busy line: groups of conditions the trigger does
    // not take are passed over whole.
    if (take != 0) {
        // SD and RD levels: an idle data line rests at its mark level (LOW here).
        cond(take & 1, !(want & 1));
        cond(take & 2, !(want & 2));
        for (int i = 0; i < 8; ++i) {
            uint32_t bit = 1u << (2 + i);
            bool high = (lines & kLineBitOfCondition[i]) != 0;
            cond(take & bit, high == ((want & bit) != 0));
        }
        for (int i = 0; i < 8; ++i) {
            uint32_t eb = 1u << (16 + i), sb = 1u << (24 + i);
            cond(take & eb, ((m_events >> i) & 1) == ((want & eb) ? 1 : 0));
            cond(take & sb, ((m_sync >> i) & 1) == ((want & sb) ? 1 : 0));
        }
    }
    if (other & 0xFF) {
        for (int i = 0; i < 4; ++i) {
            cond(other & (1u << i), clock >= m_setup.times[static_cast<size_t>(i)]);
            cond(other & (1u << (4 + i)),
                 m_counters[static_cast<size_t>(i)] >= m_setup.counts[static_cast<size_t>(i)]);
        }
    }
    if (other & 0xFF00) {
        for (int i = 0; i < 8; ++i)
            cond(other & (1u << (8 + i)), stringHit[static_cast<size_t>(i)]);
    }
    bool data = ev && ev->kind == LineEventKind::kData;
    bool sd = data && HeaderKind(ev->header) == RecordKind::kSdData;
    bool rd = data && HeaderKind(ev->header) == RecordKind::kRdData;
    constexpr uint8_t kErrors = kFlagFramingError | kFlagOverrunError | kFlagParityError;
    cond(other & (1u << 16), sd && (ev->header & kErrors));
    cond(other & (1u << 17), rd && (ev->header & kErrors));
    bool brk = ev && ev->kind == LineEventKind::kEvent;
    cond(other & (1u << 18), brk && (ev->value & kEventSdBreak));
    cond(other & (1u << 19), brk && (ev->value & kEventRdBreak));
    cond(other & (1u << 20), bufferFull);
    if (taking == 0) return !orMode;  // AND over no condition holds at once
    return orMode ? holding > 0 : holding == taking;
}

void TriggerEngine::Apply(uint32_t p5, uint32_t p6) {
    for (int i = 0; i < 4; ++i) {
        if (p5 & (1u << (24 + i))) ++m_counters[static_cast<size_t>(i)];
        if (p5 & (1u << (28 + i))) m_counters[static_cast<size_t>(i)] = 0;
    }
    for (int m = 0; m < 8; ++m) {
        uint8_t bit = static_cast<uint8_t>(1u << m);
        if (p6 & (1u << m)) m_events &= static_cast<uint8_t>(~bit);
        if (p6 & (1u << (8 + m))) m_events |= bit;
        if (p6 & (1u << (16 + m))) m_sync &= static_cast<uint8_t>(~bit);
        if (p6 & (1u << (24 + m))) m_sync |= bit;
    }
}

std::vector<TriggerFire> TriggerEngine::Evaluate(const LineEvent* ev, uint8_t lines, uint32_t clock,
                                                 bool bufferFull) {
    std::array<bool, 8> hit{};
    // Without a data string taken, the characters' history is never read.
    if (ev && ev->kind == LineEventKind::kData && m_stringsTaken) {
        bool sd = HeaderKind(ev->header) == RecordKind::kSdData;
        auto& h = sd ? m_sdHistory : m_rdHistory;
        h.Add(ev->value);
        for (int i = sd ? 0 : 4, end = i + 4; i < end; ++i)
            if (m_stringsTaken & (1u << i))
                hit[static_cast<size_t>(i)] = StringMatches(i, h);
    }
    std::vector<TriggerFire> fired;
    for (int t = 0; t < 5; ++t) {
        const auto& w = m_setup.words[static_cast<size_t>(t)];
        if (!(w[0] & 1)) continue;
        bool now = ConditionsHold(t, ev, lines, clock, bufferFull, hit);
        if (now && !m_was[static_cast<size_t>(t)]) {
            fired.push_back({t + 1, w[4]});
            Apply(w[4], w[5]);
        }
        m_was[static_cast<size_t>(t)] = now;
    }
    return fired;
}

}  // namespace qv::sim
