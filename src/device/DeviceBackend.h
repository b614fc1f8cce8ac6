// What the device object needs from a way of reaching instruments. There are
// two: libusb for real units and Unix-domain sockets for emulated ones. Nothing
// above the device object can tell them apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "device/UsbTypes.h"

namespace qv {

// One present device as enumeration found it. The key is stable while the
// device stays attached and is what plug notifications name. The product id
// and serial are what could be learnt without opening the device (0 and empty
// when nothing could), so that a unit the user may not open can still be named.
struct DeviceRef {
    std::string key;
    uint16_t productId = 0;
    std::string serial;
};

// Why a present device could not be opened.
enum class OpenFailure {
    kNone,
    kGone,      // unplugged meanwhile
    kNoAccess,  // the user has no permission on the device node
    kBusy,      // another program holds the interface
    kOther,
};

// The descriptors read when a device is opened.
struct DeviceDescriptors {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t release = 0;  // bcdDevice
    std::u16string manufacturer;
    std::u16string product;
    std::u16string serial;
    std::vector<EndpointInfo> endpoints;  // of the active interface; time-outs unset
};

// An opened device. Transfers block the caller; a transfer that does not end
// within its time-out is aborted and has failed with kTimeout.
class IDeviceLink {
  public:
    virtual ~IDeviceLink() = default;
    virtual const DeviceDescriptors& Descriptors() const = 0;
    // Moves up to `length` bytes; `length` becomes the count actually moved.
    virtual TransferStatus Transfer(uint8_t endpoint, uint8_t* data, size_t& length,
                                    unsigned timeoutMs) = 0;
};

using PlugCallback = std::function<void(PlugEvent, const std::string& key)>;

// What a backend that watches by listing its devices reports between two
// lists: the devices that went away, then the ones that came.
inline void ReportPlugChanges(const std::set<std::string>& before, const std::set<std::string>& now,
                              const PlugCallback& callback) {
    for (const auto& k : before)
        if (!now.count(k)) callback(PlugEvent::kRemoval, k);
    for (const auto& k : now)
        if (!before.count(k)) callback(PlugEvent::kArrival, k);
}

class IDeviceBackend {
  public:
    virtual ~IDeviceBackend() = default;
    // Present devices of the instrument family, in a stable order.
    virtual std::vector<DeviceRef> Enumerate() = 0;
    // Opens one; nullptr when it cannot be opened, with the reason in `why`
    // when it is given.
    virtual std::unique_ptr<IDeviceLink> Open(const DeviceRef& ref,
                                              OpenFailure* why = nullptr) = 0;
    // Starts reporting arrivals and removals on a thread of the backend's own
    // until StopWatching. The callback must not call back into the backend.
    virtual void StartWatching(PlugCallback callback) = 0;
    virtual void StopWatching() = 0;
};

}  // namespace qv
