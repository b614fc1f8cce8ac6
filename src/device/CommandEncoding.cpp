#include "device/CommandEncoding.h"

#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "capture/CaptureRecord.h"

namespace qv {

namespace {

uint32_t RateWord(double rate) {
    if (!(rate > 0)) return 0;  // also NaN
    if (rate >= static_cast<double>(std::numeric_limits<uint32_t>::max()))
        return std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(std::floor(rate));
}

// Stop length in bits for StopBit 0, 15, 20 and anything else.
double StopLength(uint8_t stopBit) {
    switch (stopBit) {
        case 0:
            return 0.0;
        case 15:
            return 1.5;
        case 20:
            return 2.0;
        default:
            return 1.0;
    }
}

uint32_t StopTime(double rate, uint8_t stopBit) {
    if (!(rate > 0)) return 0;
    double ticks = std::floor((1.0 / rate) * StopLength(stopBit) * 1e9 / 10.0);
    if (ticks >= static_cast<double>(std::numeric_limits<uint32_t>::max()))
        return std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(ticks);
}

uint32_t Bits(uint32_t flag, int bit) {
    return flag ? (1u << bit) : 0u;
}

}  // namespace

std::array<uint32_t, 7> EncodeLineConfig(const MonitorSettings& m) {
    std::array<uint32_t, 7> w{};
    uint32_t p1 = 0;
    if (m.Line == 1 || m.Line == 2) p1 |= 0x800;
    // The protocol field; ASYNC, like a code that names no protocol, sets no bit.
    static constexpr std::pair<Protocol, uint32_t> kProtocolField[] = {
        {Protocol::kSync, 0x2000}, {Protocol::kHdlc, 0x3000}, {Protocol::kLogic, 0x1000}};
    const std::optional<Protocol> protocol = ProtocolFromCode(m.Protocol);
    for (const auto& [p, bits] : kProtocolField)
        if (protocol == p) p1 |= bits;
    if (m.SDDataLogic == 0) p1 |= 0x200;
    if (m.RDDataLogic == 0) p1 |= 0x100;

    uint32_t p2 = 0;
    if (m.BitOrder == 0) p2 |= 0x800000;
    const uint32_t dataBits = (m.DataLen >= 5 && m.DataLen <= 7) ? m.DataLen : 8;
    p2 |= dataBits << 24;
    switch (m.Parity) {
        case 1:
            p2 |= 0x500000;
            break;
        case 2:
            p2 |= 0x400000;
            break;
        case 3:
            p2 |= 0x700000;
            break;
        case 4:
            p2 |= 0x600000;
            break;
        case 5:
            p2 |= 0x100000;
            break;
        default:
            break;
    }
    switch (m.StopBit) {
        case 0:
            break;
        case 15:
            p2 |= 0x30000;
            break;
        case 20:
            p2 |= 0x40000;
            break;
        default:
            p2 |= 0x20000;
            break;
    }
    switch (m.Clock) {
        case 1:
            p2 |= 0x1000;
            break;
        case 2:
            p2 |= 0x2000;
            break;
        case 3:
            p2 |= 0x3000;
            break;
        default:
            break;
    }
    switch (m.SD_ClockRate) {
        case 1:
            p2 |= 0x10;
            break;
        case 2:
            p2 |= 0x20;
            break;
        case 3:
            p2 |= 0x40;
            break;
        default:
            p2 |= 0x1;
            break;
    }

    const uint32_t parityBits = (m.Parity >= 1 && m.Parity <= 5) ? 1 : 0;
    const uint32_t stopBits = m.StopBit == 0 ? 0 : (m.StopBit == 15 || m.StopBit == 20) ? 2 : 1;
    w[0] = p1;
    w[1] = p2;
    w[2] = RateWord(m.SD_Baudrate);
    w[3] = RateWord(m.RD_Baudrate);
    w[4] = 1 + dataBits + parityBits + stopBits;
    w[5] = StopTime(m.SD_Baudrate, m.StopBit);
    w[6] = StopTime(m.RD_Baudrate, m.StopBit);
    return w;
}

std::array<uint32_t, 10> EncodeSamplingCycles(const SamplingSettings& s, uint32_t* mask) {
    std::array<uint32_t, 10> w{};
    uint32_t m = ~0x3FFu;  // bits 10 and up
    for (size_t i = 0; i < w.size(); ++i) {
        w[i] = s.cycles[i] / 10;
        if (w[i] != 0) m |= 1u << i;
    }
    if (mask) *mask = m;
    return w;
}

std::array<uint32_t, 4> EncodeTimers(const TriggerOption& o) {
    std::array<uint32_t, 4> w{};
    for (size_t i = 0; i < 4; ++i)
        w[i] = static_cast<uint32_t>(static_cast<uint64_t>(o.times[i]));
    return w;
}

std::array<uint32_t, 4> EncodeCounters(const TriggerOption& o) {
    std::array<uint32_t, 4> w{};
    for (size_t i = 0; i < 4; ++i)
        w[i] = static_cast<uint32_t>(o.counts[i]);
    return w;
}

void EncodeTriggerAction(uint8_t code, uint16_t option, uint32_t& p5, uint32_t& p6) {
    const int m = (option >= 1 && option <= 8) ? option - 1 : 0;
    switch (code) {
        case 0x50:
            p6 |= 1u << m;
            return;
        case 0x51:
            p6 |= 1u << (8 + m);
            return;
        case 0x60:
            p6 |= 1u << (16 + m);
            return;
        case 0x61:
            p6 |= 1u << (24 + m);
            return;
        case 0x10:
            p5 |= 1u << 0;
            return;
        case 0x20:
            p5 |= 1u << 1;
            return;
        case 0x40:
            p5 |= 1u << 4;
            return;
        case 0x41:
            p5 |= 1u << 5;
            return;
        case 0x90:
            p5 |= 1u << 6;
            return;
        case 0x91:
            p5 |= 1u << 7;
            return;
        case 0x30:
            if (option >= 1 && option <= 3) p5 |= 1u << (16 + option - 1);
            return;
        case 0x31:
            if (option >= 1 && option <= 3) p5 |= 1u << (20 + option - 1);
            return;
        default:
            break;
    }
    if (code >= 0x71 && code <= 0x74) p5 |= 1u << (24 + (code - 0x71));
    if (code >= 0x81 && code <= 0x84) p5 |= 1u << (28 + (code - 0x81));
}

std::array<uint32_t, 6> EncodeTrigger(const TriggerSetting& t) {
    std::array<uint32_t, 6> w{};
    // AND/OR reads as 255 for an unknown word; only OR (1) sets the bit,
    // so an unreadable value cannot spill into other bits.
    w[0] = (t.enabled & 1u) | (t.andOr == kAndOrOr ? 2u : 0u);
    for (int i = 0; i < kTriggerLines; ++i) {
        w[1] |= Bits(t.lines[static_cast<size_t>(i)], i);
        w[2] |= Bits(t.lineStates[static_cast<size_t>(i)] == kLevelHigh, i);
    }
    for (int i = 0; i < kTriggerEvents; ++i) {
        w[1] |= Bits(t.events[static_cast<size_t>(i)], 16 + i);
        w[1] |= Bits(t.syncs[static_cast<size_t>(i)], 24 + i);
        w[2] |= Bits(t.eventStates[static_cast<size_t>(i)] == 1, 16 + i);
        w[2] |= Bits(t.syncStates[static_cast<size_t>(i)] == 1, 24 + i);
    }
    for (int i = 0; i < 4; ++i) {
        w[3] |= Bits(t.times[static_cast<size_t>(i)], i);
        w[3] |= Bits(t.counts[static_cast<size_t>(i)], 4 + i);
        w[3] |= Bits(t.sdStrings[static_cast<size_t>(i)], 8 + i);
        w[3] |= Bits(t.rdStrings[static_cast<size_t>(i)], 12 + i);
    }
    w[3] |= Bits(t.sdError, 16) | Bits(t.rdError, 17) | Bits(t.sdBreak, 18) | Bits(t.rdBreak, 19) |
            Bits(t.bufferFull, 20);
    EncodeTriggerAction(t.action1, t.option1, w[4], w[5]);
    EncodeTriggerAction(t.action2, t.option2, w[4], w[5]);
    return w;
}

uint32_t EncodeCardMemoryMode(const MonitorSettings& m) {
    return 0x80000000u | (m.Memory == kMemoryFix ? 0u : 0x40000000u);
}

int SendMonitorSettings(DeviceCommand& cmd, const MonitorSettings& m, const SamplingSettings& s) {
    cmd.SendLineConfig(EncodeLineConfig(m));  // its result is not looked at
    return cmd.SendSamplingCycles(EncodeSamplingCycles(s));
}

int SendTriggerOption(DeviceCommand& cmd, const TriggerOption& o) {
    if (cmd.SendTimers(EncodeTimers(o)) != 0) return -1;
    if (cmd.SendCounters(EncodeCounters(o)) != 0) return -1;
    for (int i = 0; i < kOptionStrings; ++i)
        if (cmd.SendTriggerString(i, o.strings[static_cast<size_t>(i)],
                                  o.scopes[static_cast<size_t>(i)]) != 0)
            return -1;
    return 0;
}

int SendTriggerSetting(DeviceCommand& cmd, int n, const TriggerSetting& t) {
    return cmd.SendTrigger(n, EncodeTrigger(t));
}

}  // namespace qv
