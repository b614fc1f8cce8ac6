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
        // A piece handed on before the end is still written.
        m_wake.wait(lock, [this] { return m_pending || m_stop; });
        if (!m_pending) return;
        const void* bytes = m_bytes;
        const size_t size = m_size;
        lock.unlock();
        const bool ok = m_write(bytes, size);
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

bool WriteBehind::HandOn(const void* bytes, size_t size) {
    const bool ok = Wait();
    if (!m_thread.joinable()) m_thread = std::thread([this] { Run(); });
    {
        std::lock_guard lock(m_mutex);
        m_bytes = bytes;
        m_size = size;
        m_pending = true;
    }
    m_wake.notify_one();
    return ok;
}

}  // namespace qv
