#include "device/PlugPoller.h"

#include <utility>

namespace qv {

void PlugPoller::Start(Keys keys, PlugCallback callback, std::chrono::milliseconds interval) {
    Stop();
    {
        std::lock_guard lock(m_mutex);
        m_stop = false;
    }
    std::set<std::string> known = keys();
    m_thread = std::thread([this, keys = std::move(keys), callback = std::move(callback), interval,
                            known = std::move(known)]() mutable {
        std::unique_lock lock(m_mutex);
        while (!m_wake.wait_for(lock, interval, [this] { return m_stop; })) {
            lock.unlock();
            std::set<std::string> now = keys();
            ReportPlugChanges(known, now, callback);
            known = std::move(now);
            lock.lock();
        }
    });
}

void PlugPoller::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

std::set<std::string> KeysOf(const std::vector<DeviceRef>& units) {
    std::set<std::string> keys;
    for (const auto& u : units)
        keys.insert(u.key);
    return keys;
}

}  // namespace qv
