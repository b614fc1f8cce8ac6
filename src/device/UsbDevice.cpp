#include "device/UsbDevice.h"

#include "device/LibusbBackend.h"
#include "device/SimSocketBackend.h"

namespace qv {

unsigned DefaultTimeoutMs(uint8_t address) {
    switch (address) {
        case kEpControlWord:
            return kTimeoutControlWordMs;
        case kEpCommand:
            return kTimeoutCommandMs;
        case kEpReply:
            return kTimeoutReplyMs;
        case kEpStream:
            return kTimeoutStreamMs;
        default:
            return 1000;
    }
}

UsbDevice::UsbDevice(std::vector<std::unique_ptr<IDeviceBackend>> backends)
    : m_backends(std::move(backends)) {}

UsbDevice::~UsbDevice() {
    SetPlugListener({});
    Close();
}

int UsbDevice::GetDeviceCount() {
    std::vector<Entry> found;
    for (auto& b : m_backends)
        for (auto& ref : b->Enumerate())
            if (found.size() < static_cast<size_t>(kMaxDevices)) found.push_back({b.get(), ref});
    std::lock_guard lock(m_mutex);
    m_devices = std::move(found);
    m_counted = true;
    return static_cast<int>(m_devices.size());
}

bool UsbDevice::Open(int index) {
    Close();
    if (!m_counted) GetDeviceCount();
    Entry entry;
    {
        std::lock_guard lock(m_mutex);
        m_lastFailure = OpenFailure::kGone;
        if (index < 0 || index >= static_cast<int>(m_devices.size())) return false;
        entry = m_devices[static_cast<size_t>(index)];
    }
    OpenFailure why = OpenFailure::kOther;
    std::unique_ptr<IDeviceLink> link = entry.backend->Open(entry.ref, &why);
    std::lock_guard lock(m_mutex);
    m_lastFailure = link ? OpenFailure::kNone : why;
    if (!link) return false;
    m_endpoints.clear();
    EndpointInfo control;
    control.address = kEpControl;
    control.type = TransferType::kControl;
    control.maxPacketSize = 64;
    control.timeoutMs = DefaultTimeoutMs(kEpControl);
    m_endpoints.push_back(control);
    for (EndpointInfo ep : link->Descriptors().endpoints) {
        ep.timeoutMs = DefaultTimeoutMs(ep.address);
        m_endpoints.push_back(ep);
    }
    m_link = std::move(link);
    m_openIndex = index;
    return true;
}

OpenFailure UsbDevice::LastOpenFailure() const {
    std::lock_guard lock(m_mutex);
    return m_lastFailure;
}

std::optional<DeviceRef> UsbDevice::CountedDevice(int index) const {
    std::lock_guard lock(m_mutex);
    if (index < 0 || index >= static_cast<int>(m_devices.size())) return std::nullopt;
    return m_devices[static_cast<size_t>(index)].ref;
}

bool UsbDevice::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_link != nullptr;
}

void UsbDevice::Close() {
    std::lock_guard lock(m_mutex);
    m_link.reset();
    m_endpoints.clear();
    m_openIndex = -1;
}

UnitIdentity UsbDevice::GetIdentity() const {
    std::lock_guard lock(m_mutex);
    if (!m_link) return {};
    const auto& d = m_link->Descriptors();
    return UnitIdentity{d.vendorId, d.productId, SerialTextFromUtf16(d.serial)};
}

uint16_t UsbDevice::GetDeviceRelease() const {
    std::lock_guard lock(m_mutex);
    return m_link ? m_link->Descriptors().release : 0;
}

std::u16string UsbDevice::GetManufacturer() const {
    std::lock_guard lock(m_mutex);
    return m_link ? m_link->Descriptors().manufacturer : std::u16string();
}

std::u16string UsbDevice::GetProduct() const {
    std::lock_guard lock(m_mutex);
    return m_link ? m_link->Descriptors().product : std::u16string();
}

std::optional<EndpointInfo> UsbDevice::GetEndpoint(uint8_t address) const {
    std::lock_guard lock(m_mutex);
    for (const auto& ep : m_endpoints)
        if (ep.address == address) return ep;
    return std::nullopt;
}

bool UsbDevice::SetTimeout(uint8_t address, unsigned ms) {
    std::lock_guard lock(m_mutex);
    for (auto& ep : m_endpoints)
        if (ep.address == address) {
            ep.timeoutMs = ms;
            return true;
        }
    return false;
}

TransferStatus UsbDevice::Transfer(uint8_t address, uint8_t* data, size_t& length) {
    // Held for the whole transfer: a Close from another thread waits until
    // the transfer has ended instead of freeing the link under it.
    std::lock_guard lock(m_mutex);
    size_t wanted = length;
    length = 0;
    if (!m_link || address == kEpControl) return TransferStatus::kError;
    for (const auto& ep : m_endpoints)
        if (ep.address == address) {
            length = wanted;
            return m_link->Transfer(address, data, length, ep.timeoutMs);
        }
    return TransferStatus::kError;
}

void UsbDevice::SetPlugListener(PlugCallback callback) {
    if (m_watching)
        for (auto& b : m_backends)
            b->StopWatching();
    m_watching = false;
    if (!callback) return;
    for (auto& b : m_backends)
        b->StartWatching(callback);
    m_watching = true;
}

std::vector<std::unique_ptr<IDeviceBackend>> MakeDefaultBackends() {
    std::vector<std::unique_ptr<IDeviceBackend>> v;
    v.push_back(std::make_unique<LibusbBackend>());
    v.push_back(std::make_unique<SimSocketBackend>());
    return v;
}

}  // namespace qv
