#include "export/RecordWalk.h"

#include "export/LineClock.h"
#include "capture/CaptureReader.h"
#include "core/TimeText.h"
#include "export/SaveRange.h"

namespace qv {

RecordWalk::RecordWalk(CaptureReader& file)
    : m_file(file),
      m_protocol(file.GetProtocol()),
      m_starts(m_protocol, file.GetCharTiming()) {}

void RecordWalk::BeginAll() {
    m_ranged = false;
    m_pastRange = false;
    m_next = 0;
    m_onPrevious = false;
    m_given = 0;
    m_expected = m_file.GetTotalRecords();
}

bool RecordWalk::BeginRange(const SaveRange& range) {
    BeginAll();
    uint64_t total = 0;
    if (!CountSaveRange(m_file, range, true, total)) return false;
    CursorPosition pos;
    if (m_file.GetCursor(pos) != kQvrOk) return false;
    m_ranged = true;
    m_next = pos.frame;
    m_expected = total;
    m_from = LineTicks(DayIndexOf(range.start.date), static_cast<int64_t>(range.start.ticks));
    m_to = LineTicks(DayIndexOf(range.end.date), static_cast<int64_t>(range.end.ticks));
    return true;
}

uint32_t RecordWalk::ChunkOf(uint64_t frame) const {
    // The last chunk whose first frame is at or before `frame`.
    uint32_t lo = 1, hi = m_file.GetChunkCount();
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo + 1) / 2;
        if (m_file.ChunkFirstFrame(mid) <= frame)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

RecordWalk::Step RecordWalk::GapAt(uint64_t frame, int code) {
    const uint32_t chunk = ChunkOf(frame);
    const uint64_t to = chunk < m_file.GetChunkCount() ? m_file.ChunkFirstFrame(chunk + 1)
                                                       : m_file.GetTotalRecords();
    m_gap = {chunk, frame, to > frame ? to : frame + 1, code};
    if (m_file.GetFailedChunk() != 0 && code != kQvrNotFound) m_gap.chunk = m_file.GetFailedChunk();
    m_next = m_gap.to;
    m_onPrevious = false;
    return Step::kGap;
}

bool RecordWalk::ReachedCaptureEnd() const {
    return m_next >= m_file.GetTotalRecords() && !m_pastRange;
}

RecordWalk::Step RecordWalk::Next(WalkRecord& out) {
    for (;;) {
        const Step step = Take(out);
        if (step != Step::kBefore) return step;
    }
}

RecordWalk::Step RecordWalk::Take(WalkRecord& out) {
    if (m_next >= m_file.GetTotalRecords()) return Step::kEnd;
    // Straight on from the record before (the common case), else a jump
    // (the first record, or the first after a gap).
    int rc = m_onPrevious ? m_file.NextRecord() : m_file.GoToFrame(m_next);
    CursorPosition pos;
    if (rc == kQvrOk) rc = m_file.GetCursor(pos);
    // A record the index counts but the chunk does not hold (a chunk file
    // cut short) reads as the capture's end, or as a jump past it.
    if (rc == kQvrOk && pos.frame != m_next) rc = kQvrNotFound;
    if (rc != kQvrOk) return GapAt(m_next, rc);
    m_file.GetFrame(m_frame);
    if (pos.chunk != m_chunk) {
        std::string text;
        ChunkEntry entry;
        m_file.GetChunkInfo(pos.chunk, text, entry);
        m_chunk = pos.chunk;
        m_day = DayIndexOf(DateTextNumber(DateFieldText(entry.date)));
    }
    m_onPrevious = true;
    ++m_next;
    const int64_t end = LineTicks(m_day, static_cast<int64_t>(m_frame.EndTicks()));
    if (m_ranged) {
        if (end < m_from) return Step::kBefore;
        if (end > m_to) {
            m_next = m_file.GetTotalRecords();
            m_pastRange = true;
            return Step::kEnd;
        }
    }
    out.frame = pos.frame;
    out.kind = m_frame.Kind();
    out.header = m_frame.Header();
    out.value = m_frame.Value();
    out.lineState = m_frame.LineState();
    out.end = end;
    out.start = LineTicks(m_day, m_starts.Of(out.kind, static_cast<int64_t>(m_frame.StartTicks())));
    out.data = m_frame.Data();
    ++m_given;
    return Step::kRecord;
}

}  // namespace qv
