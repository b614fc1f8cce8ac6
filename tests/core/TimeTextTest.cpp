#include "core/TimeText.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(TimeText, BoundsOfTheDay) {
    EXPECT_EQ(TicksToLetteredText(0).value(), "00:00:00 000m000u000n");
    EXPECT_EQ(TicksToColonText(8'639'999'999'999ULL).value(), "23:59:59 999:999:990");
    EXPECT_EQ(TicksToColonText(kTicksPerDay).value(), "24:00:00 000:000:000");
    EXPECT_EQ(TicksToLetteredText(kTicksPerDay).value(), "24:00:00 000m000u000n");
    EXPECT_FALSE(TicksToColonText(kTicksPerDay + 1).has_value());
    EXPECT_FALSE(TicksToLetteredText(kTicksPerDay + 1).has_value());
}

TEST(TimeText, LetteredExample) {
    uint64_t t = FieldsToTicks(13, 5, 9, 4, 210, 560);
    EXPECT_EQ(TicksToLetteredText(t).value(), "13:05:09 004m210u560n");
}

TEST(TimeText, FixedPositionsReadBothForms) {
    EXPECT_EQ(TextToTicks("00:00:00 000:000:015"), 1u);  // 15 ns truncates to one tick
    uint64_t t = FieldsToTicks(13, 45, 7, 123, 456, 780);
    EXPECT_EQ(TextToTicks("13:45:07 123:456:780"), t);
    EXPECT_EQ(TextToTicks("13:45:07 123m456u780n"), t);
    // Separators do not matter, positions do.
    EXPECT_EQ(TextToTicks("13x45y07z123-456_780"), t);
    // A short text reads the fields it has.
    EXPECT_EQ(TextToTicks("01:02"), FieldsToTicks(1, 2, 0, 0, 0, 0));
    EXPECT_EQ(TextToTicks(""), 0u);
}

TEST(TimeText, RoundTripEveryFieldBoundary) {
    for (uint64_t t : std::initializer_list<uint64_t>{
             0, 1, 99, 100, 99'999, 100'000, 99'999'999, kTicksPerSecond, kTicksPerMinute - 1,
             kTicksPerHour, kTicksPerDay - 1, kTicksPerDay}) {
        EXPECT_EQ(TextToTicks(TicksToColonText(t).value()), t) << t;
        EXPECT_EQ(TextToTicks(TicksToLetteredText(t).value()), t) << t;
    }
}

TEST(TimeText, TypedClockTextIsInRange) {
    auto t = ParseClockText("23:59:59");
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(t->hours * 10000 + t->minutes * 100 + t->seconds, 235959);
    for (const char* bad : {"12:00:61", "12:00:60", "12:60:00", "24:00:00", "+1:00:00", " 1:00:00",
                            "1:00:00", "12:00:00 ", "12.00.00", ""})
        EXPECT_FALSE(ParseClockText(bad).has_value()) << bad;
}

TEST(TimeText, LeadingIntLikeAtoi) {
    EXPECT_EQ(ParseLeadingInt("  42abc"), 42);
    EXPECT_EQ(ParseLeadingInt("-7"), -7);
    EXPECT_EQ(ParseLeadingInt("abc"), 0);
    EXPECT_EQ(ParseLeadingInt(""), 0);
}

}  // namespace
}  // namespace qv
