// The programs among other users and odd files: no instrument posing from a
// folder someone else controls, no write through a planted link, any text in
// a settings file, no serial that spoils the unit list, no hang on a chunk
// that is not a file, and no mark lost to a second qvtool.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "device/CaptureSession.h"
#include "integration/Bench.h"

namespace qv::test {
namespace {

// The user a second person's programs run as when the test runs as root.
constexpr uid_t kOtherUid = 65534;

class Safety : public Bench {
  protected:
    // A generated capture, decoded into `folder`; the index path.
    std::string MakeCapture(const std::string& folder, const std::string& events = "400") {
        std::filesystem::create_directories(folder);
        const std::string stream = work.file("stream" + std::to_string(++counter) + ".bin");
        RunResult g = Tool({"gen-stream", stream, "--protocol", "ASYNC", "--events", events,
                            "--seed", "3"});
        EXPECT_EQ(g.status, 0) << g.err;
        RunResult d = Tool({"decode", stream, "--protocol", "ASYNC", "--out", folder});
        EXPECT_EQ(d.status, 0) << d.err;
        return d.out.substr(0, d.out.find('\n'));
    }

    // Runs a program as another user (setpriv), with the bench's environment
    // but `simDir` as the emulator folder.
    std::unique_ptr<Process> AsOtherUser(std::vector<std::string> args, const std::string& home,
                                         const std::string& simDir) {
        args.insert(args.begin(), {"/usr/bin/setpriv", "--reuid=" + std::to_string(kOtherUid),
                                   "--regid=" + std::to_string(kOtherUid), "--clear-groups"});
        int n = ++counter;
        return std::make_unique<Process>(args, TestEnv(home, simDir),
                                         work.file("other" + std::to_string(n) + ".out"),
                                         work.file("other" + std::to_string(n) + ".err"));
    }

    RunResult ToolIn(const std::string& simDir, std::vector<std::string> args) {
        args.insert(args.begin(), QVTOOL_PATH);
        int n = ++counter;
        Process p(args, TestEnv(home.path(), simDir), work.file("t" + std::to_string(n) + ".out"),
                  work.file("t" + std::to_string(n) + ".err"));
        RunResult r;
        r.status = p.Wait(120);
        r.out = p.Out();
        r.err = p.Err();
        return r;
    }
};

bool CanActAsOtherUser() {
    return ::geteuid() == 0 && ::access("/usr/bin/setpriv", X_OK) == 0;
}

TEST_F(Safety, AnEmulatorFolderOfAnotherUserOrOpenToAllIsNotTrusted) {
    if (!CanActAsOtherUser())
        GTEST_SKIP() << "needs root and setpriv to run a second user's emulator";
    // A folder the other user made where this user's programs would look,
    // with that user's emulator in it, answering as an instrument.
    TempDir shared;
    ::chmod(shared.path().c_str(), 0755);
    const std::string planted = shared.file("qv-ort-sim");
    const std::string otherHome = shared.file("other-home");
    ASSERT_EQ(::mkdir(planted.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(otherHome.c_str(), 0755), 0);
    ASSERT_EQ(::chown(planted.c_str(), kOtherUid, kOtherUid), 0);
    ASSERT_EQ(::chown(otherHome.c_str(), kOtherUid, kOtherUid), 0);
    auto fake = AsOtherUser({QVSIM_PATH, "--serial", "FAKE0001"}, otherHome, planted);
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(planted + "/0010-FAKE0001.sock"); }))
        << fake->Err();

    RunResult r = ToolIn(planted, {"units"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("FAKE0001"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("belongs to another user"), std::string::npos) << r.err;
    EXPECT_NE(ToolIn(planted, {"units", "select", "FAKE0001"}).status, 0);
    EXPECT_EQ(ReadBytes(home.file("ActiveUnitInfo.txt")).find("FAKE0001"), std::string::npos);

    // A folder of this user that everyone may write in is refused as well,
    // by the programs and by the emulator.
    const std::string open = shared.file("open-to-all");
    ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
    r = ToolIn(open, {"units"});
    EXPECT_NE(r.err.find("may be written by other users"), std::string::npos) << r.err;
    Process sim({QVSIM_PATH, "--serial", "OWN00001"}, TestEnv(home.path(), open),
                work.file("open.out"), work.file("open.err"));
    EXPECT_EQ(sim.Wait(60), 1);
    EXPECT_NE(sim.Err().find("may be written by other users"), std::string::npos) << sim.Err();

    // A missing folder is made for this user alone.
    const std::string fresh = shared.file("fresh");
    Process own({QVSIM_PATH, "--serial", "OWN00002"}, TestEnv(home.path(), fresh),
                work.file("own.out"), work.file("own.err"));
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(fresh + "/0010-OWN00002.sock"); }))
        << own.Err();
    struct stat st {};
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    r = ToolIn(fresh, {"units"});
    EXPECT_NE(r.out.find("OWN00002"), std::string::npos) << r.out << r.err;
}

TEST_F(Safety, APlantedCaptureFolderIsNeverWrittenInto) {
    // Someone who may write in the save folder plants the folders of the
    // coming seconds, each with the index name linked to a victim's file.
    const std::string save = work.file("shared-save");
    std::filesystem::create_directories(save);
    const std::string victim = work.file("victim.txt");
    WriteBytes(victim, "precious\n");
    const std::time_t now = std::time(nullptr);
    for (int s = 0; s < 40; ++s) {
        std::string name = CaptureFolderName(now + s);
        std::filesystem::create_directories(save + "/" + name);
        std::filesystem::create_symlink(victim, save + "/" + name + "/" + name + ".qvr");
    }
    const std::string stream = work.file("s.bin");
    ASSERT_EQ(Tool({"gen-stream", stream, "--protocol", "ASYNC", "--events", "50"}).status, 0);
    RunResult r = Tool({"decode", stream, "--protocol", "ASYNC", "--out", save});
    // The run either fails or takes a free name past the planted ones.
    EXPECT_EQ(ReadBytes(victim), "precious\n") << r.out;
    // The planted folders hold nothing of ours.
    for (int s = 0; s < 40; ++s) {
        std::string name = CaptureFolderName(now + s);
        EXPECT_FALSE(std::filesystem::exists(save + "/" + name + "/t000000001.qvd"));
        EXPECT_FALSE(std::filesystem::exists(save + "/" + name + "/000000001.qvd"));
    }
}

TEST_F(Safety, TextWithoutACp932FormNeverBlocksLaterWrites) {
    // A status file with a stray byte on a line the command does not touch.
    const std::string status = home.file("QvStatus.qvs");
    ASSERT_EQ(Tool({"settings", "set", "Protocol=ASYNC"}).status, 0);
    std::string bytes = ReadBytes(status);
    bytes += "[Other]\r\nNote=\xFF\x80 left as it was\r\n";
    WriteBytes(status, bytes);
    RunResult r = Tool({"settings", "set", "Protocol=HDLC"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(ReadBytes(status).find("Note=\xFF\x80 left as it was\r\n"), std::string::npos);
    EXPECT_NE(ReadBytes(status).find("HDLC"), std::string::npos);
    r = Tool({"settings", "trigger", "1", "--enable"});
    EXPECT_EQ(r.status, 0) << r.err;

    // A status file someone saved as UTF-8 with characters CP932 lacks stays
    // UTF-8 and keeps them.
    WriteBytes(status, "[MonitorStatus]\r\nProtocol=ASYNC\r\n[Owner]\r\nName=Jürgen 5€\r\n");
    r = Tool({"settings", "set", "Protocol=SYNC"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(ReadBytes(status).find("Name=Jürgen 5€\r\n"), std::string::npos);
    EXPECT_NE(ReadBytes(status).find("SYNC"), std::string::npos);

    // A capture index with such a byte still takes a mark.
    const std::string index = MakeCapture(work.file("caps"));
    WriteBytes(index, ReadBytes(index) + "[Notes]\r\nText=\xFF\r\n");
    r = Tool({"mark", index, "1", "--frame", "5"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(ReadBytes(index).find("Text=\xFF\r\n"), std::string::npos);

    // A folder name CP932 cannot hold is refused for that reason, and logged.
    const std::string folder = work.file("Müller €");
    std::filesystem::create_directories(folder);
    r = Tool({"config", "set", "Directory", folder});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("CP932"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("255"), std::string::npos) << r.err;
    EXPECT_NE(ReadBytes(home.file("qv-ort.log")).find("Directory"), std::string::npos);
}

TEST_F(Safety, ASerialTheUnitListCannotHoldIsRefused) {
    StartSim({"--serial", "AB,CD"});
    StartSim({"--serial", "GOOD0001"});
    for (int i = 0; i < 3; ++i) {
        RunResult r = Tool({"units"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("'AB,CD'"), std::string::npos) << r.err;
        EXPECT_NE(r.out.find("GOOD0001"), std::string::npos) << r.out;
    }
    RunResult r = Tool({"units", "select", "AB,CD"});
    EXPECT_NE(r.status, 0);
    ASSERT_EQ(Tool({"units", "select", "GOOD0001"}).status, 0);
    ASSERT_EQ(Tool({"units", "select", "GOOD0001"}).status, 0);
    // One line per unit, one unit selected.
    std::istringstream list(ReadBytes(home.file("ActiveUnitInfo.txt")));
    std::string line;
    int lines = 0, selected = 0;
    while (std::getline(list, line)) {
        ++lines;
        if (line.starts_with("0009") || line.starts_with("0008")) ++selected;
    }
    EXPECT_EQ(lines, 1);
    EXPECT_EQ(selected, 1);
    r = Tool({"status"});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(Safety, AChunkThatIsNotAFileIsReportedNotWaitedFor) {
    const std::string index = MakeCapture(work.file("caps"));
    const std::string chunk = std::filesystem::path(index).parent_path() / "000000001.qvd";
    std::filesystem::remove(chunk);
    ASSERT_EQ(::mkfifo(chunk.c_str(), 0644), 0);
    Process list({QVTOOL_PATH, "list", index, "--count", "3"}, TestEnv(home.path(), sims.path()),
                 work.file("fifo.out"), work.file("fifo.err"));
    int status = list.Wait(60);
    EXPECT_EQ(status, 1) << "the reader " << (status < 0 ? "hangs" : "ended") << ": "
                         << list.Err();
}

TEST_F(Safety, TwoMarksAtOnceAreBothKept) {
    const std::string index = MakeCapture(work.file("caps"));
    for (int round = 0; round < 8; ++round) {
        std::vector<std::unique_ptr<Process>> marks;
        for (int n = 1; n <= 3; ++n)
            marks.push_back(std::make_unique<Process>(
                std::vector<std::string>{QVTOOL_PATH, "mark", index, std::to_string(n),
                                         "--frame", std::to_string(10 * n + round)},
                TestEnv(home.path(), sims.path()),
                work.file("m" + std::to_string(n) + ".out"),
                work.file("m" + std::to_string(n) + ".err")));
        for (auto& p : marks)
            ASSERT_EQ(p->Wait(120), 0) << p->Err();
        RunResult r = Tool({"marks", index});
        for (int n = 1; n <= 3; ++n)
            EXPECT_NE(r.out.find("M" + std::to_string(n) + "  "), std::string::npos)
                << "round " << round << ": " << r.out;
        // Clear the marks for the next round through the index itself.
        std::string text = ReadBytes(index);
        size_t at = text.find("[Mark]");
        ASSERT_NE(at, std::string::npos);
        WriteBytes(index, text.substr(0, at));
    }
}

}  // namespace
}  // namespace qv::test
