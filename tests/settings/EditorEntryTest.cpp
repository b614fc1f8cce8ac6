// The checks and conversions behind the settings editors' fields: what a
// typed value is refused for, how sampling cycles are shown and read back,
// how string patterns are edited, and the texts listed beside conditions.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "settings/ConditionText.h"
#include "settings/EditorRules.h"
#include "settings/EntryChecks.h"
#include "settings/FormatEntry.h"
#include "settings/PatternEdit.h"
#include "settings/SamplingEntry.h"

namespace qv {
namespace {

TEST(EntryChecks, TypedValuesOutOfRangeAreRefusedWithTheRange) {
    int64_t v = 0;
    EXPECT_TRUE(ParseGroupedWhole("1,000,000", v));
    EXPECT_EQ(v, 1'000'000);
    for (const char* bad : {"", ",", "-1", "1.5", " 7", "1e3", "99999999999999999999", "1,2,3",
                            "1,00", "1000,000", ",100", "100,"})
        EXPECT_FALSE(ParseGroupedWhole(bad, v)) << bad;

    EXPECT_EQ(WholeNumberProblem("10", 1, 10), "");
    EXPECT_EQ(WholeNumberProblem("11", 1, 10), "1～10の範囲で入力してください");
    EXPECT_EQ(WholeNumberProblem("0", 1, 1'000'000'000),
              "1～1,000,000,000の範囲で入力してください");

    // Rates: RS-232 stops at 1,500,000; the other line type at 12,500,000.
    EXPECT_EQ(BitRateProblem("115,200", kLineTypeRs232), "");
    EXPECT_EQ(BitRateProblem("134.5", kLineTypeRs232), "");
    EXPECT_NE(BitRateProblem("2,000,000", kLineTypeRs232), "");
    EXPECT_EQ(BitRateProblem("2,000,000", kLineTypeRs422), "");
    EXPECT_NE(BitRateProblem("13,000,000", kLineTypeRs422), "");
    EXPECT_NE(BitRateProblem("5", kLineTypeRs422), "");
    EXPECT_NE(BitRateProblem("", kLineTypeRs232), "");
    EXPECT_NE(BitRateProblem("1.2.3", kLineTypeRs232), "");
    EXPECT_NE(BitRateProblem("1,2,3", kLineTypeRs232), "");  // not 123
    EXPECT_NE(BitRateProblem("96,00", kLineTypeRs232), "");
    EXPECT_NE(BitRateProblem("9600.", kLineTypeRs232), "");
    EXPECT_NE(BitRateProblem("9600bps", kLineTypeRs232), "");

    // Frame limit: whole units of 10,000 frames, 1 to 200,000. What passes
    // is then rounded up to the next 50,000 frames.
    EXPECT_EQ(FrameLimitProblem("3"), "");
    EXPECT_EQ(FrameLimitFromText("3"), 50'000u);
    EXPECT_EQ(FrameLimitProblem("200,000"), "");
    EXPECT_EQ(FrameLimitFromText("200,000"), 2'000'000'000u);
    for (const char* bad : {"0", "0.5", "1,000,000", "", "abc"})
        EXPECT_NE(FrameLimitProblem(bad), "") << bad;
}

TEST(SamplingEntry, CyclesOpenInTheirUnitAndReadBack) {
    EXPECT_EQ(EntryOfCycle(5), (CycleEntry{10, CycleUnit::Ns}));
    EXPECT_EQ(EntryOfCycle(1'234), (CycleEntry{1'230, CycleUnit::Ns}));
    EXPECT_EQ(EntryOfCycle(99'999), (CycleEntry{99'990, CycleUnit::Ns}));
    EXPECT_EQ(EntryOfCycle(150'000), (CycleEntry{150, CycleUnit::Us}));
    EXPECT_EQ(EntryOfCycle(200'000'000), (CycleEntry{200, CycleUnit::Ms}));
    EXPECT_EQ(EntryOfCycle(4'000'000'000u), (CycleEntry{4'000, CycleUnit::Ms}));
    EXPECT_EQ(CycleOfEntry({10, CycleUnit::Ms}), 10'000'000u);
    EXPECT_EQ(CycleOfEntry({10'000, CycleUnit::Us}), 10'000'000u);
    EXPECT_EQ(CycleOfEntry({250, CycleUnit::Ns}), 250u);
    // Every value a unit accepts gives a cycle the instrument takes.
    for (CycleUnit u : {CycleUnit::Ms, CycleUnit::Us, CycleUnit::Ns}) {
        CycleUnitRange r = RangeOf(u);
        for (uint32_t v : {r.min, r.max}) {
            EXPECT_EQ(CycleEntryProblem(std::to_string(v), u), "");
            uint32_t c = CycleOfEntry({v, u});
            EXPECT_GE(c, kMinSamplingCycle);
            EXPECT_LE(c, kMaxSamplingCycle);
        }
        EXPECT_NE(CycleEntryProblem(std::to_string(r.max + 1), u), "");
        EXPECT_NE(CycleEntryProblem(std::to_string(r.min - 1), u), "");
    }
    EXPECT_EQ(CycleEntryProblem("50", CycleUnit::Ms), "msは1～10の範囲で入力してください");
}

TEST(PatternEdit, EditsPastTheEndExtendThePatternWithAnyByte) {
    Pattern p = EmptyPattern();
    EXPECT_EQ(PatternLength(p.scopes), 0);
    SetPatternByte(p, 2, 0x41);
    EXPECT_EQ(PatternLength(p.scopes), 3);
    EXPECT_EQ(p.scopes[0], kScopeAll);
    EXPECT_EQ(p.scopes[1], kScopeAll);
    EXPECT_EQ(p.scopes[2], kScopeNone);
    EXPECT_EQ(p.bytes[2], 0x41);
    // A rule is kept when its byte changes; a byte that matched anything
    // matches its value once it is given one.
    SetPatternScope(p, 2, kScopeNot);
    SetPatternByte(p, 2, 0x42);
    EXPECT_EQ(p.scopes[2], kScopeNot);
    SetPatternByte(p, 0, 0x30);
    EXPECT_EQ(p.scopes[0], kScopeNone);
    // END is not a rule the editor sets, and positions outside are ignored.
    Pattern before = p;
    SetPatternScope(p, 1, kScopeEnd);
    SetPatternByte(p, 16, 1);
    SetPatternScope(p, -1, kScopeAll);
    EXPECT_EQ(p, before);

    EXPECT_TRUE(SetPatternBytes(p, "AB"));
    EXPECT_EQ(PatternLength(p.scopes), 2);
    EXPECT_EQ(p.bytes[0], 'A');
    EXPECT_EQ(p.bytes[2], 0);
    EXPECT_FALSE(SetPatternBytes(p, std::string(17, 'x')));
    EXPECT_EQ(PatternLength(p.scopes), 2);  // unchanged
}

TEST(ConditionText, ListsStatesAndOperands) {
    const char* oldTz = std::getenv("TZ");
    std::string keptTz = oldTz ? oldTz : "";
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    TriggerSetting t;
    TriggerOption o;
    ConditionRef sd{ConditionGroup::Line, 0};
    ConditionRef str{ConditionGroup::RdString, 1};
    ConditionRef time{ConditionGroup::Time, 2};
    ConditionRef count{ConditionGroup::Count, 3};
    ConditionRef ext{ConditionGroup::Sync, 7};
    ConditionRef full{ConditionGroup::BufferFull, 0};
    for (ConditionRef c : {sd, str, time, count, ext, full})
        EXPECT_EQ(ConditionSettingText(t, o, c), "-");
    for (ConditionRef c : {sd, str, time, count, ext, full})
        *TakesPart(t, c) = 1;
    t.lineStates[0] = kLevelHigh;
    EXPECT_EQ(ConditionSettingText(t, o, sd), "HIGH");
    EXPECT_EQ(ConditionSettingText(t, o, ext), "OFF");
    EXPECT_EQ(ConditionSettingText(t, o, full), "条件とする");
    o.counts[3] = 1'234'567;
    EXPECT_EQ(ConditionSettingText(t, o, count), "1,234,567");
    o.times[2] = 1'700'000'000;  // 2023-11-14 22:13:20 UTC
    EXPECT_EQ(ConditionSettingText(t, o, time), "2023/11/14 22:13:20");
    // RD string 2 is shared string 5: "41 ** " then blanks to 16 groups.
    EXPECT_EQ(OptionStringIndex(str), 5);
    o.strings[5][0] = 0x41;
    o.scopes[5].fill(kScopeEnd);
    o.scopes[5][0] = kScopeNone;
    o.scopes[5][1] = kScopeAll;
    EXPECT_EQ(ConditionSettingText(t, o, str), "41 ** " + std::string(14 * 3, ' '));
    o.scopes[5].fill(kScopeEnd);
    EXPECT_EQ(ConditionSettingText(t, o, str), std::string(16 * 3, ' '));
    if (oldTz)
        ::setenv("TZ", keptTz.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

}  // namespace
}  // namespace qv
