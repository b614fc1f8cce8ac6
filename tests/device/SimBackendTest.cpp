// The device object over the emulator sockets, against an emulated
// instrument served in this process: what every caller above the device
// object relies on, including an unplug in the middle of things.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "device/DeviceCommand.h"
#include "device/LibusbBackend.h"
#include "device/SimSocketBackend.h"
#include "sim/SimServer.h"
#include "support/TempDir.h"

namespace qv {
namespace {

std::shared_ptr<UsbDevice> SimDevice(const std::string& folder) {
    std::vector<std::unique_ptr<IDeviceBackend>> b;
    b.push_back(std::make_unique<SimSocketBackend>(folder));
    return std::make_shared<UsbDevice>(std::move(b));
}

sim::SimConfig Config(uint16_t product, const std::string& serial) {
    sim::SimConfig c;
    c.productId = product;
    c.serial = serial;
    c.release = 0x0207;
    c.cardBlocks = sim::CardMemory::kDataFirstBlock + 256;
    return c;
}

class SimBackend : public ::testing::Test {
  protected:
    test::TempDir dir;
    sim::SimInstrument a{Config(kProductQvS1, "A0000001")};
    sim::SimInstrument b{Config(kProductQvSz2, "42")};
    sim::SimServer sa{a, dir.path()};
    sim::SimServer sb{b, dir.path()};
    void SetUp() override {
        std::string err;
        ASSERT_TRUE(sa.Plug(err)) << err;
        ASSERT_TRUE(sb.Plug(err)) << err;
    }
};

TEST_F(SimBackend, EnumeratesOpensAndIdentifies) {
    auto dev = SimDevice(dir.path());
    ASSERT_EQ(dev->GetDeviceCount(), 2);
    ASSERT_TRUE(dev->Open(0));
    EXPECT_EQ(dev->GetIdentity(), (UnitIdentity{kQvVendorId, kProductQvS1, "A0000001"}));
    EXPECT_EQ(dev->GetDeviceRelease(), 0x0207);
    ASSERT_TRUE(dev->Open(1));  // closes the first
    EXPECT_EQ(dev->OpenIndex(), 1);
    EXPECT_EQ(dev->GetIdentity().serial, "42");
    EXPECT_EQ(dev->GetEndpoint(kEpReply)->timeoutMs, 1000u);
    EXPECT_EQ(dev->GetEndpoint(kEpStream)->timeoutMs, 100u);
    EXPECT_EQ(dev->GetEndpoint(kEpCommand)->timeoutMs, 200u);
    EXPECT_TRUE(dev->GetEndpoint(kEpControl).has_value());
    EXPECT_FALSE(dev->GetEndpoint(0x83).has_value());
    EXPECT_FALSE(dev->Open(2));
    EXPECT_FALSE(dev->IsOpen());
    uint8_t buf[4] = {};
    size_t n = sizeof buf;
    EXPECT_EQ(dev->Transfer(kEpCommand, buf, n), TransferStatus::kError);
    EXPECT_EQ(n, 0u);
}

TEST_F(SimBackend, ClockStateAndVersionThroughCommands) {
    auto dev = SimDevice(dir.path());
    ASSERT_TRUE(dev->Open(1));
    DeviceCommand cmd(dev);
    uint32_t bits = 0;
    ASSERT_EQ(cmd.QueryState(bits), 0);
    EXPECT_EQ(bits, kStateAcPower | kStateCardInserted);
    ASSERT_EQ(cmd.SetClock(1'700'000'000), 0);
    uint32_t mon = 0, clock = 0;
    ASSERT_EQ(cmd.ReadClocks(mon, clock), 0);
    EXPECT_NEAR(static_cast<double>(clock), 1'700'000'000.0, 5.0);
    std::array<uint32_t, 3> v{};
    ASSERT_EQ(cmd.QueryVersion(v), 0);
    EXPECT_EQ(v[0], sim::kSimVersion);
    ASSERT_EQ(cmd.SetMasterSlave(1, 1), 0);
    ASSERT_EQ(cmd.QueryState(bits), 0);
    EXPECT_TRUE(bits & kStateMaster);
}

TEST_F(SimBackend, CardBlocksWrittenReadBack) {
    auto dev = SimDevice(dir.path());
    ASSERT_TRUE(dev->Open(0));
    DeviceCommand cmd(dev);
    std::vector<uint8_t> data(3 * 512);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    ASSERT_EQ(cmd.WriteCardBlocks(0x10020, data.data(), 3), 3 * 512);
    std::vector<uint8_t> back;
    ASSERT_EQ(cmd.ReadCardBlocks(0x10020, 3, back), 3 * 512);
    EXPECT_EQ(back, data);
    // Past the card's end the reads stop early, without waiting out a time-out each.
    uint32_t last = sim::CardMemory::kDataFirstBlock + 255;
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(cmd.ReadCardBlocks(last, 4, back), 512);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(900));
    uint32_t bits = 0;  // the link still speaks commands afterwards
    EXPECT_EQ(cmd.QueryState(bits), 0);
}

TEST_F(SimBackend, UnplugFailsTransfersAndReplugIsFoundAgain) {
    auto dev = SimDevice(dir.path());
    ASSERT_TRUE(dev->Open(0));
    // A stream read waits in the instrument when the unplug cuts it.
    std::atomic<int> status{-1};
    std::thread reader([&] {
        uint8_t buf[512];
        size_t n = sizeof buf;
        dev->SetTimeout(kEpStream, 5000);
        status = static_cast<int>(dev->Transfer(kEpStream, buf, n));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    sa.Unplug();
    reader.join();
    EXPECT_EQ(status.load(), static_cast<int>(TransferStatus::kNoDevice));
    DeviceCommand cmd(dev);
    uint32_t bits = 0;
    EXPECT_EQ(cmd.QueryState(bits), -1);
    EXPECT_EQ(dev->GetDeviceCount(), 1);

    std::string err;
    ASSERT_TRUE(sa.Plug(err)) << err;
    ASSERT_EQ(dev->GetDeviceCount(), 2);
    ASSERT_TRUE(dev->Open(0));
    EXPECT_EQ(dev->GetIdentity().serial, "A0000001");
    EXPECT_EQ(cmd.QueryState(bits), 0);
}

TEST_F(SimBackend, PlugNotifications) {
    auto dev = SimDevice(dir.path());
    std::mutex m;
    std::vector<std::pair<PlugEvent, std::string>> seen;
    dev->SetPlugListener([&](PlugEvent e, const std::string& key) {
        std::lock_guard lock(m);
        seen.emplace_back(e, key);
    });
    sb.Unplug();
    std::string err;
    auto wait = [&](size_t count) {
        for (int i = 0; i < 300; ++i) {  // up to 30 s on a loaded machine
            {
                std::lock_guard lock(m);
                if (seen.size() >= count) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    };
    ASSERT_TRUE(wait(1));
    ASSERT_TRUE(sb.Plug(err));
    ASSERT_TRUE(wait(2));
    dev->SetPlugListener({});
    EXPECT_EQ(seen[0].first, PlugEvent::kRemoval);
    EXPECT_EQ(seen[1].first, PlugEvent::kArrival);
    EXPECT_EQ(seen[0].second, seen[1].second);
}

TEST(SimBackendStale, ASocketNobodyListensOnIsNotOpened) {
    test::TempDir dir;
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string path = dir.file("0010-DEAD.sock");
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);  // the file stays, nobody listens
    auto dev = SimDevice(dir.path());
    EXPECT_EQ(dev->GetDeviceCount(), 1);
    EXPECT_FALSE(dev->Open(0));
}

TEST(LibusbBackendTest, FindsNoInstrumentWithoutOne) {
    // On build machines there is no USB at all; elsewhere no instrument is
    // attached to a test machine. Either way: nothing, and no failure.
    LibusbBackend b;
    EXPECT_TRUE(b.Enumerate().empty());
    b.StartWatching([](PlugEvent, const std::string&) {});
    b.StopWatching();
}

}  // namespace
}  // namespace qv
