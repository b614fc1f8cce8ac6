#include "core/TimeText.h"

#include <cstdio>

namespace qv {

std::optional<TimeFields> SplitTicks(uint64_t ticks) {
    if (ticks > kTicksPerDay) return std::nullopt;
    TimeFields f;
    f.hours = static_cast<int>(ticks / kTicksPerHour);
    ticks %= kTicksPerHour;
    f.minutes = static_cast<int>(ticks / kTicksPerMinute);
    ticks %= kTicksPerMinute;
    f.seconds = static_cast<int>(ticks / kTicksPerSecond);
    ticks %= kTicksPerSecond;
    f.millis = static_cast<int>(ticks / kTicksPerMilli);
    ticks %= kTicksPerMilli;
    f.micros = static_cast<int>(ticks / kTicksPerMicro);
    f.nanos = static_cast<int>(ticks % kTicksPerMicro) * 10;
    return f;
}

std::optional<std::string> TicksToLetteredText(uint64_t ticks) {
    auto f = SplitTicks(ticks);
    if (!f) return std::nullopt;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d %03dm%03du%03dn", f->hours, f->minutes,
                  f->seconds, f->millis, f->micros, f->nanos);
    return std::string(buf);
}

std::optional<std::string> TicksToColonText(uint64_t ticks) {
    auto f = SplitTicks(ticks);
    if (!f) return std::nullopt;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d %03d:%03d:%03d", f->hours, f->minutes,
                  f->seconds, f->millis, f->micros, f->nanos);
    return std::string(buf);
}

namespace {
// A field at fixed positions [pos, pos+len); characters past the text's end are absent.
uint64_t FieldAt(std::string_view text, size_t pos, size_t len) {
    if (pos >= text.size()) return 0;
    int64_t v = ParseLeadingInt(text.substr(pos, len));
    return v < 0 ? 0 : static_cast<uint64_t>(v);
}
}  // namespace

uint64_t TextToTicks(std::string_view text) {
    return FieldsToTicks(FieldAt(text, 0, 2), FieldAt(text, 3, 2), FieldAt(text, 6, 2),
                         FieldAt(text, 9, 3), FieldAt(text, 13, 3), FieldAt(text, 17, 3));
}

std::optional<TimeFields> ParseClockText(std::string_view text) {
    if (text.size() != 8 || text[2] != ':' || text[5] != ':') return std::nullopt;
    for (size_t i : {0, 1, 3, 4, 6, 7})
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    auto two = [&](size_t i) { return (text[i] - '0') * 10 + (text[i + 1] - '0'); };
    TimeFields f;
    f.hours = two(0);
    f.minutes = two(3);
    f.seconds = two(6);
    if (f.hours > 23 || f.minutes > 59 || f.seconds > 59) return std::nullopt;
    return f;
}

uint64_t FieldsToTicks(uint64_t hours, uint64_t minutes, uint64_t seconds, uint64_t millis,
                       uint64_t micros, uint64_t nanos) {
    return hours * kTicksPerHour + minutes * kTicksPerMinute + seconds * kTicksPerSecond +
           millis * kTicksPerMilli + micros * kTicksPerMicro + nanos / 10;
}

}  // namespace qv
