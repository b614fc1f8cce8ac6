#include "cli/SettingsText.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>

#include "capture/CaptureIndexText.h"
#include "cli/CliSupport.h"
#include "core/NumberText.h"
#include "core/TimeText.h"
#include "settings/EditorRules.h"
#include "settings/TriggerSummary.h"

namespace qv::cli {

namespace {

std::string Word(WordTable table, int code) {
    return std::string(WordOf(table, code).value_or("---"));
}

std::string LineText(uint8_t line) {
    switch (line) {
        case kLineRs232:
            return "RS-232 (232)";
        case kLineRs422:
            return "RS-422/485 (422/485)";
        case kLineRs530:
            return "RS-530 (530)";
        default:
            return "---";
    }
}

std::string CycleText(uint32_t ns) {
    return ns == 0
               ? "off"
               : FormatThousands(static_cast<int32_t>(std::min<uint32_t>(ns, INT32_MAX))) + " ns";
}

std::string OnOff(uint32_t v) {
    return v == 1 ? "ON" : v == 0 ? "OFF" : "---";
}

}  // namespace

std::optional<int64_t> ParseWholeNumber(std::string_view text) {
    int64_t v = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    return v;
}

std::optional<ParsedPattern> ParsePattern(std::string_view text, std::string& why) {
    ParsedPattern p;
    p.scopes.fill(kScopeEnd);
    size_t n = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == ' ') {
            ++pos;
            continue;
        }
        size_t end = text.find(' ', pos);
        std::string_view tok = text.substr(pos, end == std::string_view::npos ? end : end - pos);
        pos = end == std::string_view::npos ? text.size() : end;
        if (n == kStringBytes) {
            why = "a pattern has at most 16 bytes";
            return std::nullopt;
        }
        uint8_t scope = kScopeNone;
        if (tok == "**") {
            p.scopes[n++] = kScopeAll;
            continue;
        }
        if (tok.starts_with("!")) {
            scope = kScopeNot;
            tok.remove_prefix(1);
        } else if (tok.starts_with(">=")) {
            scope = kScopeOver;
            tok.remove_prefix(2);
        } else if (tok.starts_with("<=")) {
            scope = kScopeUnder;
            tok.remove_prefix(2);
        }
        size_t digits = 0;
        auto byte = static_cast<uint8_t>(ParseHexPrefix(tok, 2, &digits));
        if (digits != 2 || tok.size() != 2) {
            why = "\"" + std::string(tok) + "\" is not a byte of two hex digits";
            return std::nullopt;
        }
        p.bytes[n] = byte;
        p.scopes[n++] = scope;
    }
    return p;
}

std::string PatternText(const DataString& bytes, const DataString& scopes) {
    std::string out;
    for (int i = 0; i < PatternLength(scopes); ++i) {
        if (!out.empty()) out += ' ';
        switch (scopes[static_cast<size_t>(i)]) {
            case kScopeAll:
                out += "**";
                continue;
            case kScopeNot:
                out += "!";
                break;
            case kScopeOver:
                out += ">=";
                break;
            case kScopeUnder:
                out += "<=";
                break;
            case kScopeNone:
                break;
            default:
                out += "?";
                break;
        }
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", bytes[static_cast<size_t>(i)]);
        out += hex;
    }
    return out;
}

std::optional<int64_t> ParseLocalTime(std::string_view text) {
    // YYYY-MM-DD HH:MM:SS: fixed positions, every other character a separator.
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' ||
        (text[10] != ' ' && text[10] != 'T') || !ParseClockText(text.substr(11)))
        return std::nullopt;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    if (text.substr(0, 2) != "20") return std::nullopt;  // stored with a two-digit year
    std::string digits;
    for (size_t i : {2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18})
        digits += text[i];
    // A day the calendar does not have ("2030-02-30") is refused rather than
    // carried into the next month.
    if (!IsValidDateText(std::string_view(digits).substr(0, 6))) return std::nullopt;
    return ParseTriggerTime(digits);
}

std::string LocalTimeText(int64_t time) {
    std::time_t t = static_cast<std::time_t>(time);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return "---";
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

void PrintMonitorSettings(std::ostream& out, const MonitorSettings& m, const SamplingSettings& s,
                          SyncSetting sync, const std::string& sdName, const std::string& rdName) {
    out << "Line:        " << LineText(m.Line) << "\n"
        << "Protocol:    " << Word(kProtocolWords, m.Protocol) << "\n"
        << "Rates:       " << sdName << " " << BitRateText(m.SD_Baudrate, kLineTypeRs422)
        << " bit/s, " << rdName << " " << BitRateText(m.RD_Baudrate, kLineTypeRs422) << " bit/s\n"
        << "Character:   " << static_cast<int>(m.DataLen) << " data bits, parity "
        << Word(kParityWords, m.Parity) << ", stop bits " << Word(kStopBitWords, m.StopBit) << ", "
        << Word(kBitOrderWords, static_cast<int>(m.BitOrder)) << " first, " << sdName << " "
        << Word(kDataLogicWords, static_cast<int>(m.SDDataLogic)) << ", " << rdName << " "
        << Word(kDataLogicWords, static_cast<int>(m.RDDataLogic)) << "\n"
        << "Sync:        FCS " << Word(kFcsWords, m.FCS) << ", sync chars "
        << static_cast<int>(m.SyncCharCnt) << " (" << HexByte(m.SyncChar1) << " "
        << HexByte(m.SyncChar2) << "), release " << static_cast<int>(m.SyncReleaseCnt) << " ("
        << HexByte(m.SyncReleaseChar) << "), transparent " << OnOff(m.TransParent) << " ("
        << HexByte(m.TransParentChar) << "), padding " << OnOff(m.Padding) << " ("
        << HexByte(m.PaddingChar) << ")\n"
        << "Clocking:    " << Word(kDataFormatWords, m.DataFormat) << ", clock "
        << Word(kClockWords, m.Clock) << ", SD " << Word(kClockRateWords, m.SD_ClockRate) << ", RD "
        << Word(kClockRateWords, m.RD_ClockRate) << ", SyncSetting "
        << Word(kSyncSettingWords, sync) << "\n"
        << "Sampling:    SD data " << Word(kYesNoWords, static_cast<int>(s.SDEnable))
        << ", RD data " << Word(kYesNoWords, static_cast<int>(s.RDEnable)) << "\n";
    static constexpr const char* kLines[] = {"SD", "RD", "RS", "CS",    "ER",
                                             "DR", "CD", "CI", "EXTIN", "EXTOUT"};
    for (int i = 0; i < kSampledLines; ++i)
        out << "  " << kLines[i] << std::string(8 - std::string_view(kLines[i]).size(), ' ')
            << CycleText(s.cycles[static_cast<size_t>(i)]) << "\n";
    out << "Memory:      " << Word(kMemoryWords, m.Memory) << ", save device "
        << (m.SaveDevice == kSaveDevicePc   ? "PC"
            : m.SaveDevice == kSaveDeviceCf ? "CF"
                                            : "---")
        << "\n";
}

void PrintStatusSet(std::ostream& out, const StatusSet& set) {
    const MonitorSettings& m = set.status.monitor;
    int type = EditorLineType(m.Line);
    auto [sdName, rdName] = DataLineNames(set.format, type);
    PrintMonitorSettings(out, m, set.status.sampling, set.status.sync, sdName, rdName);

    LineNames names = LineNamesOf(set.format, type);
    for (int n = 0; n < kTriggerCount; ++n) {
        const TriggerSetting& t = set.triggers[static_cast<size_t>(n)];
        out << "\n" << Say("トリガ", "Trigger ") << n + 1 << (t.enabled ? " (enabled)" : " (disabled)") << "\n";
        std::string text = TriggerSummary(t, &names);
        for (size_t pos = 0; pos < text.size();) {
            size_t end = text.find("\r\n", pos);
            out << "  " << text.substr(pos, end - pos) << "\n";
            pos = end == std::string::npos ? text.size() : end + 2;
        }
    }
    out << "\nTrigger operands:\n";
    for (int i = 0; i < kOptionTimes; ++i)
        out << "  Time" << i + 1 << "   " << LocalTimeText(set.option.times[static_cast<size_t>(i)])
            << "\n";
    for (int i = 0; i < kOptionCounts; ++i)
        out << "  Cnt" << i + 1 << "    " << set.option.counts[static_cast<size_t>(i)] << "\n";
    for (int i = 0; i < kOptionStrings; ++i)
        out << "  " << OptionStringKey(i) << "  "
            << PatternText(set.option.strings[static_cast<size_t>(i)],
                           set.option.scopes[static_cast<size_t>(i)])
            << "\n";
    out << "\nDisplay table:\n";
    for (int i = 0; i < kFormatRows; ++i) {
        const FormatEntry& e = set.format[static_cast<size_t>(i)];
        char colour[16];
        std::snprintf(colour, sizeof colour, "#%02X%02X%02X", e.colour & 0xFF,
                      (e.colour >> 8) & 0xFF, (e.colour >> 16) & 0xFF);
        char head[512];
        std::snprintf(head, sizeof head, "  %2d %-8s %-4s %s %-3s ", i + 1,
                      Word(kFormatLineWords, e.line).c_str(), e.name.c_str(), colour,
                      e.shown ? "ON" : "OFF");
        out << head << e.comment << "\n";
    }
}

}  // namespace qv::cli
