// The setting text the trigger editor lists beside each condition of one
// trigger: "-" when the condition does not take part, else its state or the
// shared operand it compares with.
#pragma once

#include <string>

#include "settings/TriggerSetting.h"

namespace qv {

// Strings: 16 groups of three characters, "41 " for a byte, "** " for a byte
// that matches anything, blanks from the end of the pattern on. Times:
// "YYYY/MM/DD hh:mm:ss" in local time. Lines: "HIGH"/"LOW"; events and
// external events: "ON"/"OFF". Counters: the value with thousands separators.
// Errors, breaks and buffer full: "条件とする".
std::string ConditionSettingText(const TriggerSetting& trigger, const TriggerOption& option,
                                 ConditionRef c);

// The shared string a string condition compares with (0-3 SD, 4-7 RD); -1
// for other conditions.
int OptionStringIndex(ConditionRef c);

}  // namespace qv
