#include "settings/EditorRules.h"

#include <gtest/gtest.h>

#include "settings/FormatEntry.h"

namespace qv {
namespace {

TEST(BitRates, TypedRatesAreReducedAndLimitedPerLineType) {
    EXPECT_EQ(ParseBitRateText("13,000,000", kLineTypeRs422), 12'500'000);
    EXPECT_EQ(ParseBitRateText("13,000,000", kLineTypeRs232), 1'500'000);
    EXPECT_EQ(ParseBitRateText("2,000,000", kLineTypeRs232), 1'500'000);
    EXPECT_EQ(ParseBitRateText("5", kLineTypeRs422), 10);
    EXPECT_EQ(ParseBitRateText("", kLineTypeRs232), 10);
    EXPECT_EQ(ParseBitRateText("9600bps", kLineTypeRs232), 9600);
    EXPECT_EQ(ParseBitRateText("134.5", kLineTypeRs232), 134.5);
    // RS-530 is differential: edited and limited as RS-422/485/530, and kept
    // as RS-530 while that type stays chosen.
    EXPECT_EQ(EditorLineType(kLineRs530), kLineTypeRs422);
    EXPECT_EQ(EditorLineType(kLineRs422), kLineTypeRs422);
    EXPECT_EQ(EditorLineType(7), kLineTypeRs232);
    EXPECT_EQ(EditedLineCode(kLineTypeRs422, kLineRs530), kLineRs530);
    EXPECT_EQ(EditedLineCode(kLineTypeRs422, kLineRs232), kLineRs422);
    EXPECT_EQ(EditedLineCode(kLineTypeRs232, kLineRs530), kLineRs232);
    EXPECT_EQ(BitRateText(9600, kLineTypeRs232), "9,600");
    EXPECT_EQ(BitRateText(3'000'000, kLineTypeRs232), "1,500,000");
    EXPECT_EQ(BitRateText(134.5, kLineTypeRs232), "134.5");
    // Every offered rate survives the limits of its own line type.
    for (int type : {kLineTypeRs232, kLineTypeRs422}) {
        EXPECT_EQ(BitRateList(type).front(), 50u);
        for (uint32_t r : BitRateList(type))
            EXPECT_EQ(LimitBitRate(r, type), r);
    }
    EXPECT_EQ(BitRateList(kLineTypeRs232).back(), 1'500'000u);
    EXPECT_EQ(BitRateList(kLineTypeRs422).back(), 12'500'000u);
    EXPECT_EQ(SameAsSdLabel("TxD"), "(TxDと同じ)");
}

TEST(SamplingRule, AsyncLowersDataCyclesToHalfABitTime) {
    MonitorSettings m;
    SamplingSettings s;
    s.cycles[kSD] = 100'000;
    s.cycles[kRD] = 50'000;
    s.cycles[kRS] = 100'000;
    LowerSamplingToHalfBit(m, s);
    EXPECT_EQ(s.cycles[kSD], 52'083u);
    EXPECT_EQ(s.cycles[kRD], 50'000u);
    EXPECT_EQ(s.cycles[kRS], 100'000u);

    s.cycles[kSD] = 100'000;
    m.Protocol = kProtocolLogic;
    LowerSamplingToHalfBit(m, s);
    EXPECT_EQ(s.cycles[kSD], 100'000u);

    // Rates a file may hold: 0 leaves the cycle; a huge one never makes the
    // line "not sampled"; an unsampled line stays unsampled.
    m.Protocol = kProtocolAsync;
    m.SD_Baudrate = 0;
    m.RD_Baudrate = 1e12;
    s.cycles[kRD] = 100;
    LowerSamplingToHalfBit(m, s);
    EXPECT_EQ(s.cycles[kSD], 100'000u);
    EXPECT_EQ(s.cycles[kRD], kMinSamplingCycle);
    s.cycles[kRD] = 0;
    LowerSamplingToHalfBit(m, s);
    EXPECT_EQ(s.cycles[kRD], 0u);
}

TEST(FrameLimit, TextInTenThousandsRoundedUpToFiftyThousand) {
    EXPECT_EQ(FrameLimitFromText("3"), 50'000u);
    EXPECT_EQ(FrameLimitFromText("10"), 100'000u);
    EXPECT_EQ(FrameLimitFromText("0.5"), 0u);
    EXPECT_EQ(FrameLimitFromText("1,000,000"), 2'000'000'000u);
    EXPECT_EQ(FrameLimitFromText("199,999"), 2'000'000'000u);
    EXPECT_EQ(FrameLimitFromText("15"), 150'000u);
    EXPECT_EQ(FrameLimitFromText("-3"), 0u);
    EXPECT_EQ(FrameLimitFromText("abc"), 0u);
    EXPECT_EQ(FrameLimitText(100'000'000), "10,000");
    EXPECT_TRUE(FrameLimitEditable(kMemoryRing, kSaveDevicePc));
    EXPECT_FALSE(FrameLimitEditable(kMemoryRing, kSaveDeviceCf));
    EXPECT_FALSE(FrameLimitEditable(kMemoryFix, kSaveDevicePc));
}

class TriggerCheckTest : public ::testing::Test {
  protected:
    std::array<TriggerSetting, kTriggerCount> triggers{};
    TriggerOption option;
    int64_t now = 1'000'000;
    void SetUp() override { option.times = {now + 10, now - 5, now, now + 1}; }
};

TEST_F(TriggerCheckTest, AnEnabledStartStoringTriggerPasses) {
    triggers[1].enabled = 1;
    triggers[1].action2 = kActionStartStoring;
    EXPECT_EQ(CheckTriggers(triggers, option, now).outcome, TriggerCheckOutcome::Pass);
    // A disabled trigger that would start storing does not count.
    triggers[1].enabled = 0;
    EXPECT_NE(CheckTriggers(triggers, option, now).outcome, TriggerCheckOutcome::Pass);
}

TEST_F(TriggerCheckTest, YesRewritesTheHighestDisabledTriggerAtTheLastPastTime) {
    triggers[4].enabled = 1;
    triggers[2].sdError = 1;
    triggers[2].action1 = 0x41;
    TriggerCheck c = CheckTriggers(triggers, option, now);
    ASSERT_EQ(c.outcome, TriggerCheckOutcome::AskYesNoCancel);
    EXPECT_EQ(c.time, 2);  // Time3 is "now", Time4 is later
    EXPECT_EQ(c.rewrite, 3);
    ApplyStartStoringTrigger(triggers, c);
    TriggerSetting expected;
    expected.enabled = 1;
    expected.action1 = kActionStartStoring;
    expected.times[2] = 1;
    EXPECT_EQ(triggers[3], expected);
    EXPECT_EQ(triggers[2].sdError, 1u);
    EXPECT_EQ(CheckTriggers(triggers, option, now).outcome, TriggerCheckOutcome::Pass);
}

TEST_F(TriggerCheckTest, AllEnabledOrNoPastTimeOnlyAsksToConfirm) {
    option.times = {now + 1, now + 2, now + 3, now + 4};
    TriggerCheck c = CheckTriggers(triggers, option, now);
    EXPECT_EQ(c.outcome, TriggerCheckOutcome::AskOkCancel);
    // The Yes rewrite of an OK/Cancel question changes nothing.
    auto before = triggers;
    ApplyStartStoringTrigger(triggers, c);
    EXPECT_EQ(triggers, before);

    option.times[0] = now;
    for (auto& t : triggers)
        t.enabled = 1;
    c = CheckTriggers(triggers, option, now);
    EXPECT_EQ(c.outcome, TriggerCheckOutcome::AskOkCancel);
    EXPECT_EQ(c.enabled, 5);
}

}  // namespace
}  // namespace qv
