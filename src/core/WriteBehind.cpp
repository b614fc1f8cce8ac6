#include "core/WriteBehind.h"

namespace qv {

WriteBehind::~WriteBehind() {
    if (!m_thread.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void WriteBehind::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        // A write handed on before the end still runs.
        m_wake.wait(lock, [this] { return m_pending || m_stop; });
        if (!m_pending) return;
        Write write = std::move(m_write);
        lock.unlock();
        const bool ok = write();
        lock.lock();
        m_result = ok;
        m_pending = false;
        m_done.notify_one();
    }
}

bool WriteBehind::Wait() {
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [this] { return !m_pending; });
    const bool ok = m_result;
    m_result = true;
    return ok;
}

bool WriteBehind::HandOn(Write write) {
    const bool ok = Wait();
    if (!m_thread.joinable()) m_thread = std::thread([this] { Run(); });
    {
        std::lock_guard lock(m_mutex);
        m_write = std::move(write);
        m_pending = true;
    }
    m_wake.notify_one();
    return ok;
}

}  // namespace qv
