// The emulated instrument's trigger evaluation and its replay scripts.
#include <gtest/gtest.h>

#include "capture/CaptureRecord.h"
#include "sim/LineSource.h"
#include "sim/ReplaySource.h"
#include "sim/SimTriggers.h"

namespace qv::sim {
namespace {

LineEvent Char(bool sd, uint8_t v, uint8_t flags = 0) {
    LineEvent e;
    e.kind = LineEventKind::kData;
    e.header = MakeHeader(sd ? RecordKind::kSdData : RecordKind::kRdData, flags);
    e.value = v;
    return e;
}

TEST(Triggers, NoConditionsAndActsOnceAtTheStart) {
    TriggerSetup s;
    s.words[0] = {1, 0, 0, 0, kActStartStoring, 0};
    s.words[1] = {1 | 2, 0, 0, 0, kActStopStoring, 0};  // OR over nothing never holds
    TriggerEngine e;
    e.Reset(s);
    EXPECT_TRUE(e.AnyStartsStoring());
    auto f = e.Evaluate(nullptr, 0, 0, false);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].trigger, 1);
    EXPECT_TRUE(e.Evaluate(nullptr, 0, 0, false).empty());  // fires on turning true only
}

TEST(Triggers, StringWithScopesOnItsOwnLine) {
    TriggerSetup s;
    // Right-aligned "A", any, >= 'x' as sent.
    s.patterns[4].fill(0);
    s.scopes[4].fill(5);
    s.patterns[4][13] = 'A';
    s.scopes[4][13] = 0;
    s.scopes[4][14] = 2;
    s.patterns[4][15] = 'x';
    s.scopes[4][15] = 3;
    s.words[2] = {1, 0, 0, 1u << 12, kActStartStoring, 0};  // RD string 1
    TriggerEngine e;
    e.Reset(s);
    EXPECT_TRUE(e.Evaluate(nullptr, 0, 0, false).empty());
    for (uint8_t c : {uint8_t{0x41}, uint8_t{0x3F}, uint8_t{0x7A}}) {
        LineEvent sd = Char(true, c);  // the same bytes on SD do not count
        EXPECT_TRUE(e.Evaluate(&sd, 0, 0, false).empty());
    }
    LineEvent a = Char(false, 'A'), q = Char(false, '?'), w = Char(false, 'w'),
              z = Char(false, 'z');
    e.Evaluate(&a, 0, 0, false);
    e.Evaluate(&q, 0, 0, false);
    EXPECT_TRUE(e.Evaluate(&w, 0, 0, false).empty());  // 'w' < 'x'
    e.Evaluate(&a, 0, 0, false);
    e.Evaluate(&q, 0, 0, false);
    auto f = e.Evaluate(&z, 0, 0, false);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].trigger, 3);
}

TEST(Triggers, AndOfLineLevelTimeAndErrorWithCounterActions) {
    TriggerSetup s;
    s.times[0] = 1000;
    // RS high (condition bit 2) AND time 1 AND SD error.
    s.words[0] = {1, 1u << 2, 1u << 2, (1u << 0) | (1u << 16), 1u << 24, 1u << 8};
    // Counter 1 reaching 1 (set by trigger 1's action).
    s.counts[0] = 1;
    s.words[1] = {1, 0, 0, 1u << 4, kActStopStoring, 0};
    TriggerEngine e;
    e.Reset(s);
    LineEvent bad = Char(true, 'x', kFlagParityError);
    EXPECT_TRUE(e.Evaluate(&bad, kLineRs, 999, false).empty());  // too early
    EXPECT_TRUE(e.Evaluate(&bad, 0, 1000, false).empty());       // RS low
    auto f = e.Evaluate(&bad, kLineRs, 1000, false);
    ASSERT_EQ(f.size(), 2u);  // trigger 1 steps counter 1, which trigger 2 then sees
    EXPECT_EQ(f[0].trigger, 1);
    EXPECT_EQ(f[1].trigger, 2);
}

TEST(Replay, ScriptEventsAndErrors) {
    LineFormat f;
    f.sdBaudrate = f.rdBaudrate = 9600;
    ReplaySource r(f, 1000);
    std::string err;
    ASSERT_TRUE(r.Parse(
        "# c\n\n10 SD 41 \"BC\"\n5000.5 LINES RS CI\n6000 BREAK RD ON\n7000 FRAMING SD 00\n", err))
        << err;
    ASSERT_EQ(r.Events().size(), 6u);
    EXPECT_EQ(r.Events()[0].time, 1000u + 1000);
    EXPECT_EQ(r.Events()[1].time - r.Events()[0].time, CharacterTicks(9600, 8, 0, 10));
    EXPECT_EQ(r.Events()[2].value, 'C');
    EXPECT_EQ(r.Events()[3].time, 1000u + 500050);
    EXPECT_EQ(r.Events()[3].value, kLineRs | kLineCi);
    EXPECT_EQ(r.Events()[4].value, kEventRdBreak);
    EXPECT_EQ(r.Events()[5].header & kFlagFramingError, kFlagFramingError);

    for (const char* bad :
         {"x SD 41\n", "10 SD\n", "10 SD 4\n", "10 XX 41\n", "20 SD 41\n10 SD 41\n",
          "10 LINES QQ\n", "10 BREAK SD\n", "10 PARITY 41\n", "-5 SD 41\n"}) {
        EXPECT_FALSE(r.Parse(bad, err)) << bad;
        EXPECT_FALSE(err.empty());
    }
}

TEST(SourceSelections, Names) {
    SourceSelection s;
    std::string err;
    EXPECT_TRUE(ParseSourceSelection("synth:42", s, err));
    EXPECT_EQ(s.seed, 42u);
    EXPECT_TRUE(ParseSourceSelection("tty:/dev/a,/dev/b", s, err));
    EXPECT_EQ(s.rdPath, "/dev/b");
    EXPECT_FALSE(ParseSourceSelection("tty:/dev/a", s, err));
    EXPECT_FALSE(ParseSourceSelection("synth:x", s, err));
    EXPECT_TRUE(ParseSourceSelection("flood", s, err));
    EXPECT_EQ(s.kind, SourceSelection::Kind::kFlood);
    EXPECT_TRUE(ParseSourceSelection("flood:0x10", s, err));
    EXPECT_EQ(s.seed, 16u);
    EXPECT_FALSE(ParseSourceSelection("flood:", s, err));
    EXPECT_FALSE(ParseSourceSelection("flood:7x", s, err));
    EXPECT_FALSE(ParseSourceSelection("floods", s, err));
    EXPECT_FALSE(ParseSourceSelection("serial", s, err));
}

}  // namespace
}  // namespace qv::sim
