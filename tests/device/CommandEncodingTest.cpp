// The encoders of the configuration commands on the edge cases that matter
// to the instrument, and whole packets as they leave for endpoint 0x02.
#include <gtest/gtest.h>

#include "device/CommandEncoding.h"
#include "device/FakeBackend.h"

namespace qv {
namespace {

TEST(LineConfig, NineSixHundredEightNoneOne) {
    MonitorSettings m;  // 9600, 8 data bits, no parity, StopBit 10
    auto w = EncodeLineConfig(m);
    EXPECT_EQ(w[0], 0u);
    EXPECT_EQ(w[1], 0x08000000u | 0x20000u | 0x1u);
    EXPECT_EQ(w[2], 9600u);
    EXPECT_EQ(w[3], 9600u);
    EXPECT_EQ(w[4], 10u);
    EXPECT_EQ(w[5], 10416u);  // one stop bit at 9600 bit/s: 104,166.6 ns
    EXPECT_EQ(w[6], 10416u);
}

TEST(LineConfig, NoStopBitCountsNothing) {
    MonitorSettings m;
    m.StopBit = 0;
    auto w = EncodeLineConfig(m);
    EXPECT_EQ(w[4], 9u);
    EXPECT_EQ(w[5], 0u);
    EXPECT_EQ(w[1] & 0x70000u, 0u);
}

TEST(LineConfig, EveryFieldReachesItsBits) {
    MonitorSettings m;
    m.Line = 2;
    m.Protocol = 48;
    m.SDDataLogic = 0;
    m.RDDataLogic = 0;
    m.BitOrder = 0;
    m.DataLen = 7;
    m.Parity = 3;
    m.StopBit = 20;
    m.Clock = 3;
    m.SD_ClockRate = 3;
    m.SD_Baudrate = 19200.9;
    m.RD_Baudrate = 1200;
    auto w = EncodeLineConfig(m);
    EXPECT_EQ(w[0], 0x800u | 0x1000u | 0x200u | 0x100u);
    EXPECT_EQ(w[1], 0x800000u | 0x07000000u | 0x700000u | 0x40000u | 0x3000u | 0x40u);
    EXPECT_EQ(w[2], 19200u);
    EXPECT_EQ(w[3], 1200u);
    EXPECT_EQ(w[4], 1u + 7 + 1 + 2);
    EXPECT_EQ(w[6], 166666u);  // two stop bits at 1200 bit/s

    const std::pair<uint8_t, uint32_t> parity[] = {{1, 0x500000}, {2, 0x400000}, {4, 0x600000},
                                                   {5, 0x100000}, {0, 0},        {255, 0}};
    for (auto [code, bits] : parity) {
        m.Parity = code;
        EXPECT_EQ(EncodeLineConfig(m)[1] & 0x700000u, bits) << int(code);
    }
    m.Protocol = 16;
    EXPECT_EQ(EncodeLineConfig(m)[0] & 0x3000u, 0x2000u);
    m.Protocol = 32;
    EXPECT_EQ(EncodeLineConfig(m)[0] & 0x3000u, 0x3000u);
    m.StopBit = 15;
    EXPECT_EQ(EncodeLineConfig(m)[4], 1u + 7 + 0 + 2);  // parity 32 is not 1..5
}

TEST(LineConfig, ZeroOrBrokenRateGivesZeroNotAFault) {
    MonitorSettings m;
    m.SD_Baudrate = 0;
    m.RD_Baudrate = -5;
    auto w = EncodeLineConfig(m);
    EXPECT_EQ(w[2], 0u);
    EXPECT_EQ(w[3], 0u);
    EXPECT_EQ(w[5], 0u);
    EXPECT_EQ(w[6], 0u);
}

TEST(SamplingCycles, TenNanosecondUnitsAndMask) {
    SamplingSettings s;
    s.cycles = {100, 9, 0, 52083, 10, 10, 10, 10, 10, 10'000'000};
    uint32_t mask = 0;
    auto w = EncodeSamplingCycles(s, &mask);
    EXPECT_EQ(w[0], 10u);
    EXPECT_EQ(w[1], 0u);
    EXPECT_EQ(w[2], 0u);
    EXPECT_EQ(w[3], 5208u);
    EXPECT_EQ(w[9], 1'000'000u);
    EXPECT_EQ(mask, 0xFFFFFC00u | 0x3F9u);
}

TEST(TriggerString, RightAlignsAThreeBytePattern) {
    std::array<uint8_t, 16> pat{0x41, 0x42, 0x43, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    std::array<uint8_t, 16> sc{0, 1, 3, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    RightAlignTriggerString(pat, sc);
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(pat[i], 0) << i;
        EXPECT_EQ(sc[i], 5) << i;
    }
    EXPECT_EQ(pat[13], 0x41);
    EXPECT_EQ(pat[15], 0x43);
    EXPECT_EQ(sc[13], 0);
    EXPECT_EQ(sc[14], 1);
    EXPECT_EQ(sc[15], 3);
}

TEST(TriggerString, WithoutEndOrEmpty) {
    std::array<uint8_t, 16> pat{}, sc{};
    pat[0] = 7;
    RightAlignTriggerString(pat, sc);  // no END: unchanged
    EXPECT_EQ(pat[0], 7);
    sc[0] = 5;  // empty pattern: all END, all 0
    RightAlignTriggerString(pat, sc);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(sc[i], 5);
    EXPECT_EQ(pat[0], 0);
}

// Every action code with every option against the protocol's table of
// action bits: the rows below are the table, and every (code, option) pair,
// not only the listed ones, must set exactly the bit the table gives, or none.
TEST(TriggerAction, EveryCodeAndOptionAgainstTheActionTable) {
    struct Row {
        int codeFirst, codeLast;  // a run of codes, one bit apart each
        int firstBit;
        bool p6;           // event codes go to p6
        bool numbered;     // option 1..n selects the bit, first + option - 1
        int options;       // numbered: how many options are valid
    };
    const Row table[] = {
        {0x10, 0x10, 0, false, false, 0},  {0x20, 0x20, 1, false, false, 0},
        {0x40, 0x40, 4, false, false, 0},  {0x41, 0x41, 5, false, false, 0},
        {0x90, 0x90, 6, false, false, 0},  {0x91, 0x91, 7, false, false, 0},
        {0x30, 0x30, 16, false, true, 3},  {0x31, 0x31, 20, false, true, 3},
        {0x71, 0x74, 24, false, false, 0}, {0x81, 0x84, 28, false, false, 0},
        {0x50, 0x50, 0, true, true, 8},    {0x51, 0x51, 8, true, true, 8},
        {0x60, 0x60, 16, true, true, 8},   {0x61, 0x61, 24, true, true, 8},
    };
    for (int code = 0; code < 256; ++code)
        for (int option : {0, 1, 2, 3, 4, 5, 7, 8, 9, 255, 65535}) {
            uint32_t want5 = 0, want6 = 0;
            for (const Row& r : table) {
                if (code < r.codeFirst || code > r.codeLast) continue;
                int bit = r.firstBit + (code - r.codeFirst);
                if (r.numbered) {
                    // Event codes take option 1..8 as event n and any other
                    // as event 1; LEDs take only options 1..3.
                    bool valid = option >= 1 && option <= r.options;
                    if (!valid && !r.p6) continue;
                    bit += valid ? option - 1 : 0;
                }
                (r.p6 ? want6 : want5) |= 1u << bit;
            }
            uint32_t p5 = 0, p6 = 0;
            EncodeTriggerAction(static_cast<uint8_t>(code), static_cast<uint16_t>(option), p5, p6);
            EXPECT_EQ(p5, want5) << std::hex << code << std::dec << " option " << option;
            EXPECT_EQ(p6, want6) << std::hex << code << std::dec << " option " << option;
        }
}

TEST(Trigger, ConditionsStatesAndActions) {
    TriggerSetting t;
    t.enabled = 1;
    t.andOr = kAndOrOr;
    t.lines[0] = 1;  // SD
    t.lines[2] = 1;  // RS
    t.lineStates[2] = kLevelHigh;
    t.events[0] = 1;
    t.eventStates[0] = 1;
    t.syncs[7] = 1;
    t.times[1] = 1;
    t.counts[3] = 1;
    t.sdStrings[0] = 1;
    t.rdStrings[3] = 1;
    t.rdError = 1;
    t.bufferFull = 1;
    t.action1 = 0x20;
    t.option1 = 255;
    t.action2 = 0x51;
    t.option2 = 3;
    auto w = EncodeTrigger(t);
    EXPECT_EQ(w[0], 3u);
    EXPECT_EQ(w[1], (1u << 0) | (1u << 2) | (1u << 16) | (1u << 31));
    EXPECT_EQ(w[2], (1u << 2) | (1u << 16));
    EXPECT_EQ(w[3], (1u << 1) | (1u << 7) | (1u << 8) | (1u << 15) | (1u << 17) | (1u << 20));
    EXPECT_EQ(w[4], 1u << 1);
    EXPECT_EQ(w[5], 1u << 10);
    t.andOr = 255;  // an unreadable AND/OR word does not smear into other bits
    EXPECT_EQ(EncodeTrigger(t)[0], 1u);
}

TEST(CardMode, FixLeavesBit30Clear) {
    MonitorSettings m;
    m.Memory = kMemoryFix;
    EXPECT_EQ(EncodeCardMemoryMode(m), 0x80000000u);
    m.Memory = kMemoryRing;
    EXPECT_EQ(EncodeCardMemoryMode(m), 0xC0000000u);
}

// Whole packets as they leave, with replies from a scripted device.
class Packets : public ::testing::Test {
  protected:
    void SetUp() override {
        wire = std::make_shared<test::FakeWire>();
        dev = test::MakeFakeDevice({test::FakeUnit{}}, wire);
        ASSERT_TRUE(dev->Open(0));
    }
    const std::vector<uint8_t>& Packet(size_t i) const { return wire->outs.at(i).bytes; }
    std::shared_ptr<test::FakeWire> wire;
    std::shared_ptr<UsbDevice> dev;
};

TEST_F(Packets, LineConfigIsTwentyEightBigEndianBytes) {
    DeviceCommand cmd(dev);
    wire->Reply({});
    wire->Reply({});
    MonitorSettings m;
    SamplingSettings s;
    ASSERT_EQ(SendMonitorSettings(cmd, m, s), 0);
    auto p = Packet(0);
    ASSERT_EQ(p.size(), 4u + 28);
    EXPECT_EQ(std::vector<uint8_t>(p.begin(), p.begin() + 4),
              (std::vector<uint8_t>{0x51, 0x56, 32, 0}));
    EXPECT_EQ(std::vector<uint8_t>(p.begin() + 12, p.begin() + 16),
              (std::vector<uint8_t>{0x00, 0x00, 0x25, 0x80}));  // p3 = 9600
    EXPECT_EQ(Packet(1).size(), 4u + 40);
    EXPECT_EQ(Packet(1)[2], 33);
}

TEST_F(Packets, TriggerOptionStopsAtTheFirstFailure) {
    DeviceCommand cmd(dev);
    wire->Reply({});
    wire->Reply({});
    wire->Reply({});  // string SD1 answered, SD2 not
    TriggerOption o;
    o.times[0] = 0x1'2345'6789LL;  // only the low 32 bits travel
    o.scopes[0][3] = 5;
    o.strings[0] = {0x41, 0x42, 0x43};
    EXPECT_EQ(SendTriggerOption(cmd, o), -1);
    ASSERT_EQ(wire->outs.size(), 4u);
    EXPECT_EQ(Packet(0)[2], 65);
    EXPECT_EQ(std::vector<uint8_t>(Packet(0).begin() + 4, Packet(0).begin() + 8),
              (std::vector<uint8_t>{0x23, 0x45, 0x67, 0x89}));
    auto s = Packet(2);
    ASSERT_EQ(s.size(), 4u + 32);
    EXPECT_EQ(s[2], 48);
    EXPECT_EQ(s[3], 0);
    EXPECT_EQ(s[4 + 13], 0x41);
    EXPECT_EQ(s[4 + 16 + 0], 5);
    EXPECT_EQ(Packet(3)[3], 1);  // SD2
}

TEST_F(Packets, RdStringsUseSubCommandsSixteenOn) {
    DeviceCommand cmd(dev);
    wire->Reply({});
    ASSERT_EQ(cmd.SendTriggerString(7, {}, {}), 0);
    EXPECT_EQ(Packet(0)[3], 19);
    EXPECT_EQ(cmd.SendTriggerString(8, {}, {}), -1);
}

TEST_F(Packets, StartAndStopSequences) {
    DeviceCommand cmd(dev);
    wire->Reply({});
    wire->Reply({});
    ASSERT_EQ(cmd.Stop(), 0);
    ASSERT_EQ(cmd.StartToComputer(), 0);
    ASSERT_EQ(wire->outs.size(), 4u);
    EXPECT_EQ(Packet(0)[2], 18);
    EXPECT_EQ(wire->outs[1].endpoint, kEpControlWord);
    EXPECT_EQ(Packet(1), (std::vector<uint8_t>{8, 0, 0, 0}));
    EXPECT_EQ(wire->outs[2].endpoint, kEpControlWord);
    EXPECT_EQ(Packet(3)[2], 19);
    EXPECT_EQ(Packet(3)[3], 16);
}

TEST_F(Packets, MasterSlaveCodes) {
    DeviceCommand cmd(dev);
    EXPECT_EQ(cmd.SetMasterSlave(3, 0), -1);
    EXPECT_TRUE(wire->outs.empty());  // refused without sending
    wire->Reply({});
    wire->Reply({});
    ASSERT_EQ(cmd.SetMasterSlave(1, 1), 0);
    ASSERT_EQ(cmd.SetMasterSlave(2, 0), 0);
    EXPECT_EQ(Packet(0)[3], 1);
    EXPECT_EQ(Packet(0)[7], 2);
    EXPECT_EQ(Packet(1)[3], 0);
    EXPECT_EQ(Packet(1)[7], 1);
}

TEST_F(Packets, RepliesShortOrMissing) {
    DeviceCommand cmd(dev);
    uint32_t bits = 123;
    EXPECT_EQ(cmd.QueryState(bits), -1);  // no reply: the read times out
    wire->replies.push_back({0, 0, 0, 0, 0, 0, 0, 0x2A});
    ASSERT_EQ(cmd.QueryState(bits), 0);
    EXPECT_EQ(bits, 0x2Au);
    wire->replies.push_back({0, 0, 0, 0});
    ASSERT_EQ(cmd.QueryState(bits), 0);
    EXPECT_EQ(bits, 0u);  // a word the reply did not carry is 0, not the last reply's
    wire->replies.push_back({});
    EXPECT_EQ(cmd.QueryState(bits), -1);  // an empty reply is a failure
}

TEST_F(Packets, NoDeviceObjectFailsEveryCommand) {
    DeviceCommand cmd(nullptr);
    uint32_t a = 0, b = 0;
    EXPECT_EQ(cmd.ReadClocks(a, b), -1);
    EXPECT_EQ(cmd.Stop(), -1);
    std::vector<uint8_t> out;
    EXPECT_EQ(cmd.ReadCardBlocks(0, 1, out), -1);
}

TEST_F(Packets, CardBlockWriteStopsAtTheFirstUnansweredBlock) {
    DeviceCommand cmd(dev);
    wire->Reply({});  // the command
    wire->Reply({});  // block 1
    std::vector<uint8_t> data(3 * 512, 0xAB);
    EXPECT_EQ(cmd.WriteCardBlocks(0x10020, data.data(), 3), 512);
    EXPECT_EQ(Packet(0)[3], 17);
    EXPECT_EQ(std::vector<uint8_t>(Packet(0).begin() + 4, Packet(0).begin() + 12),
              (std::vector<uint8_t>{0, 1, 0, 0x20, 0, 0, 0, 3}));
    EXPECT_EQ(Packet(1).size(), 512u);
    EXPECT_EQ(dev->GetEndpoint(kEpCommand)->timeoutMs, kTimeoutCommandMs);  // restored
}

}  // namespace
}  // namespace qv
