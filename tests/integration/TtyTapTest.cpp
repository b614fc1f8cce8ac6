// qvsim tapping two serial ports (pseudo-terminals here) as a user would use
// it with two adapters on a line, recorded by qvtool: the ports take the
// run's settings, a port that cannot be opened fails the run, and a real
// Modbus RTU master and slave are recorded frame by frame, in order and on
// the computer's clock.
#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <sstream>

#include "integration/Bench.h"

namespace qv::test {
namespace {

// A pseudo-terminal whose other side qvsim opens as a port.
struct Pty {
    int master = -1;
    std::string path;
    Pty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return;
        path = ::ptsname(master);
    }
    ~Pty() {
        if (master >= 0) ::close(master);
    }
};

class TtyTap : public Bench {
  protected:
    // Sets the unit's line settings; every pair is KEY=VALUE.
    void Settings(std::vector<std::string> pairs) {
        EXPECT_EQ(Tool({"units", "select", "TAP1"}).status, 0);
        pairs.insert(pairs.begin(), {"settings", "set"});
        auto r = Tool(pairs);
        ASSERT_EQ(r.status, 0) << r.err;
        // Stores from the start of monitoring.
        EXPECT_EQ(Tool({"settings", "check", "--yes"}).status, 0);
    }

    // qvtool record, left running until StopRecording; true once it says the
    // instrument stores.
    bool StartRecording() {
        m_record = std::make_unique<Process>(
            std::vector<std::string>{QVTOOL_PATH, "record", "--yes"},
            TestEnv(home.path(), sims.path()), work.file("record.out"), work.file("record.err"));
        WaitFor([&] {
            const std::string err = m_record->Err();
            return err.find("storing into ") != std::string::npos ||
                   err.find("qvtool: ") != std::string::npos;
        });
        return m_record->Err().find("storing into ") != std::string::npos;
    }
    RunResult StopRecording() {
        m_record->Signal(SIGINT);
        RunResult r;
        r.status = m_record->Wait(120);
        r.out = m_record->Out();
        r.err = m_record->Err();
        return r;
    }

    std::string Run(const std::vector<std::string>& args) {
        Process p(args, TestEnv(home.path(), sims.path()), work.file("run.out"),
                  work.file("run.err"));
        EXPECT_EQ(p.Wait(120), 0) << p.Err();
        return p.Out();
    }

    std::unique_ptr<Process> m_record;
};

// The rate the port runs at: stty's, where it can show the rate; a stty that
// knows only the standard table shows 0 for any other rate, and then the
// kernel's own record of it (what a newer stty reads) is taken.
double PortRate(const std::string& sttySpeed, const std::string& path) {
    const double shown = std::strtod(sttySpeed.c_str(), nullptr);
    if (shown > 0) return shown;
    int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios2 t{};
    const bool got = fd >= 0 && ::ioctl(fd, TCGETS2, &t) == 0;
    if (fd >= 0) ::close(fd);
    return got && (t.c_cflag & CBAUD) == BOTHER ? t.c_ospeed : 0;
}

TEST_F(TtyTap, PortsTakeEachLinesRateAndTheCharacterFormat) {
    struct Case {
        std::vector<std::string> settings;
        double sd, rd;
        std::vector<std::string> flags;  // in stty -a, on both ports
    };
    // A pseudo-terminal keeps no data bits and no parity check (it reads back
    // as cs8 -parenb whatever it is given); the kind of parity, the stop bits,
    // the error marking and the rate it keeps.
    const Case cases[] = {
        {{"SD_Baudrate=115200", "RD_Baudrate=9600", "DataLen=8", "Parity=NON", "StopBit=1"},
         115200, 9600, {"-cstopb", "parmrk", "inpck", "-istrip", "-ignpar", "-icanon"}},
        {{"SD_Baudrate=250000", "RD_Baudrate=14400", "DataLen=7", "Parity=MARK", "StopBit=2"},
         250000, 14400, {"parodd", "cmspar", "cstopb", "parmrk", "inpck"}},
        {{"SD_Baudrate=31250", "RD_Baudrate=SD", "DataLen=8", "Parity=SPACE", "StopBit=1"},
         31250, 31250, {"-parodd", "cmspar", "-cstopb"}},
        {{"SD_Baudrate=19200", "RD_Baudrate=SD", "DataLen=8", "Parity=ODD", "StopBit=1.5"},
         19200, 19200, {"parodd", "-cmspar", "cstopb"}},
    };
    Pty sd, rd;
    ASSERT_FALSE(sd.path.empty());
    StartSim({"--serial", "TAP1", "--source", "tty:" + sd.path + "," + rd.path});
    for (const Case& c : cases) {
        Settings(c.settings);
        ASSERT_TRUE(StartRecording()) << m_record->Err();
        for (auto [path, rate] : {std::pair{sd.path, c.sd}, std::pair{rd.path, c.rd}}) {
            const std::string all = Run({"/bin/stty", "-F", path, "-a"});
            std::istringstream words(all);
            std::vector<std::string> shown{std::istream_iterator<std::string>(words), {}};
            for (const std::string& f : c.flags)
                EXPECT_NE(std::find(shown.begin(), shown.end(), f), shown.end())
                    << c.settings[0] << " " << path << ": no " << f << " in\n" << all;
            EXPECT_EQ(PortRate(Run({"/bin/stty", "-F", path, "speed"}), path), rate)
                << c.settings[0] << " " << path << "\n" << all;
        }
        auto r = StopRecording();
        EXPECT_EQ(r.status, 0) << r.err;
    }
}

TEST_F(TtyTap, PortThatCannotBeOpenedFailsTheRunWithItsNameAndReason) {
    Process& sim = StartSim(
        {"--serial", "TAP1", "--source", "tty:/dev/nonexistent-sd,/dev/nonexistent-rd"});
    EXPECT_EQ(Tool({"units", "select", "TAP1"}).status, 0);
    auto r = Tool({"record", "--duration", "3", "--yes", "--store-nothing"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("did not start monitoring"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("records"), std::string::npos) << r.out;
    EXPECT_NE(sim.Err().find("/dev/nonexistent-sd: No such file or directory"), std::string::npos)
        << sim.Err();
    // No empty capture is left behind.
    std::error_code ec;
    for (auto& e : std::filesystem::recursive_directory_iterator(home.path(), ec))
        EXPECT_NE(e.path().extension(), ".qvr") << e.path();

    // A format no serial port can receive is refused the same way.
    Pty sd, rd;
    Process& sim2 = StartSim({"--serial", "TAP2", "--source", "tty:" + sd.path + "," + rd.path});
    EXPECT_EQ(Tool({"units", "select", "TAP2"}).status, 0);
    ASSERT_EQ(Tool({"settings", "set", "StopBit=NON"}).status, 0);
    EXPECT_EQ(Tool({"record", "--duration", "3", "--yes", "--store-nothing"}).status, 1);
    EXPECT_NE(sim2.Err().find("without a stop bit"), std::string::npos) << sim2.Err();
}

// A real Modbus RTU master and slave talk through a relay of pseudo-terminals
// that emulates a 115 200 bit/s line; qvsim taps both directions, qvtool
// records, the capture goes out as pcapng and tshark decodes it. Frames stay
// apart and in order while the computer's delay in handing bytes over is
// shorter than the gap between them; the kernel's own delivery through a
// pseudo-terminal takes milliseconds on a loaded machine, so each device
// answers after 5 ms, as slow devices do.
TEST_F(TtyTap, ModbusMasterAndSlaveAreRecordedFrameByFrameInOrder) {
    const char* python = "/usr/bin/python3";
    if (std::system("/usr/bin/python3 -c 'import pymodbus' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3-pymodbus is not installed";
    if (!std::filesystem::exists("/usr/bin/tshark")) GTEST_SKIP() << "tshark is not installed";
    constexpr int kTransactions = 2000;
    const std::string taps = work.file("taps"), go = work.file("go"), log = work.file("line.log");
    Process line({python, MODBUS_LINE_PATH, "--taps", taps, "--go", go, "--log", log, "--count",
                  std::to_string(kTransactions), "--baud", "115200", "--gap-ms", "5"},
                 TestEnv(home.path(), sims.path()), work.file("line.out"),
                 work.file("line.err"));
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(taps); })) << line.Err();
    std::istringstream tapPaths(ReadBytes(taps));
    std::string sdTap, rdTap;
    tapPaths >> sdTap >> rdTap;
    StartSim({"--serial", "TAP1", "--source", "tty:" + sdTap + "," + rdTap});
    Settings({"SD_Baudrate=115200", "RD_Baudrate=SD", "DataLen=8", "Parity=NON", "StopBit=1"});
    ASSERT_TRUE(StartRecording()) << m_record->Err();
    WriteBytes(go, "");
    ASSERT_EQ(line.Wait(300), 0) << line.Err();
    auto rec = StopRecording();
    ASSERT_EQ(rec.status, 0) << rec.err;
    const std::string capture = IndexOf(rec);

    // What the relay handed over: direction, real time just before and just
    // after the tap's write (ns since 1970), the frame's bytes.
    struct Frame {
        bool sd;
        int64_t before, after;
        std::vector<uint8_t> bytes;
        int64_t first = 0, last = 0;  // the capture's stamps of its first and last byte
    };
    std::vector<Frame> sent;
    for (const std::string& l : Lines(ReadBytes(log))) {
        std::istringstream in(l);
        std::string dir, hex;
        Frame f;
        in >> dir >> f.before >> f.after;
        f.sd = dir == "SD";
        while (in >> hex)
            f.bytes.push_back(static_cast<uint8_t>(std::stoul(hex, nullptr, 16)));
        sent.push_back(f);
    }
    ASSERT_EQ(sent.size(), 2u * kTransactions);

    // Every byte is in the capture, each line's in the order sent; each
    // frame gets the stamps of its bytes (ends of characters).
    auto list = Tool({"list", capture, "--count", "0", "--format", "csv"});
    ASSERT_EQ(list.status, 0) << list.err;
    std::vector<std::pair<int64_t, uint8_t>> byLine[2];  // SD, RD: stamp (ns since 1970), byte
    for (const std::string& row : Lines(list.out)) {
        int year, mon, day, h, m, sec, offH, offM;
        long long frac;
        char sign, kind[3] = {};
        unsigned data;
        if (std::sscanf(row.c_str(), "%*[^,],%*[^,],%d-%d-%dT%d:%d:%d.%9lld%c%d:%d,%2[SDR],%x", &year,
                        &mon, &day, &h, &m, &sec, &frac, &sign, &offH, &offM, kind, &data) != 12)
            continue;
        std::tm tm{};
        tm.tm_year = year - 1900;
        tm.tm_mon = mon - 1;
        tm.tm_mday = day;
        tm.tm_hour = h;
        tm.tm_min = m;
        tm.tm_sec = sec;
        const int64_t offset = (sign == '-' ? -1 : 1) * (offH * 3600 + offM * 60);
        const int64_t ns = (static_cast<int64_t>(timegm(&tm)) - offset) * 1'000'000'000 + frac;
        byLine[std::string(kind) == "SD" ? 0 : 1].push_back({ns, static_cast<uint8_t>(data)});
    }
    size_t next[2] = {0, 0};
    for (Frame& f : sent) {
        auto& l = byLine[f.sd ? 0 : 1];
        size_t& at = next[f.sd ? 0 : 1];
        ASSERT_LE(at + f.bytes.size(), l.size()) << "bytes missing";
        for (size_t k = 0; k < f.bytes.size(); ++k)
            ASSERT_EQ(l[at + k].second, f.bytes[k]) << (f.sd ? "SD" : "RD") << " byte " << at + k;
        f.first = l[at].first;
        f.last = l[at + f.bytes.size() - 1].first;
        at += f.bytes.size();
    }
    EXPECT_EQ(next[0], byLine[0].size());
    EXPECT_EQ(next[1], byLine[1].size());

    // Two frames stay apart (3.5 idle character times, as the export splits
    // them) and in order whenever the first one reached the capture sooner
    // than that before the second began: the limit the tap promises. The
    // kernel's delivery through a pseudo-terminal is part of the delay; on
    // an overloaded machine it can pass the gap, and those pairs are only
    // counted.
    constexpr int64_t kCharNs = 1'000'000'000LL * 10 / 115200;
    size_t outside = 0, broken = 0;
    for (size_t i = 0; i + 1 < sent.size(); ++i) {
        const Frame& a = sent[i];
        const Frame& b = sent[i + 1];
        const int64_t late = a.last - a.before;
        const int64_t gap = b.before - static_cast<int64_t>(b.bytes.size()) * kCharNs - a.after;
        if (late + 7 * kCharNs / 2 >= gap) {
            ++outside;
            continue;
        }
        if (b.first - kCharNs - a.last < 7 * kCharNs / 2 && ++broken <= 5)
            ADD_FAILURE() << "frames " << i << " and " << i + 1 << " ran together: late " << late
                          << " ns, gap " << gap << " ns, apart "
                          << b.first - kCharNs - a.last << " ns";
    }
    EXPECT_EQ(broken, 0u);
    std::printf("%zu of %zu pairs of frames had a delay longer than their gap\n", outside,
                sent.size() - 1);

    // tshark reads every frame as one packet: the right direction, a good
    // CRC (status 1), the very CRC the relay carried, in the relay's order.
    const std::string file = work.file("modbus.pcapng");
    auto saved = Tool({"save", capture, "--pcapng", file, "--payload", "modbus-rtu"});
    ASSERT_EQ(saved.status, 0) << saved.err;
    Process tshark({"/usr/bin/tshark", "-r", file, "-d", "rtacser.data,mbrtu", "-o",
                    "mbrtu.crc_verification:TRUE", "-T", "fields", "-E", "separator=;", "-e",
                    "frame.packet_flags_direction", "-e", "mbrtu.crc16.status", "-e",
                    "mbrtu.crc16"},
                   TestEnv(home.path(), sims.path()), work.file("tshark.out"),
                   work.file("tshark.err"));
    ASSERT_EQ(tshark.Wait(120), 0) << tshark.Err();
    const auto packets = Lines(tshark.Out());
    if (outside == 0) {
        ASSERT_EQ(packets.size(), sent.size()) << saved.out;
        size_t wrong = 0;
        for (size_t i = 0; i < packets.size(); ++i) {
            std::vector<std::string> f;
            std::istringstream in(packets[i]);
            for (std::string x; std::getline(in, x, ';');)
                f.push_back(x);
            ASSERT_GE(f.size(), 3u) << packets[i];
            const Frame& s = sent[i];
            // tshark shows the CRC as the two bytes in the order sent.
            const unsigned crc = (s.bytes[s.bytes.size() - 2] << 8) | s.bytes.back();
            const bool ok = f[0] == (s.sd ? "0x00000002" : "0x00000001") && f[1] == "1" &&
                            std::strtoul(f[2].c_str(), nullptr, 0) == crc;
            if (!ok && ++wrong <= 5)
                ADD_FAILURE() << "packet " << i << ": " << packets[i] << " for "
                              << (s.sd ? "SD" : "RD") << " crc " << crc;
        }
        EXPECT_EQ(wrong, 0u);
    } else {
        EXPECT_GE(packets.size(), sent.size()) << saved.out;
    }

    // Stamps are on the computer's clock: a frame's last byte within a few
    // milliseconds of the relay's write.
    std::vector<double> errorsUs;
    for (const Frame& f : sent)
        errorsUs.push_back(static_cast<double>(f.last - f.after) / 1000.0);
    std::sort(errorsUs.begin(), errorsUs.end());
    auto at = [&](double q) { return errorsUs[static_cast<size_t>(q * (errorsUs.size() - 1))]; };
    std::printf("stamp error (us), last byte of a frame minus the end of the relay's write: "
                "min %.0f, p1 %.0f, median %.0f, p99 %.0f, p99.9 %.0f, max %.0f\n",
                at(0), at(0.01), at(0.5), at(0.99), at(0.999), at(1));
    EXPECT_LT(std::fabs(at(0.5)), 5000.0);
}

}  // namespace
}  // namespace qv::test
