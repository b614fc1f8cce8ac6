#include <gtest/gtest.h>

#include "settings/TriggerSetting.h"
#include "settings/TriggerSummary.h"

namespace qv {
namespace {

TEST(ActionList, CodeAndOptionMapToTheirEntryAndBack) {
    ASSERT_EQ(ActionList().size(), kActionEntries);
    // Every entry maps back to itself: no two entries share a (code, option).
    for (size_t i = 0; i < ActionList().size(); ++i)
        EXPECT_EQ(ActionIndex(ActionList()[i].code, ActionList()[i].option), i) << i;
    constexpr UiLanguage ja = UiLanguage::kJapanese, en = UiLanguage::kEnglish;
    EXPECT_EQ(ActionLabel(0x31, 2, ja), "LED-2　ON");
    EXPECT_EQ(ActionLabel(0x61, 8, ja), "外部イベント8 ON");
    EXPECT_EQ(ActionLabel(0x84, kNoOption, ja), "カウンタ4をリセット");
    EXPECT_EQ(ActionLabel(0x84, kNoOption, en), "Reset counter 4");
    // Either language names an entry; no English label is another's.
    for (const ActionEntry& e : ActionList()) {
        EXPECT_EQ(FindAction(e.label), &e) << e.label;
        EXPECT_EQ(FindAction(e.english), &e) << e.english;
    }
    // Entries without a number take any option.
    EXPECT_EQ(ActionIndex(0x20, 0), 2u);
    // A numbered code with a number it does not have is no entry at all,
    // rather than a neighbouring action.
    EXPECT_EQ(ActionIndex(0x31, kNoOption), kActionEntries);
    EXPECT_EQ(ActionIndex(0x31, 4), kActionEntries);
    EXPECT_EQ(ActionIndex(0x30, 0), kActionEntries);
    EXPECT_EQ(ActionIndex(0x70, kNoOption), kActionEntries);
    EXPECT_EQ(ActionIndex(0xFF, kNoOption), kActionEntries);
}

TEST(DataStrings, FortySevenCharactersAndShortValues) {
    DataString bytes{};
    for (int i = 0; i < kStringBytes; ++i)
        bytes[i] = static_cast<uint8_t>(0xF0 + i);
    std::string text = DataStringText(bytes);
    EXPECT_EQ(text.size(), 47u);
    EXPECT_EQ(text.substr(0, 9), "f0 f1 f2 ");
    EXPECT_EQ(text.substr(42), "fe ff");
    EXPECT_EQ(ParseDataString(text), bytes);
    DataString upper = ParseDataString("AB CD");
    EXPECT_EQ(upper[0], 0xAB);
    EXPECT_EQ(upper[1], 0xCD);
    EXPECT_EQ(upper[2], 0);
    EXPECT_EQ(ParseDataString("")[0], 0);
    EXPECT_EQ(ParseDataString("4x 5")[0], 4);
    EXPECT_EQ(ParseDataString("4x 5")[1], 5);
}

TEST(DataStrings, PatternEndsAtTheFirstEnd) {
    DataString scopes{};
    EXPECT_EQ(PatternLength(scopes), 16);
    scopes = {kScopeNone, kScopeAll, kScopeEnd, kScopeNone};
    EXPECT_EQ(PatternLength(scopes), 2);
}

TEST(TriggerTimes, TwelveDigitsInLocalTimeAndRangeChecks) {
    std::tm tm{};
    tm.tm_year = 124;
    tm.tm_mon = 6;
    tm.tm_mday = 31;
    tm.tm_hour = 23;
    tm.tm_min = 5;
    tm.tm_sec = 9;
    tm.tm_isdst = -1;
    int64_t t = std::mktime(&tm);
    EXPECT_EQ(TriggerTimeText(t), "240731230509");
    EXPECT_EQ(ParseTriggerTime("240731230509"), t);
    for (const char* bad : {"241301000000", "240700000000", "240732000000", "240731240000",
                            "240731236000", "240731230560", "", "2407"})
        EXPECT_FALSE(ParseTriggerTime(bad).has_value()) << bad;
}

TEST(Conditions, KeysFindTheirFieldsAndTheCatalogueCoversEveryCondition) {
    TriggerSetting t;
    auto c = FindCondition("event3");
    ASSERT_TRUE(c);
    EXPECT_EQ(ConditionKey(*c), "Event3");
    EXPECT_EQ(ConditionStateKey(*c), "Event3_State");
    *TakesPart(t, *c) = 1;
    EXPECT_EQ(t.events[2], 1u);
    EXPECT_EQ(ConditionStateKey(*FindCondition("ExtOut")), "ExtOUT_State");
    EXPECT_EQ(StateOf(t, *FindCondition("SDStr1")), nullptr);
    EXPECT_FALSE(FindCondition("Event9"));
    EXPECT_EQ(TakesPart(t, ConditionRef{ConditionGroup::Time, 4}), nullptr);

    // 8 + 4 + 10 + 3 + 4 + 8 + 8 + 2: every condition of a trigger once.
    std::vector<ConditionRef> seen;
    for (const ConditionCategory& cat : ConditionCatalogue())
        for (const Condition& cond : cat.conditions) {
            EXPECT_EQ(std::count(seen.begin(), seen.end(), cond.ref), 0);
            seen.push_back(cond.ref);
        }
    EXPECT_EQ(seen.size(), 47u);

    LineNames names = DefaultLineNames();
    names[0] = "TxD";
    names[1] = "RxD";
    auto cat = ConditionCatalogue(&names);
    EXPECT_EQ(cat[0].conditions[0].name, "TxD文字列1");
    EXPECT_EQ(cat[3].conditions[1].name, "RxDエラー");
    EXPECT_EQ(cat[7].conditions[0].name, "TxDラインブレーク");
    EXPECT_EQ(ConditionCatalogue()[0].conditions[4].name, "RD 文字列1");
}

TEST(TriggerSummaryText, FixedColumnsAndActions) {
    TriggerSetting t;
    t.lines[1] = 1;
    t.lineStates[1] = kLevelHigh;
    t.events[0] = 1;
    t.eventStates[0] = 0;
    t.bufferFull = 1;
    t.enabled = 1;
    t.action1 = kActionStartStoring;
    t.action2 = 0x31;
    t.option2 = 3;
    std::string s = TriggerSummary(t);
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < s.size();) {
        size_t end = s.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos);
        lines.push_back(s.substr(pos, end - pos));
        pos = end + 2;
    }
    EXPECT_EQ(lines[0], "SD             －         RD             HIGH");
    EXPECT_EQ(lines[5], "--");
    // Full-width names take two columns each.
    EXPECT_EQ(lines[6], "イベント1      OFF        イベント2      －");
    EXPECT_EQ(lines[lines.size() - 4], "バッファFull   ◎");
    EXPECT_EQ(lines[lines.size() - 3], "上記条件をすべて満たしたときに");
    EXPECT_EQ(lines[lines.size() - 2], "アクション1 蓄積開始");
    EXPECT_EQ(lines.back(), "アクション2 LED-3　ON");
    // In English the longest name ("External event 1") widens the name
    // column for every row, so the marks still line up.
    const std::string en = TriggerSummary(t, nullptr, UiLanguage::kEnglish);
    const std::string pad17 = std::string(15, ' ');
    EXPECT_EQ(en.substr(0, en.find("\r\n")),
              "SD" + pad17 + "-" + std::string(10, ' ') + "RD" + pad17 + "HIGH");
    EXPECT_NE(en.find("\r\nExternal event 1 -" + std::string(10, ' ') + "External event 2 -\r\n"),
              std::string::npos)
        << en;
    EXPECT_NE(en.find("\r\nAction 1 Start storing\r\nAction 2 LED-3 ON\r\n"), std::string::npos);
    t.enabled = 0;
    t.andOr = kAndOrOr;
    s = TriggerSummary(t);
    EXPECT_NE(s.find("上記条件を一つでも満たしたときに\r\nトリガ無効\r\n"), std::string::npos);
    EXPECT_EQ(s.find("アクション"), std::string::npos);
}

}  // namespace
}  // namespace qv
