// Chart time: a double in 10 ns ticks counted from 00:00 of the capture's
// start date, so that a capture running past midnight keeps one time axis.
// Converts record dates and times of day to chart times and back, and makes
// the texts of the Line window's time fields.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "capture/RecordTime.h"

namespace qv {

class ChartClock {
  public:
    // `startDate` is the capture's start date as a YYMMDD number (year 2000+YY);
    // an impossible date counts as 2000-01-01.
    explicit ChartClock(int startDate = 101);

    int StartDate() const { return m_startDate; }
    // The chart time of a time of day on a date.
    double ToChart(int date, uint64_t ticks) const;
    double ToChart(const DayTime& t) const { return ToChart(t.date, t.ticks); }
    // The date and time of day of a chart time (rounded down to a tick);
    // nullopt outside the years 2000..2099.
    std::optional<DayTime> FromChart(double chartTicks) const;

    // A time field: "%y/%m/%d", a space and the time of day
    // ("13:05:09 004m210u560n"); empty when the time has no date.
    std::string FieldText(double chartTicks) const;

  private:
    int m_startDate;
    int64_t m_startDay;  // days since 1970-01-01
};

// The "X - Y" field: the difference as hours, minutes, seconds, milli-, micro-
// and nanoseconds ("00:00:01 250m000u000n"), prefixed "- " when Y is later
// than X. Hours run past 24 for cursors days apart.
std::string CursorDifferenceText(double xTicks, double yTicks);

}  // namespace qv
