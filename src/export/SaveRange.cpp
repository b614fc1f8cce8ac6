#include "export/SaveRange.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "capture/RecordTime.h"
#include "core/TimeText.h"

namespace qv {

bool CaptureSpan(CaptureReader& file, DayTime& start, DayTime& end) {
    std::string a, b;
    if (file.GetCaptureStartText(a) != kQvrOk || file.GetCaptureEndText(b) != kQvrOk) return false;
    auto ta = ParseRecordTime(a), tb = ParseRecordTime(b);
    if (!ta || !tb) return false;
    start = *ta;
    end = *tb;
    return true;
}

namespace {

// The position of the reader's current record by its end time.
bool RecordPoint(CaptureReader& file, DayTime& out) {
    std::string text;
    uint64_t ticks = 0;
    if (file.GetEndTime(text, ticks) != kQvrOk) return false;
    auto when = ParseRecordTime(text);
    if (!when) return false;
    out = *when;
    return true;
}

bool IndexPoint(CaptureReader& file, bool start, DayTime& out) {
    std::string text;
    if ((start ? file.GetCaptureStartText(text) : file.GetCaptureEndText(text)) != kQvrOk)
        return false;
    auto when = ParseRecordTime(text);
    if (!when) return false;
    out = *when;
    return true;
}

}  // namespace

bool CheckSaveRange(CaptureReader& file, const DayTime& a, const DayTime& b, SaveRange& out) {
    if (a.ticks > kTicksPerDay || b.ticks > kTicksPerDay) return false;
    out.start = std::min(a, b);
    out.end = std::max(a, b);
    const uint64_t total = file.GetTotalRecords();
    if (total == 0) return false;
    DayTime first, last;
    if (!IndexPoint(file, true, first)) {
        if (file.GoToFrame(0) != kQvrOk || !RecordPoint(file, first)) return false;
    }
    if (!IndexPoint(file, false, last)) {
        if (file.GoToFrame(total - 1) != kQvrOk || !RecordPoint(file, last)) return false;
    }
    return out.end >= first && last >= out.start;
}

bool CountSaveRange(CaptureReader& file, const SaveRange& range, bool endFallsBackToLast,
                    uint64_t& total) {
    CursorPosition pos;
    int rc = file.GoToTime(range.end);
    if (rc != kQvrOk && endFallsBackToLast) rc = file.GoToFrame(file.GetTotalRecords() - 1);
    if (rc != kQvrOk || file.GetCursor(pos) != kQvrOk) return false;
    const uint64_t endFrame = pos.frame;
    rc = file.GoToTime(range.start);
    if (rc != kQvrOk) rc = file.GoToFrame(0);
    if (rc != kQvrOk || file.GetCursor(pos) != kQvrOk) return false;
    total = endFrame >= pos.frame ? endFrame + 1 - pos.frame : 0;
    return true;
}

int SaveProgressPercent(uint64_t done, uint64_t total) {
    if (total == 0) return 0;
    uint64_t p = done >= total ? 100 : done * 100 / total;
    return static_cast<int>(p / 10 * 10);
}

namespace {

// "00".."99": two digits from one table look-up instead of two divisions.
constexpr auto kDigitPairs = [] {
    std::array<char, 200> t{};
    for (int i = 0; i < 100; ++i) {
        t[static_cast<size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        t[static_cast<size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return t;
}();

inline char* Two(char* p, unsigned v) {
    std::memcpy(p, &kDigitPairs[2 * (v % 100)], 2);
    return p + 2;
}

}  // namespace

char* WriteRecordTimeText(char* out, int yymmdd, int64_t ticks) {
    int date = yymmdd;
    uint64_t t = ticks < 0 ? 0 : static_cast<uint64_t>(ticks);
    if (ticks < 0 || t > kTicksPerDay) {
        if (auto moved = NormaliseDayTime(yymmdd, ticks)) {
            date = moved->date;
            t = moved->ticks;
        }
        // A stamp the calendar cannot place is shown unshifted, at most 24 h,
        // as the reader shows it.
        if (t > kTicksPerDay) t = kTicksPerDay;
    }
    const unsigned d = static_cast<unsigned>(date);
    char* p = Two(out, d / 10000);
    *p++ = '/';
    p = Two(p, d / 100);
    *p++ = '/';
    p = Two(p, d);
    *p++ = ' ';
    const uint64_t seconds = t / kTicksPerSecond;
    p = Two(p, static_cast<unsigned>(seconds / 3600));
    *p++ = ':';
    p = Two(p, static_cast<unsigned>(seconds / 60 % 60));
    *p++ = ':';
    p = Two(p, static_cast<unsigned>(seconds % 60));
    *p++ = ' ';
    return WriteSubSecondText(p, static_cast<uint32_t>(t % kTicksPerSecond));
}

char* RecordTimeTextWriter::WriteNewSecond(char* out, int yymmdd, int64_t ticks) {
    char* end = WriteRecordTimeText(out, yymmdd, ticks);
    // Only a time inside its own day keeps its date and second unchanged;
    // one that runs over is written in full every time.
    if (ticks >= 0 && static_cast<uint64_t>(ticks) < kTicksPerDay) {
        const uint64_t t = static_cast<uint64_t>(ticks);
        m_date = yymmdd;
        m_second = t - t % kTicksPerSecond;
        std::memcpy(m_text, out, kRecordTimeTextSize);
    }
    return end;
}

SaveProgress::SaveProgress(ISaveReport* sink, uint64_t total) : m_sink(sink), m_total(total) {
    m_nextAt = NextStepAt();
}

uint64_t SaveProgress::NextStepAt() const {
    if (m_last >= 100 || m_total == 0) return UINT64_MAX;
    // The least `done` with done * 100 / total >= m_last + 10, capped at the
    // total, where the percent is 100 whatever the rounding.
    const unsigned __int128 need = static_cast<unsigned __int128>(m_total) * (m_last + 10);
    const uint64_t at = static_cast<uint64_t>((need + 99) / 100);
    return at < m_total ? at : m_total;
}

void SaveProgress::Report(uint64_t done) {
    const int percent = SaveProgressPercent(done, m_total);
    if (percent > m_last) {
        m_last = percent;
        if (m_sink) m_sink->OnSaveReport(SaveReport::kProgress, percent);
    }
    m_nextAt = NextStepAt();
}

}  // namespace qv
