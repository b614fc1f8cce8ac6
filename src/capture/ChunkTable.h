// The ring table of chunk entries of a monitoring run. It has one slot per
// chunk the run may keep (N = FrameMax / FileRecords, rounded up); the chunk
// being written has slot number current index + 1. Once every slot is used,
// the next chunk reuses the oldest slot, which in RING mode discards that
// chunk.
//
// Slots are allocated as chunks finish, so a huge frame limit costs nothing
// up front; when memory runs out the table is shortened to the slots it has.
#pragma once

#include <cstdint>
#include <vector>

#include "capture/CaptureRecord.h"

namespace qv {

class ChunkTable {
  public:
    // ceil(frameMax / fileRecords), at least 1 so that a run always has a slot.
    static uint64_t EntriesFor(uint64_t frameMax, uint64_t fileRecords);

    explicit ChunkTable(uint64_t entries = 1);

    // Empties the table and sets its size (at least 1).
    void Reset(uint64_t entries);

    uint64_t Size() const { return m_size; }
    uint64_t Used() const { return m_used; }
    uint64_t CurrentIndex() const { return m_current; }
    // 1-based slot of the chunk being written.
    uint64_t CurrentSlot() const { return m_current + 1; }
    bool Full() const { return m_used == m_size; }
    // Slot of the oldest chunk kept: the current slot once the table is full.
    uint64_t OldestSlot() const { return Full() ? m_current + 1 : 1; }
    // The entry the current slot holds; meaningful only when the table is full.
    const ChunkEntry& CurrentEntry() const { return m_entries[m_current]; }

    // Stores a finished chunk's entry in the current slot and moves on.
    void Add(const ChunkEntry& entry);

    // Entry i (0-based) in chronological order, i < Used().
    const ChunkEntry& Chronological(uint64_t i) const;

  private:
    static constexpr uint64_t kInitialSlots = 4096;
    std::vector<ChunkEntry> m_entries;  // grows up to m_size
    uint64_t m_size = 1;
    uint64_t m_used = 0;
    uint64_t m_current = 0;
};

}  // namespace qv
