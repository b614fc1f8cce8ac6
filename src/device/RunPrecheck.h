// What every start on the instrument checks first: a run the instrument is
// already doing (stopped only when the user says so), its clock against the
// computer's (set only when the user says so), and, for the memory card, its
// power and card state. Questions go through the prompt.
#pragma once

#include <cstdint>
#include <string>

#include "core/MessageText.h"
#include "device/DeviceCommand.h"

namespace qv {

class IPrompt;

// Seconds the two clocks may differ before the user is asked.
inline constexpr int64_t kClockTolerance = 120;

// The clock question for the instrument's and the computer's time.
std::string ClockQuestion(uint32_t instrument, int64_t computer);

// Codes: 0, -9 when the state cannot be read, -1 when the user declines to
// stop a running instrument.
int PrecheckInstrument(DeviceCommand& cmd, IPrompt* prompt, int64_t now);

enum class CardUse { kCardRun, kRetrieval };
// 0, or -1 after showing why the card cannot be used.
int CheckCard(DeviceCommand& cmd, IPrompt* prompt, CardUse use);

}  // namespace qv
