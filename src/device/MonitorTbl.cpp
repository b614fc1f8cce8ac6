#include "device/MonitorTbl.h"

#include <algorithm>
#include <exception>

namespace qv {

uint64_t CMonitorTbl::EntriesFor(uint64_t frameMax, uint64_t fileRecords) {
    if (fileRecords == 0) return 1;
    const uint64_t n = frameMax / fileRecords + (frameMax % fileRecords ? 1 : 0);
    return std::max<uint64_t>(n, 1);
}

CMonitorTbl::CMonitorTbl(uint64_t entries) {
    Reset(entries);
}

void CMonitorTbl::Reset(uint64_t entries) {
    m_entries.clear();
    m_size = std::max<uint64_t>(entries, 1);
    m_used = 0;
    m_current = 0;
    // Reserve every slot now, so that adding never allocates during the run;
    // memory that is not there shortens the table to what could be had.
    for (;;) {
        try {
            m_entries.reserve(static_cast<size_t>(m_size));
            return;
        } catch (const std::exception&) {
            if (m_size == 1) return;
            m_size /= 2;
        }
    }
}

void CMonitorTbl::Add(const _ST_FILEADMI& entry) {
    if (m_current >= m_entries.size())
        m_entries.push_back(entry);  // within the reserved capacity
    else
        m_entries[m_current] = entry;
    ++m_current;
    m_used = std::min(m_used + 1, m_size);
    if (m_current >= m_size) m_current = 0;
}

const _ST_FILEADMI& CMonitorTbl::Chronological(uint64_t i) const {
    const uint64_t oldest = OldestSlot() - 1;
    return m_entries[(oldest + i) % m_size];
}

}  // namespace qv
