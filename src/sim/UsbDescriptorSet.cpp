#include "sim/UsbDescriptorSet.h"

#include <algorithm>

namespace qv::sim {

namespace {

// String descriptor indices of the device descriptor.
constexpr uint8_t kStringManufacturer = 1;
constexpr uint8_t kStringProduct = 2;
constexpr uint8_t kStringSerial = 3;
// Configuration value and bMaxPower (in 2 mA units: 100 mA).
constexpr uint8_t kConfigValue = 1;
constexpr uint8_t kMaxPower = 50;
// Vendor-specific interface class: the instrument follows no USB class.
constexpr uint8_t kClassVendor = 0xFF;

void PutLe16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

}  // namespace

UsbSetup UsbSetup::Parse(const uint8_t* p) {
    UsbSetup s;
    s.requestType = p[0];
    s.request = p[1];
    s.value = static_cast<uint16_t>(p[2] | (p[3] << 8));
    s.index = static_cast<uint16_t>(p[4] | (p[5] << 8));
    s.length = static_cast<uint16_t>(p[6] | (p[7] << 8));
    return s;
}

UsbDescriptorSet::UsbDescriptorSet(const DeviceDescriptors& d)
    : m_strings{d.manufacturer, d.product, d.serial} {
    // Device descriptor (18 bytes): USB 2.0, class given per interface,
    // 64-byte control endpoint, one configuration.
    m_device = {18, kUsbDescDevice};
    PutLe16(m_device, 0x0200);
    m_device.insert(m_device.end(), {0, 0, 0, 64});
    PutLe16(m_device, d.vendorId);
    PutLe16(m_device, d.productId);
    PutLe16(m_device, d.release);
    m_device.insert(m_device.end(), {kStringManufacturer, kStringProduct, kStringSerial, 1});

    // Configuration 1: one interface whose endpoints are all of the device's.
    std::vector<uint8_t> body = {9,
                                 kUsbDescInterface,
                                 0,  // interface number
                                 0,  // alternate setting
                                 static_cast<uint8_t>(d.endpoints.size()),
                                 kClassVendor,
                                 0,
                                 0,
                                 0};
    for (const EndpointInfo& ep : d.endpoints) {
        body.insert(body.end(), {7, kUsbDescEndpoint, ep.address, static_cast<uint8_t>(ep.type)});
        PutLe16(body, ep.maxPacketSize);
        body.push_back(0);  // bInterval: unused for bulk endpoints
    }
    m_config = {9, kUsbDescConfig};
    PutLe16(m_config, static_cast<uint16_t>(9 + body.size()));
    // One interface, configuration value 1, no string, bus-powered (bit 7 is
    // always set), 100 mA.
    m_config.insert(m_config.end(), {1, kConfigValue, 0, 0x80, kMaxPower});
    m_config.insert(m_config.end(), body.begin(), body.end());
}

std::vector<uint8_t> UsbDescriptorSet::SysfsDescriptors() const {
    std::vector<uint8_t> out = m_device;
    out.insert(out.end(), m_config.begin(), m_config.end());
    return out;
}

std::optional<std::vector<uint8_t>> UsbDescriptorSet::String(uint8_t index,
                                                             uint16_t language) const {
    std::vector<uint8_t> out;
    if (index == 0) {
        out = {4, kUsbDescString};
        PutLe16(out, kUsbLangUsEnglish);
        return out;
    }
    if (language != kUsbLangUsEnglish || index > m_strings.size()) return std::nullopt;
    // bLength is one byte: a string holds at most 126 UTF-16 code units.
    const std::u16string& s = m_strings[index - 1];
    size_t units = std::min<size_t>(s.size(), 126);
    out = {static_cast<uint8_t>(2 + 2 * units), kUsbDescString};
    for (size_t i = 0; i < units; ++i)
        PutLe16(out, static_cast<uint16_t>(s[i]));
    return out;
}

std::optional<std::vector<uint8_t>> UsbDescriptorSet::AnswerControl(const UsbSetup& setup) const {
    // Only standard requests to the device itself; anything else stalls.
    if ((setup.requestType & 0x7F) != 0) return std::nullopt;
    std::vector<uint8_t> data;
    switch (setup.request) {
        case kUsbReqGetDescriptor: {
            if (!setup.IsIn()) return std::nullopt;
            const uint8_t type = static_cast<uint8_t>(setup.value >> 8);
            const uint8_t index = static_cast<uint8_t>(setup.value);
            if (type == kUsbDescDevice && index == 0) {
                data = m_device;
            } else if (type == kUsbDescConfig && index == 0) {
                data = m_config;
            } else if (type == kUsbDescString) {
                auto s = String(index, setup.index);
                if (!s) return std::nullopt;
                data = std::move(*s);
            } else {
                return std::nullopt;
            }
            break;
        }
        case kUsbReqGetStatus:
            if (!setup.IsIn()) return std::nullopt;
            data = {0, 0};  // bus-powered, no remote wake-up
            break;
        case kUsbReqGetConfiguration:
            if (!setup.IsIn()) return std::nullopt;
            data = {kConfigValue};
            break;
        case kUsbReqSetConfiguration:
            if (setup.IsIn() || (setup.value != kConfigValue && setup.value != 0))
                return std::nullopt;
            return data;
        default:
            return std::nullopt;
    }
    if (data.size() > setup.length) data.resize(setup.length);
    return data;
}

}  // namespace qv::sim
