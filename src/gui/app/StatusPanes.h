// The texts of the main frame's status bar panes 1 to 7. A text that begins
// with "\t" is shown centred in its pane. Plain functions, so that the rules
// can be checked without a window.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "settings/MonitorSettings.h"

namespace qv {

inline constexpr int kStatusPanes = 8;
using StatusTexts = std::array<std::string, kStatusPanes>;

// Pane 0 is the message pane; the others start as "\t-".
StatusTexts EmptyStatusTexts();

// Pane 1: "\t[ name ]", the serial when the name is empty, "\t-" when no
// serial is selected.
std::string UnitPaneText(const std::string& serial, const std::string& name);
// Pane 3: "f"/"m", "o", "p" of a data record's header, else three blanks.
std::string ErrorPaneText(uint8_t header);
// The bit rate shown for one direction: the configured rate, or when both
// rates are 0 the clock frequency divided by the direction's clock rate
// divisor (1/16, 1/32, 1/64 for 1, 2, 3).
double ShownBaudRate(const MonitorSettings& m, double frequency, bool sd);

// Panes 4 to 7 from a capture's or the status file's settings.
void FillSettingsPanes(StatusTexts& texts, const MonitorSettings& m, double frequency);

// Pane 2 while monitoring: "\tSD=0000000012 RD=0000000034".
std::string MonitorCountPaneText(const std::string& sdLabel, uint64_t sd,
                                 const std::string& rdLabel, uint64_t rd);

}  // namespace qv
