#include "sim/SimProtocol.h"

namespace qv::sim::wire {

namespace {

// Commands without words of their own still carry four zero words, 16 bytes.
constexpr Command kTable[] = {
    {Op::kReadClock, 16, 0, 0, 0, 2},  // monitoring time, built-in clock
    {Op::kSetClock, 17, 0, 0, 16, 0},
    {Op::kStop, 18, 0, 0, 16, 0},
    {Op::kStartToComputer, 19, 16, 16, 16, 0},
    {Op::kStartToCard, 19, 32, 32, 16, 0},
    {Op::kStartRetrieval, 19, 64, 64, 16, 0},
    {Op::kMasterSlave, 24, 0, 1, 16, 0},
    {Op::kLineConfig, 32, 0, 0, 28, 0},
    {Op::kSampling, 33, 0, 0, 40, 0},
    {Op::kSdString, 48, 0, 3, 32, 0},  // 16 pattern bytes, 16 scope bytes
    {Op::kRdString, 48, 16, 19, 32, 0},
    {Op::kTrigger, 64, 0, 4, 24, 0},
    {Op::kTimers, 65, 0, 0, 16, 0},
    {Op::kCounters, 66, 0, 0, 16, 0},
    {Op::kRunStatus, 72, 0, 0, 16, 1},  // bytes waiting; status words follow
    {Op::kVersion, 72, 1, 1, 16, 3},
    {Op::kState, 72, 2, 2, 16, 1},
    {Op::kCardFigures, 72, 3, 3, 16, 7},
    {Op::kCardMode, 80, 0, 0, 16, 0},
    {Op::kCardRead, 8, 16, 16, 16, 0},  // then one 512-byte read per block
    {Op::kCardWrite, 8, 17, 17, 16, 0},  // then one 512-byte write per block
};

}  // namespace

std::span<const Command> Commands() {
    return kTable;
}

const Command* FindCommand(uint8_t cmd, uint8_t sub) {
    for (const Command& c : kTable)
        if (c.cmd == cmd && sub >= c.subFirst && sub <= c.subLast) return &c;
    return nullptr;
}

uint32_t Be32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

}  // namespace qv::sim::wire
