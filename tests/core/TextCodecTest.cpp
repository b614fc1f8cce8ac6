#include "core/TextCodec.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(TextCodec, JapaneseNamesRoundTripThroughCp932) {
    // Full-width, half-width katakana, the yen sign and NEC/IBM extensions that
    // only CP932 (not plain Shift-JIS) holds.
    for (std::string name : {"モニタ１号機", "ｶﾅ", "￥１００", "①②", "髙橋", "ASCII only"}) {
        auto cp = Utf8ToCp932(name);
        ASSERT_TRUE(cp.has_value()) << name;
        EXPECT_EQ(Cp932ToUtf8(*cp).value(), name);
        EXPECT_EQ(DecodeFileText(*cp), name);
    }
    EXPECT_EQ(Utf8ToCp932("ア").value(), "\x83\x41");
    EXPECT_EQ(Utf8ToCp932("ｱ").value(), "\xB1");
}

TEST(TextCodec, FileTextIsUtf8OnlyWhenItIsValidUtf8) {
    EXPECT_EQ(DecodeFileText("Alias=\xE3\x83\xA2"), "Alias=モ");  // UTF-8 stays
    EXPECT_EQ(DecodeFileText("Alias=\x83\x82"), "Alias=モ");      // CP932 converted
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));                        // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));                    // surrogate
    EXPECT_FALSE(IsValidUtf8("\xE3\x83"));                        // cut short
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
}

TEST(TextCodec, BrokenBytesNeverFailAReadAndCannotBeWrittenBack) {
    // 0x81 alone at the end is half a CP932 character.
    std::string text = DecodeFileText("ab\x82\xA0\x81");
    EXPECT_NE(text.find("\xEF\xBF\xBD"), std::string::npos);
    EXPECT_EQ(text.substr(0, 2), "ab");
    EXPECT_FALSE(Utf8ToCp932(text).has_value());
    EXPECT_FALSE(Cp932ToUtf8("\x81").has_value());
}

}  // namespace
}  // namespace qv
