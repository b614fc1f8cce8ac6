#include "capture/CaptureIndexText.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>

#include "core/TimeText.h"

namespace qv {

namespace {

constexpr std::array<std::string_view, 12> kSignalNames = {
    "SD_DATA", "RD_DATA", "SD", "RD", "RS", "CS", "ER", "DR", "CD", "CI", "EXT_IN", "EXT_OUT"};
constexpr std::string_view kSignalNonName = "NON";

// A text that would split into more fields, or break the INI line, when read back.
bool HoldsSeparator(std::string_view text) {
    return text.find_first_of(",\r\n") != std::string_view::npos;
}

// Empty fields leave the target alone; numbers read like atoi.
void ReadU32(std::string_view field, uint32_t& target) {
    if (!field.empty()) target = static_cast<uint32_t>(ParseLeadingInt(field));
}
void ReadI32(std::string_view field, int32_t& target) {
    if (!field.empty()) target = static_cast<int32_t>(ParseLeadingInt(field));
}
void ReadU64(std::string_view field, uint64_t& target) {
    if (!field.empty()) target = static_cast<uint64_t>(ParseLeadingInt(field));
}
void ReadTicks(std::string_view field, uint64_t& target) {
    if (!field.empty()) target = TextToTicks(field);
}
void ReadText(std::string_view field, std::string& target) {
    if (!field.empty()) target.assign(field);
}
// Caller has already checked that the field fits.
void ReadDate(std::string_view field, char (&target)[kDateFieldSize]) {
    if (!field.empty()) SetDateField(target, field);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
int Digits2(std::string_view text, size_t pos) {
    return (text[pos] - '0') * 10 + text[pos + 1] - '0';
}

bool IsSixDigits(std::string_view text) {
    return text.size() == 6 && std::all_of(text.begin(), text.end(), IsDigit);
}

bool IsCalendarDay(int year, int month, int day) {
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month != 2 || day <= 28 || leap;
}

}  // namespace

std::optional<std::string_view> SignalName(int code) {
    if (code >= 0 && code < static_cast<int>(kSignalNames.size())) return kSignalNames[code];
    if (code == kSignalNon || code == 255) return kSignalNonName;
    return std::nullopt;
}

int8_t SignalCodeFromName(std::string_view name) {
    for (size_t i = 0; i < kSignalNames.size(); ++i)
        if (kSignalNames[i] == name) return static_cast<int8_t>(i);
    if (name == kSignalNonName) return kSignalNon;
    return kSignalSdData;
}

std::optional<std::string> FormatDate(int year, int month, int day) {
    if (year < 2000 || year > 2099 || !IsCalendarDay(year, month, day)) return std::nullopt;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d%02d%02d", year - 2000, month, day);
    return std::string(buf);
}

bool IsValidDateText(std::string_view text) {
    if (!IsSixDigits(text)) return false;
    return IsCalendarDay(2000 + Digits2(text, 0), Digits2(text, 2), Digits2(text, 4));
}

std::string FormatChunkEntry(const ChunkEntry& e) {
    // A start time past 24 h has no time text; the entry is still written so
    // the chunk stays readable.
    const std::string time = TicksToColonText(e.startTime).value_or(*TicksToColonText(0));
    const std::string_view date = DateFieldText(e.date);
    // Counters go out as "%d", so a file moves unchanged between systems that
    // print them signed; reading casts back to the same 32 bits.
    auto s = [](uint32_t v) { return static_cast<int32_t>(v); };
    char buf[256];
    std::snprintf(buf, sizeof buf, "%.*s,%s,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d",
                  static_cast<int>(date.size()), date.data(), time.c_str(), s(e.sdRecords),
                  s(e.rdRecords), s(e.lineChanges), s(e.events), s(e.lineBitChanges[0]),
                  s(e.lineBitChanges[1]), s(e.lineBitChanges[2]), s(e.lineBitChanges[3]),
                  s(e.lineBitChanges[4]), s(e.lineBitChanges[5]), s(e.lineBitChanges[6]),
                  s(e.lineBitChanges[7]), s(e.eventBitChanges[0]), s(e.eventBitChanges[1]));
    return std::string(buf);
}

bool ParseChunkEntry(std::string_view text, ChunkEntry& e) {
    if (CountCommas(text) != 15 || GetField(text, 1).size() > kDateFieldSize) return false;
    ReadDate(GetField(text, 1), e.date);
    ReadTicks(GetField(text, 2), e.startTime);
    ReadU32(GetField(text, 3), e.sdRecords);
    ReadU32(GetField(text, 4), e.rdRecords);
    ReadU32(GetField(text, 5), e.lineChanges);
    ReadU32(GetField(text, 6), e.events);
    for (size_t i = 0; i < 8; ++i)
        ReadU32(GetField(text, 7 + i), e.lineBitChanges[i]);
    for (size_t i = 0; i < 2; ++i)
        ReadU32(GetField(text, 15 + i), e.eventBitChanges[i]);
    return true;
}

std::optional<std::string> FormatTriggerRecord(const TriggerEvent& t) {
    const std::string_view date = DateFieldText(t.date);
    auto time = TicksToColonText(t.time);
    if (!time || HoldsSeparator(date)) return std::nullopt;
    char buf[128];
    std::snprintf(buf, sizeof buf, "%" PRIu64 ",%.*s,%s,%d", t.chunk, static_cast<int>(date.size()),
                  date.data(), time->c_str(), t.code);
    return std::string(buf);
}

bool ParseTriggerRecord(std::string_view text, TriggerEvent& t) {
    if (CountCommas(text) != 3 || GetField(text, 2).size() > kDateFieldSize) return false;
    ReadU64(GetField(text, 1), t.chunk);
    ReadDate(GetField(text, 2), t.date);
    ReadTicks(GetField(text, 3), t.time);
    ReadI32(GetField(text, 4), t.code);
    return true;
}

std::optional<std::string> FormatMark(const CaptureMark& m) {
    // A comma in a text field would change the comma count, and the whole
    // mark would be rejected on the next read: refuse it now instead.
    if (m.name.size() > kMaxMarkName || HoldsSeparator(m.name) || HoldsSeparator(m.date) ||
        HoldsSeparator(m.comment))
        return std::nullopt;
    auto time = TicksToColonText(m.time);
    auto signal = SignalName(m.signal);
    if (!time || !signal) return std::nullopt;
    std::string out;
    out.reserve(m.name.size() + m.date.size() + m.comment.size() + 48);
    out.append(m.name).append(",").append(std::to_string(m.chunk)).append(",");
    out.append(m.date).append(",").append(*time).append(",");
    out.append(*signal).append(",").append(m.comment);
    return out;
}

bool ParseMark(std::string_view text, CaptureMark& m) {
    if (CountCommas(text) != 5) return false;
    ReadText(GetField(text, 1), m.name);
    ReadI32(GetField(text, 2), m.chunk);
    ReadText(GetField(text, 3), m.date);
    ReadTicks(GetField(text, 4), m.time);
    if (auto f = GetField(text, 5); !f.empty()) m.signal = SignalCodeFromName(f);
    ReadText(GetField(text, 6), m.comment);
    return true;
}

std::optional<std::string> FormatIndexTime(std::string_view date, uint64_t ticks) {
    auto time = TicksToColonText(ticks);
    if (!time || HoldsSeparator(date)) return std::nullopt;
    std::string out(date);
    out.append(",").append(*time);
    return out;
}

bool ParseIndexTime(std::string_view text, IndexTime& t) {
    if (CountCommas(text) != 1) return false;
    ReadText(GetField(text, 1), t.date);
    ReadTicks(GetField(text, 2), t.ticks);
    return true;
}

uint64_t IndexEndTicks(uint64_t stopTicks) {
    return std::min(stopTicks, kTicksPerDay - kEndTimeMargin) + kEndTimeMargin;
}

}  // namespace qv
