#include "views/RangeTimeFields.h"

namespace qv {

namespace {
constexpr uint64_t kTicksPerSecond = 100'000'000;  // 10 ns ticks
}

QDateTime RecordDateTime(const std::string& recordTime) {
    auto t = ParseRecordTime(recordTime);
    if (!t) return {};
    const int yymmdd = t->date;
    const auto seconds = static_cast<int>(t->ticks / kTicksPerSecond);
    return QDateTime(QDate(2000 + yymmdd / 10000, yymmdd / 100 % 100, yymmdd % 100),
                     QTime(0, 0).addSecs(seconds % 86400));
}

DayTime PickedTimeKey(const QDate& date, const QTime& time, bool wholeSecond) {
    uint64_t ticks = static_cast<uint64_t>(time.hour() * 3600 + time.minute() * 60 + time.second()) *
                     kTicksPerSecond;
    if (wholeSecond) ticks += kTicksPerSecond - 1;
    return DayTime{date.year() % 100 * 10000 + date.month() * 100 + date.day(), ticks};
}

}  // namespace qv
