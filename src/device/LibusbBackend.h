// The backend for real instruments: libusb-1.0 with bulk transfers. A device
// of the family is vendor 0x14D2 with product 0x0010 or 0x0011. Plugging is
// reported by libusb's hotplug callbacks where the platform has them, else by
// looking at the device list once a second. Without USB at all (libusb cannot
// start, as on a machine with no /sys/bus/usb) the backend finds no device.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "device/DeviceBackend.h"
#include "device/PlugPoller.h"

struct libusb_context;

namespace qv {

class LibusbBackend : public IDeviceBackend {
  public:
    LibusbBackend();
    ~LibusbBackend() override;
    LibusbBackend(const LibusbBackend&) = delete;
    LibusbBackend& operator=(const LibusbBackend&) = delete;

    // False when libusb could not be started; the backend then finds nothing.
    bool Available() const { return m_ctx != nullptr; }

    std::vector<DeviceRef> Enumerate() override;
    std::unique_ptr<IDeviceLink> Open(const DeviceRef& ref, OpenFailure* why = nullptr) override;
    void StartWatching(PlugCallback callback) override;
    void StopWatching() override;

    static constexpr const char* kKeyPrefix = "usb:";

  private:
    void EventLoop();

    libusb_context* m_ctx = nullptr;
    PlugCallback m_callback;
    std::thread m_thread;
    PlugPoller m_poller;  // where libusb has no hotplug callbacks
    std::atomic<bool> m_stop{false};
    int m_hotplugHandle = 0;
    bool m_hotplugRegistered = false;
};

}  // namespace qv
