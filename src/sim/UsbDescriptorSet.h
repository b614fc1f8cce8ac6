// The emulated instrument as USB describes it: the device descriptor, its one
// configuration (interface 0 with the four bulk endpoints) and the string
// descriptors, byte for byte as a device sends them. The emulated USB bus
// puts these bytes in sysfs, where libusb reads them at enumeration, and
// answers GET_DESCRIPTOR requests on the control endpoint with them.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "device/DeviceBackend.h"

namespace qv::sim {

// USB descriptor types and the standard request the device answers.
inline constexpr uint8_t kUsbDescDevice = 1;
inline constexpr uint8_t kUsbDescConfig = 2;
inline constexpr uint8_t kUsbDescString = 3;
inline constexpr uint8_t kUsbDescInterface = 4;
inline constexpr uint8_t kUsbDescEndpoint = 5;
inline constexpr uint8_t kUsbReqGetStatus = 0;
inline constexpr uint8_t kUsbReqGetDescriptor = 6;
inline constexpr uint8_t kUsbReqGetConfiguration = 8;
inline constexpr uint8_t kUsbReqSetConfiguration = 9;
// The one language the string descriptors are in: US English.
inline constexpr uint16_t kUsbLangUsEnglish = 0x0409;

// The 8-byte setup packet of a control transfer (multi-byte fields are
// little-endian on the wire).
struct UsbSetup {
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;

    static UsbSetup Parse(const uint8_t* p);
    bool IsIn() const { return (requestType & 0x80) != 0; }
};

class UsbDescriptorSet {
  public:
    // The descriptors of a device with this identity and these endpoints, all
    // on interface 0 of configuration 1.
    explicit UsbDescriptorSet(const DeviceDescriptors& d);

    const std::vector<uint8_t>& Device() const { return m_device; }
    const std::vector<uint8_t>& Configuration() const { return m_config; }
    // What the kernel shows in the device's sysfs attribute "descriptors":
    // the device descriptor followed by every configuration, whole.
    std::vector<uint8_t> SysfsDescriptors() const;
    // String descriptor `index` (0: the language list); nullopt for an index
    // or language the device does not have.
    std::optional<std::vector<uint8_t>> String(uint8_t index, uint16_t language) const;

    // The answer to a standard control request from the host: the data stage
    // of an IN request, cut to the length the host asked for, or an empty
    // answer for an OUT request the device accepts. nullopt: the device stalls
    // the request, as a device does with a request it does not know.
    std::optional<std::vector<uint8_t>> AnswerControl(const UsbSetup& setup) const;

  private:
    std::vector<uint8_t> m_device;
    std::vector<uint8_t> m_config;
    std::vector<std::u16string> m_strings;  // indices 1.. (manufacturer, product, serial)
};

}  // namespace qv::sim
