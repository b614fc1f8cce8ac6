// Reads a capture stream (a file, or standard input) on a thread of its own,
// a few blocks ahead of the decoder: the kernel's copy of the input then
// overlaps the decoding instead of coming before it.
//
// The decoder takes whole items only, so the bytes of an item cut at the end
// of a block are carried in front of the next block: every block has room
// for them before its first byte.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <thread>

namespace qv {

class StreamReadAhead {
  public:
    static constexpr size_t kBlockSize = size_t{4} << 20;
    // Room in front of a block for the bytes carried from the block before:
    // far more than the longest item.
    static constexpr size_t kCarryRoom = size_t{64} << 10;

    // Starts reading `fd`, which stays open and must outlive this object.
    explicit StreamReadAhead(int fd);
    // Stops the thread; a read still waiting for input is given up.
    ~StreamReadAhead();
    StreamReadAhead(const StreamReadAhead&) = delete;
    StreamReadAhead& operator=(const StreamReadAhead&) = delete;

    // `carry` (bytes of the block last returned, at most kCarryRoom), then
    // the next block's bytes, as one span that stays valid until the next
    // call. Empty at the end of the stream or after a read error; waits
    // while the block is being read. A block of a file is full but for the
    // last; one of a pipe holds what came before the pipe paused.
    std::span<const uint8_t> Next(std::span<const uint8_t> carry);
    // Whether reading failed (the stream then ends early).
    bool Failed() const;

  private:
    static constexpr size_t kBlocks = 3;
    struct Block {
        std::unique_ptr<uint8_t[]> bytes;  // kCarryRoom + kBlockSize
        size_t size = 0;                   // bytes read into it
        bool filled = false;
    };
    enum class FillEnd { kMore, kEndOfStream, kStopped, kFailed };
    void ReadLoop();
    // Reads until the block is full or a pipe pauses (kMore), the input
    // ends, or the reader is stopped.
    FillEnd Fill(Block& block);

    int m_fd;
    Block m_blocks[kBlocks];
    size_t m_next = 0;       // the block Next hands out after the current one
    bool m_holding = false;  // Next has handed out a block not yet given back
    bool m_ended = false;    // the reader has filled its last block
    bool m_failed = false;
    bool m_stop = false;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::thread m_thread;
};

}  // namespace qv
