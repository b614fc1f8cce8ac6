#include "sim/TtySource.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/CaptureRecord.h"

namespace qv::sim {

namespace {

// How long one wait for bytes lasts before the modem lines and the stop
// flag are looked at again.
constexpr int kPollMs = 20;

speed_t SpeedOf(double baud) {
    struct Pair {
        double baud;
        speed_t code;
    };
    static const Pair kSpeeds[] = {
        {50, B50},         {75, B75},           {110, B110},        {134, B134},
        {150, B150},       {200, B200},         {300, B300},        {600, B600},
        {1200, B1200},     {1800, B1800},       {2400, B2400},      {4800, B4800},
        {9600, B9600},     {19200, B19200},     {38400, B38400},    {57600, B57600},
        {115200, B115200}, {230400, B230400},   {460800, B460800},  {500000, B500000},
        {921600, B921600}, {1000000, B1000000}, {1500000, B1500000}};
    for (const auto& s : kSpeeds)
        if (s.baud == baud) return s.code;
    return B9600;
}

bool Configure(int fd, const LineFormat& f) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return false;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~CSIZE;
    t.c_cflag |= f.dataLen == 5 ? CS5 : f.dataLen == 6 ? CS6 : f.dataLen == 7 ? CS7 : CS8;
    if (f.parity == 1 || f.parity == 2) {
        t.c_cflag |= PARENB;
        if (f.parity == 1) t.c_cflag |= PARODD;
    }
    if (f.stopBit >= 15) t.c_cflag |= CSTOPB;
    speed_t sp = SpeedOf(f.sdBaudrate);
    ::cfsetispeed(&t, sp);
    ::cfsetospeed(&t, sp);
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace

TtySource::TtySource(const LineFormat& format, uint64_t startTicks)
    : m_format(format), m_start(startTicks), m_t0(std::chrono::steady_clock::now()) {}

TtySource::~TtySource() {
    if (m_sd >= 0) ::close(m_sd);
    if (m_rd >= 0) ::close(m_rd);
}

bool TtySource::Open(const std::string& sdPath, const std::string& rdPath, std::string& error) {
    for (auto [path, fd] : {std::pair{&sdPath, &m_sd}, std::pair{&rdPath, &m_rd}}) {
        *fd = ::open(path->c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (*fd < 0) {
            error = *path + ": " + std::strerror(errno);
            return false;
        }
        // A pseudo-terminal takes the settings too; a plain file would not,
        // and is refused because it never delivers line traffic.
        if (!::isatty(*fd)) {
            error = *path + ": not a serial port";
            return false;
        }
        Configure(*fd, m_format);
    }
    m_t0 = std::chrono::steady_clock::now();
    PollLines();
    m_pending.clear();  // the state found at opening is the initial state
    return true;
}

uint64_t TtySource::NowTicks() const {
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                  std::chrono::steady_clock::now() - m_t0)
                  .count();
    return m_start + static_cast<uint64_t>(ns / 10);
}

void TtySource::ReadPort(int fd, bool sd) {
    uint8_t buf[4096];
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) return;
    uint64_t step = CharacterTicks(sd ? m_format.sdBaudrate : m_format.rdBaudrate, m_format.dataLen,
                                   m_format.parity, m_format.stopBit);
    // The bytes of one read arrived no later than now; stamp them backwards
    // from now, one character time apart, but never before an earlier event.
    uint64_t now = NowTicks();
    uint64_t first =
        now >= step * static_cast<uint64_t>(n - 1) ? now - step * static_cast<uint64_t>(n - 1) : 0;
    if (first <= m_lastTime) first = m_lastTime + 1;
    for (ssize_t i = 0; i < n; ++i) {
        LineEvent ev;
        ev.kind = LineEventKind::kData;
        ev.header = MakeHeader(sd ? RecordKind::kSdData : RecordKind::kRdData);
        ev.value = buf[i];
        ev.time = first + step * static_cast<uint64_t>(i);
        m_lastTime = ev.time;
        m_pending.push_back(ev);
    }
}

void TtySource::PollLines() {
    if (!m_modemLines) return;
    int bits = 0;
    if (::ioctl(m_sd, TIOCMGET, &bits) != 0) {
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
    LineEvent ev;
    ev.kind = LineEventKind::kLines;
    ev.value = s;
    ev.time = std::max(NowTicks(), m_lastTime + 1);
    m_lastTime = ev.time;
    m_pending.push_back(ev);
}

bool TtySource::Next(LineEvent& ev, const std::atomic<bool>& stop) {
    while (m_pending.empty()) {
        if (stop) return false;
        pollfd p[2] = {{m_sd, POLLIN, 0}, {m_rd, POLLIN, 0}};
        int rc = ::poll(p, 2, kPollMs);
        if (rc < 0 && errno != EINTR) return false;
        // Read SD first when both have bytes: within one wake-up the order
        // between the two lines is not known anyway.
        if (rc > 0 && (p[0].revents & POLLIN)) ReadPort(m_sd, true);
        if (rc > 0 && (p[1].revents & POLLIN)) ReadPort(m_rd, false);
        // A pseudo-terminal whose other end is closed reports POLLHUP at once;
        // wait instead of spinning until a writer comes back.
        if (rc > 0 && ((p[0].revents | p[1].revents) & (POLLHUP | POLLERR)) && m_pending.empty())
            ::usleep(kPollMs * 1000);
        PollLines();
    }
    ev = m_pending.front();
    m_pending.pop_front();
    return true;
}

}  // namespace qv::sim
