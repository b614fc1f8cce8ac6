#include "present/MonitorPage.h"

#include <algorithm>

namespace qv {

namespace {
// The scroll bar takes an int; beyond this many records a position stands for
// a chunk of records instead of one record.
constexpr uint64_t kDirectScrollLimit = uint64_t{1} << 31;
}  // namespace

int MonitorPageLayout::RowsFor(int dataAreaHeight, int rowHeight) {
    if (rowHeight <= 0) return 1;
    return std::max(1, dataAreaHeight / rowHeight);
}

void MonitorPageLayout::Set(uint64_t total, int rows, uint32_t chunkCount, uint64_t fileRecords) {
    m_total = total;
    m_rows = std::max(1, rows);
    m_chunks = chunkCount;
    m_fileRecords = fileRecords ? fileRecords : 1;
}

uint64_t MonitorPageLayout::LastPageStart() const {
    return m_total > static_cast<uint64_t>(m_rows) ? m_total - m_rows : 0;
}

uint64_t MonitorPageLayout::Clamp(uint64_t start) const {
    return std::min(start, LastPageStart());
}

uint64_t MonitorPageLayout::LineUp(uint64_t start) const {
    return start > 0 ? Clamp(start - 1) : 0;
}

uint64_t MonitorPageLayout::LineDown(uint64_t start) const {
    return start + m_rows < m_total ? start + 1 : Clamp(start);
}

uint64_t MonitorPageLayout::PageUp(uint64_t start) const {
    return start > static_cast<uint64_t>(m_rows) ? Clamp(start - m_rows) : 0;
}

uint64_t MonitorPageLayout::PageDown(uint64_t start) const {
    return Clamp(start + m_rows);
}

MonitorPageState MonitorPageLayout::KeyUp(MonitorPageState s) const {
    if (m_total == 0) return {};
    if (s.selected == 0) return {s.start, s.start + 1};
    if (s.selected > 1) --s.selected;
    if (s.selected - 1 < s.start) s.start = s.selected - 1;
    return s;
}

MonitorPageState MonitorPageLayout::KeyDown(MonitorPageState s) const {
    if (m_total == 0) return {};
    if (s.selected == 0) return {s.start, s.start + 1};
    if (s.selected < m_total) ++s.selected;
    if (s.selected - 1 >= s.start + m_rows) s.start = Clamp(s.selected - m_rows);
    return s;
}

MonitorPageState MonitorPageLayout::KeyPageUp(MonitorPageState s) const {
    if (m_total == 0) return {};
    s.start = PageUp(s.start);
    uint64_t sel = s.selected ? s.selected : s.start + 1;
    s.selected = sel > static_cast<uint64_t>(m_rows) ? sel - m_rows : 1;
    return s;
}

MonitorPageState MonitorPageLayout::KeyPageDown(MonitorPageState s) const {
    if (m_total == 0) return {};
    s.start = PageDown(s.start);
    uint64_t sel = s.selected ? s.selected : s.start + 1;
    s.selected = std::min(sel + m_rows, m_total);
    return s;
}

MonitorPageState MonitorPageLayout::KeyHome() const {
    if (m_total == 0) return {};
    return {0, 1};
}

MonitorPageState MonitorPageLayout::KeyEnd() const {
    if (m_total == 0) return {};
    return {LastPageStart(), m_total};
}

bool MonitorPageLayout::ChunkScale() const {
    return m_total >= kDirectScrollLimit;
}

int MonitorPageLayout::ScrollMaximum() const {
    if (!ScrollEnabled()) return 0;
    if (ChunkScale()) return static_cast<int>(std::min<uint64_t>(m_chunks, INT32_MAX));
    return static_cast<int>(LastPageStart());
}

int MonitorPageLayout::ThumbFor(uint64_t start) const {
    if (!ScrollEnabled()) return 0;
    if (!ChunkScale()) return static_cast<int>(Clamp(start));
    if (start >= LastPageStart()) return ScrollMaximum();
    return static_cast<int>(std::min<uint64_t>(start / m_fileRecords, ScrollMaximum()));
}

uint64_t MonitorPageLayout::StartForThumb(int position) const {
    if (!ScrollEnabled() || position <= 0) return 0;
    if (!ChunkScale()) return Clamp(static_cast<uint64_t>(position));
    // The end of the range is the last full page, wherever the chunks end.
    if (position >= ScrollMaximum()) return LastPageStart();
    return Clamp(static_cast<uint64_t>(position) * m_fileRecords);
}

}  // namespace qv
