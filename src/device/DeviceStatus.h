// The instrument's status as the unit information dialog and qvtool show
// it, its clock, and the master/slave preparation. Each user first opens the
// selected unit through OpenForStatus, which gives the dialog's message when
// that fails.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/MessageText.h"
#include "device/DeviceAccess.h"
#include "device/DeviceCommand.h"
#include "device/UsbDevice.h"

namespace qv {

// Which dialog opens the unit: they differ in their messages and in what
// they accept as the unit.
enum class StatusUse { kUnitInfo, kClock, kMasterSlave };

struct StatusOpen {
    std::shared_ptr<UsbDevice> device;  // open on the unit when message is empty
    std::string message;
};
// Creates a device object anew and finds the unit `selected` (for the
// master/slave use any attached instrument will do).
StatusOpen OpenForStatus(DeviceAccess& devices, StatusUse use, const UnitIdentity& selected);

// One row of the unit information: a key that never changes with the
// language (for machine-readable output), the label and value as shown, and
// for a clock row its seconds since 1970.
struct StatusRow {
    std::string key;
    std::string label;
    std::string value;
    std::optional<int64_t> seconds;
};

// "%Y/%m/%d %H:%M:%S" of seconds since 1970, in local time.
std::string ClockText(uint32_t seconds);
// The same instant as ISO 8601 local time with the zone's offset
// ("2026-12-07T19:25:45+09:00"), which a script reads without knowing the zone.
std::string ClockIso(int64_t seconds);
// Reads "YYYY/MM/DD hh:mm:ss" or "YYYY-MM-DDThh:mm:ss[.fraction]" as local
// time, in whole seconds since 1970; nullopt for a text that is not such a
// time (a date that does not exist included).
std::optional<int64_t> ParseLocalTimeText(const std::string& text);
// Why seconds since 1970 cannot be set on the instrument's clock, which
// counts them in 32 bits (a later time would come back as one in 1970 or
// after): the message with the range it holds, in local time. Empty when
// they can.
std::string ClockRangeProblem(int64_t seconds);
// Both: nullopt for a text that is not such a time or that the clock
// cannot hold.
std::optional<uint32_t> ParseClockText(const std::string& text);

// The rows of the state bits (0-6).
std::vector<StatusRow> StateRows(uint32_t bits, UiLanguage language = MessageLanguage());
// Reads rows 0-9 and, extended, 10-21 (state 72/2, clocks 16, version 72/1,
// card figures 72/3). Stops at the first command that fails, with the rows
// read so far and -1.
int ReadStatusRows(DeviceCommand& cmd, uint16_t deviceRelease, bool extended,
                   std::vector<StatusRow>& rows, UiLanguage language = MessageLanguage());

// Master/slave: the entry to preselect (1 master, 0 slave), or the message
// that refuses the dialog (the state cannot be read, or the instrument is
// monitoring).
struct MasterSlaveOpen {
    int entry = 0;
    std::string message;
};
MasterSlaveOpen PrepareMasterSlave(DeviceCommand& cmd);
// Sends mode setting 1 with the second byte 1 for master (entry 1), 0 for
// slave (command 24 with p1 = 2).
int ApplyMasterSlave(DeviceCommand& cmd, int entry);

}  // namespace qv
