// Two real serial ports (or pseudo-terminals) tapped on a line: one hears
// what the SD line carries, the other RD. Each port is set to its own line's
// rate and to the run's character format; what they receive, with the
// errors and breaks their drivers mark, becomes the run's events, timed by
// the computer's clock (see TapTimeline) and anchored to the instrument's
// clock at full resolution. The modem lines of the SD port are polled and
// become control-line changes. With two USB-serial adapters this makes a
// working line monitor without the instrument.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/LineSource.h"
#include "sim/TapTimeline.h"
#include "sim/TtyMarks.h"
#include "sim/TtyPort.h"

namespace qv::sim {

// Why a serial port cannot receive this line format; empty when it can.
std::string TtyFormatRefusal(const LineFormat& format);

class TtySource : public ILineSource {
  public:
    TtySource(const LineFormat& format, const LiveClockAnchor& clock);
    ~TtySource() override;
    // Opens and sets up both ports and starts reading them. False with the
    // port's name and the reason.
    bool Open(const std::string& sdPath, const std::string& rdPath, std::string& error);

    bool Next(LineEvent& ev, const std::atomic<bool>& stop) override;
    uint8_t InitialLines() const override { return m_initialLines; }
    bool Live() const override { return true; }

  private:
    // The reading thread: it only waits for the ports, reads them and takes
    // the clock, so that nothing the run does with the events (encoding, a
    // full buffer, a lock) delays a read and with it the bytes' times.
    void ReadLoop();
    uint64_t NowTicks() const;
    // Reads what the port holds and hands it to the timeline.
    void ReadPort(int line);
    void PollLines();
    void RaisePriority();

    LineFormat m_format;
    LiveClockAnchor m_clock;
    std::array<TtyPort, 2> m_ports;
    std::array<MarkReader, 2> m_marks;
    std::array<PortErrorCounts, 2> m_counts{};
    std::array<bool, 2> m_counted{};  // the driver keeps error counts
    std::array<bool, 2> m_hungUp{};
    std::unique_ptr<TapTimeline> m_timeline;
    uint8_t m_lines = 0;  // the reader's
    uint8_t m_initialLines = 0;
    bool m_modemLines = true;  // false once the port says it has none
    std::thread m_reader;
    std::atomic<bool> m_quit{false};
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<LineEvent> m_ready;  // final events the reader handed over
    bool m_readerEnded = false;     // the reader stopped (a port failed)
    std::deque<LineEvent> m_taken;  // Next's share, taken from m_ready
};

}  // namespace qv::sim
