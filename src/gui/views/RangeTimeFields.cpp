#include "views/RangeTimeFields.h"

#include <cstdio>
#include <cstdlib>

namespace qv {

namespace {
constexpr uint64_t kTicksPerSecond = 100'000'000;  // 10 ns ticks
}

QDateTime RecordDateTime(const std::string& recordTime) {
    auto t = ParseRecordTime(recordTime);
    if (!t || t->date.size() < 6) return {};
    const int yymmdd = std::atoi(t->date.substr(0, 6).c_str());
    const auto seconds = static_cast<int>(t->ticks / kTicksPerSecond);
    return QDateTime(QDate(2000 + yymmdd / 10000, yymmdd / 100 % 100, yymmdd % 100),
                     QTime(0, 0).addSecs(seconds % 86400));
}

RangeTimeKey PickedTimeKey(const QDate& date, const QTime& time, bool wholeSecond) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d", date.year() % 100, date.month(), date.day());
    uint64_t ticks = static_cast<uint64_t>(time.hour() * 3600 + time.minute() * 60 + time.second()) *
                     kTicksPerSecond;
    if (wholeSecond) ticks += kTicksPerSecond - 1;
    return MakeRangeTimeKey(text, ticks);
}

}  // namespace qv
