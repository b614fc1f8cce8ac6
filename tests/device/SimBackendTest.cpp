// The device object over the emulator sockets, against emulated instruments
// served in this process: the backends' contract, and what is the sockets' own.
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
#include "device/DeviceContract.h"
#include "sim/SimServer.h"
#include "support/TempDir.h"

namespace qv::test {
namespace {

std::shared_ptr<UsbDevice> SimDevice(const std::string& folder) {
    std::vector<std::unique_ptr<IDeviceBackend>> b;
    b.push_back(std::make_unique<SimSocketBackend>(folder));
    return std::make_shared<UsbDevice>(std::move(b));
}

// The contract through the emulator sockets: the socket folder is the bus.
class SocketBench : public ContractBench {
  public:
    std::shared_ptr<UsbDevice> Device() override { return SimDevice(units.Folder()); }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Socket, DeviceContract, SocketBench);

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
}  // namespace qv::test
