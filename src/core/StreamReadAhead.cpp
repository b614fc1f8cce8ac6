#include "core/StreamReadAhead.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qv {

StreamReadAhead::StreamReadAhead(int fd) : m_fd(fd) {
    for (Block& b : m_blocks)
        b.bytes.reset(new uint8_t[kCarryRoom + kBlockSize]);
    m_thread = std::thread([this] { ReadLoop(); });
}

StreamReadAhead::~StreamReadAhead() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

StreamReadAhead::FillEnd StreamReadAhead::Fill(Block& block) {
    uint8_t* const bytes = block.bytes.get() + kCarryRoom;
    block.size = 0;
    while (block.size < kBlockSize) {
        // A pipe may stay silent for ever: wait in short steps, so that a
        // decode that ended early does not wait for its writer; and what a
        // pipe gave is handed on once it pauses, not when the block is full.
        pollfd p{m_fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, block.size > 0 ? 0 : 100);
        if (ready < 0 && errno != EINTR) return FillEnd::kFailed;
        if (ready == 0 && block.size > 0) return FillEnd::kMore;
        if (ready <= 0) {
            std::lock_guard lock(m_mutex);
            if (m_stop) return FillEnd::kStopped;
            continue;
        }
        const ssize_t n = ::read(m_fd, bytes + block.size, kBlockSize - block.size);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return FillEnd::kFailed;
        }
        if (n == 0) return FillEnd::kEndOfStream;
        block.size += static_cast<size_t>(n);
    }
    return FillEnd::kMore;
}

void StreamReadAhead::ReadLoop() {
    for (size_t at = 0;; at = (at + 1) % kBlocks) {
        Block& block = m_blocks[at];
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stop || !block.filled; });
            if (m_stop) return;
        }
        // A block that is not filled is this thread's alone.
        const FillEnd end = Fill(block);
        {
            std::lock_guard lock(m_mutex);
            if (end == FillEnd::kStopped) return;
            m_failed = end == FillEnd::kFailed;
            m_ended = end != FillEnd::kMore;
            block.filled = true;
        }
        m_changed.notify_all();
        if (end != FillEnd::kMore) return;
    }
}

std::span<const uint8_t> StreamReadAhead::Next(std::span<const uint8_t> carry) {
    const size_t current = (m_next + kBlocks - 1) % kBlocks;
    Block& block = m_blocks[m_next];
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return block.filled || m_ended; });
    if (!block.filled || block.size == 0) return {};
    // The carried bytes live in the block handed out last: they are copied
    // before that block goes back to the reader.
    uint8_t* const start = block.bytes.get() + kCarryRoom - carry.size();
    if (!carry.empty()) std::memmove(start, carry.data(), carry.size());
    if (m_holding) {
        m_blocks[current].filled = false;
        m_changed.notify_all();
    }
    m_holding = true;
    m_next = (m_next + 1) % kBlocks;
    return {start, carry.size() + block.size};
}

bool StreamReadAhead::Failed() const {
    std::lock_guard lock(m_mutex);
    return m_failed;
}

}  // namespace qv
