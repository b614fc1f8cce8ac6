#include "present/DumpPageText.h"

#include <algorithm>
#include <optional>

#include "core/TextCodec.h"

namespace qv {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kNoCharacter = '.';
constexpr std::string_view kOtherDirection = "  ";

bool IsLead(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool IsTrail(uint8_t b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// The raw bytes cut into the characters CP932 can have: printable ASCII,
// half-width katakana and lead/trail pairs; everything else becomes ".".
std::vector<std::string> ShiftJisUnits(const std::string& raw) {
    std::vector<std::string> units;
    for (size_t i = 0; i < raw.size(); ++i) {
        auto b = static_cast<uint8_t>(raw[i]);
        if (IsLead(b) && i + 1 < raw.size() && IsTrail(static_cast<uint8_t>(raw[i + 1]))) {
            units.push_back(raw.substr(i, 2));
            ++i;
        } else if ((b >= 0x20 && b <= 0x7E) || (b >= 0xA1 && b <= 0xDF)) {
            units.emplace_back(1, raw[i]);
        } else {
            units.emplace_back(1, kNoCharacter);
        }
    }
    return units;
}

// Converting a whole text is one conversion; only a text holding a code CP932
// does not assign is converted unit by unit.
std::string ConvertUnits(const std::vector<std::string>& units) {
    std::string joined;
    for (const auto& u : units)
        joined += u;
    if (auto text = Cp932ToUtf8(joined)) return *text;
    std::string out;
    for (const auto& u : units) {
        auto text = Cp932ToUtf8(u);
        out += text ? *text : std::string(1, kNoCharacter);
    }
    return out;
}

std::string HexText(uint8_t b) {
    return {kHexDigits[b >> 4], kHexDigits[b & 0xF]};
}

}  // namespace

std::string ShiftJisDisplayText(const std::string& raw) {
    return ConvertUnits(ShiftJisUnits(raw));
}

std::vector<DumpRowText> DumpPageTexts(const std::vector<DumpByte>& bytes,
                                       const DumpTextOptions& options, const CodeTable& table) {
    const size_t perLine = static_cast<size_t>(std::max(1, options.bytesPerLine));
    const bool shiftJis = options.code == kDisplayShiftJis;
    // The HEX code shows its bytes in the cells already; the character
    // column then reads them as ASCII.
    DirectionCodes codes;
    codes.Select(options.code == kDisplayHex ? kDisplayAscii : options.code);

    auto emptyRow = [&](bool sd) {
        DumpRowText row;
        row.sd = sd;
        row.name = sd ? options.sdName : options.rdName;
        row.cells.assign(perLine, std::string());
        return row;
    };
    auto charOf = [&](const DumpByte& b) {
        return table.CellText(b.value, codes, b.IsSd() ? DataDirection::kSd : DataDirection::kRd);
    };

    std::vector<DumpRowText> rows;
    std::vector<std::string> raw;  // per row, for Shift-JIS
    for (size_t first = 0; first < bytes.size(); first += perLine) {
        const size_t end = std::min(bytes.size(), first + perLine);
        if (options.mode == kDumpDual) {
            DumpRowText sd = emptyRow(true), rd = emptyRow(false);
            std::string sdRaw, rdRaw;
            for (size_t i = first; i < end; ++i) {
                const DumpByte& b = bytes[i];
                DumpRowText& own = b.IsSd() ? sd : rd;
                DumpRowText& other = b.IsSd() ? rd : sd;
                own.cells[i - first] = HexText(b.value);
                if (shiftJis) {
                    (b.IsSd() ? sdRaw : rdRaw) += static_cast<char>(b.value);
                } else {
                    own.chars += charOf(b);
                    other.chars += kOtherDirection;
                }
            }
            rows.push_back(std::move(sd));
            rows.push_back(std::move(rd));
            raw.push_back(std::move(sdRaw));
            raw.push_back(std::move(rdRaw));
        } else {
            DumpRowText row = emptyRow(options.mode == kDumpSd);
            std::string rowRaw;
            for (size_t i = first; i < end; ++i) {
                row.cells[i - first] = HexText(bytes[i].value);
                if (shiftJis)
                    rowRaw += static_cast<char>(bytes[i].value);
                else
                    row.chars += charOf(bytes[i]);
            }
            rows.push_back(std::move(row));
            raw.push_back(std::move(rowRaw));
        }
    }
    if (shiftJis) {
        for (size_t r = 0; r < rows.size() && r < raw.size(); ++r)
            rows[r].chars = ShiftJisDisplayText(raw[r]);
    }
    return rows;
}

}  // namespace qv
