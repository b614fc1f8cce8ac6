#include "sim/TtyPort.h"

// termios2 (arbitrary rates) lives in the kernel's headers, which clash with
// <termios.h>; this file uses the kernel's definitions only.
#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace qv::sim {

namespace {

struct SpeedCode {
    unsigned rate;
    unsigned code;
};

constexpr SpeedCode kSpeeds[] = {
    {50, B50},         {75, B75},           {110, B110},         {134, B134},
    {150, B150},       {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},     {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},     {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200}, {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000}, {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000}};

// The rate the port runs at, as the driver wrote it back.
double RateOf(const termios2& t) {
    const unsigned code = t.c_cflag & CBAUD;
    if (code == BOTHER) return t.c_ospeed;
    for (const auto& s : kSpeeds)
        if (s.code == code) return s.rate;
    return 0;
}

// Device numbers of the pseudo-terminals' slave sides (Unix 98 ptys).
constexpr unsigned kPtySlaveMajor = 136;
constexpr unsigned kPtySlaveMajors = 8;

// A receiver samples within its bit; a rate this far off still reads
// whole characters, so a driver's rounding (14 400 to 14 406) is taken.
constexpr double kRateTolerance = 0.02;

std::string ParityName(int parity) {
    static const char* kNames[] = {"none", "odd", "even", "mark", "space", "multiprocessor"};
    return parity >= 0 && parity <= 5 ? kNames[parity] : "unknown";
}

}  // namespace

TtyPort::~TtyPort() {
    if (m_fd >= 0) ::close(m_fd);
}

bool TtyPort::Open(const std::string& path, const PortFormat& f, std::string& error) {
    m_path = path;
    auto fail = [&](const std::string& why) {
        error = path + ": " + why;
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
        return false;
    };
    m_fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) return fail(std::strerror(errno));
    // A plain file takes no settings and never carries line traffic.
    if (!::isatty(m_fd)) return fail("not a serial port");

    termios2 t{};
    if (::ioctl(m_fd, TCGETS2, &t) != 0) return fail(std::strerror(errno));
    // Raw input: no line editing, no flow control, no signals, no echo; the
    // driver checks parity and marks every error and break as FF 00 x (and a
    // received FF as FF FF) instead of dropping it or passing it on unseen.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | ISTRIP | INLCR | IGNCR |
                                        ICRNL | IXON | IXOFF | IXANY | IUCLC | IMAXBEL);
    t.c_iflag |= PARMRK | INPCK;
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;

    tcflag_t c = t.c_cflag;
    c &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD |
                                (CBAUD << IBSHIFT));
    c |= CLOCAL | CREAD;
    c |= f.dataLen == 5 ? CS5 : f.dataLen == 6 ? CS6 : f.dataLen == 7 ? CS7 : CS8;
    switch (f.parity) {
        case 1: c |= PARENB | PARODD; break;
        case 2: c |= PARENB; break;
        case 3: c |= PARENB | CMSPAR | PARODD; break;
        case 4:
        case 5: c |= PARENB | CMSPAR; break;
        default: break;
    }
    // 1.5 stop bits have no setting of their own; the driver makes CSTOPB
    // 1.5 with five data bits. A receiver checks the first stop bit only.
    if (f.stopBit >= 15) c |= CSTOPB;
    const unsigned wanted = static_cast<unsigned>(f.baudrate);
    unsigned code = BOTHER;
    for (const auto& s : kSpeeds)
        if (s.rate == wanted) code = s.code;
    // The input rate field left 0 means "as the output rate".
    c |= code;
    t.c_cflag = c;
    t.c_ispeed = wanted;
    t.c_ospeed = wanted;
    if (::ioctl(m_fd, TCSETS2, &t) != 0)
        return fail("the settings are refused (" + std::string(std::strerror(errno)) + ")");

    // The driver writes back what it made of the settings.
    termios2 got{};
    if (::ioctl(m_fd, TCGETS2, &got) != 0) return fail(std::strerror(errno));
    const double rate = RateOf(got);
    if (!(std::fabs(rate - f.baudrate) <= f.baudrate * kRateTolerance))
        return fail("the port cannot receive at " + std::to_string(wanted) + " bit/s (it gives " +
                    std::to_string(static_cast<long long>(rate)) + ")");
    // A pseudo-terminal carries bytes, not characters on a wire: it keeps
    // no data bits and no parity check (it reads back as 8 bits, no parity).
    struct stat st {};
    const bool pseudo = ::fstat(m_fd, &st) == 0 && S_ISCHR(st.st_mode) &&
                        major(st.st_rdev) >= kPtySlaveMajor &&
                        major(st.st_rdev) < kPtySlaveMajor + kPtySlaveMajors;
    const tcflag_t kFormat = (pseudo ? 0 : CSIZE | PARENB) | PARODD | CMSPAR;
    if ((got.c_cflag & kFormat) != (c & kFormat)) {
        if ((got.c_cflag & CSIZE) != (c & CSIZE))
            return fail("the port cannot take " + std::to_string(f.dataLen) + " data bits");
        return fail("the port cannot take " + ParityName(f.parity) + " parity");
    }
    if ((got.c_cflag & CSTOPB) != (c & CSTOPB))
        return fail("the port cannot take " + std::string(f.stopBit == 15 ? "1.5" : "2") +
                    " stop bits");
    if ((got.c_iflag & (PARMRK | INPCK)) != (PARMRK | INPCK))
        return fail("the port cannot mark line errors");

    // Ask the driver to hand bytes over at once rather than in batches (a
    // USB adapter otherwise holds them for its latency timer). Not every
    // driver has the setting; a pseudo-terminal needs none.
    serial_struct ss{};
    if (::ioctl(m_fd, TIOCGSERIAL, &ss) == 0 && !(ss.flags & ASYNC_LOW_LATENCY)) {
        ss.flags |= ASYNC_LOW_LATENCY;
        (void)::ioctl(m_fd, TIOCSSERIAL, &ss);
    }
    // Bytes that came before the run are not part of it.
    (void)::ioctl(m_fd, TCFLSH, TCIFLUSH);
    return true;
}

bool TtyPort::ErrorCounts(PortErrorCounts& out) const {
    serial_icounter_struct ic{};
    if (m_fd < 0 || ::ioctl(m_fd, TIOCGICOUNT, &ic) != 0) return false;
    out.frame = static_cast<uint32_t>(ic.frame);
    out.parity = static_cast<uint32_t>(ic.parity);
    out.overrun = static_cast<uint32_t>(ic.overrun) + static_cast<uint32_t>(ic.buf_overrun);
    out.brk = static_cast<uint32_t>(ic.brk);
    return true;
}

}  // namespace qv::sim
