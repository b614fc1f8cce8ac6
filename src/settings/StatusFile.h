// The status file (.qvs): one complete set of monitor settings (line and
// sampling settings, triggers, display format table) and a note of the unit
// it was made for. Capture index files carry the same sections, written the
// same way, so the index class derives from this one.
#pragma once

#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <vector>

#include "core/IniFile.h"
#include "settings/FormatEntry.h"
#include "settings/MonitorSettings.h"
#include "settings/TriggerSetting.h"

namespace qv {

// "QvStatus.qvs": the working status file.
inline constexpr const char* kWorkingStatusFileName = "QvStatus.qvs";

// "QvStatus_%04X_%04x_%s.qvs" (vendor id upper-case hex, product id lower-case
// hex, serial); "QvStatus.qvs" when no unit is selected (both ids 0, no serial).
// A "/" in the serial (which comes from the instrument) is replaced by "_" so
// that the name always stays inside the application folder.
std::string UnitStatusFileName(uint32_t vendorId, uint32_t productId, const std::string& serial);
// Those names in the application folder.
std::string WorkingStatusFilePath();
std::string UnitStatusFilePath(uint32_t vendorId, uint32_t productId, const std::string& serial);

// The unit a status file is written for ([RegistInfo]).
struct StatusUnit {
    uint32_t productId = 0;  // 16 "QV-S1", 17 "QV-SZ2"
    std::string serial;
    std::string alias;  // the user's nickname of the unit
};

class StatusFile;
// The unit note a file carries. The application never reads it back; tools
// that rewrite a file use it to keep the note as it was.
StatusUnit ReadStatusUnit(StatusFile& file);

class StatusFile : public IniFile {
  public:
    // -1 (and nothing bound) unless the path contains ".qvs", case-sensitive;
    // otherwise Open: a missing file is created from the template.
    int OpenStatusFile(const std::string& path);
    // Writes the template of a new status file (LF line ends).
    int CreateNew() override;

    // The unit that WriteRegistInfo and WriteMonitorStatus describe.
    void SetUnit(const StatusUnit& unit) { m_unit = unit; }
    const StatusUnit& GetUnit() const { return m_unit; }

    // Writers set their keys in order and stop at the first key that cannot be
    // written (-1): keys before it have their new values, keys after it their
    // old ones. All keys of one call go to disk in one rewrite; if that rewrite
    // fails the file keeps its old content entirely. 0 or -1.
    int WriteMonitorStatus(const MonitorSettings& m, const SamplingSettings& s, SyncSetting sync);
    // "Product", "SerialNumber", "Alias"; the status of the last write.
    int WriteRegistInfo();
    int WriteTriggerOption(const TriggerOption& option);
    // Section "Trigger" + n; -1 when n is outside 1 to 8.
    int WriteTrigger(const TriggerSetting& trigger, int n);
    // Key n of [Format]; -1 when n is outside 1 to 20 or the row cannot be
    // written (FormatLineText).
    int WriteFormatEntry(const FormatEntry& entry, int n);
    // Rows 1 to count (at most the rows given); all of them or, when one
    // cannot be written, none (-1).
    int WriteFormatTable(std::span<const FormatEntry> entries, int count);

    // Readers start from the defaults and never fail because of content: absent
    // keys (missing, empty or "NOKEY...") keep the default, unknown words give
    // the field's unknown code. A missing file reads as all defaults. 0.
    // `sync` is left as it is when its key is absent.
    int ReadMonitorStatus(MonitorSettings& m, SamplingSettings& s, SyncSetting& sync);
    // Absent or unreadable times read as `now` (seconds since 1970).
    int ReadTriggerOption(TriggerOption& option, int64_t now);
    int ReadTriggerOption(TriggerOption& option) {
        return ReadTriggerOption(option, std::time(nullptr));
    }
    // -1 when n is outside 1 to 8, else 0.
    int ReadTrigger(TriggerSetting& trigger, int n);
    // -1 when n is outside 1 to 30, the key is absent or the value does not have
    // exactly seven commas.
    int ReadFormatEntry(FormatEntry& entry, int n);
    // Rows 1, 2, ... up to 30, stopping at the first that cannot be read; the
    // number read.
    int ReadFormatTable(std::vector<FormatEntry>& entries);

  private:
    struct Item {
        std::string section;
        std::string key;
        std::string value;
        bool counts = true;  // false: the result is not looked at
    };
    // Writes the items in order inside one batch, stopping at the first
    // counted failure.
    int WriteItems(const std::vector<Item>& items);
    void AddRegistInfo(std::vector<Item>& items) const;

    StatusUnit m_unit;
};

}  // namespace qv
