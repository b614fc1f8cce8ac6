#include "core/NumberText.h"

#include <gtest/gtest.h>

#include <utility>

namespace qv {
namespace {

TEST(NumberTextTest, FormatThousands) {
    EXPECT_EQ(FormatThousands(0), "0");
    EXPECT_EQ(FormatThousands(999), "999");
    EXPECT_EQ(FormatThousands(1000), "1,000");
    EXPECT_EQ(FormatThousands(1234567), "1,234,567");
    EXPECT_EQ(FormatThousands(-1000), "-1,000");
    EXPECT_EQ(FormatThousands(-999), "-999");
    EXPECT_EQ(FormatThousands(INT32_MIN), "-2,147,483,648");
}

TEST(NumberTextTest, TypedNumbersGroupByThreesOrNotAtAll) {
    const std::pair<const char*, const char*> good[] = {
        {"0", "0"}, {"9600", "9600"}, {"9,600", "9600"}, {"12,500,000", "12500000"},
        {"134.5", "134.5"}, {"1,000.25", "1000.25"}};
    for (auto [text, plain] : good) EXPECT_EQ(UngroupNumberText(text, true).value_or("-"), plain);
    for (const char* bad : {"", ",", "1,2,3", "12,34", "1234,567", ",123", "123,", "1.2.3", "1.",
                            ".5", "1,000.5,0", " 1", "+1", "-1", "1e3", "0x10"})
        EXPECT_FALSE(UngroupNumberText(bad, true).has_value()) << bad;
    EXPECT_FALSE(UngroupNumberText("134.5", false).has_value());
}

}  // namespace
}  // namespace qv
