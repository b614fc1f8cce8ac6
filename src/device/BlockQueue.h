// The bytes read from the instrument on their way to decoding and the disk:
// whole read steps (blocks of up to 1 MiB + 512 bytes), handed from the
// capture thread, which reads, to the writing thread, which decodes and
// writes the chunk files. Reading thus never waits for the disk; only when
// the queue is full does the instrument's own buffer take the strain.
//
// The queue is bounded twice: by memory (the limit given, a setting) and by
// time, so that what waits never takes much more than a second to write at
// the pace the writing side has lately kept. The second bound keeps the live
// rows close to the line and lets a stop finish promptly on a slow disk; on
// a disk that keeps up it lets a short stall fill the whole memory bound.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace qv {

struct StreamBlock {
    static constexpr size_t kCapacity = 0x100000 + 512;  // one 512-byte read and one of 1 MiB
    StreamBlock() : bytes(new uint8_t[kCapacity]) {}
    uint8_t* FreeSpace() { return bytes.get() + size; }
    size_t FreeSize() const { return kCapacity - size; }

    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
    // When the last read that added bytes ended: the line had reached each
    // of its records by then.
    std::chrono::steady_clock::time_point lastRead{};
};

class BlockQueue {
  public:
    // How long what waits may take to write, at the writer's recent pace.
    static constexpr double kDrainSeconds = 0.5;
    // What may always wait, whatever the pace.
    static constexpr size_t kMinBytes = 64 * 1024;

    // `limitBytes`: the memory the blocks may take (at least two blocks).
    explicit BlockQueue(size_t limitBytes);

    // A new run: empty, open, the pace forgotten, `limitBytes` the new bound.
    void Reset(size_t limitBytes);
    size_t LimitBytes() const;

    // --- the reading side
    // An empty block to read into; null while the queue is full.
    std::unique_ptr<StreamBlock> Take();
    // How many more bytes may be read now, besides `pending` read into a
    // block not yet handed over.
    size_t Room(size_t pending) const;
    // Hands a block over; an empty one goes back to the spares.
    void Push(std::unique_ptr<StreamBlock> block);
    // Whether the writing side waits for a block: hand over at once.
    bool WriterIdle() const;
    // Blocks handed over and not yet taken by the writing side.
    bool HasBlocks() const;
    // No more blocks: the writing side finishes after the last.
    void Close();

    // --- the writing side
    enum class Got { kBlock, kClosed, kQuit, kTimedOut };
    // Waits for a block (kBlock), for the close once every block before it
    // was taken (kClosed, once per close), or for Quit; kTimedOut when none
    // of them came within `wait`.
    Got Pop(std::unique_ptr<StreamBlock>& block,
            std::chrono::milliseconds wait = std::chrono::milliseconds::max());
    // A block taken by Pop is done; it took `seconds` to decode and write.
    void Done(std::unique_ptr<StreamBlock> block, double seconds);
    void Quit();

    // Bytes handed over and not yet written.
    uint64_t QueuedBytes() const;
    // Read steps skipped because the queue was full.
    uint64_t TimesFull() const;

  private:
    using Clock = std::chrono::steady_clock;
    size_t TimeBoundLocked() const;

    size_t m_maxBlocks;
    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::unique_ptr<StreamBlock>> m_blocks;
    std::vector<std::unique_ptr<StreamBlock>> m_spares;
    size_t m_allocated = 0;  // blocks in existence: queued, spare, being read or written
    uint64_t m_queuedBytes = 0;
    bool m_writing = false;  // the writer holds a block
    bool m_closing = false;
    bool m_quit = false;
    // The writer's pace: bytes written per second of its work, over about
    // the last kPaceWindow seconds of it (older work counts less and less),
    // so that a disk which takes some writes into memory at once and makes
    // others wait is judged by what it does over time. 0: unknown.
    static constexpr double kPaceWindow = 2.0;
    double m_paceBytes = 0, m_paceSeconds = 0;
    double m_pace = 0;
    Clock::time_point m_writingSince;  // when the writer took its block
    size_t m_writingBytes = 0;
    uint64_t m_timesFull = 0;
};

// The default memory bound: a sixteenth of the machine's memory, between
// 32 MiB and 1 GiB.
size_t DefaultReadQueueBytes();

}  // namespace qv
