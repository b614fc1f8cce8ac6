#include "capture/ChunkTable.h"

#include <algorithm>
#include <new>

namespace qv {

uint64_t ChunkTable::EntriesFor(uint64_t frameMax, uint64_t fileRecords) {
    if (fileRecords == 0) return 1;
    const uint64_t n = frameMax / fileRecords + (frameMax % fileRecords ? 1 : 0);
    return std::max<uint64_t>(n, 1);
}

ChunkTable::ChunkTable(uint64_t entries) {
    Reset(entries);
}

void ChunkTable::Reset(uint64_t entries) {
    m_entries.clear();
    m_size = std::max<uint64_t>(entries, 1);
    m_used = 0;
    m_current = 0;
    // A large frame limit may allow millions of chunks; slots are allocated as
    // chunks finish, never more than the run has written.
    m_entries.reserve(static_cast<size_t>(std::min<uint64_t>(m_size, kInitialSlots)));
}

void ChunkTable::Add(const ChunkEntry& entry) {
    if (m_current >= m_entries.size()) {
        try {
            m_entries.push_back(entry);
        } catch (const std::bad_alloc&) {
            // No memory for another slot: the table ends with the slots it has
            // and the next chunk reuses the oldest one.
            m_size = std::max<uint64_t>(m_entries.size(), 1);
            m_current = 0;
            m_used = std::min(m_used, m_size);
            if (m_entries.empty()) return;
            m_entries[0] = entry;
        }
    } else {
        m_entries[m_current] = entry;
    }
    ++m_current;
    m_used = std::min(m_used + 1, m_size);
    if (m_current >= m_size) m_current = 0;
}

const ChunkEntry& ChunkTable::Chronological(uint64_t i) const {
    const uint64_t oldest = OldestSlot() - 1;
    return m_entries[(oldest + i) % m_size];
}

}  // namespace qv
