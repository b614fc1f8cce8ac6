// Starting a run that the instrument stores on its memory card on its own:
// configure it from the unit's status file, leave that file in card memory so
// that the run can later be brought back with its settings, and start it now
// or at the instrument's next power-on. The dialog shows the status texts and
// messages; qvtool prints them.
#pragma once

#include <functional>
#include <string>

namespace qv {

class IPrompt;
class Log;
class DeviceCommand;
class DeviceAccess;

// Sets the card memory mode and writes the status file at `path` into card
// memory (32 KiB, zero-filled; a longer file is cut). 0; -1 when the file or
// the mode cannot be had; -2 when card memory cannot be written.
int StoreSettingsInCard(DeviceCommand& cmd, const std::string& path, bool fixMemory);

struct CardRunResult {
    int code = 0;          // 0 when the card run is set up (started or armed)
    bool started = false;  // started now (else at the next power-on)
    std::string message;   // the final text shown to the user
};

// Runs the sequence; `status` receives the status texts as they change.
// Failures come back with their numbered message in `message`.
CardRunResult RunCardStart(DeviceAccess& devices, Log& log, IPrompt* prompt,
                           const std::function<void(const std::string&)>& status);

}  // namespace qv
