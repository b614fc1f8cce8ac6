#include "core/CodeTable.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <array>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace qv {
namespace {

std::string Hex(int b) {
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02X", b);
    return buf;
}

// Shows one byte after another of one direction, as a view walks a capture.
std::vector<std::string> ShowRun(const CodeTable& table, DirectionCodes& codes, DataDirection dir,
                                 const std::vector<uint8_t>& bytes) {
    std::vector<std::string> cells;
    for (uint8_t b : bytes)
        cells.emplace_back(table.CellText(b, codes, dir));
    return cells;
}

class CodeTableTest : public ::testing::Test {
  protected:
    CodeTable table;
};

TEST(DisplayCodeNameTest, NamesEveryCodeAndUnknowns) {
    EXPECT_EQ(DisplayCodeName(kDisplayHex), "HEX");
    EXPECT_EQ(DisplayCodeName(kDisplayAscii), "ASCII");
    EXPECT_EQ(DisplayCodeName(kDisplayJis7), "JIS7");
    EXPECT_EQ(DisplayCodeName(kDisplayJis7Shifted), "JIS7");
    EXPECT_EQ(DisplayCodeName(kDisplayJis8), "JIS8");
    EXPECT_EQ(DisplayCodeName(kDisplayEbcdic), "EBCDIC");
    EXPECT_EQ(DisplayCodeName(kDisplayUnicode), "UNICODE");
    EXPECT_EQ(DisplayCodeName(kDisplayShiftJis), "S-JIS");
    EXPECT_EQ(DisplayCodeName(-1), "??????");
    EXPECT_EQ(DisplayCodeName(8), "??????");
}

TEST_F(CodeTableTest, SampleRows) {
    EXPECT_EQ(CodeTableSourceLine(0x21), "21,！,！,。,！,SS");
    EXPECT_EQ(CodeTableSourceLine(0xA1), "A1,！,！,。,。,～");
    EXPECT_EQ(CodeTableSourceLine(0xC1), "C1,Ａ,Ａ,チ,チ,Ａ");
    const std::vector<std::string> c1 = {"C1", "Ａ", "Ａ", "チ", "チ", "Ａ"};
    for (int code = 0; code < kCodeTableColumns; ++code) {
        EXPECT_EQ(table.ColumnText(0xC1, code), c1[code]) << code;
        EXPECT_EQ(table.CellText(0xC1, code), c1[code]) << code;
    }
}

TEST_F(CodeTableTest, ByteValuesThatDifferBetweenCodes) {
    // 5C is a backslash in ASCII but a yen sign in JIS X 0201.
    EXPECT_EQ(table.CellText(0x5C, kDisplayAscii), "＼");
    EXPECT_EQ(table.CellText(0x5C, kDisplayJis7), "￥");
    EXPECT_EQ(table.CellText(0x5C, kDisplayJis8), "￥");
    EXPECT_EQ(table.CellText(0x7E, kDisplayAscii), "～");
    EXPECT_EQ(table.CellText(0x7E, kDisplayJis7), "￣");
    // 80: ASCII ignores bit 7; JIS8 and EBCDIC have nothing there.
    EXPECT_EQ(table.CellText(0x80, kDisplayAscii), "NU");
    EXPECT_EQ(table.CellText(0x80, kDisplayJis8), "  ");
    EXPECT_EQ(table.CellText(0x80, kDisplayEbcdic), "  ");
    EXPECT_EQ(table.CellText(0x80, kDisplayHex), "80");
    // 40 is the EBCDIC space, shown blank.
    EXPECT_EQ(table.CellText(0x40, kDisplayAscii), "＠");
    EXPECT_EQ(table.CellText(0x40, kDisplayEbcdic), "  ");
    // E0 and A0 are the two JIS7 rows that do not follow the bit-7 rule.
    EXPECT_EQ(table.CellText(0xE0, kDisplayAscii), "｀");
    EXPECT_EQ(table.CellText(0xE0, kDisplayJis7), "、");
    EXPECT_EQ(table.CellText(0x60, kDisplayJis7), "｀");
    EXPECT_EQ(table.CellText(0xA0, kDisplayAscii), "SP");
    EXPECT_EQ(table.CellText(0xA0, kDisplayJis7), "  ");
    EXPECT_EQ(table.CellText(0x20, kDisplayJis7), "SP");
    EXPECT_EQ(table.CellText(0xA0, kDisplayJis8), "  ");
    // Quotes are typographic, not full-width ASCII.
    EXPECT_EQ(table.CellText(0x22, kDisplayAscii), "”");
    EXPECT_EQ(table.CellText(0x27, kDisplayAscii), "’");
    // The shifted column ends at 5F.
    EXPECT_EQ(table.CellText(0x5F, kDisplayJis7Shifted), "゜");
    EXPECT_EQ(table.CellText(0x60, kDisplayJis7Shifted), "  ");
    EXPECT_EQ(table.CellText(0xDF, kDisplayJis8), "゜");
    EXPECT_EQ(table.CellText(0xE1, kDisplayJis8), "  ");
}

TEST_F(CodeTableTest, CodesWithoutColumnShowBlanks) {
    for (int b = 0; b < 256; ++b) {
        auto byte = static_cast<uint8_t>(b);
        EXPECT_EQ(table.CellText(byte, kDisplayUnicode), "  ") << Hex(b);
        EXPECT_EQ(table.CellText(byte, kDisplayShiftJis), "  ") << Hex(b);
        EXPECT_EQ(table.CellText(byte, -1), "  ") << Hex(b);
        EXPECT_EQ(table.CellText(byte, 42), "  ") << Hex(b);
        DirectionCodes codes;
        codes.Select(kDisplayUnicode);
        EXPECT_EQ(table.CellText(byte, codes, DataDirection::kSd), "  ") << Hex(b);
        EXPECT_EQ(codes.sd, kDisplayUnicode);
    }
}

TEST_F(CodeTableTest, ColumnTextFallsBackToAscii) {
    for (int code : std::initializer_list<int>{kDisplayAscii, kDisplayUnicode, kDisplayShiftJis, -1,
                                               8, 1000}) {
        EXPECT_EQ(table.ColumnText(0x5C, code), "＼") << code;
        EXPECT_EQ(table.ColumnText(0x80, code), "NU") << code;
    }
    EXPECT_EQ(table.ColumnText(0x5C, kDisplayHex), "5C");
    EXPECT_EQ(table.ColumnText(0x5C, kDisplayJis7), "￥");
    EXPECT_EQ(table.ColumnText(0xC1, kDisplayJis7Shifted), "チ");
    // Column text is the raw table text: empty stays empty, unlike a cell.
    EXPECT_EQ(table.ColumnText(0x40, kDisplayEbcdic), "");
    EXPECT_EQ(table.ColumnText(0x80, kDisplayJis8), "");
}

TEST_F(CodeTableTest, Jis7ShiftOutAndInPerDirection) {
    for (uint8_t so : {uint8_t{0x0E}, uint8_t{0x8E}}) {
        for (uint8_t si : {uint8_t{0x0F}, uint8_t{0x8F}}) {
            DirectionCodes codes;
            codes.Select(kDisplayJis7);
            EXPECT_EQ(ShowRun(table, codes, DataDirection::kSd, {0x31, so, 0x31}),
                      (std::vector<std::string>{"１", "SO", "ア"}));
            EXPECT_EQ(codes.sd, kDisplayJis7Shifted);
            // The other direction has not seen the shift-out.
            EXPECT_EQ(codes.rd, kDisplayJis7);
            EXPECT_EQ(ShowRun(table, codes, DataDirection::kRd, {0x31}),
                      (std::vector<std::string>{"１"}));
            EXPECT_EQ(ShowRun(table, codes, DataDirection::kSd, {si, 0x31}),
                      (std::vector<std::string>{"SI", "１"}));
            EXPECT_EQ(codes.sd, kDisplayJis7);
        }
    }
}

TEST_F(CodeTableTest, Jis7ShiftBytesOutOfTurnAndOtherCodes) {
    DirectionCodes codes;
    codes.Select(kDisplayJis7);
    // Shift-in while unshifted and shift-out while shifted change nothing.
    EXPECT_EQ(ShowRun(table, codes, DataDirection::kRd, {0x0F, 0x31, 0x0E, 0x8E, 0x31, 0x0E}),
              (std::vector<std::string>{"SI", "１", "SO", "SO", "ア", "SO"}));
    EXPECT_EQ(codes.rd, kDisplayJis7Shifted);
    EXPECT_EQ(codes.sd, kDisplayJis7);
    // Choosing a code resets both directions, shifted or not.
    codes.Select(kDisplayJis7);
    EXPECT_EQ(codes.rd, kDisplayJis7);
    // Other codes never shift.
    for (int code : {kDisplayHex, kDisplayAscii, kDisplayJis8, kDisplayEbcdic}) {
        codes.Select(code);
        ShowRun(table, codes, DataDirection::kSd, {0x0E, 0x8E, 0x0F, 0x8F});
        EXPECT_EQ(codes.sd, code);
    }
}

TEST_F(CodeTableTest, EbcdicGaps) {
    // Unassigned or unprintable EBCDIC codes, as ranges [first, last].
    const std::vector<std::pair<int, int>> gaps = {
        {0x30, 0x31}, {0x3E, 0x3E}, {0x40, 0x40}, {0x42, 0x49}, {0x51, 0x59},
        {0x62, 0x69}, {0x70, 0x78}, {0x80, 0x80}, {0x8A, 0x90}, {0x9A, 0xA0},
        {0xAA, 0xBF}, {0xCA, 0xCF}, {0xDA, 0xDF}, {0xEA, 0xEF}, {0xFA, 0xFE}};
    std::array<bool, 256> in_gap{};
    for (auto [first, last] : gaps) {
        for (int b = first; b <= last; ++b)
            in_gap[b] = true;
    }
    for (int b = 0; b < 256; ++b) {
        auto byte = static_cast<uint8_t>(b);
        EXPECT_EQ(table.ColumnText(byte, kDisplayEbcdic).empty(), in_gap[b]) << Hex(b);
        if (in_gap[b]) {
            EXPECT_EQ(table.CellText(byte, kDisplayEbcdic), "  ") << Hex(b);
        }
    }
    // The lone texts between gaps.
    EXPECT_EQ(table.ColumnText(0x3F, kDisplayEbcdic), "SU");
    EXPECT_EQ(table.ColumnText(0x41, kDisplayEbcdic), "RS");
    EXPECT_EQ(table.ColumnText(0x50, kDisplayEbcdic), "＆");
    EXPECT_EQ(table.ColumnText(0x79, kDisplayEbcdic), "｀");
    EXPECT_EQ(table.ColumnText(0xA1, kDisplayEbcdic), "～");
    EXPECT_EQ(table.ColumnText(0xE0, kDisplayEbcdic), "＼");
    EXPECT_EQ(table.ColumnText(0xE1, kDisplayEbcdic), "NS");
    EXPECT_EQ(table.ColumnText(0xFF, kDisplayEbcdic), "EO");
}

TEST(CodeTableSplitTest, EmptyAndMissingFieldsAreEmptyTexts) {
    EXPECT_EQ(CodeTable::SplitSourceLine("80,NU"), (CodeTable::Row{"80", "NU", "", "", "", ""}));
    EXPECT_EQ(CodeTable::SplitSourceLine("40,＠,,x,,"),
              (CodeTable::Row{"40", "＠", "", "x", "", ""}));
    EXPECT_EQ(CodeTable::SplitSourceLine(""), (CodeTable::Row{}));
    EXPECT_EQ(CodeTable::SplitSourceLine("1,2,3,4,5,6,7,8"),
              (CodeTable::Row{"1", "2", "3", "4", "5", "6"}));
}

TEST_F(CodeTableTest, EveryLineSplitsBackToItsRow) {
    std::vector<std::string> lines = CodeTableSourceLines();
    ASSERT_EQ(lines.size(), 256u);
    for (int b = 0; b < 256; ++b) {
        const std::string& line = lines[b];
        EXPECT_EQ(line, CodeTableSourceLine(static_cast<uint8_t>(b)));
        CodeTable::Row row = CodeTable::SplitSourceLine(line);
        EXPECT_EQ(row[0], Hex(b));
        // A comma inside a text would shift every later column.
        std::string joined = row[0];
        for (int col = 1; col < kCodeTableColumns; ++col)
            joined += "," + row[col];
        EXPECT_EQ(joined, line) << Hex(b);
        for (int col = 0; col < kCodeTableColumns; ++col) {
            EXPECT_EQ(table.ColumnText(static_cast<uint8_t>(b), col), row[col]) << Hex(b);
        }
    }
}

TEST_F(CodeTableTest, AsciiAndJis7ColumnsIgnoreBit7) {
    for (int b = 0; b < 0x80; ++b) {
        auto lo = static_cast<uint8_t>(b), hi = static_cast<uint8_t>(b | 0x80);
        EXPECT_EQ(table.ColumnText(lo, kDisplayAscii), table.ColumnText(hi, kDisplayAscii));
        EXPECT_EQ(table.ColumnText(lo, kDisplayJis7Shifted),
                  table.ColumnText(hi, kDisplayJis7Shifted));
        if (b != 0x20 && b != 0x60) {
            EXPECT_EQ(table.ColumnText(lo, kDisplayJis7), table.ColumnText(hi, kDisplayJis7));
        }
    }
}

// A cell holds one full-width character (one UTF-8 sequence of 2-3 bytes) or two
// ASCII letters, and shows as exactly two positions either way.
TEST_F(CodeTableTest, EveryCellIsTwoPositionsWide) {
    auto is_one_wide_char = [](std::string_view s) {
        if (s.size() < 2 || s.size() > 3) return false;
        auto lead = static_cast<unsigned char>(s[0]);
        size_t len = (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : 0;
        if (len != s.size()) return false;
        for (size_t i = 1; i < len; ++i) {
            if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return false;
        }
        return true;
    };
    auto is_two_ascii = [](std::string_view s) {
        return s.size() == 2 && s[0] > 0x20 && s[0] < 0x7F && s[1] > 0x20 && s[1] < 0x7F;
    };
    for (int b = 0; b < 256; ++b) {
        auto byte = static_cast<uint8_t>(b);
        for (int code = 0; code < kCodeTableColumns; ++code) {
            std::string_view text = table.ColumnText(byte, code);
            std::string_view cell = table.CellText(byte, code);
            if (text.empty()) {
                EXPECT_EQ(cell, "  ") << Hex(b) << " code " << code;
            } else {
                EXPECT_TRUE(is_one_wide_char(text) || is_two_ascii(text))
                    << Hex(b) << " code " << code << ": " << text;
                EXPECT_EQ(cell, text) << Hex(b) << " code " << code;
            }
        }
    }
}

// Settings files and printouts carry these texts in Shift-JIS, where each must
// still fit the two bytes of one cell.
TEST_F(CodeTableTest, EveryTextFitsTwoBytesOfCp932) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << "CP932 converter not available";
    for (int b = 0; b < 256; ++b) {
        for (int code = 0; code < kCodeTableColumns; ++code) {
            std::string text(table.ColumnText(static_cast<uint8_t>(b), code));
            if (text.empty()) continue;
            char out[16];
            char* in_ptr = text.data();
            size_t in_left = text.size();
            char* out_ptr = out;
            size_t out_left = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
            EXPECT_NE(rc, static_cast<size_t>(-1)) << Hex(b) << " code " << code << ": " << text;
            EXPECT_EQ(in_left, 0u) << Hex(b) << " code " << code;
            EXPECT_LE(sizeof out - out_left, 2u) << Hex(b) << " code " << code << ": " << text;
        }
    }
    iconv_close(cd);
}

}  // namespace
}  // namespace qv
