#include "settings/FormatEntry.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

std::vector<std::string> Names(const FormatHalf& rows) {
    std::vector<std::string> out;
    for (const FormatEntry& e : rows)
        out.push_back(e.name + (e.shown ? "+" : "-"));
    return out;
}

TEST(FormatLines, WordsAndFieldsRoundTrip) {
    FormatEntry e{"mk", 1, "名前", RgbColour(1, 2, 255), 0, "コメント"};
    std::optional<std::string> text = FormatLineText(e);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "mk,RD_DATA,名前,1,2,255,OFF,コメント");
    EXPECT_EQ(ParseFormatLine(*text), e);
    EXPECT_EQ(FormatLineText(DefaultFormatTable()[0]), ",SD,SD,0,255,0,ON,Send Data");
    // Every line code that has a word comes back as itself.
    for (int code = 0; code < 256; ++code) {
        FormatEntry row{"", static_cast<uint8_t>(code), "n", 0, 1, ""};
        std::optional<std::string> t = FormatLineText(row);
        EXPECT_EQ(t.has_value(), code <= 11 || code == 255) << code;
        if (t) {
            EXPECT_EQ(ParseFormatLine(*t)->line, code);
        }
    }
    EXPECT_EQ(ParseFormatLine(",WHAT,n,0,0,0,ON,")->line, 0);
    EXPECT_EQ(ParseFormatLine(",SD,n,0,0,0,on,")->shown, 0u);
    EXPECT_FALSE(ParseFormatLine(",SD,n,0,0,0,ON"));
    EXPECT_FALSE(ParseFormatLine(",SD,n,0,0,0,ON,a,b"));
    EXPECT_FALSE(FormatLineText({"", 2, "a\nb", 0, 1, ""}));
    EXPECT_FALSE(FormatLineText({"", 2, "n", 0, 1, "a,b"}));
}

TEST(Availability, SampledLinesAndTheLineType) {
    SamplingSettings s;
    EXPECT_TRUE(IsLineAvailable(kFormatSd, s, kLineTypeRs232));
    EXPECT_TRUE(IsLineAvailable(9, s, kLineTypeRs232));
    EXPECT_FALSE(IsLineAvailable(9, s, kLineTypeRs422));  // no CI
    EXPECT_FALSE(IsLineAvailable(6, s, kLineTypeRs422));  // no ER
    EXPECT_TRUE(IsLineAvailable(10, s, kLineTypeRs422));
    EXPECT_FALSE(IsLineAvailable(kFormatNoLine, s, kLineTypeRs232));
    s.SDEnable = 0;
    s.cycles[kRS] = 0;
    EXPECT_FALSE(IsLineAvailable(kFormatSd, s, kLineTypeRs232));
    EXPECT_FALSE(IsLineAvailable(kFormatSdData, s, kLineTypeRs232));
    EXPECT_FALSE(IsLineAvailable(4, s, kLineTypeRs232));
}

TEST(Normalising, Rs422HidesTheLinesItLacksAndPutsThemLast) {
    FormatHalf rows = FormatHalfOf(DefaultFormatTable(), kLineTypeRs422);
    NormaliseFormatRows(rows, SamplingSettings{}, kLineTypeRs422);
    EXPECT_EQ(Names(rows), (std::vector<std::string>{"TxD+", "RxD+", "RTS+", "CTS+", "EI+", "EO+",
                                                     "DTR-", "DSR-", "DCD-", "-"}));
}

TEST(Normalising, ShownThenHiddenThenUnavailableEachKeepingItsOrder) {
    FormatHalf rows = FormatHalfOf(DefaultFormatTable(), kLineTypeRs232);
    rows[2].shown = 0;  // RS hidden by the user
    rows[7].shown = 0;  // CI
    SamplingSettings s;
    s.SDEnable = 0;
    s.cycles[kCS] = 0;
    NormaliseFormatRows(rows, s, kLineTypeRs232);
    EXPECT_EQ(Names(rows), (std::vector<std::string>{"RD+", "ER+", "DR+", "CD+", "IN+", "OUT+",
                                                     "RS-", "CI-", "SD-", "CS-"}));
    // Normalising again changes nothing.
    FormatHalf again = rows;
    NormaliseFormatRows(again, s, kLineTypeRs232);
    EXPECT_EQ(again, rows);
}

TEST(DefaultHalves, LineCodesInOrderWithTheNamesOfTheirHalf) {
    FormatHalf rs232 = DefaultFormatHalf(kLineTypeRs232);
    EXPECT_EQ(rs232, FormatHalfOf(DefaultFormatTable(), kLineTypeRs232));
    FormatHalf rs422 = DefaultFormatHalf(kLineTypeRs422);
    for (size_t i = 0; i < rs422.size(); ++i) {
        EXPECT_EQ(rs422[i].line, kFormatSd + i);
        EXPECT_EQ(rs422[i].shown, 1u);
        EXPECT_EQ(rs422[i].colour, RgbColour(0, 255, 0));
    }
    EXPECT_EQ(rs422[7].name, "");  // CI
    EXPECT_EQ(rs422[8].name, "EI");
    EXPECT_EQ(rs422[9].comment, "External Out");
}

TEST(DisplayNames, SdAndRdLabelsComeFromTheRowsOfTheHalf) {
    FormatTable table = DefaultFormatTable();
    EXPECT_EQ(DataLineNames(table, kLineTypeRs422),
              (std::pair<std::string, std::string>{"TxD", "RxD"}));
    table[0].line = kFormatNoLine;
    EXPECT_EQ(DataLineNames(table, kLineTypeRs232).first, "SD");
    table[0].line = 3;
    table[0].name = "X";
    table[1].line = 4;
    EXPECT_EQ(DataLineNames(table, kLineTypeRs232).second, "X");
    EXPECT_EQ(LineNamesOf(table, kLineTypeRs422)[8], "EI");
}

}  // namespace
}  // namespace qv
