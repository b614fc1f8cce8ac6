// The device object: the one component through which the program finds
// instruments, opens one, learns its identity, moves bytes over its endpoints
// and hears about plugging. It gathers the devices of every backend (libusb
// for real units, sockets for emulated ones) into one list, so a caller sees
// indices 0..count-1 and never which backend carries a device.
//
// DeviceAccess makes it; callers hold it by shared_ptr, so replacing it never
// pulls it from under a user.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/DeviceBackend.h"
#include "device/UsbTypes.h"

namespace qv {

class UsbDevice {
  public:
    // Devices beyond this many are not counted.
    static constexpr int kMaxDevices = 255;

    explicit UsbDevice(std::vector<std::unique_ptr<IDeviceBackend>> backends);
    ~UsbDevice();
    UsbDevice(const UsbDevice&) = delete;
    UsbDevice& operator=(const UsbDevice&) = delete;

    // Enumerates every backend afresh; 0..255.
    int GetDeviceCount();
    // Closes any open device, then opens device `index` of the last count
    // (counting first when there was none). Reads the descriptors and builds
    // the endpoint list with the default time-outs. False leaves it closed.
    bool Open(int index);
    bool IsOpen() const;
    void Close();
    // The index opened last, or -1.
    int OpenIndex() const { return m_openIndex; }
    // Why the last Open failed (kNone after a successful one).
    OpenFailure LastOpenFailure() const;
    // What the last count learnt of device `index` without opening it.
    std::optional<DeviceRef> CountedDevice(int index) const;

    // Of the open device; empty values when none is open.
    UnitIdentity GetIdentity() const;
    uint16_t GetDeviceRelease() const;
    std::u16string GetManufacturer() const;
    std::u16string GetProduct() const;

    // The endpoint with this address (0: the control endpoint), or nullopt.
    std::optional<EndpointInfo> GetEndpoint(uint8_t address) const;
    // False when the open device has no such endpoint.
    bool SetTimeout(uint8_t address, unsigned ms);

    // Moves up to `length` bytes over the endpoint within its time-out; a
    // transfer that does not finish in time is aborted and fails (kTimeout).
    // `length` becomes the count that moved. No open device, or no such
    // endpoint: kError without moving anything.
    TransferStatus Transfer(uint8_t address, uint8_t* data, size_t& length);

    // The 512-byte packet buffers the command protocol builds in. The
    // command buffer keeps its earlier bytes beyond what a command sets.
    std::array<uint8_t, kPacketBufferSize>& CommandBuffer() { return m_command; }
    std::array<uint8_t, kPacketBufferSize>& ReplyBuffer() { return m_reply; }

    // Arrival and removal of devices of the family, called on a backend's
    // thread; an empty callback stops the notifications.
    void SetPlugListener(PlugCallback callback);

  private:
    struct Entry {
        IDeviceBackend* backend;
        DeviceRef ref;
    };

    std::vector<std::unique_ptr<IDeviceBackend>> m_backends;
    std::vector<Entry> m_devices;
    bool m_counted = false;
    mutable std::mutex m_mutex;  // guards the link, its descriptors and endpoints
    std::unique_ptr<IDeviceLink> m_link;
    int m_openIndex = -1;
    OpenFailure m_lastFailure = OpenFailure::kNone;
    std::vector<EndpointInfo> m_endpoints;
    std::array<uint8_t, kPacketBufferSize> m_command{};
    std::array<uint8_t, kPacketBufferSize> m_reply{};
    bool m_watching = false;
};

// The time-out an endpoint starts with (200 ms for 0x01 and 0x02, 1000 ms for
// 0x86, 100 ms for 0x88, 1000 ms otherwise).
unsigned DefaultTimeoutMs(uint8_t address);

// The backends a new device object gets: tests give their own; the default
// is libusb and the emulator sockets.
using BackendFactory = std::function<std::vector<std::unique_ptr<IDeviceBackend>>()>;
std::vector<std::unique_ptr<IDeviceBackend>> MakeDefaultBackends();

}  // namespace qv
