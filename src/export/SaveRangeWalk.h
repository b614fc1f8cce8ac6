// The walk over the records of a save range that the range copier and the
// CSV exporter share: the reader placed at the range start, every record in
// order with the entry of its chunk, the first record past the range end as
// the end, progress after each record taken and a cancel looked at before
// each record.
#pragma once

#include <atomic>
#include <cstdint>

#include "capture/CaptureFrame.h"
#include "capture/CaptureReader.h"
#include "export/SaveRange.h"

namespace qv {

// One record of the range, as the walk hands it on.
struct SaveRecord {
    const CaptureFrame& frame;
    const ChunkEntry& chunk;  // the entry of the record's chunk, for its date
    int date;                 // that date as YYMMDD
};

class SaveRangeWalk {
  public:
    explicit SaveRangeWalk(CaptureReader& file) : m_file(file) {}

    // Places the reader at the range start and counts the range for the
    // progress reports to `sink` (may be null); `endFallsBackToLast` as for
    // CountSaveRange. false: the range cannot be placed.
    bool Begin(const SaveRange& range, bool endFallsBackToLast, ISaveReport* sink);

    // Hands every record of the range, in order, to `take(const SaveRecord&)`,
    // which returns false when it failed. The ending: kRangeDone at the first
    // record past the range, kCaptureEnd, kFailed (a read, or `take`), or
    // kEnded when `cancel` was set before a record.
    template <class Take>
    SaveReport Run(const std::atomic<bool>& cancel, Take&& take);

  private:
    // The entry of chunk `chunk` and its date number. false: unreadable.
    bool EnterChunk(uint32_t chunk);

    CaptureReader& m_file;
    DayTime m_start, m_end;
    SaveProgress m_progress{nullptr, 0};
    uint64_t m_taken = 0;
    uint32_t m_chunk = 0;  // the chunk whose entry is kept; 0 none yet
    ChunkEntry m_entry;
    int m_date = 0;
};

template <class Take>
SaveReport SaveRangeWalk::Run(const std::atomic<bool>& cancel, Take&& take) {
    CaptureFrame frame;
    CursorPosition pos;
    for (;;) {
        if (cancel.load(std::memory_order_relaxed)) return SaveReport::kEnded;
        if (m_file.GetFrame(frame) != kQvrOk || m_file.GetCursor(pos) != kQvrOk)
            return SaveReport::kFailed;
        if (pos.chunk != m_chunk && !EnterChunk(pos.chunk)) return SaveReport::kFailed;
        const DayTime at{m_date, frame.EndTicks()};
        // Records before the range start are passed over.
        if (at >= m_start) {
            if (at > m_end) return SaveReport::kRangeDone;
            if (!take(SaveRecord{frame, m_entry, m_date})) return SaveReport::kFailed;
            m_progress.Update(++m_taken);
        }
        if (auto end = NextSaveRecord(m_file)) return *end;
    }
}

}  // namespace qv
