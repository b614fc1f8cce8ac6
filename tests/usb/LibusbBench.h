// The device-backend contract's bench for libusb: the two units' sockets
// mirrored onto an emulated USB bus, and device objects whose only backend
// is libusb, so every transfer goes through libusb and usbdevfs.
#pragma once

#include "device/DeviceContract.h"
#include "device/LibusbBackend.h"
#include "sim/umockdev/EmulatedUsbBus.h"

namespace qv::test {

class LibusbBench : public ContractBench {
  public:
    explicit LibusbBench(bool scatterGather = true)
        : bus(sim::UsbBusOptions{units.Folder(), scatterGather}) {}

    std::shared_ptr<UsbDevice> Device() override {
        std::vector<std::unique_ptr<IDeviceBackend>> b;
        b.push_back(std::make_unique<LibusbBackend>());
        return std::make_shared<UsbDevice>(std::move(b));
    }

    sim::EmulatedUsbBus bus;

  protected:
    // The bus follows the folder on its own within 100 ms; a test waits for it.
    void Settle() override { bus.Sync(); }
};

// A host controller without scatter-gather: libusb splits a bulk transfer
// into 16 KiB URBs chained as continuations, and a short packet ends them.
class LibusbSplitBench : public LibusbBench {
  public:
    LibusbSplitBench() : LibusbBench(false) {}
};

}  // namespace qv::test
