// A walk over the records of a capture, or of a time range of it, in order,
// for the passes that read every record once (messages, statistics, pcapng
// export). It holds one reader and one record at a time, so a pass over 10^8
// records uses the memory of a few chunks. Chunk files that are missing or
// damaged become gaps the caller hears about; the walk goes on after them.
#pragma once

#include <cstdint>
#include <span>

#include "capture/CaptureFrame.h"
#include "capture/CaptureRecord.h"
#include "capture/RecordStart.h"

namespace qv {

class CaptureReader;
struct SaveRange;

struct WalkRecord {
    uint64_t frame = 0;  // 0-based ordinal in the capture
    RecordKind kind = RecordKind::kSdData;
    uint8_t header = 0;
    uint8_t value = 0;      // short records: data byte, line state, event byte or sample
    uint8_t lineState = 0;  // the control lines in force at this record
    // Line ticks (10 ns since local midnight of 2000-01-01, see LineClock.h):
    // when the record began (an ASYNC character one character time before
    // its stamp) and its stamp (a frame's end).
    int64_t start = 0, end = 0;
    std::span<const uint8_t> data;  // valid until the next step
};

// Records the index counts that no readable chunk file holds.
struct WalkGap {
    uint32_t chunk = 0;             // the chunk file (1-based)
    uint64_t from = 0, to = 0;      // frames from..to-1, 0-based
    int code = 0;                   // the reader's code
};

class RecordWalk {
  public:
    enum class Step { kRecord, kGap, kEnd, kBefore /* internal */ };

    explicit RecordWalk(CaptureReader& file);

    // Every record of the capture from the first.
    void BeginAll();
    // The records whose end time lies in the range, as a range save takes
    // them. false when the reader cannot be placed at the range.
    bool BeginRange(const SaveRange& range);

    // The next record, or a gap (then Gap() says which), or the end.
    Step Next(WalkRecord& out);
    const WalkGap& Gap() const { return m_gap; }
    // After kEnd: whether the walk ran to the capture's last record (not to
    // the end of its range).
    bool ReachedCaptureEnd() const;

    // Records expected in the walk (for progress) and records given so far.
    uint64_t Expected() const { return m_expected; }
    uint64_t Given() const { return m_given; }
    const RecordStart& Starts() const { return m_starts; }

  private:
    // One record; kBefore for one before the range start.
    Step Take(WalkRecord& out);
    uint32_t ChunkOf(uint64_t frame) const;
    Step GapAt(uint64_t frame, int code);

    CaptureReader& m_file;
    Protocol m_protocol;
    RecordStart m_starts;
    CaptureFrame m_frame;
    uint64_t m_next = 0;        // the frame to give next
    bool m_onPrevious = false;  // the reader's cursor is on frame m_next - 1
    bool m_ranged = false;
    int64_t m_from = 0, m_to = 0;  // the range, line ticks of record ends
    uint64_t m_expected = 0, m_given = 0;
    uint32_t m_chunk = 0;  // the chunk whose day is m_day
    int64_t m_day = 0;
    WalkGap m_gap;
    bool m_pastRange = false;  // ended at a record after the range
};

}  // namespace qv
