// One time line for a whole capture. A record's time is its chunk's date and
// 10 ns ticks since that day's local midnight; analysis that measures gaps
// across midnight, and output for other programs, need a single number and
// real calendar times instead.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "core/TimeZone.h"

namespace qv {

// Days from 2000-01-01 to the YYMMDD date number (year - 2000); dates that
// are no calendar date count as day 0, so a damaged date cannot stop a walk.
int64_t DayIndexOf(int yymmdd);
// 10 ns ticks since local midnight of 2000-01-01, the date's own day
// counted as 8 640 000 000 000 ticks whatever the clocks did that day.
inline constexpr int64_t kTicksPerDayI = 8'640'000'000'000LL;
inline int64_t LineTicks(int64_t dayIndex, int64_t ticksOfDay) {
    return dayIndex * kTicksPerDayI + ticksOfDay;
}

// The date number (YYMMDD) and ticks since that day's midnight.
struct LineDay {
    int yymmdd = 0;
    int64_t ticks = 0;
};
LineDay LineDayOf(int64_t lineTicks);

// Turns line ticks into calendar times of the zone the capture was recorded
// in (the instrument's clock was set from that computer's), or without one,
// of this machine's zone. The zone's offset is taken at each day's midnight
// and kept per day (a clock change inside a day is not followed: the
// instrument's ticks do not follow it either).
class LocalCalendar {
  public:
    explicit LocalCalendar(std::optional<TimeZone> zone = std::nullopt) : m_zone(std::move(zone)) {}

    // Seconds since 1970-01-01 UTC of the local midnight that starts the day.
    int64_t MidnightEpochSeconds(int64_t dayIndex);
    // The line time in 10 ns units since 1970-01-01 UTC (pcapng's clock).
    int64_t EpochTicks(int64_t lineTicks);
    // "2024-05-01T13:45:07.123456780+09:00": ISO 8601 local time to the
    // nanosecond with the zone's offset, so that other programs read it
    // without knowing the zone. Writes 35 characters; returns the end.
    char* WriteIso(char* out, int64_t lineTicks);
    std::string Iso(int64_t lineTicks);

  private:
    struct Day {
        int64_t midnight = 0;   // epoch seconds
        int offsetMinutes = 0;  // east of UTC
        int year = 0, month = 0, day = 0;
    };
    const Day& DayOf(int64_t dayIndex);
    std::optional<TimeZone> m_zone;
    std::unordered_map<int64_t, Day> m_days;
    int64_t m_lastIndex = INT64_MIN;
    const Day* m_last = nullptr;
};

inline constexpr size_t kIsoTimeSize = 35;

class CaptureReader;
// The zone a capture's times are read in: `chosen` when given (a command's
// --tz or --utc), else the one it was recorded in when this machine knows
// it, else none (this machine's own).
std::optional<TimeZone> CaptureZone(CaptureReader& file, const std::string& chosen);

}  // namespace qv
