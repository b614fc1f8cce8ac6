// A replay script: a small text file that states exactly what the line
// carried, so a test can check the stream against it. One event per line:
//
//   # a comment
//   TIME SD 41 42 "text"      characters on SD (hex bytes or quoted text)
//   TIME RD 06                characters on RD
//   TIME LINES RS CS ER       the control lines now on (- for none); also DR CD CI EXTIN EXTOUT
//   TIME BREAK SD ON          a break begins (ON) or ends (OFF) on SD or RD
//   TIME PARITY SD 41         a character with a parity error (also FRAMING, OVERRUN)
//
// TIME is microseconds from the start of the run (a decimal number, may have
// a fraction). The characters of one line follow each other at the
// character time of the configured rate and format; TIME is the end of the
// first one. Lines must not go back in time.
#pragma once

#include <string>
#include <vector>

#include "sim/LineSource.h"

namespace qv::sim {

class ReplaySource : public ILineSource {
  public:
    ReplaySource(const LineFormat& format, uint64_t startTicks);
    // False with "FILE:LINE: reason" for a script that cannot be used.
    bool Load(const std::string& path, std::string& error);
    bool Parse(const std::string& text, std::string& error);

    bool Next(LineEvent& ev, const std::atomic<bool>& stop) override;
    uint8_t InitialLines() const override { return 0; }
    bool Live() const override { return false; }

    const std::vector<LineEvent>& Events() const { return m_events; }

  private:
    LineFormat m_format;
    uint64_t m_start;
    std::vector<LineEvent> m_events;
    size_t m_next = 0;
};

// Whether the script at `path` can be replayed at all: read at the fastest
// rate, so that what fails here fails at every rate (a bad line, a time
// that goes back). False with "FILE:LINE: reason".
bool CheckReplayScript(const std::string& path, std::string& error);

}  // namespace qv::sim
