#include "core/MessageText.h"

#include <gtest/gtest.h>

#include <string>

namespace qv {
namespace {

// Kana, kanji, CJK punctuation and full-width forms, by their UTF-8 lead
// bytes (U+3000-U+9FFF start with E3-E9, U+FF00-U+FFEF with EF BC-BF).
bool HasJapanese(const std::string& s) {
    for (size_t i = 0; i < s.size(); ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b >= 0xE3 && b <= 0xE9) return true;
        if (b == 0xEF && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) >= 0xBC)
            return true;
    }
    return false;
}

TEST(MessageTextTest, EveryMessageHasBothLanguages) {
    for (int i = 0; i < static_cast<int>(MessageId::kCount); ++i) {
        const auto id = static_cast<MessageId>(i);
        const std::string ja = MessageText(id, UiLanguage::kJapanese);
        const std::string en = MessageText(id, UiLanguage::kEnglish);
        EXPECT_TRUE(HasJapanese(ja)) << i << ": " << ja;
        EXPECT_FALSE(en.empty()) << i;
        EXPECT_FALSE(HasJapanese(en)) << i << ": " << en;
    }
}

TEST(MessageTextTest, TheMessageLanguageIsJapaneseUntilSet) {
    // Japanese texts are what the stored files and logs always held.
    EXPECT_EQ(MessageLanguage(), UiLanguage::kJapanese);
    EXPECT_STREQ(MessageText(MessageId::kNotConnected), "QVが接続されていません");
    SetMessageLanguage(UiLanguage::kEnglish);
    EXPECT_STREQ(MessageText(MessageId::kNotConnected), "No unit is connected");
    // An explicit language ignores the setting: logs stay Japanese.
    EXPECT_STREQ(MessageText(MessageId::kNotConnected, UiLanguage::kJapanese),
                 "QVが接続されていません");
    SetMessageLanguage(UiLanguage::kJapanese);
}

}  // namespace
}  // namespace qv
