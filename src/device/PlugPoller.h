// Plug notifications for a backend that has none of its own: the list of
// units is taken again at an interval and compared with the one before.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "device/DeviceBackend.h"

namespace qv {

class PlugPoller {
  public:
    using Keys = std::function<std::set<std::string>()>;

    PlugPoller() = default;
    // An owner whose `keys` uses its members stops the poller in its own
    // destructor, before those members go.
    ~PlugPoller() { Stop(); }
    PlugPoller(const PlugPoller&) = delete;
    PlugPoller& operator=(const PlugPoller&) = delete;

    // Takes the starting list before returning, so that a change right after
    // the call is reported, then polls on a thread of its own until Stop.
    void Start(Keys keys, PlugCallback callback, std::chrono::milliseconds interval);
    void Stop();

  private:
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
};

// The keys of the units a backend enumerates.
std::set<std::string> KeysOf(const std::vector<DeviceRef>& units);

}  // namespace qv
