// The capture stream of an emulated instrument as the computer reads it from
// endpoint 0x88: what a replay script or a pseudo-terminal carried, stored
// when the instrument's triggers say so, with nothing lost.
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <termios.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "device/CommandEncoding.h"
#include "device/StreamItem.h"
#include "integration/Bench.h"
#include "sim/LineTraffic.h"

namespace qv::test {
namespace {

struct Seen {
    uint8_t header = 0, value = 0;
    uint64_t time = 0;
};

// Follows the stream as the decoder does: date, running time, leading record.
class StreamReader {
  public:
    void Feed(const uint8_t* p, size_t n) {
        m_buf.insert(m_buf.end(), p, p + n);
        size_t pos = 0;
        while (pos < m_buf.size()) {
            if (m_skip) {
                size_t s = std::min<size_t>(m_skip, m_buf.size() - pos);
                pos += s;
                m_skip -= s;
                continue;
            }
            StreamItem it;
            size_t used =
                ParseStreamItem(m_buf.data() + pos, m_buf.size() - pos, StreamLayout::kShort, it);
            if (used == 0) break;
            pos += used;
            ++items;
            switch (it.type) {
                case ItemType::kDate:
                    m_running = 0;
                    m_started = false;
                    ++dates;
                    break;
                case ItemType::kTime:
                    m_running = it.time;
                    break;
                case ItemType::kTriggerStep:
                    m_running += it.step;
                    triggers.push_back(it.value);
                    break;
                case ItemType::kTriggerTime:
                    m_running = it.time;
                    triggers.push_back(it.value);
                    break;
                case ItemType::kFiller:
                    m_skip = it.fillerLength;
                    break;
                case ItemType::kData:
                    if (m_started) m_running += it.step;
                    m_started = true;
                    data.push_back({it.first, it.value, m_running});
                    break;
                default:
                    break;
            }
        }
        m_buf.erase(m_buf.begin(), m_buf.begin() + static_cast<std::ptrdiff_t>(pos));
    }
    std::string Text(RecordKind kind) const {
        std::string s;
        for (const auto& d : data)
            if (HeaderKind(d.header) == kind) s.push_back(static_cast<char>(d.value));
        return s;
    }
    uint64_t items = 0;
    int dates = 0;
    std::vector<Seen> data;
    std::vector<uint8_t> triggers;

  private:
    std::vector<uint8_t> m_buf;
    uint64_t m_running = 0;
    uint64_t m_skip = 0;
    bool m_started = false;
};

// Reads endpoint 0x88 until `done` holds or `seconds` pass.
template <class Done>
bool ReadStream(UsbDevice& dev, StreamReader& r, Done done, int seconds = 60) {
    std::vector<uint8_t> buf(65536);
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < until) {
        size_t n = buf.size();
        if (dev.Transfer(kEpStream, buf.data(), n) == TransferStatus::kOk) r.Feed(buf.data(), n);
    }
    return done();
}

// ASYNC 115200 8N1, and trigger 1 as given (trigger 2..5 off).
void Configure(DeviceCommand& cmd, const TriggerSetting& t1, const TriggerOption& opt = {}) {
    MonitorSettings m;
    m.SD_Baudrate = m.RD_Baudrate = 115200;
    ASSERT_EQ(SendMonitorSettings(cmd, m, SamplingSettings{}), 0);
    ASSERT_EQ(SendTriggerOption(cmd, opt), 0);
    ASSERT_EQ(SendTriggerSetting(cmd, 1, t1), 0);
    for (int n = 2; n <= 5; ++n)
        ASSERT_EQ(SendTriggerSetting(cmd, n, TriggerSetting{}), 0);
}

TriggerSetting StoreFromStart() {
    TriggerSetting t;
    t.enabled = 1;  // no condition: AND holds at once
    t.action1 = kActionStartStoring;
    t.option1 = kNoOption;
    return t;
}

uint64_t ItemsSentAtExit(Process& sim) {
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(60), 0);
    std::string out = sim.Out();
    auto at = out.find("items sent: ");
    EXPECT_NE(at, std::string::npos) << out;
    return at == std::string::npos ? 0 : std::strtoull(out.c_str() + at + 12, nullptr, 10);
}

using Stream = Bench;

TEST_F(Stream, ReplayScriptArrivesAsTimedItemsAndNothingIsLost) {
    WriteBytes(work.file("line.txt"),
               "# a request and its answer\n"
               "1000 SD \"HELLO\"\n"
               "5000 RD 4f 4b\n"
               "6000 LINES RS CS\n"
               "7000 BREAK SD ON\n"
               "7100.5 PARITY RD 3f\n");
    Process& sim = StartSim(
        {"--serial", "P1", "--source", "replay:" + work.file("line.txt"), "--rate", "max"});
    auto dev = OpenUnit("P1");
    DeviceCommand cmd(dev);
    Configure(cmd, StoreFromStart());
    ASSERT_EQ(cmd.StartToComputer(), 0);
    StreamReader r;
    ASSERT_TRUE(ReadStream(*dev, r, [&] { return r.data.size() >= 11; })) << r.data.size();
    EXPECT_EQ(r.Text(RecordKind::kSdData), "HELLO");
    EXPECT_EQ(r.Text(RecordKind::kRdData), "OK?");
    ASSERT_EQ(r.data.size(), 11u);
    EXPECT_EQ(HeaderKind(r.data[0].header), RecordKind::kLineChange);  // the leading record
    EXPECT_EQ(r.triggers, std::vector<uint8_t>{1});
    EXPECT_GE(r.dates, 1);
    // Characters follow at the character time of 115200 bit/s 8N1 (10 bits).
    const uint64_t ch = sim::CharacterTicks(115200, 8, 0, 10);
    EXPECT_EQ(r.data[2].time - r.data[1].time, ch);
    EXPECT_EQ(r.data[6].time - r.data[1].time, 400000u);  // RD at 5000 us, SD at 1000 us
    EXPECT_EQ(r.data[8].value, kLineRs | kLineCs);
    EXPECT_EQ(HeaderKind(r.data[9].header), RecordKind::kEvent);
    EXPECT_EQ(r.data[9].value, kEventSdBreak);
    EXPECT_EQ(r.data[10].header & kFlagParityError, kFlagParityError);
    EXPECT_EQ(r.data[10].time - r.data[1].time, 610050u);
    uint32_t bits = 0;
    ASSERT_EQ(cmd.QueryState(bits), 0);
    EXPECT_EQ(bits & kStateRunMask, 3u);
    ASSERT_EQ(cmd.Stop(), 0);
    EXPECT_EQ(ItemsSentAtExit(sim), r.items);
}

TEST_F(Stream, WithoutAStartStoringTriggerNothingIsSent) {
    WriteBytes(work.file("line.txt"), "10 SD \"ABC\"\n");
    StartSim({"--serial", "P2", "--source", "replay:" + work.file("line.txt"), "--rate", "max"});
    auto dev = OpenUnit("P2");
    DeviceCommand cmd(dev);
    Configure(cmd, TriggerSetting{});
    ASSERT_EQ(cmd.StartToComputer(), 0);
    StreamReader r;
    ReadStream(
        *dev, r, [] { return false; }, 1);
    EXPECT_EQ(r.items, 0u);
    uint32_t bits = 0, waiting = 1;
    ASSERT_EQ(cmd.QueryState(bits), 0);
    EXPECT_EQ(bits & kStateRunMask, 1u);
    ASSERT_EQ(cmd.QueryRunStatus(waiting), 0);
    EXPECT_EQ(waiting, 0u);
}

TEST_F(Stream, StringTriggerStartsStoringAtTheMatch) {
    WriteBytes(work.file("line.txt"), "10 SD \"HELLO WORLD\"\n20000 RD \"LL\"\n");
    StartSim({"--serial", "P3", "--source", "replay:" + work.file("line.txt"), "--rate", "max"});
    auto dev = OpenUnit("P3");
    DeviceCommand cmd(dev);
    TriggerOption opt;
    opt.strings[0] = {'L', 'L'};
    opt.scopes[0][2] = kScopeEnd;
    TriggerSetting t;
    t.enabled = 1;
    t.sdStrings[0] = 1;  // SD string 1 only: "LL" on RD does not count
    t.action1 = kActionStartStoring;
    t.option1 = kNoOption;
    Configure(cmd, t, opt);
    ASSERT_EQ(cmd.StartToComputer(), 0);
    StreamReader r;
    ASSERT_TRUE(ReadStream(*dev, r, [&] { return r.Text(RecordKind::kRdData) == "LL"; }));
    EXPECT_EQ(r.Text(RecordKind::kSdData), "LO WORLD");
    EXPECT_EQ(r.triggers, std::vector<uint8_t>{1});
}

// A pseudo-terminal pair whose slave side qvsim reads.
struct Pty {
    int master = -1, slave = -1;
    std::string path;
    Pty() {
        char name[128];
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
        path = name;
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);  // raw before anyone writes: no line editing holds bytes back
        tcsetattr(slave, TCSANOW, &t);
    }
    ~Pty() {
        if (master >= 0) ::close(master);
        if (slave >= 0) ::close(slave);
    }
};

// Runs printf with its output on the pty's master: a real program writing to
// the line.
void PrintfTo(int fd, const std::string& text) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fd, 1);
    std::string fmt = text;
    const char* argv[] = {"/usr/bin/printf", fmt.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &fa, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&fa);
    int st = 0;
    waitpid(pid, &st, 0);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
}

TEST_F(Stream, TtySourceStampsBytesFromPseudoTerminals) {
    Pty sd, rd;
    ASSERT_FALSE(sd.path.empty());
    ASSERT_FALSE(rd.path.empty());
    Process& sim = StartSim({"--serial", "T1", "--source", "tty:" + sd.path + "," + rd.path});
    auto dev = OpenUnit("T1");
    DeviceCommand cmd(dev);
    Configure(cmd, StoreFromStart());
    ASSERT_EQ(cmd.StartToComputer(), 0);
    StreamReader r;
    // The leading record shows that the run (and its ports) is up.
    ASSERT_TRUE(ReadStream(*dev, r, [&] { return !r.data.empty(); }));
    PrintfTo(sd.master, "HELLO");
    ASSERT_TRUE(ReadStream(*dev, r, [&] { return r.Text(RecordKind::kSdData).size() >= 5; }));
    PrintfTo(rd.master, "WORLD");
    PrintfTo(sd.master, "!");
    ASSERT_TRUE(ReadStream(*dev, r, [&] {
        return r.Text(RecordKind::kRdData).size() >= 5 && r.Text(RecordKind::kSdData).size() >= 6;
    }));
    EXPECT_EQ(r.Text(RecordKind::kSdData), "HELLO!");
    EXPECT_EQ(r.Text(RecordKind::kRdData), "WORLD");
    for (size_t i = 1; i < r.data.size(); ++i)
        EXPECT_GT(r.data[i].time, r.data[i - 1].time) << i;
    ASSERT_EQ(cmd.Stop(), 0);
    EXPECT_EQ(ItemsSentAtExit(sim), r.items);
}

TEST_F(Stream, SynthAtFullSpeedLosesNothing) {
    Process& sim = StartSim({"--serial", "M1", "--source", "synth:7", "--rate", "max"});
    auto dev = OpenUnit("M1");
    DeviceCommand cmd(dev);
    Configure(cmd, StoreFromStart());
    ASSERT_EQ(cmd.StartToComputer(), 0);
    StreamReader r;
    ASSERT_TRUE(ReadStream(
        *dev, r, [&] { return r.items >= 200000; }, 120));
    EXPECT_FALSE(r.Text(RecordKind::kSdData).empty());
    EXPECT_FALSE(r.Text(RecordKind::kRdData).empty());
    ASSERT_EQ(cmd.Stop(), 0);
    EXPECT_EQ(ItemsSentAtExit(sim), r.items);
}

TEST_F(Stream, UnreadBufferOverflowsWithCode255) {
    StartSim({"--serial", "O1", "--source", "synth:3", "--buffer", "512"});
    auto dev = OpenUnit("O1");
    DeviceCommand cmd(dev);
    Configure(cmd, StoreFromStart());
    ASSERT_EQ(cmd.StartToComputer(), 0);
    uint32_t waiting = 0;
    ASSERT_TRUE(WaitFor([&] { return cmd.QueryRunStatus(waiting) == 0 && waiting >= 512; }, 120));
    StreamReader r;
    ReadStream(*dev, r, [&] {
        return std::find(r.triggers.begin(), r.triggers.end(), kTriggerCodeBufferFull) !=
               r.triggers.end();
    });
    EXPECT_NE(std::find(r.triggers.begin(), r.triggers.end(), kTriggerCodeBufferFull),
              r.triggers.end());
}

TEST_F(Stream, CardRunStoredAndSentBack) {
    WriteBytes(work.file("line.txt"), "100 SD \"CARD\"\n900 RD \"RUN\"\n");
    std::string card = work.file("card.bin");
    StartSim({"--serial", "K2", "--card", card, "--source", "replay:" + work.file("line.txt"),
              "--rate", "max"});
    auto dev = OpenUnit("K2");
    DeviceCommand cmd(dev);
    Configure(cmd, StoreFromStart());
    ASSERT_EQ(cmd.StartToCard(), 0);
    uint32_t bits = 0;
    // Storing begins once the run has looked at its triggers.
    EXPECT_TRUE(WaitFor([&] {
        return cmd.QueryState(bits) == 0 &&
               (bits & (kStateToCard | kStateRunMask)) == kStateToCard + 3u;
    })) << bits;
    // Nothing comes to the computer while the card stores the run.
    std::array<uint32_t, 7> fig{};
    ASSERT_TRUE(
        WaitFor([&] { return cmd.QueryCardFigures(fig) == 0 && fig[2] == 1 && fig[4] != 0; }));
    StreamReader none;
    ReadStream(
        *dev, none, [] { return false; }, 1);
    EXPECT_EQ(none.items, 0u);
    ASSERT_EQ(cmd.Stop(), 0);

    ASSERT_EQ(cmd.StartCardRetrieval(), 0);
    StreamReader r;
    ASSERT_TRUE(ReadStream(*dev, r, [&] { return r.Text(RecordKind::kRdData) == "RUN"; }));
    EXPECT_EQ(r.Text(RecordKind::kSdData), "CARD");
    EXPECT_EQ(r.triggers, std::vector<uint8_t>{1});
}

}  // namespace
}  // namespace qv::test
