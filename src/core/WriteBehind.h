// Writes of a long pass made on a thread of their own, one at a time and in
// the order handed on, while the caller fills the next buffer: with two
// buffers, making the bytes and writing them overlap. A write's result comes
// back when the caller hands on the next one or waits, so a failure is known
// before anything is handed on after the write that failed.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace qv {

class WriteBehind {
  public:
    // Writes what was handed on; true when all of it was written. Runs on
    // the thread.
    using Write = std::function<bool()>;

    WriteBehind() = default;
    // Waits for a write still going on.
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Waits until the write handed on before has run, hands on this one
    // (what it writes must stay as it is until the next HandOn or Wait) and
    // returns the result of the one before: true when it succeeded, or when
    // there was none.
    bool HandOn(Write write);
    // Waits until the write handed on has run and returns its result (true
    // when there was none). What the writes use is the caller's again.
    bool Wait();

  private:
    void Run();

    std::mutex m_mutex;
    std::condition_variable m_wake;  // a write, or the end, for the thread
    std::condition_variable m_done;  // the write has run
    Write m_write;
    bool m_pending = false;
    bool m_result = true;  // of the last write, until it is told
    bool m_stop = false;
    std::thread m_thread;  // started with the first write
};

}  // namespace qv
