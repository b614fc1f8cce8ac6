// The way to the instruments: the device object and the unit the user
// selected. One is made where a program is put together (qvtool's main, the
// desktop application's services) and handed to whoever opens the unit: the
// monitoring run, a card run, the status and clock dialogs, the unit list.
// Tests make their own, with backends of their own.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "device/UsbDevice.h"

namespace qv {

// The selected unit; all zero or empty when none is selected.
struct SelectedUnit {
    uint32_t vendorId = 0;
    uint32_t productId = 0;
    std::string serial;
    std::string name;

    bool IsNone() const { return vendorId == 0 && productId == 0 && serial.empty(); }
    UnitIdentity Identity() const {
        return UnitIdentity{static_cast<uint16_t>(vendorId), static_cast<uint16_t>(productId),
                            serial};
    }
};

class DeviceAccess {
  public:
    // `backends` makes the backends of every new device object; empty gives
    // libusb and the emulator sockets.
    explicit DeviceAccess(BackendFactory backends = {});
    ~DeviceAccess();  // closes the device object
    DeviceAccess(const DeviceAccess&) = delete;
    DeviceAccess& operator=(const DeviceAccess&) = delete;

    // Makes a new device object in place of the previous one (which lives on
    // while someone holds it), starts plug notifications when a callback is
    // given, and opens device 0 when there is one. nullptr only when the
    // object cannot be built.
    std::shared_ptr<UsbDevice> CreateDevice(PlugCallback plug = {});
    // The device object made last, or nullptr.
    std::shared_ptr<UsbDevice> Device() const;
    // The device object made last, or a new one when there is none.
    std::shared_ptr<UsbDevice> DeviceOrNew();
    // Closes and drops the device object.
    void DropDevice();

    SelectedUnit Selected() const;
    void Select(const SelectedUnit& unit);

  private:
    BackendFactory m_backends;
    mutable std::mutex m_mutex;  // the device object and the selection
    std::shared_ptr<UsbDevice> m_device;
    SelectedUnit m_selected;
};

}  // namespace qv
