// The gaps of a capture: each time the instrument's memory overflowed
// (trigger code 255), the records of the line were lost from that moment
// until the stream went on with its next record (the first one counted, as
// a reader of the capture sees it). A gap still open when the run stops ends
// at the stop.
#pragma once

#include <cstdint>
#include <vector>

#include "capture/RecordTime.h"

namespace qv {

class CaptureReader;

struct CaptureGap {
    DayTime from;  // the overflow
    DayTime to;    // the next record, or the stop
};

// Ticks (10 ns) from `from` to `to`, across days; 0 when `to` is not later
// or a date is no calendar date.
uint64_t TicksBetween(const DayTime& from, const DayTime& to);

class CaptureGaps {
  public:
    // The gaps kept one by one; more are counted, not kept.
    static constexpr size_t kMaxListed = 1000;

    void Clear();
    // The instrument reported its memory full at `ticks` of day `date`.
    void Overflow(int date, uint64_t ticks);
    // A record at `ticks` of day `date` arrived. Cheap while no gap is open:
    // it runs for every record.
    void Resumed(int date, uint64_t ticks) {
        if (m_open) [[unlikely]]
            Close(DayTime{date, ticks});
    }
    bool Open() const { return m_open; }
    // The run ended at `date`, `ticks`: a gap still open ends there.
    void End(int date, uint64_t ticks) {
        if (m_open) Close(DayTime{date, ticks});
    }

    // Overflows seen.
    uint64_t Count() const { return m_count; }
    // The time the closed gaps cover, in ticks (10 ns).
    uint64_t CoveredTicks() const { return m_covered; }
    const std::vector<CaptureGap>& List() const { return m_list; }

  private:
    void Close(const DayTime& to);

    bool m_open = false;
    DayTime m_from;
    uint64_t m_count = 0;
    uint64_t m_covered = 0;
    std::vector<CaptureGap> m_list;
};

// The gaps of a stored capture: from each overflow among its trigger records
// to the first record after it (or to the capture's end time). Moves the
// reader.
std::vector<CaptureGap> ReadCaptureGaps(CaptureReader& file);

}  // namespace qv
