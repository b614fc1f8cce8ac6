#include "capture/RecordTime.h"

#include <chrono>
#include <cstdio>

#include "capture/CaptureIndexText.h"
#include "core/TimeText.h"

namespace qv {

int AsyncCharTiming::Bits() const {
    return dataLen + stopBit / 10 + 1 + (parity > 0 ? 1 : 0);
}

double AsyncCharTiming::Rate(bool sd) const {
    double rate = sd ? sdBaud : rdBaud;
    if (sdBaud == 0 && rdBaud == 0) {
        int cr = sd ? sdClockRate : rdClockRate;
        rate = frequency / (cr == 1 ? 16 : cr == 2 ? 32 : cr == 3 ? 64 : 1);
    }
    return rate > 0 ? rate : 0;
}

double AsyncCharTiming::BitTicks(bool sd) const {
    const double rate = Rate(sd);
    return rate > 0 ? 100'000'000.0 / rate : 0;
}

uint64_t AsyncCharTiming::CharTicks(bool sd) const {
    const double rate = Rate(sd);
    if (!(rate > 0)) return 0;  // no rate: no character time, never a division by 0
    // The stamp is taken half a bit before the character's end.
    double ticks = (Bits() - 0.5) / rate * 100'000'000.0;
    if (!(ticks > 0) || ticks > static_cast<double>(kTicksPerDay)) return 0;
    return static_cast<uint64_t>(ticks);
}

std::optional<DayTime> NormaliseDayTime(int yymmdd, int64_t ticks) {
    using namespace std::chrono;
    const int64_t day = static_cast<int64_t>(kTicksPerDay);
    if (ticks >= 0 && ticks <= day) return DayTime{yymmdd, static_cast<uint64_t>(ticks)};
    year_month_day ymd{year(2000 + yymmdd / 10000),
                       month(static_cast<unsigned>(yymmdd / 100 % 100)),
                       std::chrono::day(static_cast<unsigned>(yymmdd % 100))};
    if (!ymd.ok()) return std::nullopt;
    int64_t shift = ticks < 0 ? -((-ticks + day - 1) / day) : (ticks - 1) / day;
    sys_days moved = sys_days(ymd) + days(shift);
    year_month_day out{moved};
    int y = static_cast<int>(out.year()) - 2000;
    if (y < 0 || y > 99) return std::nullopt;
    return DayTime{y * 10000 + static_cast<int>(static_cast<unsigned>(out.month())) * 100 +
                       static_cast<int>(static_cast<unsigned>(out.day())),
                   static_cast<uint64_t>(ticks - shift * day)};
}

std::string DateDigits(int yymmdd) {
    char date[16];
    std::snprintf(date, sizeof date, "%02d%02d%02d", yymmdd / 10000 % 100, yymmdd / 100 % 100,
                  yymmdd % 100);
    return date;
}

DayTime MakeDayTime(std::string_view date, uint64_t ticks) {
    return DayTime{static_cast<int>(ParseLeadingInt(date)), ticks};
}

std::string FormatRecordTimeText(int yymmdd, uint64_t ticks) {
    // A stamp beyond 24 h only comes from a damaged chunk; show it at 24 h
    // rather than not at all.
    return FormatRecordTime(DateDigits(yymmdd), ticks > kTicksPerDay ? kTicksPerDay : ticks)
        .value_or("");
}

std::optional<DayTime> ParseRecordTimeText(std::string_view text) {
    auto t = ParseRecordTime(text);
    if (!t) return std::nullopt;
    return MakeDayTime(t->date, t->ticks);
}

std::optional<int64_t> DayNumber(int yymmdd) {
    using namespace std::chrono;
    if (yymmdd < 0) return std::nullopt;
    year_month_day ymd{year(2000 + yymmdd / 10000),
                       month(static_cast<unsigned>(yymmdd / 100 % 100)),
                       day(static_cast<unsigned>(yymmdd % 100))};
    if (!ymd.ok()) return std::nullopt;
    return sys_days(ymd).time_since_epoch().count();
}

}  // namespace qv
