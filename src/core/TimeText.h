// Time-of-day texts: conversions between 10 ns ticks since local midnight and
// the two fixed-width text forms the system writes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/NumberText.h"

namespace qv {

// 10 ns ticks in one unit of time.
inline constexpr uint64_t kTicksPerHour = 360'000'000'000ULL;
inline constexpr uint64_t kTicksPerMinute = 6'000'000'000ULL;
inline constexpr uint64_t kTicksPerSecond = 100'000'000ULL;
inline constexpr uint64_t kTicksPerMilli = 100'000ULL;
inline constexpr uint64_t kTicksPerMicro = 100ULL;
// A time of day is at most 24 h; exactly 24 h is still a valid time text.
inline constexpr uint64_t kTicksPerDay = 8'640'000'000'000ULL;

// The fields of a time of day; nanoseconds are always a multiple of 10.
struct TimeFields {
    int hours = 0, minutes = 0, seconds = 0, millis = 0, micros = 0, nanos = 0;
};

// Splits a tick count; std::nullopt above 24 h.
std::optional<TimeFields> SplitTicks(uint64_t ticks);

// "%02d:%02d:%02d %03dm%03du%03dn" (13:05:09 004m210u560n); nullopt above 24 h.
std::optional<std::string> TicksToLetteredText(uint64_t ticks);
// "%02d:%02d:%02d %03d:%03d:%03d" (13:45:07 123:456:780), the form INI-style
// files hold; nullopt above 24 h.
std::optional<std::string> TicksToColonText(uint64_t ticks);

// Reads either form by fixed character positions (0-1, 3-4, 6-7, 9-11, 13-15,
// 17-19), not by separators; a missing or non-numeric field reads as 0, as the
// C runtime's atoi would. Nanoseconds are truncated to whole ticks.
uint64_t TextToTicks(std::string_view text);

// A time of day a person typed, "hh:mm:ss": two digits each, hours 0-23,
// minutes and seconds 0-59. Every typed date or time goes through this one
// rule, so no command reads 12:00:61 as 12:01:01 while another refuses it.
std::optional<TimeFields> ParseClockText(std::string_view text);

// h*3.6e11 + m*6e9 + s*1e8 + ms*1e5 + us*100 + ns/10, without range checks.
uint64_t FieldsToTicks(uint64_t hours, uint64_t minutes, uint64_t seconds, uint64_t millis,
                       uint64_t micros, uint64_t nanos);

}  // namespace qv
