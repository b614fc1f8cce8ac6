#include "capture/RecordTime.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "capture/CaptureRecord.h"
#include "core/NumberText.h"
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

int DateTextNumber(std::string_view date) {
    return static_cast<int>(ParseLeadingInt(date.substr(0, kDateFieldSize)));
}

DayTime MakeDayTime(std::string_view date, uint64_t ticks) {
    return DayTime{DateTextNumber(date), ticks};
}

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
}  // namespace

std::optional<std::string> FormatRecordTime(std::string_view date, uint64_t ticks) {
    auto f = SplitTicks(ticks);
    if (!f || date.size() != 6 || !std::all_of(date.begin(), date.end(), IsDigit))
        return std::nullopt;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.2s/%.2s/%.2s %02d:%02d:%02d %03dm%03du%02d0n", date.data(),
                  date.data() + 2, date.data() + 4, f->hours, f->minutes, f->seconds, f->millis,
                  f->micros, f->nanos / 10);
    return std::string(buf);
}

std::string FormatRecordTimeText(int yymmdd, uint64_t ticks) {
    // A stamp beyond 24 h only comes from a damaged chunk; show it at 24 h
    // rather than not at all.
    return FormatRecordTime(DateDigits(yymmdd), ticks > kTicksPerDay ? kTicksPerDay : ticks)
        .value_or("");
}

std::optional<DayTime> ParseRecordTime(std::string_view text) {
    // "YY/MM/DD HH:MM:SS mmmmuuuuTT0n" is 30 characters.
    constexpr size_t kLength = 30;
    if (text.size() < kLength) return std::nullopt;
    int date = 0;
    for (size_t pos : {0, 1, 3, 4, 6, 7}) {
        if (!IsDigit(text[pos])) return std::nullopt;
        date = date * 10 + (text[pos] - '0');
    }
    // From position 9 the time sits where the lettered time text has it, and
    // "TT0" read as nanoseconds gives back the TT ticks.
    return DayTime{date, TextToTicks(text.substr(9))};
}

std::optional<TypedTime> ParseTypedTime(std::string_view text) {
    constexpr size_t kSeconds = 17;  // "YY/MM/DD hh:mm:ss"
    if (text.size() == kSeconds) {
        auto t = ParseTypedRecordTime(std::string(text) + " 000m000u000n");
        if (!t) return std::nullopt;
        return TypedTime{*t, true};
    }
    if (text.size() < 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T') {
        auto t = ParseTypedRecordTime(text);
        if (!t) return std::nullopt;
        return TypedTime{*t, false};
    }
    // ISO 8601: "YYYY-MM-DDThh:mm:ss", then optionally '.' and 1 to 9 digits.
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (!IsDigit(text[i])) return std::nullopt;
    if (text[0] != '2' || text[1] != '0') return std::nullopt;  // dates keep two-digit years
    const int date = ((text[2] - '0') * 10 + (text[3] - '0')) * 10000 +
                     ((text[5] - '0') * 10 + (text[6] - '0')) * 100 +
                     (text[8] - '0') * 10 + (text[9] - '0');
    auto clock = ParseClockText(text.substr(11, 8));
    if (!DayNumber(date) || !clock) return std::nullopt;
    uint64_t ticks = FieldsToTicks(static_cast<uint64_t>(clock->hours),
                                   static_cast<uint64_t>(clock->minutes),
                                   static_cast<uint64_t>(clock->seconds), 0, 0, 0);
    std::string_view fraction = text.substr(19);
    if (fraction.empty()) return TypedTime{{date, ticks}, true};
    if (fraction[0] != '.' || fraction.size() < 2 || fraction.size() > 10) return std::nullopt;
    uint64_t nanos = 0;
    for (size_t i = 1; i < 10; ++i) {
        if (i < fraction.size() && !IsDigit(fraction[i])) return std::nullopt;
        nanos = nanos * 10 + (i < fraction.size() ? static_cast<uint64_t>(fraction[i] - '0') : 0);
    }
    return TypedTime{{date, ticks + nanos / 10}, false};
}

std::optional<DayTime> ParseTypedRecordTime(std::string_view text) {
    constexpr std::string_view kShape = "00/00/00 00:00:00 000m000u000n";
    if (text.size() != kShape.size()) return std::nullopt;
    for (size_t i = 0; i < kShape.size(); ++i) {
        const bool digit = IsDigit(text[i]);
        if (kShape[i] == '0' ? !digit : text[i] != kShape[i]) return std::nullopt;
    }
    // The end of a day is a time the index writes, so it is taken back.
    const bool dayEnd = text.substr(9) == "24:00:00 000m000u000n";
    auto t = ParseRecordTime(text);
    if (!t || !DayNumber(t->date) || (!dayEnd && !ParseClockText(text.substr(9, 8))))
        return std::nullopt;
    return t;
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
