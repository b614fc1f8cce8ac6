#include "settings/FormatEntry.h"

#include <algorithm>

#include "core/IniFile.h"
#include "core/TimeText.h"

namespace qv {

namespace {

constexpr CodeWord kLineWord[] = {
    {0, "SD_DATA"}, {1, "RD_DATA"},  {2, "SD"},    {3, "RD"}, {4, "RS"},
    {5, "CS"},      {6, "ER"},       {7, "DR"},    {8, "CD"}, {9, "CI"},
    {10, "EXT_IN"}, {11, "EXT_OUT"}, {255, "NON"},
};

struct DefaultRow {
    uint8_t line;
    const char* name;
    bool shown;
    const char* comment;
};
constexpr DefaultRow kDefaults[kFormatRows] = {
    {2, "SD", true, "Send Data"},
    {3, "RD", true, "Receive Data"},
    {4, "RS", true, "Request to Send"},
    {5, "CS", true, "Clear to Send"},
    {6, "ER", true, "Equipment Ready"},
    {7, "DR", true, "Dataset Ready"},
    {8, "CD", true, "Carrier Detect"},
    {9, "CI", true, "Call Indicate"},
    {10, "IN", true, "External In"},
    {11, "OUT", true, "External Out"},
    {2, "TxD", true, "Transmitted Data"},
    {3, "RxD", true, "Received Data"},
    {4, "RTS", true, "Request to Send"},
    {5, "CTS", true, "Clear to Send"},
    {6, "DTR", true, "DTE Ready"},
    {7, "DSR", true, "DCE Ready"},
    {8, "DCD", true, "Data Carrier Detect"},
    {10, "EI", true, "External In"},
    {11, "EO", true, "External Out"},
    {9, "", false, ""},
};

FormatTable BuildDefaults() {
    FormatTable t;
    for (size_t i = 0; i < t.size(); ++i) {
        const DefaultRow& d = kDefaults[i];
        t[i] = FormatEntry{"", d.line, d.name, kFormatDefaultColour, d.shown ? 1u : 0u, d.comment};
    }
    return t;
}

bool HoldsSeparator(std::string_view text) {
    return text.find_first_of(",\r\n") != std::string_view::npos;
}

size_t HalfStart(int lineType) {
    return lineType == kLineTypeRs422 ? kFormatHalfRows : 0;
}

}  // namespace

const WordTable kFormatLineWords{kLineWord};

std::optional<std::string> FormatLineText(const FormatEntry& e) {
    std::optional<std::string_view> word = WordOf(kFormatLineWords, e.line);
    if (!word) return std::nullopt;
    if (HoldsSeparator(e.mark) || HoldsSeparator(e.name) || HoldsSeparator(e.comment))
        return std::nullopt;
    std::string out = e.mark;
    out += ',';
    out += *word;
    out += ',';
    out += e.name;
    for (int shift = 0; shift < 24; shift += 8) {
        out += ',';
        out += std::to_string((e.colour >> shift) & 0xFF);
    }
    out += e.shown == 1 ? ",ON," : ",OFF,";
    out += e.comment;
    return out;
}

std::optional<FormatEntry> ParseFormatLine(std::string_view text) {
    if (std::count(text.begin(), text.end(), ',') != 7) return std::nullopt;
    auto field = [&](int n) { return IniFile::GetField(text, n); };
    auto byte = [&](int n) { return static_cast<uint32_t>(ParseLeadingInt(field(n)) & 0xFF); };
    FormatEntry e;
    e.mark = field(1);
    e.line = static_cast<uint8_t>(CodeOf(kFormatLineWords, field(2), 0));
    e.name = field(3);
    e.colour = byte(4) | (byte(5) << 8) | (byte(6) << 16);
    e.shown = field(7) == "ON" ? 1 : 0;
    e.comment = field(8);
    return e;
}

const FormatTable& DefaultFormatTable() {
    static const FormatTable table = BuildDefaults();
    return table;
}

FormatHalf DefaultFormatHalf(int lineType) {
    const FormatTable& defaults = DefaultFormatTable();
    size_t start = HalfStart(lineType);
    FormatHalf rows;
    for (size_t i = 0; i < rows.size(); ++i) {
        auto code = static_cast<uint8_t>(kFormatSd + i);
        FormatEntry e{"", code, "", kFormatDefaultColour, 1, ""};
        // Take name and comment from the default row of this half with the same
        // line; the RS-422/485/530 CI row has neither.
        for (size_t k = start; k < start + kFormatHalfRows; ++k) {
            if (defaults[k].line == code) {
                e.name = defaults[k].name;
                e.comment = defaults[k].comment;
                break;
            }
        }
        rows[i] = e;
    }
    return rows;
}

bool IsLineAvailable(uint8_t code, const SamplingSettings& s, int lineType) {
    switch (code) {
        case kFormatSdData:
        case kFormatSd:
            return s.SDEnable == 1;
        case kFormatRdData:
        case kFormatSd + 1:
            return s.RDEnable == 1;
        default:
            break;
    }
    if (code < kFormatSd || code > kFormatExtOut) return false;
    int line = code - kFormatSd;
    // An RS-422/485/530 line has no ER, DR, CD or CI.
    if (lineType == kLineTypeRs422 && line >= kER && line <= kCI) return false;
    return s.cycles[static_cast<size_t>(line)] != 0;
}

void NormaliseFormatRows(FormatHalf& rows, const SamplingSettings& s, int lineType) {
    for (FormatEntry& e : rows)
        if (!IsLineAvailable(e.line, s, lineType)) e.shown = 0;
    auto rank = [&](const FormatEntry& e) {
        if (!IsLineAvailable(e.line, s, lineType)) return 2;
        return e.shown != 0 ? 0 : 1;
    };
    std::stable_sort(rows.begin(), rows.end(),
                     [&](const FormatEntry& a, const FormatEntry& b) { return rank(a) < rank(b); });
}

FormatHalf FormatHalfOf(const FormatTable& table, int lineType) {
    FormatHalf rows;
    std::copy_n(table.begin() + static_cast<ptrdiff_t>(HalfStart(lineType)), kFormatHalfRows,
                rows.begin());
    return rows;
}

void SetFormatHalf(FormatTable& table, int lineType, const FormatHalf& rows) {
    std::copy(rows.begin(), rows.end(),
              table.begin() + static_cast<ptrdiff_t>(HalfStart(lineType)));
}

std::pair<std::string, std::string> DataLineNames(const FormatTable& table, int lineType) {
    std::pair<std::string, std::string> names{"SD", "RD"};
    for (const FormatEntry& e : FormatHalfOf(table, lineType)) {
        if (e.line == kFormatSd) names.first = e.name;
        if (e.line == kFormatSd + 1) names.second = e.name;
    }
    return names;
}

std::array<std::string, 10> LineNamesOf(const FormatTable& table, int lineType) {
    std::array<std::string, 10> names = {"SD", "RD", "RS", "CS", "ER",
                                         "DR", "CD", "CI", "IN", "OUT"};
    std::array<bool, 10> seen{};
    for (const FormatEntry& e : FormatHalfOf(table, lineType)) {
        if (e.line < kFormatSd || e.line > kFormatExtOut) continue;
        auto i = static_cast<size_t>(e.line - kFormatSd);
        if (seen[i]) continue;  // the first row of a line names it
        seen[i] = true;
        names[i] = e.name;
    }
    return names;
}

}  // namespace qv
