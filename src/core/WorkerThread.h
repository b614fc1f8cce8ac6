// One pass at a time on a thread of its own, for the workers behind the
// search, save and print dialogs. The pass polls a cancel flag; its thread is
// always joined, never killed, so the files it writes are left whole.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace qv {

class WorkerThread {
  public:
    using Pass = std::function<void(const std::atomic<bool>& cancel)>;

    WorkerThread() = default;
    // An owner whose pass uses its members stops the thread in its own
    // destructor, before those members go.
    ~WorkerThread() { Stop(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Runs `pass` on a new thread, then `last` once Running() has turned
    // false, so that a listener told by `last` that the pass is over finds
    // the worker idle. -1 while a pass still runs.
    int Start(Pass pass, std::function<void()> last = {});
    // Sets the cancel flag and waits for the pass to end.
    void Stop();
    // Waits for the pass to end by itself.
    void Wait();
    bool Running() const { return m_running.load(); }

  private:
    std::mutex m_lock;  // guards m_thread between Start, Stop and Wait
    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_running{false};
};

}  // namespace qv
