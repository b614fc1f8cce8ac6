#include "device/BlockQueue.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace qv {

namespace {
// Spare blocks kept for the next reads; more go back to the system, so that
// a burst does not leave the memory bound taken for the rest of the run.
constexpr size_t kSpares = 4;
}  // namespace

size_t DefaultReadQueueBytes() {
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
    const uint64_t memory =
        pages > 0 && pageSize > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize)
                                  : 0;
    return static_cast<size_t>(std::clamp<uint64_t>(memory / 16, 32u << 20, 1u << 30));
}

namespace {
size_t BlocksFor(size_t bytes) {
    return std::max<size_t>(2, bytes / StreamBlock::kCapacity);
}
}  // namespace

BlockQueue::BlockQueue(size_t limitBytes) : m_maxBlocks(BlocksFor(limitBytes)) {}

size_t BlockQueue::LimitBytes() const {
    std::lock_guard lock(m_mutex);
    return m_maxBlocks * StreamBlock::kCapacity;
}

void BlockQueue::Reset(size_t limitBytes) {
    std::lock_guard lock(m_mutex);
    m_maxBlocks = BlocksFor(limitBytes);
    while (!m_blocks.empty()) {
        m_blocks.front()->size = 0;
        if (m_spares.size() < kSpares)
            m_spares.push_back(std::move(m_blocks.front()));
        else
            --m_allocated;
        m_blocks.pop_front();
    }
    m_queuedBytes = 0;
    m_closing = false;
    m_pace = m_paceBytes = m_paceSeconds = 0;
    m_timesFull = 0;
}

size_t BlockQueue::TimeBoundLocked() const {
    double pace = m_pace;
    // A block the writer has been on for a while says the disk is slow now,
    // before the block is done.
    if (m_writing) {
        const double busy = std::chrono::duration<double>(Clock::now() - m_writingSince).count();
        if (busy > kDrainSeconds / 4) {
            const double now = static_cast<double>(m_writingBytes) / busy;
            pace = pace <= 0 ? now : std::min(pace, now);
        }
    }
    if (pace <= 0) return SIZE_MAX;
    return std::max(kMinBytes, static_cast<size_t>(pace * kDrainSeconds));
}

size_t BlockQueue::Room(size_t pending) const {
    std::lock_guard lock(m_mutex);
    const size_t bound = TimeBoundLocked();
    const uint64_t held = m_queuedBytes + pending;
    return held >= bound ? 0 : bound == SIZE_MAX ? SIZE_MAX : static_cast<size_t>(bound - held);
}

std::unique_ptr<StreamBlock> BlockQueue::Take() {
    std::lock_guard lock(m_mutex);
    const bool room = m_queuedBytes < TimeBoundLocked() &&
                      (!m_spares.empty() || m_allocated < m_maxBlocks);
    if (!room) {
        ++m_timesFull;
        return nullptr;
    }
    if (!m_spares.empty()) {
        auto block = std::move(m_spares.back());
        m_spares.pop_back();
        return block;
    }
    ++m_allocated;
    return std::make_unique<StreamBlock>();
}

void BlockQueue::Push(std::unique_ptr<StreamBlock> block) {
    if (!block) return;
    {
        std::lock_guard lock(m_mutex);
        if (block->size == 0) {
            m_spares.push_back(std::move(block));
            return;
        }
        m_queuedBytes += block->size;
        m_blocks.push_back(std::move(block));
    }
    m_ready.notify_one();
}

bool BlockQueue::HasBlocks() const {
    std::lock_guard lock(m_mutex);
    return !m_blocks.empty();
}

bool BlockQueue::WriterIdle() const {
    std::lock_guard lock(m_mutex);
    return m_blocks.empty() && !m_writing;
}

void BlockQueue::Close() {
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_ready.notify_one();
}

void BlockQueue::Quit() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_ready.notify_all();
}

BlockQueue::Got BlockQueue::Pop(std::unique_ptr<StreamBlock>& block,
                                std::chrono::milliseconds wait) {
    std::unique_lock lock(m_mutex);
    const auto ready = [this] { return m_quit || !m_blocks.empty() || m_closing; };
    if (wait == std::chrono::milliseconds::max())
        m_ready.wait(lock, ready);
    else if (!m_ready.wait_for(lock, wait, ready))
        return Got::kTimedOut;
    if (!m_blocks.empty()) {
        block = std::move(m_blocks.front());
        m_blocks.pop_front();
        m_writing = true;
        m_writingSince = Clock::now();
        m_writingBytes = block->size;
        return Got::kBlock;
    }
    if (m_closing) {
        m_closing = false;
        return Got::kClosed;
    }
    return Got::kQuit;
}

void BlockQueue::Done(std::unique_ptr<StreamBlock> block, double seconds) {
    std::lock_guard lock(m_mutex);
    m_writing = false;
    if (!block) return;
    m_queuedBytes -= std::min<uint64_t>(m_queuedBytes, block->size);
    // A small block says little of the disk unless it took long; one
    // decoded in no measurable time says nothing.
    if (seconds > 0 && (block->size >= kMinBytes || seconds >= kDrainSeconds / 4)) {
        const double keep = std::exp(-seconds / kPaceWindow);
        m_paceBytes = m_paceBytes * keep + static_cast<double>(block->size);
        m_paceSeconds = m_paceSeconds * keep + seconds;
        m_pace = m_paceBytes / m_paceSeconds;
    }
    block->size = 0;
    if (m_spares.size() < kSpares)
        m_spares.push_back(std::move(block));
    else
        --m_allocated;
}

uint64_t BlockQueue::QueuedBytes() const {
    std::lock_guard lock(m_mutex);
    return m_queuedBytes;
}

uint64_t BlockQueue::TimesFull() const {
    std::lock_guard lock(m_mutex);
    return m_timesFull;
}

}  // namespace qv
