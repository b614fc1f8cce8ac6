#include "device/UnitList.h"

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

std::mutex g_selectedMutex;
SelectedUnit g_selected;

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

SelectedUnit GetSelectedUnit() {
    std::lock_guard lock(g_selectedMutex);
    return g_selected;
}

void SetSelectedUnit(const SelectedUnit& unit) {
    std::lock_guard lock(g_selectedMutex);
    g_selected = unit;
}

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
    // CP932 like the other settings files; a name with no CP932 form keeps
    // the file in UTF-8, which reading accepts as well.
    auto cp932 = Utf8ToCp932(text);
    return WriteFileAtomically(path, cp932 ? *cp932 : text);
}

UnitList::UnitList(SelectedUnit selected) : m_selected(std::move(selected)) {}

size_t UnitList::Reload(UsbDevice* device) {
    m_units = ReadUnitFile(UnitListPath());
    bool appended = false;
    if (device) {
        int count = device->GetDeviceCount();
        for (int i = 0; i < count; ++i) {
            if (!device->Open(i)) continue;
            UnitIdentity id = device->GetIdentity();
            if (!IsQvProduct(id.productId)) continue;
            bool known = false;
            for (auto& u : m_units)
                if (u.SameUnit(kUnitListVendorId, id.productId, id.serial)) {
                    u.flags |= kUnitAttached;
                    known = true;
                }
            if (!known) {
                m_units.push_back(
                    UnitInfo{kUnitAttached, kUnitListVendorId, id.productId, id.serial, ""});
                appended = true;
            }
        }
        device->Close();
    }
    if (appended) WriteUnitFile(UnitListPath(), m_units);  // a write failure is ignored
    return m_units.size();
}

bool UnitList::IsSelected(size_t index) const {
    if (index >= m_units.size() || m_selected.IsNone()) return false;
    return m_units[index].SameUnit(m_selected.vendorId, m_selected.productId, m_selected.serial);
}

std::vector<UnitRow> UnitList::Rows(bool all) const {
    std::vector<UnitRow> rows;
    for (size_t i = 0; i < m_units.size(); ++i) {
        const auto& u = m_units[i];
        if (!all && !(u.flags & kUnitAttached)) continue;
        UnitRow r;
        r.index = i;
        r.model = ModelName(static_cast<uint16_t>(u.productId));
        r.serial = u.serial;
        r.name = u.name;
        r.attachedMark = (u.flags & kUnitAttached) ? " ○" : "";
        r.selectedMark = IsSelected(i) ? " ◎" : (u.flags & kUnitSelected) ? " ○" : "";
        rows.push_back(r);
    }
    return rows;
}

std::optional<size_t> UnitList::FindBySerial(const std::string& serial) const {
    for (size_t i = 0; i < m_units.size(); ++i)
        if (m_units[i].serial == serial) return i;
    return std::nullopt;
}

UnitList::ApplyResult UnitList::Apply(size_t index, IPrompt* prompt, UsbDevice* device) {
    if (index >= m_units.size()) return ApplyResult::kNoSuchUnit;
    const bool release = IsSelected(index);
    UnitInfo chosen = m_units[index];
    if (!release && (chosen.flags & kUnitSelected)) {
        if (!prompt || !prompt->AskYesNo(kUnitInUseQuestion)) return ApplyResult::kDeclined;
    }
    if (!m_selected.IsNone())
        for (auto& u : m_units)
            if (u.SameUnit(m_selected.vendorId, m_selected.productId, m_selected.serial))
                u.flags &= ~kUnitSelected;
    if (release) {
        m_selected = SelectedUnit{};
    } else {
        m_units[index].flags |= kUnitSelected;
        m_selected = SelectedUnit{chosen.vendorId, chosen.productId, chosen.serial, chosen.name};
        // The unit's own settings become the working settings.
        std::string unitFile = UnitStatusFilePath(chosen.vendorId, chosen.productId, chosen.serial);
        if (auto bytes = ReadWholeFile(unitFile))
            WriteFileAtomically(WorkingStatusFilePath(), *bytes);
    }
    WriteUnitFile(UnitListPath(), m_units);
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
    int rc = WriteUnitFile(UnitListPath(), m_units);
    Reload(device);
    return rc == 0;
}

int UnitList::ReleaseAtExit() {
    if (m_selected.IsNone()) return 0;
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
