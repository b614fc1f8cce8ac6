// The libusb backend on an emulated USB bus: the device-backend contract,
// with and without scatter-gather on the host controller, and what only a
// real USB stack does: other devices on the bus, a unit another program
// holds, the usbdevfs requests libusb makes.
#include <libusb.h>

#include <gtest/gtest.h>

#include <iostream>

#include "usb/LibusbBench.h"

namespace qv::test {
namespace {

INSTANTIATE_TYPED_TEST_SUITE_P(Libusb, DeviceContract, LibusbBench);
INSTANTIATE_TYPED_TEST_SUITE_P(LibusbSplit, DeviceContract, LibusbSplitBench);

class LibusbOnly : public ::testing::Test {
  protected:
    LibusbBench bench;
};

TEST_F(LibusbOnly, OtherDevicesOnTheBusAreLeftAlone) {
    // Another model of the same maker, and another maker's device with one
    // of the instruments' product ids.
    bench.bus.AddForeignDevice(kQvVendorId, 0x0012, "F0000001");
    bench.bus.AddForeignDevice(0x1234, kProductQvS1, "F0000002");
    libusb_context* ctx = nullptr;
    ASSERT_EQ(libusb_init(&ctx), 0);
    libusb_device** list = nullptr;
    // libusb sees them all: the root hub, the two units, the two others.
    EXPECT_EQ(libusb_get_device_list(ctx, &list), 5);
    libusb_free_device_list(list, 1);
    libusb_exit(ctx);
    auto dev = bench.Device();
    ASSERT_EQ(dev->GetDeviceCount(), 2);
    EXPECT_EQ(dev->CountedDevice(0)->serial, "A0000001");
    EXPECT_EQ(dev->CountedDevice(1)->serial, "42");
}

TEST_F(LibusbOnly, AUnitAnotherProgramHoldsIsBusyUntilReleased) {
    auto first = bench.Device();
    auto second = bench.Device();
    ASSERT_EQ(first->GetDeviceCount(), 2);
    ASSERT_EQ(second->GetDeviceCount(), 2);
    ASSERT_TRUE(first->Open(0));
    EXPECT_FALSE(second->Open(0));
    EXPECT_EQ(second->LastOpenFailure(), OpenFailure::kBusy);
    EXPECT_TRUE(second->Open(1));  // the other unit is free
    first->Close();
    ASSERT_TRUE(second->Open(0));
    DeviceCommand cmd(second);
    uint32_t bits = 0;
    EXPECT_EQ(cmd.QueryState(bits), 0);
}

// Lists the usbdevfs requests a session of the device object makes (the
// list is part of the test's output), and checks the ones each of its
// operations needs reached the emulated kernel.
TEST_F(LibusbOnly, TheUsbdevfsRequestsOfASession) {
    {
        auto dev = bench.Device();
        ASSERT_EQ(dev->GetDeviceCount(), 2);
        ASSERT_TRUE(dev->Open(0));
        DeviceCommand cmd(dev);
        uint32_t bits = 0;
        ASSERT_EQ(cmd.QueryState(bits), 0);
        uint8_t buf[512];
        size_t n = sizeof buf;
        EXPECT_EQ(dev->Transfer(kEpStream, buf, n), TransferStatus::kTimeout);
        dev->Close();
    }
    auto counts = bench.bus.RequestCounts();
    for (auto& [name, count] : counts)
        std::cout << "usbdevfs " << name << " " << count << "\n";
    // Open: capabilities; claim with the kernel driver detached; descriptors
    // and transfers as URBs; a time-out as a discard; close: release and
    // re-attach of the kernel driver.
    for (const char* needed : {"GET_CAPABILITIES", "DISCONNECT_CLAIM", "SUBMITURB",
                               "REAPURBNDELAY", "DISCARDURB", "RELEASEINTERFACE", "IOCTL"})
        EXPECT_GT(counts[needed], 0u) << needed;
}

}  // namespace
}  // namespace qv::test
