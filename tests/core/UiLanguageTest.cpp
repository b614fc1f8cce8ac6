#include "core/UiLanguage.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

constexpr auto kJa = UiLanguage::kJapanese;
constexpr auto kEn = UiLanguage::kEnglish;

TEST(UiLanguageTest, ExplicitChoiceWinsOverTheLocale) {
    EXPECT_EQ(UiLanguageFor("ja", "", "", "en_US.UTF-8"), kJa);
    EXPECT_EQ(UiLanguageFor("en", "ja_JP.UTF-8", "", "ja_JP.UTF-8"), kEn);
    // Anything else is no choice: the locale decides.
    EXPECT_EQ(UiLanguageFor("jp", "", "", "ja_JP.UTF-8"), kJa);
    EXPECT_EQ(UiLanguageFor("EN", "", "", "ja_JP.UTF-8"), kJa);
}

TEST(UiLanguageTest, TheLocaleThatDecidesMessages) {
    // LC_ALL over LC_MESSAGES over LANG, the first one set.
    EXPECT_EQ(UiLanguageFor("", "C.UTF-8", "ja_JP.UTF-8", "ja_JP.UTF-8"), kEn);
    EXPECT_EQ(UiLanguageFor("", "", "ja_JP.eucJP", "en_GB.UTF-8"), kJa);
    EXPECT_EQ(UiLanguageFor("", "", "", "ja_JP.UTF-8"), kJa);
    EXPECT_EQ(UiLanguageFor("", "", "", "ja"), kJa);
    EXPECT_EQ(UiLanguageFor("", "", "", "ja_JP@cjknarrow"), kJa);
    // Nothing set, C, POSIX and other languages: English.
    EXPECT_EQ(UiLanguageFor("", "", "", ""), kEn);
    EXPECT_EQ(UiLanguageFor("", "", "", "C"), kEn);
    EXPECT_EQ(UiLanguageFor("", "POSIX", "", ""), kEn);
    EXPECT_EQ(UiLanguageFor("", "", "", "de_DE.UTF-8"), kEn);
    // A language whose code merely starts with "ja" is not Japanese.
    EXPECT_EQ(UiLanguageFor("", "", "", "jav_ID.UTF-8"), kEn);
}

}  // namespace
}  // namespace qv
