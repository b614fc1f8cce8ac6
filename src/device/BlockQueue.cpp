#include "device/BlockQueue.h"

#include <unistd.h>

#include <algorithm>

namespace qv {

namespace {
// Spare blocks kept for the next reads; more go back to the system, so that
// a burst does not leave the memory bound taken for the rest of the run.
constexpr size_t kSpares = 4;
// Weight of the newest block in the writer's pace.
constexpr double kPaceWeight = 0.25;
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
    m_pace = 0;
    m_timesFull = 0;
}

size_t BlockQueue::TimeBoundLocked() const {
    if (m_pace <= 0) return SIZE_MAX;
    return std::max(kMinBytes, static_cast<size_t>(m_pace * kDrainSeconds));
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

BlockQueue::Got BlockQueue::Pop(std::unique_ptr<StreamBlock>& block) {
    std::unique_lock lock(m_mutex);
    m_ready.wait(lock, [this] { return m_quit || !m_blocks.empty() || m_closing; });
    if (!m_blocks.empty()) {
        block = std::move(m_blocks.front());
        m_blocks.pop_front();
        m_writing = true;
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
    // A block decoded in no measurable time says nothing of the disk.
    if (seconds > 0) {
        const double pace = static_cast<double>(block->size) / seconds;
        m_pace = m_pace <= 0 ? pace : m_pace + kPaceWeight * (pace - m_pace);
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
