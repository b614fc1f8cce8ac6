// Both ends of the command protocol against the protocol's own numbers: the
// computer's command code (the packets it sends, the reply words it takes) and
// the emulated instrument (its table and what it answers). The numbers below
// are written out here and nowhere else, so a wrong number on either side fails
// even when the other side makes the same mistake.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "device/DeviceCommand.h"
#include "device/FakeBackend.h"
#include "sim/SimInstrument.h"
#include "sim/SimProtocol.h"

namespace qv {
namespace {

using Words = std::vector<uint32_t>;
using sim::wire::Op;

struct Row {
    const char* name;
    uint8_t cmd, sub;
    size_t paramBytes;  // after the 4-byte head
    size_t replyWords;  // words after word 0 the caller takes, in order
    Op op;
    std::function<Words(DeviceCommand&)> call;  // the computer's operation, its reply words
};

std::vector<Row> Rows() {
    auto none = [](std::function<int(DeviceCommand&)> f) {
        return [f](DeviceCommand& c) {
            EXPECT_EQ(f(c), 0);
            return Words{};
        };
    };
    std::array<uint8_t, 16> a{};
    return {
        {"read clocks", 16, 0, 0, 2, Op::kReadClock,
         [](DeviceCommand& c) {
             uint32_t m = 0, k = 0;
             EXPECT_EQ(c.ReadClocks(m, k), 0);
             return Words{m, k};
         }},
        {"set clock", 17, 0, 16, 0, Op::kSetClock, none([](auto& c) { return c.SetClock(1); })},
        {"stop", 18, 0, 16, 0, Op::kStop, none([](auto& c) { return c.Stop(); })},
        {"start to computer", 19, 16, 16, 0, Op::kStartToComputer,
         none([](auto& c) { return c.StartToComputer(); })},
        {"start to card", 19, 32, 16, 0, Op::kStartToCard,
         none([](auto& c) { return c.StartToCard(); })},
        {"start retrieval", 19, 64, 16, 0, Op::kStartRetrieval,
         none([](auto& c) { return c.StartCardRetrieval(); })},
        {"slave", 24, 0, 16, 0, Op::kMasterSlave,
         none([](auto& c) { return c.SetMasterSlave(0, 0); })},
        {"master", 24, 1, 16, 0, Op::kMasterSlave,
         none([](auto& c) { return c.SetMasterSlave(1, 1); })},
        {"line configuration", 32, 0, 28, 0, Op::kLineConfig,
         none([](auto& c) { return c.SendLineConfig({}); })},
        {"sampling cycles", 33, 0, 40, 0, Op::kSampling,
         none([](auto& c) { return c.SendSamplingCycles({}); })},
        {"SD1 string", 48, 0, 32, 0, Op::kSdString,
         none([a](auto& c) { return c.SendTriggerString(0, a, a); })},
        {"SD4 string", 48, 3, 32, 0, Op::kSdString,
         none([a](auto& c) { return c.SendTriggerString(3, a, a); })},
        {"RD1 string", 48, 16, 32, 0, Op::kRdString,
         none([a](auto& c) { return c.SendTriggerString(4, a, a); })},
        {"RD4 string", 48, 19, 32, 0, Op::kRdString,
         none([a](auto& c) { return c.SendTriggerString(7, a, a); })},
        {"trigger 1", 64, 0, 24, 0, Op::kTrigger, none([](auto& c) { return c.SendTrigger(1, {}); })},
        {"trigger 5", 64, 4, 24, 0, Op::kTrigger, none([](auto& c) { return c.SendTrigger(5, {}); })},
        {"timers", 65, 0, 16, 0, Op::kTimers, none([](auto& c) { return c.SendTimers({}); })},
        {"counters", 66, 0, 16, 0, Op::kCounters, none([](auto& c) { return c.SendCounters({}); })},
        {"run status", 72, 0, 16, 1, Op::kRunStatus,
         [](DeviceCommand& c) {
             uint32_t w = 0;
             EXPECT_EQ(c.QueryRunStatus(w), 0);
             return Words{w};
         }},
        {"version", 72, 1, 16, 3, Op::kVersion,
         [](DeviceCommand& c) {
             std::array<uint32_t, 3> w{};
             EXPECT_EQ(c.QueryVersion(w), 0);
             return Words(w.begin(), w.end());
         }},
        {"state", 72, 2, 16, 1, Op::kState,
         [](DeviceCommand& c) {
             uint32_t w = 0;
             EXPECT_EQ(c.QueryState(w), 0);
             return Words{w};
         }},
        {"card figures", 72, 3, 16, 7, Op::kCardFigures,
         [](DeviceCommand& c) {
             std::array<uint32_t, 7> w{};
             EXPECT_EQ(c.QueryCardFigures(w), 0);
             return Words(w.begin(), w.end());
         }},
        {"card memory mode", 80, 0, 16, 0, Op::kCardMode,
         none([](auto& c) { return c.SetCardMemoryMode(false); })},
        {"card read", 8, 16, 16, 0, Op::kCardRead,
         [](DeviceCommand& c) {
             std::vector<uint8_t> out;
             EXPECT_EQ(c.ReadCardBlocks(0x10020, 0, out), 0);
             return Words{};
         }},
        {"card write", 8, 17, 16, 0, Op::kCardWrite,
         [](DeviceCommand& c) {
             EXPECT_EQ(c.WriteCardBlocks(0x10020, nullptr, 0), 0);
             return Words{};
         }},
    };
}

// Reply word i (1..15) of the scripted reply: 0xA0000000 + i.
constexpr uint32_t kWordBase = 0xA0000000;

TEST(WireTable, TheComputerSendsEachCommandAsTheProtocolNumbersIt) {
    for (const Row& r : Rows()) {
        auto wire = std::make_shared<test::FakeWire>();
        auto dev = test::MakeFakeDevice({test::FakeUnit{}}, wire);
        ASSERT_TRUE(dev->Open(0));
        Words reply;
        for (uint32_t i = 1; i <= 15; ++i)
            reply.push_back(kWordBase + i);
        wire->Reply({});
        wire->replies.back().resize(64);
        for (size_t i = 0; i < reply.size(); ++i)
            PutBe32(wire->replies.back().data() + 4 * (i + 1), reply[i]);
        DeviceCommand cmd(dev);
        Words got = r.call(cmd);
        const test::FakeWire::Out* packet = nullptr;
        for (const auto& o : wire->outs)
            if (o.endpoint == 0x02 && !packet) packet = &o;
        ASSERT_NE(packet, nullptr) << r.name;
        ASSERT_GE(packet->bytes.size(), 4u) << r.name;
        EXPECT_EQ(packet->bytes[0], 0x51) << r.name;
        EXPECT_EQ(packet->bytes[1], 0x56) << r.name;
        EXPECT_EQ(packet->bytes[2], r.cmd) << r.name;
        EXPECT_EQ(packet->bytes[3], r.sub) << r.name;
        EXPECT_EQ(packet->bytes.size(), 4 + r.paramBytes) << r.name;
        EXPECT_EQ(got, Words(reply.begin(), reply.begin() + static_cast<long>(r.replyWords)))
            << r.name;
    }
}

TEST(WireTable, TheEmulatorKnowsExactlyTheProtocolsCommands) {
    std::set<std::pair<int, int>> known;
    for (const Row& r : Rows()) {
        const sim::wire::Command* c = sim::wire::FindCommand(r.cmd, r.sub);
        ASSERT_NE(c, nullptr) << r.name;
        EXPECT_EQ(c->op, r.op) << r.name;
        EXPECT_EQ(c->paramBytes, r.paramBytes) << r.name;
        EXPECT_EQ(c->replyWords, r.replyWords) << r.name;
        known.insert({r.cmd, r.sub});
    }
    // The ranges between the rows above: strings SD1..SD4, RD1..RD4, triggers 1..5.
    for (int s : {1, 2, 17, 18})
        known.insert({48, s});
    for (int s : {1, 2, 3})
        known.insert({64, s});
    for (int cmd = 0; cmd < 256; ++cmd)
        for (int sub = 0; sub < 256; ++sub)
            EXPECT_EQ(sim::wire::FindCommand(static_cast<uint8_t>(cmd), static_cast<uint8_t>(sub)) !=
                          nullptr,
                      known.count({cmd, sub}) == 1)
                << cmd << "/" << sub;
}

// Sends one packet straight to the emulated instrument and returns its reply.
std::string Ask(sim::SimInstrument& unit, const std::vector<uint8_t>& packet) {
    size_t taken = 0;
    EXPECT_EQ(unit.Out(0x02, packet.data(), packet.size(), taken), 0);
    std::string reply;
    EXPECT_EQ(unit.In(0x86, 512, 1000, reply), 0);
    return reply;
}

uint32_t WordAt(const std::string& s, size_t i) {
    if (4 * i + 4 > s.size()) return 0xFFFFFFFF;
    auto* p = reinterpret_cast<const uint8_t*>(s.data()) + 4 * i;
    return GetBe32(p);
}

TEST(WireTable, TheEmulatorAnswersEachProtocolPacketAndRefusesAShortOne) {
    sim::SimConfig cfg;
    cfg.clockFixed = 1'700'000'000;
    cfg.cardBlocks = sim::CardMemory::kDataFirstBlock + 16;
    sim::SimInstrument unit(cfg);
    for (const Row& r : Rows()) {
        std::vector<uint8_t> packet{0x51, 0x56, r.cmd, r.sub};
        packet.resize(4 + r.paramBytes);
        std::string reply = Ask(unit, packet);
        // Word 0 names the command and sub-command, with result 0: done.
        EXPECT_EQ(WordAt(reply, 0), (uint32_t{r.cmd} << 24) | (uint32_t{r.sub} << 16)) << r.name;
        EXPECT_GE(reply.size(), 4 * (1 + r.replyWords)) << r.name;
        if (r.paramBytes == 0) continue;
        packet.pop_back();
        reply = Ask(unit, packet);
        EXPECT_EQ(WordAt(reply, 0) & 0xFF, 1u) << r.name << ": short packet";
    }
    // The answers of the queries the callers read, in the protocol's words.
    std::vector<uint8_t> set{0x51, 0x56, 17, 0, 0x65, 0x53, 0xF1, 0x00};  // 1'700'000'000
    set.resize(20);
    Ask(unit, set);
    EXPECT_EQ(WordAt(Ask(unit, {0x51, 0x56, 16, 0}), 2), 1'700'000'000u);
    std::vector<uint8_t> master{0x51, 0x56, 24, 1, 0, 0, 0, 2};
    master.resize(20);
    Ask(unit, master);
    std::vector<uint8_t> state{0x51, 0x56, 72, 2};
    state.resize(20);
    // Stopped (bits 1-0), external power (bit 3), a card (bit 4), master
    // after "master" above (bit 7).
    EXPECT_EQ(WordAt(Ask(unit, state), 1), 0x08u | 0x10u | 0x80u);
    std::vector<uint8_t> unknown{0x51, 0x56, 67, 0};
    unknown.resize(20);
    EXPECT_EQ(WordAt(Ask(unit, unknown), 0) & 0xFF, 1u);
}

}  // namespace
}  // namespace qv
