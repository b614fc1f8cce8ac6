// How the monitor settings and the trigger model become the words of the
// configuration commands sent before each run, and the sending of them.
#pragma once

#include <array>
#include <cstdint>

#include "device/DeviceCommand.h"
#include "settings/MonitorSettings.h"
#include "settings/TriggerSetting.h"

namespace qv {

// Command 32, p1..p7: line/protocol/logic bits, character format bits, the
// two rates rounded down, bits per character, and the stop time of SD and RD
// in 10 ns ticks. A rate of 0 or less (or not a number) gives 0 for its rate
// and stop time instead of dividing by it.
std::array<uint32_t, 7> EncodeLineConfig(const MonitorSettings& m);

// Command 33, p1..p10: each line's sampling cycle in 10 ns units (integer
// division); `mask` gets bits 10 and up plus bit i for each line whose
// quotient is not 0.
std::array<uint32_t, 10> EncodeSamplingCycles(const SamplingSettings& s, uint32_t* mask = nullptr);

// Commands 65 and 66: the low 32 bits of Time1..Time4, and Cnt1..Cnt4.
std::array<uint32_t, 4> EncodeTimers(const TriggerOption& o);
std::array<uint32_t, 4> EncodeCounters(const TriggerOption& o);

// Sets the bits of one action (code, option) in p5 and p6 of command 64. An
// option outside the numbers of its code sets no bit.
void EncodeTriggerAction(uint8_t code, uint16_t option, uint32_t& p5, uint32_t& p6);
// Command 64, p1..p6, for one trigger.
std::array<uint32_t, 6> EncodeTrigger(const TriggerSetting& t);

// Command 80, p1: bit 31, and bit 30 unless `Memory` is FIX.
uint32_t EncodeCardMemoryMode(const MonitorSettings& m);

// Sends the line configuration (32) then the sampling cycles (33); the
// result of 33.
int SendMonitorSettings(DeviceCommand& cmd, const MonitorSettings& m, const SamplingSettings& s);
// Sends timers (65), counters (66) and the eight strings (48), stopping at
// the first failure.
int SendTriggerOption(DeviceCommand& cmd, const TriggerOption& o);
// Sends trigger n (1..5) (64).
int SendTriggerSetting(DeviceCommand& cmd, int n, const TriggerSetting& t);

}  // namespace qv
