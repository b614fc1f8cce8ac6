#include "present/ChartClock.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "core/TimeText.h"

namespace qv {

ChartClock::ChartClock(int startDate) {
    auto day = DayNumber(startDate);
    if (!day) {
        startDate = 101;
        day = DayNumber(startDate);
    }
    m_startDate = startDate;
    m_startDay = *day;
}

double ChartClock::ToChart(int date, uint64_t ticks) const {
    // A record whose date cannot be read stays on the start date rather than
    // being thrown decades away.
    const int64_t day = DayNumber(date).value_or(m_startDay);
    return static_cast<double>(day - m_startDay) * static_cast<double>(kTicksPerDay) +
           static_cast<double>(ticks);
}

std::optional<DayTime> ChartClock::FromChart(double chartTicks) const {
    if (!std::isfinite(chartTicks)) return std::nullopt;
    const double limit = 36525.0 * static_cast<double>(kTicksPerDay);  // a century either side
    if (std::fabs(chartTicks) > limit) return std::nullopt;
    return NormaliseDayTime(m_startDate, static_cast<int64_t>(std::floor(chartTicks)));
}

std::string ChartClock::FieldText(double chartTicks) const {
    auto t = FromChart(chartTicks);
    if (!t) return {};
    auto time = TicksToLetteredText(t->ticks);
    if (!time) return {};
    char date[16];
    std::snprintf(date, sizeof date, "%02d/%02d/%02d ", t->date / 10000 % 100, t->date / 100 % 100,
                  t->date % 100);
    return date + *time;
}

std::string CursorDifferenceText(double xTicks, double yTicks) {
    const double diff = xTicks - yTicks;
    const uint64_t t = static_cast<uint64_t>(std::llround(std::fabs(diff)));
    char text[64];
    std::snprintf(text, sizeof text, "%s%02llu:%02llu:%02llu %03llum%03lluu%03llun",
                  diff < 0 && t > 0 ? "- " : "", static_cast<unsigned long long>(t / kTicksPerHour),
                  static_cast<unsigned long long>(t / kTicksPerMinute % 60),
                  static_cast<unsigned long long>(t / kTicksPerSecond % 60),
                  static_cast<unsigned long long>(t / kTicksPerMilli % 1000),
                  static_cast<unsigned long long>(t / kTicksPerMicro % 1000),
                  static_cast<unsigned long long>(t % kTicksPerMicro * 10));
    return text;
}

}  // namespace qv
