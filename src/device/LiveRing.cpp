#include "device/LiveRing.h"

#include <algorithm>

namespace qv {

void LiveRing::Clear() {
    for (int i = 0; i < kSlots; ++i) {
        // Keep the data buffers' memory for the next run.
        auto keepLive = std::move(m_live[i].data);
        auto keepFrozen = std::move(m_frozen[i].data);
        m_live[i] = LiveRecord{};
        m_frozen[i] = LiveRecord{};
        keepLive.clear();
        keepFrozen.clear();
        m_live[i].data = std::move(keepLive);
        m_frozen[i].data = std::move(keepFrozen);
        m_liveCounts[i] = CountTriple{};
        m_frozenCounts[i] = CountTriple{};
    }
    m_pos = 0;
    m_seen = 0;
    m_frozenCount = 0;
}

void LiveRing::Freeze() {
    // Oldest first: from the current slot once the ring has wrapped.
    const int from = m_seen >= kSlots ? m_pos : 0;
    for (int i = 0; i < kSlots; ++i) {
        const int src = (from + i) % kSlots;
        m_frozen[i] = m_live[src];
        m_frozenCounts[i] = m_liveCounts[src];
    }
    m_frozenCount = Count(false);
}

void LiveRing::TakeNewest(const LiveRing& from) {
    const uint64_t fresh =
        from.m_seen >= m_seen ? std::min<uint64_t>(from.m_seen - m_seen, kSlots) : kSlots;
    for (uint64_t k = 0; k < fresh; ++k) {
        const int slot = static_cast<int>((from.m_pos + kSlots - 1 - k % kSlots) % kSlots);
        m_live[slot] = from.m_live[slot];
        m_liveCounts[slot] = from.m_liveCounts[slot];
    }
    m_pos = from.m_pos;
    m_seen = from.m_seen;
}

int LiveRing::Count(bool frozen) const {
    if (frozen) return m_frozenCount;
    return m_seen < kSlots ? static_cast<int>(m_seen) : kSlots;
}

int LiveRing::SlotOfOldest(int i, bool frozen) const {
    if (i < 0 || i >= Count(frozen)) return -1;
    // The frozen ring is already oldest first; the live one starts at the
    // slot the next record goes to once it has wrapped.
    if (frozen || m_seen < kSlots) return i;
    return (m_pos + i) % kSlots;
}

const LiveRecord* LiveRing::At(int i, bool frozen) const {
    if (i < 0 || i >= kSlots) return nullptr;
    return frozen ? &m_frozen[i] : &m_live[i];
}

const CountTriple* LiveRing::TripleAt(int i, bool frozen) const {
    if (i < 0 || i >= kSlots) return nullptr;
    return frozen ? &m_frozenCounts[i] : &m_liveCounts[i];
}

}  // namespace qv
