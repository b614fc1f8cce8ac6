#include "sim/TtySource.h"

#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "capture/CaptureRecord.h"

namespace qv::sim {

namespace {

// How long one wait for bytes lasts before the modem lines, the stop flag and
// the events held for the other line are looked at again.
constexpr int kPollMs = 20;

// A character's data bits in the order they were sent, for a line that sends
// the most significant bit first (a port receives the least significant first).
uint8_t Reversed(uint8_t v, int bits) {
    uint8_t r = 0;
    for (int i = 0; i < bits; ++i)
        if (v & (1u << i)) r |= static_cast<uint8_t>(1u << (bits - 1 - i));
    return r;
}

}  // namespace

std::string TtyFormatRefusal(const LineFormat& f) {
    if (!TraitsOfCode(f.protocol).startStopCharacters)
        return "a serial port receives asynchronous (ASYNC) lines only";
    if (f.stopBit == 0) return "a serial port cannot receive characters without a stop bit";
    if (f.sdInverted || f.rdInverted)
        return std::string("a serial port cannot receive an inverted ") +
               (f.sdInverted ? "SD" : "RD") + " line";
    return {};
}

TtySource::TtySource(const LineFormat& format, const LiveClockAnchor& clock)
    : m_format(format), m_clock(clock) {}

TtySource::~TtySource() {
    m_quit = true;
    if (m_reader.joinable()) m_reader.join();
}

bool TtySource::Open(const std::string& sdPath, const std::string& rdPath, std::string& error) {
    if (std::string why = TtyFormatRefusal(m_format); !why.empty()) {
        error = why;
        return false;
    }
    const std::string* paths[2] = {&sdPath, &rdPath};
    const double rates[2] = {m_format.sdBaudrate, m_format.rdBaudrate};
    std::array<uint64_t, 2> charTicks{};
    for (int line : {TapTimeline::kSd, TapTimeline::kRd}) {
        PortFormat pf{rates[line], m_format.dataLen, m_format.parity, m_format.stopBit};
        if (!m_ports[line].Open(*paths[line], pf, error)) return false;
        m_counted[line] = m_ports[line].ErrorCounts(m_counts[line]);
        charTicks[line] =
            CharacterTicks(rates[line], m_format.dataLen, m_format.parity, m_format.stopBit);
    }
    PollLines();  // the state found at opening is the initial state
    m_initialLines = m_lines;
    m_timeline = std::make_unique<TapTimeline>(charTicks, NowTicks());
    m_reader = std::thread([this] { ReadLoop(); });
    return true;
}

uint64_t TtySource::NowTicks() const {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now() - m_clock.at)
                        .count();
    return m_clock.ticks + static_cast<uint64_t>(std::max<int64_t>(ns, 0) / 10);
}

void TtySource::ReadPort(int line) {
    const int fd = m_ports[line].Fd();
    std::vector<TapChar> chars;
    uint8_t buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) m_marks[line].Feed(buf, static_cast<size_t>(n), chars);
        // A pseudo-terminal whose other side is closed reads as an error
        // until a writer comes back.
        if (n < 0 && errno == EIO) m_hungUp[line] = true;
        if (n > 0) m_hungUp[line] = false;
        if (n < static_cast<ssize_t>(sizeof buf)) break;
    }
    const uint64_t now = NowTicks();
    if (chars.empty()) {
        m_timeline->Read(line, {}, now);
        return;
    }
    // The driver marks parity and framing errors alike; its counters tell
    // them apart where it keeps them. Without counters a marked character
    // is a parity error when the line has parity, else a framing error.
    PortErrorCounts grew{};
    bool counted = false;
    if (m_counted[line]) {
        PortErrorCounts c;
        if (m_ports[line].ErrorCounts(c)) {
            grew = {c.frame - m_counts[line].frame, c.parity - m_counts[line].parity,
                    c.overrun - m_counts[line].overrun, c.brk - m_counts[line].brk};
            m_counts[line] = c;
            counted = true;
        }
    }
    const bool framing = counted ? grew.frame > 0 && grew.parity == 0 : m_format.parity == 0;
    const uint8_t markFlag = framing               ? kFlagFramingError
                             : m_format.parity == 5 ? kFlagMpBit
                                                    : kFlagParityError;
    std::vector<TapInput> inputs;
    inputs.reserve(chars.size());
    // Characters were lost before this read when the port overran.
    bool overrun = counted && grew.overrun > 0;
    for (const TapChar& c : chars) {
        TapInput in;
        // A break and an error on a NUL are marked alike; the break counter
        // tells them apart where the driver keeps one.
        in.brk = c.kind == TapCharKind::kBreak && !(counted && grew.brk == 0);
        if (!in.brk) {
            in.value = m_format.msbFirst ? Reversed(c.value, m_format.dataLen) : c.value;
            if (c.kind != TapCharKind::kData) in.flags = markFlag;
            if (overrun) in.flags |= kFlagOverrunError;
            overrun = false;
        }
        inputs.push_back(in);
    }
    m_timeline->Read(line, inputs, now);
}

void TtySource::PollLines() {
    if (!m_modemLines) return;
    int bits = 0;
    if (::ioctl(m_ports[TapTimeline::kSd].Fd(), TIOCMGET, &bits) != 0) {
        m_modemLines = false;  // a pseudo-terminal has no modem lines
        return;
    }
    uint8_t s = 0;
    if (bits & TIOCM_RTS) s |= kLineRs;
    if (bits & TIOCM_CTS) s |= kLineCs;
    if (bits & TIOCM_DTR) s |= kLineEr;
    if (bits & TIOCM_DSR) s |= kLineDr;
    if (bits & TIOCM_CD) s |= kLineCd;
    if (bits & TIOCM_RI) s |= kLineCi;
    if (s == m_lines) return;
    m_lines = s;
    if (m_timeline) m_timeline->Lines(s, NowTicks());
}

void TtySource::RaisePriority() {
    // The host's delay in reading is what can make two frames of a line run
    // together; the reading thread asks to run before ordinary work where it
    // may (root, or a real-time limit granted to the user).
    sched_param p{};
    p.sched_priority = 1;
    if (::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &p) != 0)
        std::fprintf(stderr,
                     "qvsim: the ports are read at normal priority; on a busy computer "
                     "their times can come late\n");
}

void TtySource::ReadLoop() {
    RaisePriority();
    std::deque<LineEvent> out;
    while (!m_quit) {
        // A hung-up port (a pseudo-terminal without a writer) would end every
        // wait at once; it stays out of it and is read again after each one.
        pollfd p[2];
        for (int line : {TapTimeline::kSd, TapTimeline::kRd})
            p[line] = {m_hungUp[line] ? -1 : m_ports[line].Fd(), POLLIN, 0};
        const int rc = ::poll(p, 2, kPollMs);
        if (rc < 0 && errno != EINTR) break;
        PollLines();
        // Both ports are read at every wake-up: a port found empty moves its
        // line's moment on, which lets the other line's events out. A few
        // rounds settle what one round leaves held.
        for (int round = 0; round < 3; ++round) {
            ReadPort(TapTimeline::kSd);
            ReadPort(TapTimeline::kRd);
            m_timeline->Release(out);
            if (!m_timeline->Holding()) break;
        }
        if (out.empty()) continue;
        {
            std::lock_guard lock(m_mutex);
            m_ready.insert(m_ready.end(), out.begin(), out.end());
        }
        out.clear();
        m_arrived.notify_one();
    }
    {
        std::lock_guard lock(m_mutex);
        m_readerEnded = true;
    }
    m_arrived.notify_one();
}

bool TtySource::Next(LineEvent& ev, const std::atomic<bool>& stop) {
    while (m_taken.empty()) {
        if (stop) return false;
        std::unique_lock lock(m_mutex);
        // Looked at again after a while for the stop flag.
        m_arrived.wait_for(lock, std::chrono::milliseconds(kPollMs),
                           [this] { return !m_ready.empty() || m_readerEnded; });
        if (!m_ready.empty())
            m_taken.swap(m_ready);
        else if (m_readerEnded)
            return false;
    }
    ev = m_taken.front();
    m_taken.pop_front();
    return true;
}

}  // namespace qv::sim
