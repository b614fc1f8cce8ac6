// The command groups of qvtool. Each group adds its subcommands to the
// application; main() calls every Add*Commands in turn.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace qv {
class DeviceAccess;
}

namespace qv::cli {

// Exit status for a bad command line, unknown name or bad value: nothing changed.
inline constexpr int kExitUsage = 2;
// Exit status when the work itself failed (file not readable, device error).
inline constexpr int kExitFailure = 1;
// Exit status of record when the capture was made but the instrument
// overflowed: the capture has gaps (listed by info and stats).
inline constexpr int kExitGaps = 3;

// Thrown by a command's action to end qvtool with a message and status.
struct CommandError {
    int status;
    std::string message;
};

void AddConfigCommands(CLI::App& app);
void AddCaptureCommands(CLI::App& app);
// The commands that open an instrument reach it through `devices`, which
// outlives the parse.
void AddRecordCommands(CLI::App& app, DeviceAccess& devices);
void AddSettingsCommands(CLI::App& app, DeviceAccess& devices);
void AddDecodeCommands(CLI::App& app);
// units, status, clock, stop.
void AddDeviceCommands(CLI::App& app, DeviceAccess& devices);
void AddSearchCommands(CLI::App& app);
// The capture-interface program's protocol (qvtool extcap, or qvtool
// started as qvort-extcap).
void AddExtcapCommands(CLI::App& app, DeviceAccess& devices);

// What the capture-interface program shares with settings and record: a
// setting of the unit's status file as "settings show" writes it (empty for
// no such key), a change as "settings set" makes it, and a record run of the
// unit (its questions answered yes) that also writes its pcapng stream to
// `stream` with this payload.
std::string UnitSettingText(DeviceAccess& devices, const std::string& serial,
                            const std::string& key);
void SetUnitSettings(DeviceAccess& devices, const std::string& serial,
                     const std::vector<std::string>& pairs);
void RecordStream(DeviceAccess& devices, const std::string& serial, const std::string& stream,
                  const std::string& payload);
void AddExportCommands(CLI::App& app);
void AddPrintCommands(CLI::App& app);
void AddRecoverCommands(CLI::App& app);
// messages, stats.
void AddTrafficCommands(CLI::App& app);

}  // namespace qv::cli
