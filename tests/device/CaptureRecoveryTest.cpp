// A run that never reached Stop (its process killed) is made readable from
// its chunk files alone, and holds exactly what a finished run of the same
// stream holds, up to what had reached the disk.
#include "capture/CaptureRecovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "capture/CaptureReader.h"
#include "core/FileUtil.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/TimeText.h"
#include "device/CaptureSession.h"
#include "support/AppHome.h"
#include "support/TempDir.h"
#include "traffic/LineTraffic.h"
#include "traffic/StreamEncoder.h"

namespace qv {
namespace {

std::time_t Noon(int day) {
    struct tm t {};
    t.tm_year = 124;
    t.tm_mon = 4;
    t.tm_mday = day;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

std::vector<uint8_t> Traffic(int protocol, int events, uint64_t startTicks) {
    sim::TrafficOptions opt;
    opt.protocol = protocol;
    opt.seed = 7;
    opt.startTicks = startTicks;
    sim::LineTraffic traffic(opt);
    sim::StreamEncoder enc(protocol, {2024, 5, 17});
    std::vector<uint8_t> out;
    sim::LineEvent first = traffic.Next();
    enc.Begin(out, first.time, first.value);
    for (int i = 0; i < events; ++i)
        enc.Add(out, traffic.Next());
    return out;
}

CaptureStartInfo Info(const std::string& dir, int protocol, int memory, uint64_t frameMax) {
    CaptureStartInfo info;
    info.directory = dir;
    info.folderTime = info.startClock = Noon(17);
    info.settings.status.monitor.Protocol = static_cast<uint8_t>(protocol);
    info.settings.status.monitor.Memory = static_cast<uint8_t>(memory);
    info.frameMax = frameMax;
    info.fileRecords = 2000;
    return info;
}

// Every record as its raw bytes and its record time text (which has the date).
std::vector<std::string> AllRecords(const std::string& index) {
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    std::vector<std::string> out;
    EXPECT_EQ(file.Open(index), 0);
    if (!file.HasRecord()) return out;
    do {
        std::vector<uint8_t> raw;
        std::string when;
        uint64_t ticks = 0;
        file.GetRawRecord(raw);
        file.GetEndTime(when, ticks);
        out.push_back(when + std::string(raw.begin(), raw.end()));
    } while (file.NextRecord() == kQvrOk);
    EXPECT_EQ(out.size(), file.GetTotalRecords());
    return out;
}

constexpr uint64_t kCrossesMidnight = kTicksPerDay - kTicksPerSecond / 2;

class RecoveryTest : public ::testing::Test {
  protected:
    test::AppHome home;

    // A finished run of the stream, and a killed one: the session is dropped
    // without Stop, so the last buffer never reaches the disk and the index
    // has no chunk entry.
    std::pair<std::string, std::string> Runs(int protocol, int memory, uint64_t frameMax,
                                             uint64_t startTicks) {
        const auto stream = Traffic(protocol, 30000, startTicks);
        std::filesystem::create_directories(home.file("done"));
        std::filesystem::create_directories(home.file("killed"));
        CaptureSession done(nullptr, nullptr);
        EXPECT_EQ(done.Start(Info(home.file("done"), protocol, memory, frameMax)), 0);
        done.Feed(stream);
        EXPECT_EQ(done.Stop(Noon(18)), 0);
        std::string killedIndex;
        {
            CaptureSession killed(nullptr, nullptr);
            EXPECT_EQ(killed.Start(Info(home.file("killed"), protocol, memory, frameMax)), 0);
            killed.Feed(stream);
            killedIndex = killed.IndexPath();
        }
        return {done.IndexPath(), killedIndex};
    }
};

TEST_F(RecoveryTest, KilledRunHoldsThePrefixThatReachedTheDisk) {
    for (int protocol : {kProtocolAsync, kProtocolHdlc}) {
        SCOPED_TRACE(protocol);
        auto [done, killed] = Runs(protocol, kMemoryFix, 100'000'000, kCrossesMidnight);
        const std::string folder = killed.substr(0, killed.find_last_of('/') + 1);
        EXPECT_TRUE(std::filesystem::exists(folder + "t000000001.qvd"));
        EXPECT_TRUE(CaptureNeedsRecovery(killed));
        SettingsStore store;
        Log log;
        CaptureReader before(store, log);
        EXPECT_EQ(before.Open(killed), kQvrNoIndex);  // nothing can read it yet

        // The write that was going on when the process died left half a record.
        {
            std::ofstream torn(folder + "t000000001.qvd", std::ios::binary | std::ios::app);
            torn.write("\x81\x41\x01", 3);
        }
        RecoveryResult r;
        ASSERT_EQ(RecoverCapture(killed, r), 0) << r.message;
        EXPECT_FALSE(CaptureNeedsRecovery(killed));
        EXPECT_FALSE(std::filesystem::exists(folder + "t000000001.qvd"));
        EXPECT_FALSE(std::filesystem::exists(folder + kIndexReserveName));
        EXPECT_EQ(r.tornBytes, 3u);

        const auto want = AllRecords(done);
        const auto got = AllRecords(killed);
        ASSERT_GT(want.size(), 20000u);
        EXPECT_EQ(got.size(), r.records);
        // Only the last unwritten buffer (64 KiB at most) is missing.
        EXPECT_GE(got.size() + 65536 / 8, want.size());
        ASSERT_LE(got.size(), want.size());
        for (size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i], want[i]) << "record " << i;

        CaptureIndex index;
        ASSERT_EQ(index.OpenIndex(killed), 0);
        EXPECT_EQ(index.ReadFrameNum(), got.size());
        IndexTime start;
        ASSERT_EQ(index.ReadStartTime(start), 0);
        EXPECT_EQ(start.date, "240517");
        IndexTime end;
        ASSERT_EQ(index.ReadEndTime(end), 0);
        EXPECT_EQ(end.date, "240518");  // the run went past midnight

        // A second recovery finds nothing to do and changes nothing.
        const std::string text = test::ReadBytes(killed);
        ASSERT_EQ(RecoverCapture(killed, r), 0);
        EXPECT_EQ(test::ReadBytes(killed), text);
    }
}

// A run still going looks like a killed one on disk, but its files are in
// use: opening it offers nothing, and recovery refuses and changes nothing.
TEST_F(RecoveryTest, ARunStillGoingIsLeftAlone) {
    std::filesystem::create_directories(home.file("live"));
    CaptureSession live(nullptr, nullptr);
    ASSERT_EQ(live.Start(Info(home.file("live"), kProtocolAsync, kMemoryFix, 100'000'000)), 0);
    live.Feed(Traffic(kProtocolAsync, 30000, 10 * 3600 * kTicksPerSecond));
    const std::string index = live.IndexPath();
    ASSERT_TRUE(std::filesystem::exists(live.FolderPath() + "/t000000002.qvd"));
    EXPECT_FALSE(CaptureNeedsRecovery(index));
    const std::string text = test::ReadBytes(index);
    RecoveryResult r;
    EXPECT_NE(RecoverCapture(index, r), 0);
    EXPECT_NE(r.message.find("being recorded"), std::string::npos) << r.message;
    EXPECT_EQ(test::ReadBytes(index), text);
    EXPECT_TRUE(std::filesystem::exists(live.FolderPath() + "/t000000002.qvd"));

    // The run ends as usual and holds every record it was sent.
    ASSERT_EQ(live.Stop(Noon(17)), 0);
    EXPECT_FALSE(CaptureNeedsRecovery(index));
    EXPECT_EQ(AllRecords(index).size(), live.Capture().Totals().records);
}

// In RING mode the slots are reused; recovery puts them back in the order
// they were written, so the records run forward in time.
TEST_F(RecoveryTest, RingRunComesBackInWrittenOrder) {
    // 4 slots, reused; the day of the chunks a ring discarded is unknown, so
    // this run stays within one day.
    auto [done, killed] = Runs(kProtocolAsync, kMemoryRing, 8000, kTicksPerDay / 2);
    RecoveryResult r;
    ASSERT_EQ(RecoverCapture(killed, r), 0) << r.message;
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    ASSERT_EQ(file.Open(killed), 0);
    EXPECT_EQ(file.GetChunkCount(), r.chunks);
    EXPECT_GE(r.chunks, 3u);
    std::string previous;
    uint64_t n = 0;
    do {
        std::string when;
        uint64_t ticks = 0;
        file.GetEndTime(when, ticks);
        ASSERT_LE(previous, when) << "record " << n;  // "YY/MM/DD hh:mm:ss ..." sorts by time
        previous = when;
        ++n;
    } while (file.NextRecord() == kQvrOk);
    EXPECT_EQ(n, r.records);
    // The last records are the finished run's last ones, less the lost buffer.
    const auto want = AllRecords(done);
    const auto got = AllRecords(killed);
    ASSERT_FALSE(got.empty());
    auto at = std::find(want.begin(), want.end(), got.front());
    ASSERT_NE(at, want.end());
    for (size_t i = 0; i < got.size() && at + static_cast<std::ptrdiff_t>(i) != want.end(); ++i)
        ASSERT_EQ(got[i], *(at + static_cast<std::ptrdiff_t>(i))) << "record " << i;
}

// A link (or a folder) planted in a chunk's place is not the run's file:
// recovery refuses the capture and neither the link nor what it points to
// changes; no reader takes the link's target for records either.
TEST_F(RecoveryTest, ALinkInAChunksPlaceIsRefusedUntouched) {
    auto [done, killed] = Runs(kProtocolAsync, kMemoryFix, 100'000'000, kCrossesMidnight);
    const std::string folder = killed.substr(0, killed.find_last_of('/') + 1);
    const std::string victim = home.file("victim.bin");
    const std::string victimText(8 * 100 + 5, '\x81');  // not whole records
    test::WriteBytes(victim, victimText);
    for (bool folderInPlace : {false, true}) {
        SCOPED_TRACE(folderInPlace);
        const std::string planted = folder + "t000000099.qvd";
        if (folderInPlace)
            std::filesystem::create_directory(planted);
        else
            std::filesystem::create_symlink(victim, planted);
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        RecoveryResult r;
        EXPECT_EQ(RecoverCapture(killed, r), -1);
        EXPECT_NE(r.message.find("t000000099.qvd"), std::string::npos) << r.message;
        EXPECT_EQ(test::ReadBytes(victim), victimText);
        std::vector<std::string> after;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            after.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        std::sort(after.begin(), after.end());
        EXPECT_EQ(after, names);
        std::filesystem::remove(planted);
    }
    // Under a final name, a link reads as a chunk that cannot be opened.
    RecoveryResult r;
    ASSERT_EQ(RecoverCapture(killed, r), 0) << r.message;
    std::filesystem::rename(folder + "000000001.qvd", home.file("moved.qvd"));
    std::filesystem::create_symlink(home.file("moved.qvd"), folder + "000000001.qvd");
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    EXPECT_NE(file.Open(killed), kQvrOk);
    EXPECT_FALSE(file.HasRecord());
}

// A run killed before its first record keeps the start time its index was
// given, not midnight.
TEST_F(RecoveryTest, ARunWithoutRecordsKeepsItsStartTime) {
    std::filesystem::create_directories(home.file("empty"));
    std::string index;
    {
        CaptureSession killed(nullptr, nullptr);
        ASSERT_EQ(killed.Start(Info(home.file("empty"), kProtocolAsync, kMemoryFix, 100'000'000)), 0);
        index = killed.IndexPath();
    }
    CaptureIndex before;
    IndexTime start;
    ASSERT_EQ(before.OpenIndex(index), 0);
    ASSERT_EQ(before.ReadStartTime(start), 0);
    ASSERT_NE(start.ticks, 0u);
    RecoveryResult r;
    ASSERT_EQ(RecoverCapture(index, r), 0) << r.message;
    EXPECT_EQ(r.records, 0u);
    CaptureIndex after;
    IndexTime kept;
    ASSERT_EQ(after.OpenIndex(index), 0);
    ASSERT_EQ(after.ReadStartTime(kept), 0);
    EXPECT_EQ(kept.date, start.date);
    EXPECT_EQ(kept.ticks, start.ticks);
}

TEST_F(RecoveryTest, FinishedCaptureNeedsNothing) {
    auto [done, killed] = Runs(kProtocolAsync, kMemoryFix, 100'000'000, kCrossesMidnight);
    EXPECT_FALSE(CaptureNeedsRecovery(done));
    const std::string text = test::ReadBytes(done);
    RecoveryResult r;
    ASSERT_EQ(RecoverCapture(done, r), 0);
    EXPECT_EQ(test::ReadBytes(done), text);
    EXPECT_EQ(RecoverCapture(home.file("none.qvr"), r), -1);
    EXPECT_FALSE(r.message.empty());
}

}  // namespace
}  // namespace qv
