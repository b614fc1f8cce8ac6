#include "export/LineClock.h"

#include <chrono>
#include <ctime>

#include "capture/CaptureReader.h"

namespace qv {

namespace {

using namespace std::chrono;

constexpr sys_days kEpoch2000 = sys_days(year(2000) / January / 1);

int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

char* Digits(char* p, unsigned v, int n) {
    for (int i = n - 1; i >= 0; --i, v /= 10)
        p[i] = static_cast<char>('0' + v % 10);
    return p + n;
}

}  // namespace

int64_t DayIndexOf(int yymmdd) {
    year_month_day ymd{year(2000 + yymmdd / 10000), month(static_cast<unsigned>(yymmdd / 100 % 100)),
                       day(static_cast<unsigned>(yymmdd % 100))};
    if (yymmdd < 0 || !ymd.ok()) return 0;
    return (sys_days(ymd) - kEpoch2000).count();
}

LineDay LineDayOf(int64_t lineTicks) {
    const int64_t dayIndex = FloorDiv(lineTicks, kTicksPerDayI);
    year_month_day ymd{kEpoch2000 + days(dayIndex)};
    const int y = static_cast<int>(ymd.year()) - 2000;
    return {y * 10000 + static_cast<int>(static_cast<unsigned>(ymd.month())) * 100 +
                static_cast<int>(static_cast<unsigned>(ymd.day())),
            lineTicks - dayIndex * kTicksPerDayI};
}

const LocalCalendar::Day& LocalCalendar::DayOf(int64_t dayIndex) {
    if (dayIndex == m_lastIndex) return *m_last;
    auto it = m_days.find(dayIndex);
    if (it == m_days.end()) {
        year_month_day ymd{kEpoch2000 + days(dayIndex)};
        Day d;
        d.year = static_cast<int>(ymd.year());
        d.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
        d.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
        const int64_t localMidnight = (sys_days(ymd) - sys_days{}).count() * 86400;
        if (m_zone) {
            const int offset = m_zone->OffsetOfLocal(localMidnight);
            d.midnight = localMidnight - offset;
            d.offsetMinutes = offset / 60;
        } else {
            std::tm tm{};
            tm.tm_year = d.year - 1900;
            tm.tm_mon = d.month - 1;
            tm.tm_mday = d.day;
            tm.tm_isdst = -1;
            const std::time_t t = std::mktime(&tm);
            // No zone information: take UTC.
            d.midnight =
                t == static_cast<std::time_t>(-1) ? localMidnight : static_cast<int64_t>(t);
            d.offsetMinutes = static_cast<int>((localMidnight - d.midnight) / 60);
        }
        // Only a handful of days occur in one capture; a walk over a file
        // with damaged dates must still not grow this without end.
        if (m_days.size() > 4096) m_days.clear();
        it = m_days.emplace(dayIndex, d).first;
    }
    m_lastIndex = dayIndex;
    m_last = &it->second;
    return *m_last;
}

std::optional<TimeZone> CaptureZone(CaptureReader& file, const std::string& chosen) {
    if (!chosen.empty()) return TimeZone::Named(chosen);
    const std::string recorded = file.GetTimeZone();
    if (recorded.empty()) return std::nullopt;
    return TimeZone::Named(recorded);
}

int64_t LocalCalendar::MidnightEpochSeconds(int64_t dayIndex) {
    return DayOf(dayIndex).midnight;
}

int64_t LocalCalendar::EpochTicks(int64_t lineTicks) {
    const int64_t dayIndex = FloorDiv(lineTicks, kTicksPerDayI);
    const int64_t inDay = lineTicks - dayIndex * kTicksPerDayI;
    return DayOf(dayIndex).midnight * 100'000'000 + inDay;
}

char* LocalCalendar::WriteIso(char* out, int64_t lineTicks) {
    const int64_t dayIndex = FloorDiv(lineTicks, kTicksPerDayI);
    const uint64_t inDay = static_cast<uint64_t>(lineTicks - dayIndex * kTicksPerDayI);
    const Day& d = DayOf(dayIndex);
    const uint64_t seconds = inDay / 100'000'000;
    const unsigned nanos = static_cast<unsigned>(inDay % 100'000'000) * 10;
    char* p = Digits(out, static_cast<unsigned>(d.year), 4);
    *p++ = '-';
    p = Digits(p, static_cast<unsigned>(d.month), 2);
    *p++ = '-';
    p = Digits(p, static_cast<unsigned>(d.day), 2);
    *p++ = 'T';
    p = Digits(p, static_cast<unsigned>(seconds / 3600), 2);
    *p++ = ':';
    p = Digits(p, static_cast<unsigned>(seconds / 60 % 60), 2);
    *p++ = ':';
    p = Digits(p, static_cast<unsigned>(seconds % 60), 2);
    *p++ = '.';
    p = Digits(p, nanos, 9);
    const int off = d.offsetMinutes;
    *p++ = off < 0 ? '-' : '+';
    const unsigned a = static_cast<unsigned>(off < 0 ? -off : off);
    p = Digits(p, a / 60, 2);
    *p++ = ':';
    return Digits(p, a % 60, 2);
}

std::string LocalCalendar::Iso(int64_t lineTicks) {
    char buf[kIsoTimeSize];
    return std::string(buf, WriteIso(buf, lineTicks));
}

}  // namespace qv
