#include "core/CodeTable.h"

#include <cstdio>

#include "core/TextCodec.h"

namespace qv {

namespace {

// Two-letter names of the control codes 00-1F.
constexpr std::array<const char*, 32> kControlNames = {
    "NU", "SH", "ST", "EX", "ET", "EQ", "AK", "BL", "BS", "HT", "LF", "VT", "FF", "CR", "SO", "SI",
    "DL", "D1", "D2", "D3", "D4", "NK", "SY", "EB", "CA", "EM", "SC", "EC", "FS", "GS", "RS", "US",
};

// JIS X 0201 katakana A1-DF in their full-width forms, each three UTF-8 bytes.
constexpr char kKatakana[] =
    "。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマ"
    "ミムメモ"
    "ヤユヨラリルレロワン゛゜";
static_assert(sizeof kKatakana == 63 * 3 + 1, "one three-byte character for each of 21..5F");

// EBCDIC has no rule that maps it onto the other columns, so it is kept whole.
// Row = high hex digit of the byte; empty = nothing shown.
// clang-format off
constexpr std::array<const char*, 256> kEbcdic = {
    "NU", "SH", "ST", "EX", "SL", "HT", "RL", "DE", "GE", "SC", "RT", "VT", "FF", "CR", "SO", "SI",  // 00
    "DL", "D1", "D2", "D3", "RE", "NL", "BS", "PC", "CA", "EM", "UB", "C1", "IF", "IG", "IS", "IU",  // 10
    "DS", "SS", "FS", "WU", "BY", "LF", "EB", "ES", "SA", "SE", "SM", "CP", "MA", "EQ", "AK", "BL",  // 20
    "",   "",   "SY", "IR", "PP", "TR", "NB", "ET", "SB", "IT", "RF", "C3", "D4", "NK", "",   "SU",  // 30
    "",   "RS", "",   "",   "",   "",   "",   "",   "",   "",   "￠", "．", "＜", "（", "＋", "｜",  // 40
    "＆", "",   "",   "",   "",   "",   "",   "",   "",   "",   "！", "＄", "＊", "）", "；", "￢",  // 50
    "－", "／", "",   "",   "",   "",   "",   "",   "",   "",   "￤", "，", "％", "＿", "＞", "？",  // 60
    "",   "",   "",   "",   "",   "",   "",   "",   "",   "｀", "：", "＃", "＠", "’", "＝", "”",  // 70
    "",   "ａ", "ｂ", "ｃ", "ｄ", "ｅ", "ｆ", "ｇ", "ｈ", "ｉ", "",   "",   "",   "",   "",   "",    // 80
    "",   "ｊ", "ｋ", "ｌ", "ｍ", "ｎ", "ｏ", "ｐ", "ｑ", "ｒ", "",   "",   "",   "",   "",   "",    // 90
    "",   "～", "ｓ", "ｔ", "ｕ", "ｖ", "ｗ", "ｘ", "ｙ", "ｚ", "",   "",   "",   "",   "",   "",    // A0
    "",   "",   "",   "",   "",   "",   "",   "",   "",   "",   "",   "",   "",   "",   "",   "",    // B0
    "｛", "Ａ", "Ｂ", "Ｃ", "Ｄ", "Ｅ", "Ｆ", "Ｇ", "Ｈ", "Ｉ", "",   "",   "",   "",   "",   "",    // C0
    "｝", "Ｊ", "Ｋ", "Ｌ", "Ｍ", "Ｎ", "Ｏ", "Ｐ", "Ｑ", "Ｒ", "",   "",   "",   "",   "",   "",    // D0
    "＼", "NS", "Ｓ", "Ｔ", "Ｕ", "Ｖ", "Ｗ", "Ｘ", "Ｙ", "Ｚ", "",   "",   "",   "",   "",   "",    // E0
    "０", "１", "２", "３", "４", "５", "６", "７", "８", "９", "",   "",   "",   "",   "",   "EO",  // F0
};
// clang-format on

// Only HEX..EBCDIC have a column; their numbers are the column indexes.
constexpr bool HasColumn(int code) {
    return code >= kDisplayHex && code <= kDisplayEbcdic;
}

// Encodes one BMP code point; the table holds nothing outside the BMP.
std::string Utf8(char32_t cp) {
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

// Control codes, space and delete look the same in every 7-bit column.
// Returns nullptr for printable characters.
const char* ControlText(unsigned b7) {
    if (b7 < 0x20) return kControlNames[b7];
    if (b7 == 0x20) return "SP";
    if (b7 == 0x7F) return "DE";
    return nullptr;
}

std::string AsciiText(uint8_t byte) {
    unsigned b7 = byte & 0x7Fu;
    if (const char* c = ControlText(b7)) return c;
    // Quotes use the typographic forms; everything else the full-width block.
    if (b7 == 0x22) return "”";
    if (b7 == 0x27) return "’";
    return Utf8(0xFF01 + (b7 - 0x21));
}

std::string Jis7Text(uint8_t byte) {
    if (byte == 0xA0) return "";
    if (byte == 0xE0) return "、";
    unsigned b7 = byte & 0x7Fu;
    // JIS X 0201 Roman differs from ASCII in just these two places.
    if (b7 == 0x5C) return "￥";
    if (b7 == 0x7E) return "￣";
    return AsciiText(byte);
}

std::string Jis7ShiftedText(uint8_t byte) {
    unsigned b7 = byte & 0x7Fu;
    if (const char* c = ControlText(b7)) return c;
    if (b7 >= 0x60) return "";
    return std::string(kKatakana + 3 * (b7 - 0x21), 3);
}

std::string Jis8Text(uint8_t byte) {
    if (byte < 0x80) return Jis7Text(byte);
    if (byte >= 0xA1 && byte <= 0xDF) return Jis7ShiftedText(byte);
    return "";
}

// Display width of the UTF-8 character starting at s[i], and its length in bytes.
// ASCII and half-width katakana take one position, everything else two. A broken
// sequence counts as one byte of width one so that fitting always moves forward.
void MeasureChar(std::string_view s, size_t i, size_t& len, int& width) {
    auto u = static_cast<unsigned char>(s[i]);
    len = Utf8SequenceLength(s, i);
    if (len <= 1) {
        len = 1;
        width = 1;
        return;
    }
    char32_t cp = u & (0x7F >> len);
    for (size_t k = 1; k < len; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    width = (cp >= 0xFF61 && cp <= 0xFF9F) ? 1 : 2;
}

// Cuts a text to at most two display positions and pads it with spaces to
// exactly two. Counting positions rather than bytes keeps a UTF-8 full-width
// character (three bytes) whole.
std::string FitTwoPositions(std::string_view text) {
    std::string out;
    int used = 0;
    for (size_t i = 0; i < text.size();) {
        size_t len = 0;
        int width = 0;
        MeasureChar(text, i, len, width);
        if (used + width > 2) break;
        out.append(text.substr(i, len));
        used += width;
        i += len;
    }
    out.append(static_cast<size_t>(2 - used), ' ');
    return out;
}

constexpr std::string_view kBlankCell = "  ";

}  // namespace

std::string_view DisplayCodeName(int code) {
    switch (code) {
        case kDisplayHex:
            return "HEX";
        case kDisplayAscii:
            return "ASCII";
        case kDisplayJis7:
        case kDisplayJis7Shifted:
            return "JIS7";
        case kDisplayJis8:
            return "JIS8";
        case kDisplayEbcdic:
            return "EBCDIC";
        case kDisplayUnicode:
            return "UNICODE";
        case kDisplayShiftJis:
            return "S-JIS";
        default:
            return "??????";
    }
}

std::string CodeTableSourceLine(uint8_t byte) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", byte);
    std::string line = hex;
    for (const std::string& text : {AsciiText(byte), Jis7Text(byte), Jis7ShiftedText(byte),
                                    Jis8Text(byte), std::string(kEbcdic[byte])}) {
        line += ',';
        line += text;
    }
    return line;
}

std::vector<std::string> CodeTableSourceLines() {
    std::vector<std::string> lines;
    lines.reserve(256);
    for (int b = 0; b < 256; ++b)
        lines.push_back(CodeTableSourceLine(static_cast<uint8_t>(b)));
    return lines;
}

CodeTable::Row CodeTable::SplitSourceLine(std::string_view line) {
    Row row;
    size_t start = 0;
    for (int col = 0; col < kCodeTableColumns && start <= line.size(); ++col) {
        size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) {
            row[col] = line.substr(start);
            break;
        }
        row[col] = line.substr(start, comma - start);
        start = comma + 1;
    }
    return row;
}

CodeTable::CodeTable() {
    // Rows follow the order of the lines; the hex field is text like any other.
    std::vector<std::string> lines = CodeTableSourceLines();
    for (size_t b = 0; b < text_.size(); ++b) {
        text_[b] = SplitSourceLine(lines[b]);
        for (int col = 0; col < kCodeTableColumns; ++col)
            cell_[b][col] = FitTwoPositions(text_[b][col]);
    }
}

std::string_view CodeTable::ColumnText(uint8_t byte, int code) const {
    int col = HasColumn(code) ? code : kDisplayAscii;
    return text_[byte][col];
}

std::string_view CodeTable::CellText(uint8_t byte, int code) const {
    if (!HasColumn(code)) return kBlankCell;
    return cell_[byte][code];
}

std::string_view CodeTable::CellText(uint8_t byte, DirectionCodes& codes, DataDirection dir) const {
    int& code = codes[dir];
    std::string_view cell = CellText(byte, code);
    unsigned b7 = byte & 0x7Fu;
    if (code == kDisplayJis7 && b7 == 0x0E) {
        code = kDisplayJis7Shifted;
    } else if (code == kDisplayJis7Shifted && b7 == 0x0F) {
        code = kDisplayJis7;
    }
    return cell;
}

const CodeTable& DisplayCodeTable() {
    static const CodeTable table;
    return table;
}

}  // namespace qv
