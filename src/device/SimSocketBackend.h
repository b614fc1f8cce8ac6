// The emulator backend: reaches emulated instruments (qvsim) through the
// Unix-domain sockets in one folder, one socket per attached instrument. A
// socket that appears is an arrival, one that goes away a removal, and a
// transfer to an instrument that went away fails with kNoDevice, as a USB
// transfer to an unplugged device does.
#pragma once

#include <string>

#include "device/DeviceBackend.h"
#include "device/PlugPoller.h"

namespace qv {

class SimSocketBackend : public IDeviceBackend {
  public:
    // `folder` empty: the folder of SimSocketFolder() at each enumeration.
    explicit SimSocketBackend(std::string folder = {});
    ~SimSocketBackend() override;

    std::vector<DeviceRef> Enumerate() override;
    std::unique_ptr<IDeviceLink> Open(const DeviceRef& ref, OpenFailure* why = nullptr) override;
    void StartWatching(PlugCallback callback) override;
    void StopWatching() override;

    // The key prefix that marks a device of this backend.
    static constexpr const char* kKeyPrefix = "sim:";

  private:
    std::string Folder() const;

    std::string m_folder;
    PlugPoller m_poller;
};

}  // namespace qv
