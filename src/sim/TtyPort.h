// One serial port (or pseudo-terminal) opened to receive a line: its rate
// (any rate the driver takes, not only the standard table), data bits,
// parity (mark and space too) and stop bits, raw input with parity and
// framing errors and breaks marked in the byte stream by the driver, and low
// latency where the driver offers it. A setting the port does not take is
// refused with the port's name and the reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qv::sim {

// What the port is to receive. `parity`: 0 none, 1 odd, 2 even, 3 mark,
// 4 space, 5 multiprocessor (the ninth bit read as space parity, so that an
// address character, whose ninth bit is 1, comes marked). `stopBit` in tenths.
struct PortFormat {
    double baudrate = 9600.0;
    int dataLen = 8;
    int parity = 0;
    int stopBit = 10;
};

// The driver's error counters; only their growth means anything.
struct PortErrorCounts {
    uint64_t frame = 0, parity = 0, overrun = 0, brk = 0;
};

class TtyPort {
  public:
    TtyPort() = default;
    ~TtyPort();
    TtyPort(const TtyPort&) = delete;
    TtyPort& operator=(const TtyPort&) = delete;

    // Opens and sets up the port; false with "<path>: <reason>".
    bool Open(const std::string& path, const PortFormat& format, std::string& error);
    int Fd() const { return m_fd; }
    const std::string& Path() const { return m_path; }
    // The driver's error counters; false when it keeps none (a pseudo-terminal).
    bool ErrorCounts(PortErrorCounts& out) const;

  private:
    int m_fd = -1;
    std::string m_path;
};

}  // namespace qv::sim
