// The emulated instrument's triggers, evaluated on every line event from the
// words the computer uploaded (commands 48, 64, 65, 66). Level conditions
// (control lines, events, times, counters) hold while true; string, error and
// break conditions hold on the event that satisfies them. A trigger fires when
// its AND/OR combination turns true, and then performs its two actions.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "traffic/LineTraffic.h"

namespace qv::sim {

struct TriggerSetup {
    // Trigger strings as sent: SD1..SD4 then RD1..RD4, right-aligned.
    std::array<std::array<uint8_t, 16>, 8> patterns{};
    std::array<std::array<uint8_t, 16>, 8> scopes{};
    // p1..p6 of triggers 1..5.
    std::array<std::array<uint32_t, 6>, 5> words{};
    std::array<uint32_t, 4> times{};   // seconds since 1970
    std::array<uint32_t, 4> counts{};  // counter targets
};

// Action bits of p5.
inline constexpr uint32_t kActStopStoring = 1u << 0;
inline constexpr uint32_t kActStartStoring = 1u << 1;

struct TriggerFire {
    int trigger = 0;       // 1..5: the code its event item carries
    uint32_t actions = 0;  // p5
};

class TriggerEngine {
  public:
    void Reset(const TriggerSetup& setup);
    // True when an enabled trigger starts storing; without one the
    // instrument monitors but stores nothing.
    bool AnyStartsStoring() const;
    // Evaluates every trigger after `ev` (nullptr: only the clock moved).
    // `lines` is the control-line state byte after the event.
    std::vector<TriggerFire> Evaluate(const LineEvent* ev, uint8_t lines, uint32_t clock,
                                      bool bufferFull);

  private:
    // The last bytes of one data line, newest last.
    struct History {
        std::array<uint8_t, 16> bytes{};
        size_t size = 0;
        void Add(uint8_t b);
        // The byte `back` places before the newest (0: the newest).
        uint8_t Back(size_t back) const { return bytes[size - 1 - back]; }
    };

    bool StringMatches(int index, const History& history) const;
    bool ConditionsHold(int t, const LineEvent* ev, uint8_t lines, uint32_t clock, bool bufferFull,
                        const std::array<bool, 8>& stringHit) const;
    void Apply(uint32_t p5, uint32_t p6);

    TriggerSetup m_setup;
    std::array<bool, 5> m_was{};
    std::array<uint32_t, 4> m_counters{};
    uint8_t m_events = 0;                           // instrument events 1..8 (bit n-1)
    uint8_t m_sync = 0;             // external events 1..8
    History m_sdHistory, m_rdHistory;  // the last 16 bytes per line
    // The data strings (bit 0 SD1 .. bit 7 RD4) some enabled trigger takes:
    // only those are compared on every character.
    uint8_t m_stringsTaken = 0;
};

}  // namespace qv::sim
