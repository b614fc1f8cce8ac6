#include "device/UnitList.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>

#include "core/AppPaths.h"
#include "core/FileUtil.h"
#include "core/Prompt.h"
#include "core/TextCodec.h"
#include "settings/StatusFile.h"

namespace qv {

namespace {

std::string Trim(std::string s) {
    size_t b = s.find_first_not_of(" \t");
    size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

bool ParseHex(const std::string& text, uint32_t& out) {
    std::string t = Trim(text);
    if (t.empty()) return false;
    char* end = nullptr;
    unsigned long v = std::strtoul(t.c_str(), &end, 16);
    if (*end != '\0') return false;
    out = static_cast<uint32_t>(v);
    return true;
}

}  // namespace

std::string UnitListPath() {
    return AppFile(kUnitListFileName);
}

std::string UnitLine(const UnitInfo& u) {
    char head[64];
    std::snprintf(head, sizeof head, "%04x,%04x,%04x,%8s,", u.flags, u.vendorId, u.productId,
                  u.serial.substr(0, 8).c_str());
    return head + u.name + "\n";
}

UnitInfo ParseUnitLine(const std::string& line) {
    UnitInfo u;
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    // Fields one to four end at a comma; the name is everything after the
    // fourth comma, commas included. The serial is the text of its field
    // without the blanks that right-align it: reading it as a blank-ended
    // word would take the comma and the name's first letters along with a
    // serial shorter than 8 characters.
    size_t pos = 0;
    std::string fields[4];
    for (int i = 0; i < 4; ++i) {
        size_t comma = text.find(',', pos);
        if (comma == std::string::npos) {
            fields[i] = text.substr(pos);
            pos = text.size();
            break;
        }
        fields[i] = text.substr(pos, comma - pos);
        pos = comma + 1;
        if (i == 3) u.name = text.substr(pos);
    }
    uint32_t v = 0;
    if (ParseHex(fields[0], v)) u.flags = v & ~kUnitAttached;
    if (ParseHex(fields[1], v)) u.vendorId = v;
    if (ParseHex(fields[2], v)) u.productId = v;
    u.serial = Trim(fields[3]).substr(0, 8);
    return u;
}

bool StorableSerial(const std::string& serial) {
    if (serial.find_first_of("\r\n") != std::string::npos) return false;
    UnitInfo probe{0, kUnitListVendorId, 0x10, serial, ""};
    return ParseUnitLine(UnitLine(probe)).serial == serial;
}

namespace {
// Keeps the first line of each unit; a later line's selection carries over.
// True when a line was dropped.
bool DropDuplicates(std::vector<UnitInfo>& units) {
    std::vector<UnitInfo> kept;
    for (const auto& u : units) {
        auto same = std::find_if(kept.begin(), kept.end(), [&](const UnitInfo& k) {
            return k.SameUnit(u.vendorId, u.productId, u.serial);
        });
        if (same == kept.end())
            kept.push_back(u);
        else
            same->flags |= u.flags & kUnitSelected;
    }
    bool dropped = kept.size() != units.size();
    units = std::move(kept);
    return dropped;
}

UnitInfo* FindSame(std::vector<UnitInfo>& units, const UnitInfo& u) {
    for (auto& k : units)
        if (k.SameUnit(u.vendorId, u.productId, u.serial)) return &k;
    return nullptr;
}
}  // namespace

std::vector<UnitInfo> ReadUnitFile(const std::string& path) {
    std::vector<UnitInfo> units;
    auto bytes = ReadWholeFile(path);
    if (!bytes) return units;
    std::istringstream in(DecodeFileText(*bytes));
    std::string line;
    while (std::getline(in, line))
        if (!Trim(line).empty()) units.push_back(ParseUnitLine(line));
    return units;
}

int WriteUnitFile(const std::string& path, const std::vector<UnitInfo>& units) {
    std::string text;
    for (const auto& u : units)
        text += UnitLine(u);
    // CP932 like the other settings files. Text with no CP932 form goes
    // only into a file already kept as UTF-8; a CP932 file refuses it and
    // stays as it was, rather than change its encoding behind the user.
    if (auto bytes = SettingsFileBytes(text)) return WriteFileAtomically(path, *bytes);
    const auto old = ReadWholeFile(path);
    if (old && ReadsAsUtf8(*old)) return WriteFileAtomically(path, text);
    errno = EILSEQ;
    return -1;
}

UnitList::UnitList(SelectedUnit selected) : m_selected(std::move(selected)) {}

size_t UnitList::Reload(UsbDevice* device) {
    // Scan first: opening instruments can take a while, and nobody should
    // wait for the file's lock meanwhile.
    std::vector<UnitIdentity> attached;
    m_refused.clear();
    m_noAccess.clear();
    if (device) {
        int count = device->GetDeviceCount();
        for (int i = 0; i < count; ++i) {
            if (!device->Open(i)) {
                // Skipping it silently would tell the user "no unit attached"
                // when the unit is there and only the permission is missing.
                auto ref = device->CountedDevice(i);
                if (device->LastOpenFailure() == OpenFailure::kNoAccess && ref &&
                    (ref->productId == 0 || IsQvProduct(ref->productId)))
                    m_noAccess.push_back(InaccessibleUnit{ref->productId, ref->serial});
                continue;
            }
            UnitIdentity id = device->GetIdentity();
            if (!IsQvProduct(id.productId)) continue;
            if (StorableSerial(id.serial))
                attached.push_back(id);
            else
                m_refused.push_back(id.serial);
        }
        device->Close();
    }
    const std::string path = UnitListPath();
    FileLock lock(path);
    m_units = ReadUnitFile(path);
    bool changed = DropDuplicates(m_units);
    for (const UnitIdentity& id : attached) {
        UnitInfo unit{kUnitAttached, kUnitListVendorId, id.productId, id.serial, ""};
        if (UnitInfo* known = FindSame(m_units, unit)) {
            known->flags |= kUnitAttached;
        } else {
            m_units.push_back(unit);
            changed = true;
        }
    }
    if (changed) WriteUnitFile(path, m_units);  // a write failure is ignored
    return m_units.size();
}

bool UnitList::IsSelected(size_t index) const {
    if (index >= m_units.size() || m_selected.IsNone()) return false;
    return m_units[index].SameUnit(m_selected.vendorId, m_selected.productId, m_selected.serial);
}

std::vector<UnitRow> UnitList::Rows(bool all) const {
    auto rowOf = [this](size_t i) {
        const auto& u = m_units[i];
        UnitRow r;
        r.index = i;
        r.model = ModelName(static_cast<uint16_t>(u.productId));
        r.serial = u.serial;
        r.name = u.name;
        r.attachedMark = (u.flags & kUnitAttached) ? " ○" : "";
        r.selectedMark = IsSelected(i) ? " ◎" : (u.flags & kUnitSelected) ? " ○" : "";
        return r;
    };
    std::vector<UnitRow> rows;
    for (size_t i = 0; i < m_units.size(); ++i)
        if (all || (m_units[i].flags & kUnitAttached)) rows.push_back(rowOf(i));
    // Attached units this user may not open are shown in either view, since
    // they are attached: on their own row when the list knows them.
    for (const auto& n : m_noAccess) {
        size_t i = 0;
        while (i < m_units.size() &&
               (n.serial.empty() || !m_units[i].SameUnit(kUnitListVendorId, n.productId, n.serial)))
            ++i;
        auto row = std::find_if(rows.begin(), rows.end(), [&](const UnitRow& r) {
            return i < m_units.size() && r.index == i;
        });
        if (row == rows.end()) {
            UnitRow r;
            if (i < m_units.size()) {
                r = rowOf(i);
            } else {
                r.index = kNoListIndex;
                r.model = n.productId ? ModelName(n.productId) : "?";
                r.serial = n.serial.empty() ? "?" : n.serial;
            }
            row = rows.insert(rows.end(), r);
        }
        row->attachedMark = " ×";
        row->noAccess = true;
    }
    return rows;
}

std::optional<size_t> UnitList::FindBySerial(const std::string& serial) const {
    for (size_t i = 0; i < m_units.size(); ++i)
        if (m_units[i].serial == serial) return i;
    return std::nullopt;
}

void UnitList::CarryAttachment(std::vector<UnitInfo>& units) const {
    for (auto& u : units)
        for (const auto& known : m_units)
            if ((known.flags & kUnitAttached) && known.SameUnit(u.vendorId, u.productId, u.serial))
                u.flags |= kUnitAttached;
}

UnitList::ApplyResult UnitList::Apply(size_t index, IPrompt* prompt, UsbDevice* device) {
    if (index >= m_units.size()) return ApplyResult::kNoSuchUnit;
    const bool release = IsSelected(index);
    UnitInfo chosen = m_units[index];
    if (!release && (chosen.flags & kUnitSelected)) {
        if (!prompt || !prompt->AskYesNo(MessageText(MessageId::kUnitInUseQuestion)))
            return ApplyResult::kDeclined;
    }
    const SelectedUnit previous = m_selected;
    if (release) {
        m_selected = SelectedUnit{};
    } else {
        m_selected = SelectedUnit{chosen.vendorId, chosen.productId, chosen.serial, chosen.name};
        // The unit's own settings become the working settings.
        std::string unitFile = UnitStatusFilePath(chosen.vendorId, chosen.productId, chosen.serial);
        if (auto bytes = ReadWholeFile(unitFile)) {
            FileLock working(WorkingStatusFilePath());
            if (WriteFileAtomically(WorkingStatusFilePath(), *bytes) != 0) {
                m_selected = previous;
                return ApplyResult::kWriteFailed;
            }
        }
    }
    {
        const std::string path = UnitListPath();
        FileLock lock(path);
        std::vector<UnitInfo> units = ReadUnitFile(path);
        DropDuplicates(units);
        CarryAttachment(units);
        if (!previous.IsNone())
            for (auto& u : units)
                if (u.SameUnit(previous.vendorId, previous.productId, previous.serial))
                    u.flags &= ~kUnitSelected;
        UnitInfo* unit = FindSame(units, chosen);
        if (!unit) {
            units.push_back(chosen);
            unit = &units.back();
        }
        if (release)
            unit->flags &= ~kUnitSelected;
        else
            unit->flags |= kUnitSelected;
        if (WriteUnitFile(path, units) != 0) {
            // Later commands read the selection from the file: saying
            // "selected" now would have them act on the old unit.
            const int why = errno;
            m_selected = previous;
            Reload(device);
            errno = why;
            return ApplyResult::kWriteFailed;
        }
    }
    Reload(device);
    return release ? ApplyResult::kReleased : ApplyResult::kSelected;
}

bool UnitList::Rename(size_t index, const std::string& name, UsbDevice* device) {
    if (index >= m_units.size()) return false;
    std::string clean;
    for (char c : name)
        if (c != '\n' && c != '\r') clean.push_back(c);
    m_units[index].name = clean;
    if (IsSelected(index)) m_selected.name = clean;
    int rc;
    {
        const std::string path = UnitListPath();
        FileLock lock(path);
        std::vector<UnitInfo> units = ReadUnitFile(path);
        DropDuplicates(units);
        CarryAttachment(units);
        if (UnitInfo* unit = FindSame(units, m_units[index]))
            unit->name = clean;
        else
            units.push_back(m_units[index]);
        rc = WriteUnitFile(path, units);
    }
    const int why = errno;
    Reload(device);
    errno = why;
    return rc == 0;
}

int UnitList::ReleaseAtExit() {
    if (m_selected.IsNone()) return 0;
    FileLock lock(UnitListPath());
    auto units = ReadUnitFile(UnitListPath());
    for (auto& u : units)
        if (u.SameUnit(m_selected.vendorId, m_selected.productId, m_selected.serial))
            u.flags &= ~kUnitSelected;
    return WriteUnitFile(UnitListPath(), units);
}

SelectedUnit SelectedUnitFromFile() {
    for (const auto& u : ReadUnitFile(UnitListPath()))
        if (u.flags & kUnitSelected) return SelectedUnit{u.vendorId, u.productId, u.serial, u.name};
    return {};
}

std::string SettingsHome(const SelectedUnit& unit) {
    return UnitStatusFilePath(unit.vendorId, unit.productId, unit.serial);
}

HomeSettings ReadSettingsHome(const SelectedUnit& unit) {
    HomeSettings home;
    StatusFile status;
    status.SetPath(SettingsHome(unit));
    SyncSetting sync = 0;
    status.ReadMonitorStatus(home.monitor, home.sampling, sync);
    home.path = status.GetPath();
    return home;
}

SelectedUnit ReadOwnSelection(const std::string& path) {
    const auto units = ReadUnitFile(path);
    if (units.empty()) return {};
    const UnitInfo& u = units.front();
    return SelectedUnit{u.vendorId, u.productId, u.serial, u.name};
}

int WriteOwnSelection(const std::string& path, const SelectedUnit& unit) {
    if (unit.IsNone()) return ::unlink(path.c_str()) == 0 || errno == ENOENT ? 0 : -1;
    return WriteUnitFile(path, {UnitInfo{kUnitSelected, unit.vendorId, unit.productId,
                                         unit.serial, unit.name}});
}

bool SelectedByAnother(const UnitIdentity& unit, const SelectedUnit& own) {
    if (unit.IsNone() || (!own.IsNone() && own.Identity() == unit)) return false;
    for (const auto& u : ReadUnitFile(UnitListPath()))
        if ((u.flags & kUnitSelected) && u.SameUnit(unit.vendorId, unit.productId, unit.serial))
            return true;
    return false;
}

StatusUnit StatusUnitFor(const std::string& statusPath, const SelectedUnit& selected,
                         const StatusUnit& fromFile) {
    if (selected.IsNone() ||
        statusPath != UnitStatusFilePath(selected.vendorId, selected.productId, selected.serial))
        return fromFile;
    return StatusUnit{selected.productId, selected.serial, selected.name};
}

bool FindUnit(UsbDevice& device, const UnitIdentity& unit, bool takeLast, UnitIdentity* found) {
    int count = device.GetDeviceCount();
    int last = -1;
    UnitIdentity lastId;
    for (int i = 0; i < count; ++i) {
        if (!device.Open(i)) continue;
        UnitIdentity id = device.GetIdentity();
        if (!IsQvProduct(id.productId)) continue;
        if (!unit.IsNone() && id == unit) {
            if (found) *found = id;
            return true;
        }
        last = i;
        lastId = id;
    }
    if (unit.IsNone() && takeLast && last >= 0 && device.Open(last)) {
        if (found) *found = lastId;
        return true;
    }
    device.Close();
    return false;
}

}  // namespace qv
