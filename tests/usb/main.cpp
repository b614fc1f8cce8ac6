// The libusb backend's tests run under umockdev's preload library, which
// routes libusb's view of /sys, /dev/bus/usb, udev and the device nodes'
// ioctls to the emulated USB bus. Started without it, the program starts
// itself again with it.
#include <gtest/gtest.h>

#include "sim/umockdev/Preload.h"

int main(int argc, char** argv) {
    if (!qv::sim::RunUnderUmockdevPreload(argv)) return 1;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
