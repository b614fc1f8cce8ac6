// Two real serial ports (or pseudo-terminals) tapped on a line: one hears
// what the SD line carries, the other RD. Every byte received is an event
// time-stamped on arrival; bytes that arrive together follow each other at
// the character time. The modem lines of the SD port are polled and become
// control-line changes. With two USB-serial adapters this makes a working
// line monitor without the instrument.
#pragma once

#include <chrono>
#include <deque>
#include <string>

#include "sim/LineSource.h"

namespace qv::sim {

class TtySource : public ILineSource {
  public:
    TtySource(const LineFormat& format, uint64_t startTicks);
    ~TtySource() override;
    // Opens both ports raw at the configured rate. False with a reason.
    bool Open(const std::string& sdPath, const std::string& rdPath, std::string& error);

    bool Next(LineEvent& ev, const std::atomic<bool>& stop) override;
    uint8_t InitialLines() const override { return m_lines; }
    bool Live() const override { return true; }

  private:
    uint64_t NowTicks() const;
    void ReadPort(int fd, bool sd);
    void PollLines();

    LineFormat m_format;
    uint64_t m_start;
    std::chrono::steady_clock::time_point m_t0;
    int m_sd = -1, m_rd = -1;
    uint8_t m_lines = 0;
    bool m_modemLines = true;  // false once the port says it has none
    uint64_t m_lastTime = 0;
    std::deque<LineEvent> m_pending;
};

}  // namespace qv::sim
