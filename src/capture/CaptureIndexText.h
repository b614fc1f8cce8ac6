// Value texts of the capture index (.qvr): chunk entries, trigger records,
// marks, start and end times, signal names and date texts.
//
// Every comma-separated value is accepted only with exactly its expected
// number of commas; a rejected value leaves the target untouched. Within an
// accepted value an empty field leaves its target unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "capture/CaptureRecord.h"
#include "core/TextFields.h"

namespace qv {

// ---------------------------------------------------------------------------
// Splitting

// GetField and CountCommas live in TextFields.h.

// ---------------------------------------------------------------------------
// Signal codes, the text form of a record kind or line in the index.

enum SignalCode : int8_t {
    kSignalSdData = 0,
    kSignalRdData = 1,
    kSignalSd = 2,
    kSignalRd = 3,
    kSignalRs = 4,
    kSignalCs = 5,
    kSignalEr = 6,
    kSignalDr = 7,
    kSignalCd = 8,
    kSignalCi = 9,
    kSignalExtIn = 10,
    kSignalExtOut = 11,
    kSignalNon = -1,  // 255 as an unsigned byte
};

// "SD_DATA" ... "EXT_OUT", "NON" for 255 or -1; nullopt for a code outside the
// table, which must not be written.
std::optional<std::string_view> SignalName(int code);
// A name outside the table reads as 0 (SD data).
int8_t SignalCodeFromName(std::string_view name);

// ---------------------------------------------------------------------------
// Date texts: YYMMDD, year minus 2000.

// nullopt for a year outside 2000..2099 or an impossible calendar date, which
// would not fit the six characters every reader expects.
std::optional<std::string> FormatDate(int year, int month, int day);
// Exactly six digits naming a real calendar day.
bool IsValidDateText(std::string_view text);

// ---------------------------------------------------------------------------
// Index values

// A start or end time as the index stores it: the date text as written
// (DayTime is the time everything else works with) and a time of day in
// 10 ns ticks.
struct IndexTime {
    std::string date;
    uint64_t ticks = 0;
};

// Chunk entry of section DataFile: date, colon time text, then the 14
// counters. A start time over 24 h is written as the time text of 0.
std::string FormatChunkEntry(const ChunkEntry& entry);
// Needs exactly 15 commas and a date field of at most 8 bytes.
bool ParseChunkEntry(std::string_view text, ChunkEntry& entry);

// Trigger record: chunk, date, colon time text, code. nullopt when the time is
// over 24 h or the date holds a comma.
std::optional<std::string> FormatTriggerRecord(const TriggerEvent& event);
// Needs exactly 3 commas and a date field of at most 8 bytes.
bool ParseTriggerRecord(std::string_view text, TriggerEvent& event);

// One of the five user marks.
struct CaptureMark {
    std::string name;   // at most 255 bytes; empty for a new mark
    int32_t chunk = 0;  // number of the chunk file holding the marked record
    std::string date;   // YYMMDD of the marked record
    uint64_t time = 0;  // 10 ns ticks; the end time for frame records
    int8_t signal = 0;  // SignalCode of the marked record's kind
    std::string comment;
};

inline constexpr size_t kMaxMarkName = 255;

// name, chunk, date, colon time text, signal name, comment. nullopt when the
// value could not be read back as written: a comma or line break in a text
// field, a name over 255 bytes, a time over 24 h or a signal code outside the
// table.
std::optional<std::string> FormatMark(const CaptureMark& mark);
// Needs exactly 5 commas.
bool ParseMark(std::string_view text, CaptureMark& mark);

// StartTime / EndTime: date, colon time text. nullopt over 24 h or when the
// date holds a comma.
std::optional<std::string> FormatIndexTime(std::string_view date, uint64_t ticks);
// Needs exactly 1 comma.
bool ParseIndexTime(std::string_view text, IndexTime& time);

// The end time stored in the index: the stop time plus 99,999,999 ticks so that
// the stop's last second is inside the capture, but never past 24 h, which no
// time text can hold.
inline constexpr uint64_t kEndTimeMargin = 99'999'999;
uint64_t IndexEndTicks(uint64_t stopTicks);

}  // namespace qv
