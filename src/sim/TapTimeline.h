// The times of what two tapped ports receive, and the one time-ordered list
// of events they make.
//
// A port hands over what it has received without saying when each byte came.
// The clock is taken right after each read; a read's characters are given
// times that end at that moment and lie one character time apart (they came
// back to back at the latest), but never before the previous character of the
// same line ended, nor before the port was last found empty. The two lines
// are merged by time. An event is handed out only once no later read can
// bring an earlier one: every future time of a line is after the moment the
// line was last found empty, so events up to the earlier of the two lines'
// moments are final.
//
// Characters that a host's delay lets pile up in the port are laid back to
// back before the read: two frames the line kept apart stay apart and in
// order as long as the delay is shorter than the gap that separated them.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <span>

#include "traffic/LineTraffic.h"

namespace qv::sim {

// One character as the port reported it.
struct TapInput {
    uint8_t value = 0;
    uint8_t flags = 0;   // error flags of the stored header
    bool brk = false;    // a break on the line rather than a character
};

class TapTimeline {
  public:
    static constexpr int kSd = 0, kRd = 1;

    // `charTicks`: one character's time on each line; `openTicks`: the time
    // the ports were opened (nothing before it is theirs).
    TapTimeline(std::array<uint64_t, 2> charTicks, uint64_t openTicks);

    // The characters one read of `line` brought, with the clock right after
    // the read (the port held nothing more then). An empty read only moves
    // the line's moment on.
    void Read(int line, std::span<const TapInput> chars, uint64_t readTicks);
    // The control lines changed, seen at `ticks`.
    void Lines(uint8_t state, uint64_t ticks);
    // Moves every final event, in time order, to `out`.
    void Release(std::deque<LineEvent>& out);
    // Events that wait for the other line's next read.
    bool Holding() const;

  private:
    LineEvent Break(uint64_t time) const;

    std::array<uint64_t, 2> m_char;
    std::array<uint64_t, 2> m_empty;      // the line was last found empty at this time
    std::array<uint64_t, 2> m_last{};     // the line's last character
    std::array<bool, 2> m_any{};          // a character has been seen on the line
    std::array<uint64_t, 2> m_breakAt{};  // when the line's running break began
    uint8_t m_breaks = 0;                 // event byte: the lines in a break
    uint64_t m_released = 0;              // time of the last event handed out
    std::array<std::deque<LineEvent>, 3> m_queue;  // SD, RD, control lines
};

}  // namespace qv::sim
