#include "device/DeviceAccess.h"

namespace qv {

DeviceAccess::DeviceAccess(BackendFactory backends) : m_backends(std::move(backends)) {}

DeviceAccess::~DeviceAccess() {
    DropDevice();
}

std::shared_ptr<UsbDevice> DeviceAccess::CreateDevice(PlugCallback plug) {
    // Built unlocked: counting the devices may take a while, and a reader of
    // the selection need not wait for it.
    auto dev = std::make_shared<UsbDevice>(m_backends ? m_backends() : MakeDefaultBackends());
    if (plug) dev->SetPlugListener(std::move(plug));
    if (dev->GetDeviceCount() > 0) dev->Open(0);
    std::lock_guard lock(m_mutex);
    m_device = dev;
    return dev;
}

std::shared_ptr<UsbDevice> DeviceAccess::Device() const {
    std::lock_guard lock(m_mutex);
    return m_device;
}

std::shared_ptr<UsbDevice> DeviceAccess::DeviceOrNew() {
    if (auto dev = Device()) return dev;
    return CreateDevice();
}

void DeviceAccess::DropDevice() {
    std::shared_ptr<UsbDevice> old;
    {
        std::lock_guard lock(m_mutex);
        old.swap(m_device);
    }
    if (old) old->Close();
}

SelectedUnit DeviceAccess::Selected() const {
    std::lock_guard lock(m_mutex);
    return m_selected;
}

void DeviceAccess::Select(const SelectedUnit& unit) {
    std::lock_guard lock(m_mutex);
    m_selected = unit;
}

}  // namespace qv
