#include "core/WorkerThread.h"

#include <utility>

namespace qv {

int WorkerThread::Start(Pass pass, std::function<void()> last) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_running.load()) return -1;
    if (m_thread.joinable()) m_thread.join();  // a finished pass's thread
    m_cancel = false;
    m_running = true;
    m_thread = std::thread([this, pass = std::move(pass), last = std::move(last)] {
        pass(m_cancel);
        m_running = false;
        if (last) last();
    });
    return 0;
}

void WorkerThread::Stop() {
    m_cancel = true;
    Wait();
}

void WorkerThread::Wait() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_thread.joinable()) m_thread.join();
}

}  // namespace qv
