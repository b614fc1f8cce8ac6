// The capture stream of an emulated instrument as the computer reads it from
// endpoint 0x88: what a replay script or a pseudo-terminal carried, stored
// when the instrument's triggers say so, with nothing lost.
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "device/CommandEncoding.h"
#include "device/SimWire.h"
#include "device/StreamItem.h"
#include "integration/Bench.h"
#include "support/StreamReader.h"
#include "traffic/LineTraffic.h"

namespace qv::test {
namespace {

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

// A program killed while it waited for the stream leaves its read behind in
// the emulator; the next program's run must still get its stream from the
// start, date and trigger included, as a host cancels a dead process's
// transfers. (The stale read asks for everything, with a long time-out.)
TEST_F(Stream, AReadLeftByAKilledProgramTakesNothingOfTheNextRun) {
    WriteBytes(work.file("line.txt"), "1000 SD \"HELLO\"\n");
    StartSim({"--serial", "K1", "--source", "replay:" + work.file("line.txt"), "--rate", "max"});
    std::string socketPath;
    for (auto& e : std::filesystem::directory_iterator(sims.path()))
        if (e.path().filename().string().ends_with("-K1.sock")) socketPath = e.path();
    ASSERT_FALSE(socketPath.empty());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    const std::string ask =
        simwire::EncodeRequestHeader({simwire::kOpIn, kEpStream, 1u << 20, 30000});
    ASSERT_EQ(::write(fd, ask.data(), ask.size()), static_cast<ssize_t>(ask.size()));
    ::close(fd);

    auto dev = OpenUnit("K1");
    DeviceCommand cmd(dev);
    Configure(cmd, StoreFromStart());
    ASSERT_EQ(cmd.StartToComputer(), 0);
    StreamReader r;
    ASSERT_TRUE(ReadStream(*dev, r, [&] { return r.data.size() >= 6; })) << r.data.size();
    EXPECT_EQ(r.Text(RecordKind::kSdData), "HELLO");
    EXPECT_EQ(r.triggers, std::vector<uint8_t>{1});
    EXPECT_GE(r.dates, 1);
}

// A replay script that cannot be replayed says where and why: one that goes
// back in time at any rate keeps qvsim from starting; one whose characters
// overlap at the rate the computer configured refuses that run, instead of
// runs that silently store nothing.
TEST_F(Stream, ABadReplayScriptIsReportedWithItsLine) {
    WriteBytes(work.file("back.txt"), "1000 SD 41\n900 RD 06\n");
    Process refused({QVSIM_PATH, "--serial", "B1", "--source", "replay:" + work.file("back.txt")},
                    TestEnv(home.path(), sims.path()), work.file("b.out"), work.file("b.err"));
    EXPECT_EQ(refused.Wait(60), 2);
    EXPECT_NE(refused.Err().find("back.txt:2: goes back in time"), std::string::npos)
        << refused.Err();

    // Three SD characters at 115200 bit/s take 260 us: the RD line 10 us on
    // overlaps them.
    WriteBytes(work.file("overlap.txt"), "1000 SD 41 42 43\n1010 RD 06\n");
    Process& sim = StartSim({"--serial", "B2", "--source", "replay:" + work.file("overlap.txt")});
    auto dev = OpenUnit("B2");
    DeviceCommand cmd(dev);
    Configure(cmd, StoreFromStart());
    cmd.StartToComputer();
    EXPECT_EQ(cmd.ReplyWord(0) & 0xFFFF, 1u);  // the start is refused
    uint32_t bits = 0;
    ASSERT_EQ(cmd.QueryState(bits), 0);
    EXPECT_EQ(bits & kStateRunMask, 0u);
    EXPECT_TRUE(WaitFor([&] {
        return sim.Err().find("overlap.txt:2: goes back in time") != std::string::npos;
    })) << sim.Err();
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
