// When a record began, from its time stamp: the one rule behind the start
// times of live rows, stored rows and CSV rows.
#pragma once

#include <cstdint>

#include "capture/CaptureRecord.h"
#include "capture/RecordTime.h"

namespace qv {

struct MonitorSettings;

// The character timing of the line settings a capture or run was made with.
AsyncCharTiming CharTimingOf(const MonitorSettings& m, double frequency);

// An ASYNC data character is stamped at its stop bit, so it began one
// character time earlier; every other record begins at its stamp. The result
// may be negative: a character stamped just after midnight began the day
// before. Built once per capture or run: the character times do not change
// within one.
class RecordStart {
  public:
    RecordStart() = default;
    RecordStart(Protocol protocol, const AsyncCharTiming& timing);
    int64_t Of(RecordKind kind, int64_t stamp) const {
        if (!IsDataKind(kind)) return stamp;
        return stamp - static_cast<int64_t>(kind == RecordKind::kSdData ? m_sd : m_rd);
    }

  private:
    uint64_t m_sd = 0, m_rd = 0;  // character times in ticks; 0 unless ASYNC
};

}  // namespace qv
