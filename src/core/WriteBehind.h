// Writes of a long pass made on a thread of their own, one at a time and in
// the order handed on, while the caller fills the next piece: with two
// buffers, making the bytes and writing them overlap. A piece's result comes
// back when the caller hands on the next piece or waits, so a failure is
// known before anything is handed on after the piece that failed.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>

namespace qv {

class WriteBehind {
  public:
    // Writes one piece; true when all of it was written. Runs on the thread.
    using Write = std::function<bool(const void* bytes, size_t size)>;

    explicit WriteBehind(Write write) : m_write(std::move(write)) {}
    // Waits for a piece still being written.
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Waits until the piece handed on before is written, hands on this one
    // (its bytes must stay as they are until the next HandOn or Wait) and
    // returns the result of the one before: true when it was written, or
    // when there was none.
    bool HandOn(const void* bytes, size_t size);
    // Waits until the piece handed on is written and returns its result
    // (true when there was none). What the writes use is the caller's again.
    bool Wait();

  private:
    void Run();

    Write m_write;
    std::mutex m_mutex;
    std::condition_variable m_wake;  // a piece, or the end, for the thread
    std::condition_variable m_done;  // the piece is written
    const void* m_bytes = nullptr;
    size_t m_size = 0;
    bool m_pending = false;
    bool m_result = true;  // of the last piece, until it is told
    bool m_stop = false;
    std::thread m_thread;  // started with the first piece
};

}  // namespace qv
