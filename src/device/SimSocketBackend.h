// The emulator backend: reaches emulated instruments (qvsim) through the
// Unix-domain sockets in one folder, one socket per attached instrument. A
// socket that appears is an arrival, one that goes away a removal, and a
// transfer to an instrument that went away fails with kNoDevice, as a USB
// transfer to an unplugged device does.
#pragma once

#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "device/DeviceBackend.h"

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
    void WatchLoop(PlugCallback callback);

    std::string m_folder;
    std::thread m_watcher;
    std::mutex m_mutex;
    std::set<std::string> m_known;  // handed from StartWatching to the watcher
    std::condition_variable m_wake;
    bool m_stop = false;
};

}  // namespace qv
