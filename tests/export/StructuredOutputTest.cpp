// JSON and CSV texts that other programs read: escapes, invalid bytes,
// quoting and numbers, checked by parsing them back.
#include "export/StructuredOutput.h"

#include <gtest/gtest.h>

#include "core/TextCodec.h"
#include "support/JsonValue.h"

namespace qv {
namespace {

TEST(StructuredOutput, JsonDocumentsParseBackWithTheirValues) {
    std::string out;
    JsonWriter j(out);
    const std::string tricky = std::string("a\"b\\c\nd\x01 ") + "\xE6\x97\xA5" + "\xFF";
    j.BeginArray();
    j.BeginObject().Field("text", tricky).Field("n", int64_t{-5}).Field("u", uint64_t{1} << 40);
    j.Field("x", 0.25).Field("whole", 3.0).Field("yes", true).Key("none").Null();
    j.Key("list").BeginArray().Int(1).Int(2).EndArray().EndObject();
    j.BeginObject().EndObject();
    j.EndArray();
    j.End();
    auto v = test::JsonParser::Parse(out);
    ASSERT_TRUE(v) << out;
    ASSERT_EQ(v->items.size(), 2u);
    const auto& o = (*v)[0];
    EXPECT_EQ(o["text"].text, std::string("a\"b\\c\nd\x01 ") + "\xE6\x97\xA5" + "\xEF\xBF\xBD");
    EXPECT_EQ(o["n"].number, -5);
    EXPECT_EQ(o["u"].number, 1099511627776.0);
    EXPECT_EQ(o["x"].number, 0.25);
    EXPECT_EQ(o["whole"].number, 3);
    EXPECT_TRUE(o["yes"].boolean);
    EXPECT_TRUE(o["none"].IsNull());
    EXPECT_EQ(o["list"].items.size(), 2u);
    // Each element of the outer array on its own line.
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 4);
}

// Bytes that are not UTF-8 never reach a JSON text: each becomes U+FFFD,
// whatever kind of malformation it is, and well-formed characters of every
// length pass unchanged. (A folder name holding such bytes is in every
// listing's JSON.)
TEST(StructuredOutput, EveryByteThatIsNotUtf8BecomesAReplacementCharacter) {
    const std::string r = "\xEF\xBF\xBD";
    const struct {
        const char* name;
        std::string in, out;
    } cases[] = {
        {"lead F5 (past U+10FFFF)", "\xF5\x80\x80\x80", r + r + r + r},
        {"lead F7", "\xF7\xBF\xBF\xBF", r + r + r + r},
        {"surrogate U+D800", "\xED\xA0\x80", r + r + r},
        {"overlong three bytes", "\xE0\x80\xAF", r + r + r},
        {"overlong four bytes", "\xF0\x80\x80\xAF", r + r + r + r},
        {"overlong two bytes", "\xC0\xAF", r + r},
        {"cut sequence", "a\xE6\x97", "a" + r + r},
        {"stray continuation", "\x80z", r + "z"},
        {"U+10FFFF", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
        {"U+E000 after the surrogates", "\xEE\x80\x80", "\xEE\x80\x80"},
        {"two bytes", "\xC3\xA9", "\xC3\xA9"},
    };
    for (const auto& c : cases) {
        std::string json;
        AppendJsonString(json, c.in);
        EXPECT_EQ(json, "\"" + c.out + "\"") << c.name;
        EXPECT_EQ(IsValidUtf8(c.in), c.in == c.out) << c.name;
    }
}

TEST(StructuredOutput, CsvFieldsAreQuotedOnlyWhenTheyMustBe) {
    std::string out;
    CsvLine line(out);
    line.Field("plain").Field("a,b").Field("say \"hi\"").Field("two\nlines").Empty().Int(-3);
    line.Number(0.5).End();
    EXPECT_EQ(out, "plain,\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\",,-3,0.5\n");
}

TEST(StructuredOutput, BytesAreLowerCaseHexPairs) {
    std::string out;
    const uint8_t bytes[] = {0x01, 0xAB, 0x00};
    AppendHexBytes(out, bytes);
    EXPECT_EQ(out, "01 ab 00");
    EXPECT_EQ(ParseOutputFormat("csv"), OutputFormat::kCsv);
    EXPECT_FALSE(ParseOutputFormat("xml"));
}

}  // namespace
}  // namespace qv
