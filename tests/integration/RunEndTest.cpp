// How runs end when things go wrong: a second run on a busy unit, a disk
// that fills during a run or a selection, a program killed on a slow line.
// Each ends with the status that says what happened, and nothing a slow line
// brought waits in memory for long.
#include <signal.h>
#include <sys/mount.h>

#include <filesystem>
#include <fstream>

#include "capture/CaptureIndex.h"
#include "capture/CaptureFolderList.h"
#include "integration/Bench.h"

namespace qv::test {
namespace {

// A small tmpfs mounted at `path` for the test's life (we run as root);
// Mounted() is false where the machine does not allow it.
class SmallDisk {
  public:
    SmallDisk(const std::string& path, const char* size) : m_path(path) {
        std::filesystem::create_directories(path);
        m_mounted = ::mount("tmpfs", path.c_str(), "tmpfs", 0, size) == 0;
    }
    ~SmallDisk() {
        if (m_mounted) ::umount2(m_path.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return m_mounted; }
    // Fills the disk to its last byte with a file of its own.
    void Fill() {
        std::ofstream f(m_path + "/filler", std::ios::binary | std::ios::app);
        const std::string block(4096, 'x');
        while (f.write(block.data(), block.size()) && f.flush()) {
        }
        std::ofstream last(m_path + "/filler2", std::ios::binary);
        while (last.put('x') && last.flush()) {
        }
    }
    void Free() {
        std::filesystem::remove(m_path + "/filler");
        std::filesystem::remove(m_path + "/filler2");
    }

  private:
    std::string m_path;
    bool m_mounted = false;
};

class RunEnd : public Bench {
  protected:
    void Prepare(const std::string& serial) {
        ASSERT_EQ(Tool({"units", "select", serial}).status, 0);
        auto r = Tool({"settings", "check", "--yes"});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    // The temporary first chunk of the run going on under `folder`, once it
    // holds a byte on disk; empty until then.
    static std::string FirstChunkWithBytes(const std::string& folder) {
        std::error_code ec;
        for (auto& e : std::filesystem::recursive_directory_iterator(folder, ec))
            if (e.path().filename() == "t000000001.qvd" && e.file_size(ec) > 0)
                return e.path().string();
        return {};
    }
};

// A unit serves one run at a time: a second start is refused as busy
// whatever --yes answers, and the first run keeps the whole stream.
TEST_F(RunEnd, ASecondRunOnABusyUnitIsRefused) {
    StartSim({"--serial", "HB2", "--source", "flood:3", "--rate", "real"});
    Prepare("HB2");
    Process first({QVTOOL_PATH, "record", "--duration", "60", "--yes"},
                  TestEnv(home.path(), sims.path()), work.file("first.out"),
                  work.file("first.err"));
    ASSERT_TRUE(WaitFor([&] { return !FirstChunkWithBytes(home.path()).empty(); }, 60))
        << first.Err();
    auto second = Tool({"record", "--unit", "HB2", "--duration", "2", "--yes"});
    EXPECT_EQ(second.status, 1) << second.out << second.err;
    EXPECT_NE(second.err.find("busy"), std::string::npos) << second.err;
    first.Signal(SIGINT);
    ASSERT_EQ(first.Wait(60), 0) << first.Err();
    EXPECT_GT(CheckConsistent(IndexOf({0, first.Out(), first.Err()})), 0u);
    // Once the run ended the unit is free again.
    auto third = Tool({"record", "--duration", "1", "--yes"});
    EXPECT_EQ(third.status, 0) << third.err;
}

// A run whose chunk writes fail (the disk filled up) is a failed run.
TEST_F(RunEnd, ARunOntoAFullDiskFails) {
    SmallDisk disk(work.file("small"), "size=512k");
    if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here";
    StartSim({"--serial", "FD1", "--source", "flood:3", "--rate", "max"});
    Prepare("FD1");
    auto c = Tool({"config", "set", "Directory", work.file("small")});
    ASSERT_EQ(c.status, 0) << c.err;
    auto r = Tool({"record", "--duration", "3", "--yes"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("writing the capture data failed"), std::string::npos) << r.err;
}

// Selecting or releasing a unit that the unit list cannot record is a
// failure, and the list keeps the old selection.
TEST_F(RunEnd, ASelectionTheUnitListCannotKeepFails) {
    SmallDisk disk(home.path(), "size=256k");
    if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here";
    StartSim({"--serial", "U1"});
    StartSim({"--serial", "U2"});
    ASSERT_EQ(Tool({"units", "select", "U1"}).status, 0);
    const std::string list = home.file("ActiveUnitInfo.txt");
    const std::string before = ReadBytes(list);
    disk.Fill();
    auto r = Tool({"units", "select", "U2"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(r.out.find("selected"), std::string::npos) << r.out;
    EXPECT_EQ(ReadBytes(list), before);
    r = Tool({"units", "release"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(ReadBytes(list), before);
    disk.Free();
    EXPECT_EQ(Tool({"units", "release"}).status, 0);
}

// A slow line fills the chunk buffer in minutes: what came reaches the disk
// within about a second, so a killed run keeps it, and its recovery keeps the
// run's start time.
TEST_F(RunEnd, AKilledSlowRunKeepsWhatCameBeforeTheKill) {
    StartSim({"--serial", "SL1", "--source", "synth:3", "--rate", "real"});
    Prepare("SL1");
    Process run({QVTOOL_PATH, "record", "--yes"}, TestEnv(home.path(), sims.path()),
                work.file("slow.out"), work.file("slow.err"));
    std::string chunk;
    ASSERT_TRUE(WaitFor([&] { return !(chunk = FirstChunkWithBytes(home.path())).empty(); }, 60))
        << "nothing of the slow run reached the disk: " << run.Err();
    run.Signal(SIGKILL);
    run.Wait(60);
    const std::string folder = std::filesystem::path(chunk).parent_path().string();
    const std::string index = CaptureIndexPathOf(folder);
    CaptureIndex started;
    IndexTime startTime;
    ASSERT_EQ(started.OpenIndex(index), 0);
    ASSERT_EQ(started.ReadStartTime(startTime), 0);
    auto rec = Tool({"recover", folder});
    ASSERT_EQ(rec.status, 0) << rec.err;
    EXPECT_GT(CheckConsistent(index), 0u);
    CaptureIndex recovered;
    IndexTime after;
    ASSERT_EQ(recovered.OpenIndex(index), 0);
    ASSERT_EQ(recovered.ReadStartTime(after), 0);
    EXPECT_NE(after.ticks, 0u);
    EXPECT_EQ(after.date, startTime.date);
}

}  // namespace
}  // namespace qv::test
