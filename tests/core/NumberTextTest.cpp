#include "core/NumberText.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qv
