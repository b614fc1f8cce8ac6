// Record time texts as the capture windows show and exchange them:
// "YY/MM/DD hh:mm:ss mmmmuuuTT0n" (09/12/05 13:45:12 123m456u780n), with times
// that ran past midnight or before it moved to the neighbouring day.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

// The character time of an ASYNC character, in 10 ns ticks: how long before
// its time stamp (taken at the stop bit) the character began.
struct AsyncCharTiming {
    double sdBaud = 0, rdBaud = 0;         // bits per second
    int dataLen = 8;                       // data bits
    int parity = 0;                        // 0 none, else one parity bit
    int stopBit = 10;                      // tenths of a bit
    int sdClockRate = 0, rdClockRate = 0;  // 1, 2, 3: divisors 16, 32, 64
    double frequency = 0;                  // Hz, used when both baud rates are 0

    // 0 when the rate is unknown (no baud rate and no frequency).
    uint64_t CharTicks(bool sd) const;
    // Bits of one character on the line: start, data, parity and stop bits.
    int Bits() const;
    // One bit, in ticks; 0 when the rate is unknown.
    double BitTicks(bool sd) const;
    // Bits per second of the direction; 0 when unknown.
    double Rate(bool sd) const;
};

// The one record time: a date (YYMMDD as a number) and a time of day in
// ticks. Windows, commands and ranges hand it to each other and compare it
// (date first, then ticks); text is made from it only to be shown or written.
struct DayTime {
    int date = 0;        // YYMMDD number
    uint64_t ticks = 0;  // 0 .. 24 h
    friend auto operator<=>(const DayTime&, const DayTime&) = default;
};

// A signed time of day in ticks normalised into the day it falls in: before
// midnight moves to the previous day, past 24 h to the next. Exactly 24 h
// stays on its day. nullopt when the date is not a calendar date.
std::optional<DayTime> NormaliseDayTime(int yymmdd, int64_t ticks);

// The six date digits "YYMMDD" of a date number.
std::string DateDigits(int yymmdd);
// The number a stored date text spells: the leading number of its first 8
// bytes, as every reader of the index takes it (an empty text is 0).
int DateTextNumber(std::string_view date);
// A stored date text and a time of day.
DayTime MakeDayTime(std::string_view date, uint64_t ticks);

// ---------------------------------------------------------------------------
// Record time text: "YY/MM/DD HH:MM:SS mmmmuuuuTT0n" where TT are the ticks
// left after the microseconds (tens of nanoseconds).

// nullopt when the date is not a valid YYMMDD text or the time is over 24 h.
std::optional<std::string> FormatRecordTime(std::string_view date, uint64_t ticks);
// The record time text of a date number and a time of day up to 24 h; the
// date is split as a number, whatever it holds.
std::string FormatRecordTimeText(int yymmdd, uint64_t ticks);
inline std::string FormatRecordTimeText(const DayTime& t) {
    return FormatRecordTimeText(t.date, t.ticks);
}
// Reads fixed positions; nullopt for a text shorter than the format or with a
// non-digit in the date positions.
std::optional<DayTime> ParseRecordTime(std::string_view text);
// A record time a person typed: exactly that form, a calendar day, the
// clock fields as ParseClockText takes them and three digits before each of
// m, u and n (the last one truncated to whole ticks); the day's end
// "24:00:00 000m000u000n" too. nullopt otherwise.
std::optional<DayTime> ParseTypedRecordTime(std::string_view text);

// A time typed in any of the forms the commands take:
//   "YY/MM/DD hh:mm:ss"                 (a whole second)
//   "YY/MM/DD hh:mm:ss 000m000u000n"    (the record time text)
//   "YYYY-MM-DDThh:mm:ss[.fraction]"    (ISO 8601 local time, years 2000-2099;
//                                        a whole second without the fraction,
//                                        which is cut to whole ticks)
struct TypedTime {
    DayTime at;
    bool wholeSecond = false;  // no part of the second was given
};
std::optional<TypedTime> ParseTypedTime(std::string_view text);
// The forms ParseTypedTime takes, for a message about a time it refused.
inline constexpr const char* kTypedTimeForms =
    "\"YY/MM/DD hh:mm:ss[ 000m000u000n]\" or \"YYYY-MM-DDThh:mm:ss[.fraction]\"";

// Days since 1970-01-01 of a YYMMDD number; nullopt when not a calendar date.
std::optional<int64_t> DayNumber(int yymmdd);

}  // namespace qv
