// The unit list: every instrument ever seen, with a user-given name, kept in
// "ActiveUnitInfo.txt" in the application folder; which units are attached
// now and which one is selected; choosing, releasing and naming a unit. The
// selection dialog and qvtool both work through this class.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/MessageText.h"
#include "device/DeviceAccess.h"
#include "device/UsbDevice.h"
#include "settings/StatusFile.h"

namespace qv {

class IPrompt;

inline constexpr const char* kUnitListFileName = "ActiveUnitInfo.txt";

// Flag bits of a unit.
inline constexpr uint32_t kUnitAttached = 0x1;  // found by the last scan
inline constexpr uint32_t kUnitSelected = 0x8;  // selected by this or another copy

// The vendor id written for every scanned unit (5330).
inline constexpr uint32_t kUnitListVendorId = kQvVendorId;

struct UnitInfo {
    uint32_t flags = 0;
    uint32_t vendorId = 0;
    uint32_t productId = 0;
    std::string serial;  // at most 8 characters
    std::string name;

    bool SameUnit(uint32_t v, uint32_t p, const std::string& s) const {
        return vendorId == v && productId == p && serial == s;
    }
};

// One line of the file: "%04x,%04x,%04x,%8s,%s" (flags, vendor id, product id
// in lower-case hex, the serial right-aligned in 8 characters, the name).
std::string UnitLine(const UnitInfo& u);
// Reads a line back; bit 0 of the flags is cleared (attachment is found
// afresh). Fields that do not parse keep their defaults.
UnitInfo ParseUnitLine(const std::string& line);
// Whether a unit's serial reads back from its line as itself: at most 8
// characters, no comma, no line break, no blank at either end. A unit whose
// serial does not is never put in the file: its line would read back as
// another unit, and every later scan would add it again.
bool StorableSerial(const std::string& serial);
// A missing or unreadable file gives an empty list.
std::vector<UnitInfo> ReadUnitFile(const std::string& path);
int WriteUnitFile(const std::string& path, const std::vector<UnitInfo>& units);
std::string UnitListPath();

// An attached instrument that this user may not open: known by what
// enumeration tells without opening it.
struct InaccessibleUnit {
    uint16_t productId = 0;
    std::string serial;  // empty when it could not be read
};

// The index of a row that stands for no unit of the list (an inaccessible
// unit never seen before): it cannot be selected or named.
inline constexpr size_t kNoListIndex = static_cast<size_t>(-1);

// A row as the dialog and qvtool show it.
struct UnitRow {
    size_t index = 0;  // in the list, or kNoListIndex
    std::string model, serial, name;
    std::string attachedMark;  // " ○" when attached
    std::string selectedMark;  // " ◎" the selected unit, " ○" another copy's, else empty
    bool noAccess = false;     // attached, but this user may not open it (marked " ×")
};

class UnitList {
  public:
    // Starts from the selected unit it is given.
    explicit UnitList(SelectedUnit selected);

    // Reads the file, scans the device object's devices (none when it is
    // null) marking attached units and appending new ones, and writes the
    // file when the scan appended a unit (or found a unit listed twice). Devices the
    // user may not open are kept apart (never written to the file). The number
    // of units.
    //
    // Every change of the file (here, Apply, Rename, ReleaseAtExit) reads it
    // afresh under its lock and changes only its own unit, so that another
    // program's change made since this list was read is kept.
    size_t Reload(UsbDevice* device);
    // The attached units the last scan could not open for want of permission.
    const std::vector<InaccessibleUnit>& Inaccessible() const { return m_noAccess; }

    const std::vector<UnitInfo>& Units() const { return m_units; }
    // All units, or only the attached ones.
    std::vector<UnitRow> Rows(bool all) const;
    // The row a serial names among the rows shown; nullopt when none does.
    std::optional<size_t> FindBySerial(const std::string& serial) const;
    // True when the unit is the one selected here (applying releases it).
    bool IsSelected(size_t index) const;

    // kWriteFailed: the unit list could not be written (errno says why);
    // the selection stays as it was.
    enum class ApplyResult { kSelected, kReleased, kDeclined, kNoSuchUnit, kWriteFailed };
    // Selects the unit, or releases it when it is the selected one. Selecting
    // a unit another copy has selected asks first (No changes nothing). A
    // selection copies the unit's status file over the working status file.
    // Writes the file and reloads with `device`.
    ApplyResult Apply(size_t index, IPrompt* prompt, UsbDevice* device);
    // Stores a new name (line breaks removed), writes the file and reloads.
    bool Rename(size_t index, const std::string& name, UsbDevice* device);
    // Clears the selected unit's bit 3 in the file (at exit).
    int ReleaseAtExit();

    const SelectedUnit& Selected() const { return m_selected; }
    // Serials of attached units the last Reload left out (StorableSerial).
    const std::vector<std::string>& RefusedSerials() const { return m_refused; }

  private:
    // Marks the units this list found attached in a list read afresh.
    void CarryAttachment(std::vector<UnitInfo>& units) const;

    std::vector<UnitInfo> m_units;
    std::vector<std::string> m_refused;
    std::vector<InaccessibleUnit> m_noAccess;
    SelectedUnit m_selected;
};

// The first unit of the file with bit 3 set, whichever copy selected it.
// None when no unit carries the bit.
SelectedUnit SelectedUnitFromFile();

// The one home of the monitor settings (SaveDevice included) while `unit` is
// selected: the unit's own status file, which the parameter dialog edits, a
// run and a card run start from, and qvtool's settings commands change; the
// working file "QvStatus.qvs" when no unit is selected. Selecting a unit
// copies its file over the working file; nothing reads that copy while the
// unit stays selected.
std::string SettingsHome(const SelectedUnit& unit);
// The settings a run of `unit` starts from, as read from its home (defaults
// for what the file lacks), and the file they came from.
struct HomeSettings {
    MonitorSettings monitor;
    SamplingSettings sampling;
    std::string path;
};
HomeSettings ReadSettingsHome(const SelectedUnit& unit);
// A copy whose every command is a process of its own (qvtool) keeps its
// selection in a file of its own: bit 3 of the unit list says only that some
// copy selected a unit, so reading the selection back from there would take
// another copy's choice for this one's. One unit line; none when the file is
// missing or empty. Writing none removes the file.
SelectedUnit ReadOwnSelection(const std::string& path);
int WriteOwnSelection(const std::string& path, const SelectedUnit& unit);
// True when the unit list marks `unit` selected (bit 3) and it is not `own`:
// another copy has chosen it.
bool SelectedByAnother(const UnitIdentity& unit, const SelectedUnit& own);

// The unit a status file names in [RegistInfo]: the selected unit's own file
// names that unit (product, serial and the user's name for it), since a new
// file has those fields empty; any other file keeps what it says.
StatusUnit StatusUnitFor(const std::string& statusPath, const SelectedUnit& selected,
                         const StatusUnit& fromFile);

// Finds the unit among the attached devices: opens each in turn and stops at
// the first whose identity equals `unit`, leaving it open. Devices of other
// products are skipped. When `unit` is none and `takeLast` is set, the last
// instrument seen is opened and becomes `*found`. False leaves nothing open.
bool FindUnit(UsbDevice& device, const UnitIdentity& unit, bool takeLast,
              UnitIdentity* found = nullptr);

}  // namespace qv
