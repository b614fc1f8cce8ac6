#include "capture/CaptureGaps.h"

#include "capture/CaptureIndex.h"
#include "capture/CaptureReader.h"
#include "capture/CaptureRecord.h"
#include "core/NumberText.h"
#include "core/TimeText.h"

namespace qv {

uint64_t TicksBetween(const DayTime& from, const DayTime& to) {
    const auto a = DayNumber(from.date), b = DayNumber(to.date);
    if (!a || !b) return 0;
    const int64_t ticks = (*b - *a) * static_cast<int64_t>(kTicksPerDay) +
                          static_cast<int64_t>(to.ticks) - static_cast<int64_t>(from.ticks);
    return ticks > 0 ? static_cast<uint64_t>(ticks) : 0;
}

void CaptureGaps::Clear() {
    m_open = false;
    m_from = DayTime{};
    m_count = m_covered = 0;
    m_list.clear();
}

void CaptureGaps::Overflow(int date, uint64_t ticks) {
    ++m_count;
    // A second report before the stream went on adds no time of its own.
    if (m_open) return;
    m_open = true;
    m_from = DayTime{date, ticks};
}

void CaptureGaps::Close(const DayTime& to) {
    m_open = false;
    m_covered += TicksBetween(m_from, to);
    if (m_list.size() < kMaxListed) m_list.push_back(CaptureGap{m_from, to});
}

std::vector<CaptureGap> ReadCaptureGaps(CaptureReader& file) {
    std::vector<CaptureGap> gaps;
    std::optional<DayTime> end;
    if (std::string text; file.GetCaptureEndText(text) == 0) end = ParseRecordTime(text);
    CaptureIndex index;
    index.SetPath(file.GetIndexPath());
    TriggerEvent event;
    for (int n = 1; index.ReadTriggerRecord(n, event) == 0; ++n) {
        if (event.code != kTriggerCodeMemoryOverflow) continue;
        CaptureGap gap;
        gap.from = DayTime{DateTextNumber(DateFieldText(event.date)), event.time};
        gap.to = end.value_or(gap.from);
        // The reader lands on the last record at or before the overflow; the
        // gap ends at the first one after it.
        DayTime next;
        bool found = file.GoToTime(gap.from) == 0 && file.GetEndRecordTime(next) == 0;
        while (found && TicksBetween(gap.from, next) == 0)
            found = file.NextRecord() == 0 && file.GetEndRecordTime(next) == 0;
        if (found) gap.to = next;
        gaps.push_back(gap);
    }
    return gaps;
}

}  // namespace qv
