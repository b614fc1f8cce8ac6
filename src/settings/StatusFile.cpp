#include "settings/StatusFile.h"

#include <cstdio>

#include "core/AppPaths.h"
#include "core/TimeText.h"

namespace qv {

namespace {

constexpr std::string_view kTriggerOptionSection = "TriggerOption";
constexpr std::string_view kFormatSection = "Format";

std::string TriggerSection(int n) {
    return "Trigger" + std::to_string(n);
}

std::string ScopeKey(int string, int byte) {
    return std::string(OptionStringKey(string)) + "_Scope" + std::to_string(byte + 1);
}

std::string WordText(WordTable table, int code) {
    return std::string(WordOf(table, code).value_or(std::string_view()));
}

// Template of a new status file: every section and key the Windows system
// writes, in its order, with LF line ends and no blank lines, so that a file
// made here is byte-identical to one made there.
std::string StatusTemplate() {
    std::string t;
    auto section = [&](std::string_view name) {
        t += '[';
        t += name;
        t += "]\n";
    };
    auto key = [&](std::string_view k, std::string_view v = {}) {
        t += k;
        t += '=';
        t += v;
        t += '\n';
    };
    section("RegistInfo");
    for (auto k : {"Product", "SerialNumber", "Alias", "SaveDevice"})
        key(k);
    section(kMonitorStatusSection);
    for (const MonitorKey& k : MonitorKeys())
        if (k.section == kMonitorStatusSection) key(k.key, k.key == "Memory" ? "FIX" : "");
    section(kTriggerOptionSection);
    for (int i = 1; i <= kOptionTimes; ++i)
        key("Time" + std::to_string(i));
    for (int i = 1; i <= kOptionCounts; ++i)
        key("Cnt" + std::to_string(i));
    for (int s = 0; s < kOptionStrings; ++s) {
        key(OptionStringKey(s));
        for (int b = 0; b < kStringBytes; ++b)
            key(ScopeKey(s, b), b == 0 ? "END" : "");
    }
    for (int n = 1; n <= kTriggerSections; ++n) {
        section(TriggerSection(n));
        for (int i = 0; i < kTriggerLines; ++i)
            key(ConditionKey({ConditionGroup::Line, i}));
        const std::pair<ConditionGroup, int> groups[] = {
            {ConditionGroup::Time, 4},     {ConditionGroup::Count, 4},
            {ConditionGroup::SdString, 4}, {ConditionGroup::RdString, 4},
            {ConditionGroup::Event, 8},    {ConditionGroup::Sync, 8}};
        for (auto [g, count] : groups)
            for (int i = 0; i < count; ++i)
                key(ConditionKey({g, i}));
        for (int i = 0; i < kTriggerLines; ++i)
            key(ConditionStateKey({ConditionGroup::Line, i}));
        // Only the template has ERROR_State; nothing reads or writes it.
        key("ERROR_State");
        for (int i = 0; i < kTriggerEvents; ++i)
            key(ConditionStateKey({ConditionGroup::Event, i}));
        for (int i = 0; i < kTriggerEvents; ++i)
            key(ConditionStateKey({ConditionGroup::Sync, i}));
        for (auto k : {"AND/OR", "Action1", "Option1", "Action2", "Option2"})
            key(k);
    }
    section(kFormatSection);
    const FormatTable& rows = DefaultFormatTable();
    for (size_t i = 0; i < rows.size(); ++i)
        key(std::to_string(i + 1), FormatLineText(rows[i]).value_or(""));
    return t;
}

}  // namespace

std::string UnitStatusFileName(uint32_t vendorId, uint32_t productId, const std::string& serial) {
    if (vendorId == 0 && productId == 0 && serial.empty()) return kWorkingStatusFileName;
    std::string safe = serial;
    for (char& c : safe)
        if (c == '/' || c == '\0') c = '_';
    char ids[32];
    std::snprintf(ids, sizeof ids, "%04X_%04x_", vendorId, productId);
    return "QvStatus_" + std::string(ids) + safe + ".qvs";
}

std::string WorkingStatusFilePath() {
    return AppFile(kWorkingStatusFileName);
}

std::string UnitStatusFilePath(uint32_t vendorId, uint32_t productId, const std::string& serial) {
    return AppFile(UnitStatusFileName(vendorId, productId, serial));
}

StatusUnit ReadStatusUnit(StatusFile& file) {
    StatusUnit unit;
    std::string v;
    if (file.ReadString("RegistInfo", "Product", v) == 0)
        unit.productId = v == "QV-S1" ? 16 : v == "QV-SZ2" ? 17 : 0;
    if (file.ReadString("RegistInfo", "SerialNumber", v) == 0) unit.serial = v;
    if (file.ReadString("RegistInfo", "Alias", v) == 0) unit.alias = v;
    return unit;
}

int StatusFile::OpenStatusFile(const std::string& path) {
    if (path.find(".qvs") == std::string::npos) return -1;
    return Open(path);
}

int StatusFile::CreateNew() {
    BeginNewFile();
    WriteLine(StatusTemplate());
    return EndNewFile();
}

int StatusFile::WriteItems(const std::vector<Item>& items) {
    BeginBatch();
    int rc = 0;
    for (const Item& item : items) {
        if (WriteString(item.section, item.key, item.value) != 0 && item.counts) {
            rc = -1;
            break;
        }
    }
    // The keys written before a failure still go to disk, as they would with
    // one write per key.
    int flushed = EndBatch();
    return rc != 0 ? rc : flushed;
}

void StatusFile::AddRegistInfo(std::vector<Item>& items) const {
    const char* product = m_unit.productId == 16   ? "QV-S1"
                          : m_unit.productId == 17 ? "QV-SZ2"
                                                   : nullptr;
    if (product) items.push_back({"RegistInfo", "Product", product, false});
    items.push_back({"RegistInfo", "SerialNumber", m_unit.serial, false});
    items.push_back({"RegistInfo", "Alias", m_unit.alias, false});
}

int StatusFile::WriteRegistInfo() {
    std::vector<Item> items;
    AddRegistInfo(items);
    BeginBatch();
    int last = 0;
    for (const Item& item : items)
        last = WriteString(item.section, item.key, item.value);
    int flushed = EndBatch();
    return last != 0 ? last : flushed;
}

int StatusFile::WriteMonitorStatus(const MonitorSettings& m, const SamplingSettings& s,
                                        SyncSetting sync) {
    MonitorStatus status{m, s, sync};
    std::vector<Item> items;
    AddRegistInfo(items);
    for (const MonitorKey& k : MonitorKeys())
        items.push_back({std::string(k.section), std::string(k.key), MonitorKeyText(status, k)});
    return WriteItems(items);
}

int StatusFile::WriteTriggerOption(const TriggerOption& o) {
    std::string sec(kTriggerOptionSection);
    std::vector<Item> items;
    for (int i = 0; i < kOptionTimes; ++i)
        items.push_back({sec, "Time" + std::to_string(i + 1),
                         TriggerTimeText(o.times[static_cast<size_t>(i)])});
    for (int i = 0; i < kOptionCounts; ++i)
        items.push_back(
            {sec, "Cnt" + std::to_string(i + 1), std::to_string(o.counts[static_cast<size_t>(i)])});
    for (int s = 0; s < kOptionStrings; ++s) {
        auto si = static_cast<size_t>(s);
        items.push_back({sec, std::string(OptionStringKey(s)), DataStringText(o.strings[si])});
        for (int b = 0; b < kStringBytes; ++b)
            items.push_back(
                {sec, ScopeKey(s, b), WordText(kScopeWords, o.scopes[si][static_cast<size_t>(b)])});
    }
    return WriteItems(items);
}

int StatusFile::WriteTrigger(const TriggerSetting& t, int n) {
    if (n < 1 || n > kTriggerSections) return -1;
    std::string sec = TriggerSection(n);
    std::vector<Item> items;
    auto onOff = [](uint32_t v) { return WordText(kOnOffWords, static_cast<int>(v)); };
    auto cond = [&](ConditionGroup g, int i) {
        items.push_back({sec, ConditionKey({g, i}), onOff(IsTakingPart(t, {g, i}) ? 1 : 0)});
    };
    items.push_back({sec, "Enabled", onOff(t.enabled)});
    for (int i = 0; i < kTriggerLines; ++i)
        cond(ConditionGroup::Line, i);
    for (ConditionGroup g :
         {ConditionGroup::SdError, ConditionGroup::RdError, ConditionGroup::SdBreak,
          ConditionGroup::RdBreak, ConditionGroup::BufferFull})
        cond(g, 0);
    for (ConditionGroup g : {ConditionGroup::Time, ConditionGroup::Count, ConditionGroup::SdString,
                             ConditionGroup::RdString})
        for (int i = 0; i < 4; ++i)
            cond(g, i);
    for (int i = 0; i < kTriggerEvents; ++i)
        cond(ConditionGroup::Event, i);
    for (int i = 0; i < kTriggerEvents; ++i)
        cond(ConditionGroup::Sync, i);
    items.push_back({sec, "AND/OR", WordText(kAndOrWords, t.andOr)});
    for (int i = 0; i < kTriggerLines; ++i)
        items.push_back(
            {sec, ConditionStateKey({ConditionGroup::Line, i}),
             WordText(kLevelWords, static_cast<int>(t.lineStates[static_cast<size_t>(i)]))});
    for (int i = 0; i < kTriggerEvents; ++i)
        items.push_back({sec, ConditionStateKey({ConditionGroup::Event, i}),
                         onOff(t.eventStates[static_cast<size_t>(i)])});
    for (int i = 0; i < kTriggerEvents; ++i)
        items.push_back({sec, ConditionStateKey({ConditionGroup::Sync, i}),
                         onOff(t.syncStates[static_cast<size_t>(i)])});
    items.push_back({sec, "Action1", HexByte(t.action1)});
    items.push_back({sec, "Option1", std::to_string(t.option1)});
    items.push_back({sec, "Action2", HexByte(t.action2)});
    items.push_back({sec, "Option2", std::to_string(t.option2)});
    return WriteItems(items);
}

int StatusFile::WriteFormatEntry(const FormatEntry& entry, int n) {
    if (n < 1 || n > kFormatRows) return -1;
    std::optional<std::string> text = FormatLineText(entry);
    if (!text) return -1;
    return WriteString(kFormatSection, std::to_string(n), *text);
}

int StatusFile::WriteFormatTable(std::span<const FormatEntry> entries, int count) {
    BeginBatch();
    int rc = 0;
    for (int n = 1; n <= count; ++n) {
        // Asking for more rows than were given fails at the first missing one.
        if (static_cast<size_t>(n) > entries.size() ||
            WriteFormatEntry(entries[static_cast<size_t>(n - 1)], n) != 0) {
            rc = -1;
            break;
        }
    }
    // A table half rewritten would pair new names with old rows.
    if (rc != 0) CancelBatch();
    int flushed = EndBatch();
    return rc != 0 ? rc : flushed;
}

int StatusFile::ReadMonitorStatus(MonitorSettings& m, SamplingSettings& s, SyncSetting& sync) {
    MonitorStatus status{MonitorSettings{}, SamplingSettings{}, sync};
    std::string value;
    for (const MonitorKey& k : MonitorKeys())
        if (ReadString(k.section, k.key, value) == 0) ApplyMonitorKeyText(status, k, value);
    m = status.monitor;
    s = status.sampling;
    sync = status.sync;
    return 0;
}

int StatusFile::ReadTriggerOption(TriggerOption& o, int64_t now) {
    std::string sec(kTriggerOptionSection);
    o = TriggerOption{};
    o.times.fill(now);
    std::string v;
    for (int i = 0; i < kOptionTimes; ++i) {
        if (ReadString(sec, "Time" + std::to_string(i + 1), v) != 0) continue;
        // A time that cannot become a calendar time keeps the default.
        if (auto t = ParseTriggerTime(v)) o.times[static_cast<size_t>(i)] = *t;
    }
    for (int i = 0; i < kOptionCounts; ++i)
        if (ReadString(sec, "Cnt" + std::to_string(i + 1), v) == 0)
            o.counts[static_cast<size_t>(i)] = static_cast<int32_t>(ParseLeadingInt(v));
    for (int s = 0; s < kOptionStrings; ++s) {
        auto si = static_cast<size_t>(s);
        if (ReadString(sec, OptionStringKey(s), v) == 0) o.strings[si] = ParseDataString(v);
        for (int b = 0; b < kStringBytes; ++b)
            if (ReadString(sec, ScopeKey(s, b), v) == 0)
                o.scopes[si][static_cast<size_t>(b)] = static_cast<uint8_t>(CodeOf(kScopeWords, v));
    }
    return 0;
}

int StatusFile::ReadTrigger(TriggerSetting& t, int n) {
    if (n < 1 || n > kTriggerSections) return -1;
    std::string sec = TriggerSection(n);
    t = TriggerSetting{};
    std::string v;
    auto read = [&](const std::string& key) { return ReadString(sec, key, v) == 0; };
    auto onOff = [&]() { return static_cast<uint32_t>(CodeOf(kOnOffWords, v, 0)); };

    if (read("Enabled")) t.enabled = onOff();
    for (ConditionGroup g :
         {ConditionGroup::Line, ConditionGroup::Event, ConditionGroup::Sync, ConditionGroup::Time,
          ConditionGroup::Count, ConditionGroup::SdString, ConditionGroup::RdString,
          ConditionGroup::SdError, ConditionGroup::RdError, ConditionGroup::SdBreak,
          ConditionGroup::RdBreak, ConditionGroup::BufferFull}) {
        for (int i = 0;; ++i) {
            uint32_t* part = TakesPart(t, {g, i});
            if (!part) break;
            if (read(ConditionKey({g, i}))) *part = onOff();
            uint32_t* state = StateOf(t, {g, i});
            if (state && read(ConditionStateKey({g, i})))
                *state = g == ConditionGroup::Line ? static_cast<uint32_t>(CodeOf(kLevelWords, v))
                                                   : onOff();
        }
    }
    if (read("AND/OR")) t.andOr = static_cast<uint8_t>(CodeOf(kAndOrWords, v));
    // An action code needs both of its hex digits; anything less keeps 0.
    auto action = [&](const char* key, uint8_t& out) {
        size_t digits = 0;
        if (read(key)) {
            auto code = static_cast<uint8_t>(ParseHexPrefix(v, 2, &digits));
            if (digits == 2) out = code;
        }
    };
    action("Action1", t.action1);
    action("Action2", t.action2);
    if (read("Option1")) t.option1 = static_cast<uint16_t>(ParseLeadingInt(v));
    if (read("Option2")) t.option2 = static_cast<uint16_t>(ParseLeadingInt(v));
    return 0;
}

int StatusFile::ReadFormatEntry(FormatEntry& entry, int n) {
    if (n < 1 || n > kFormatMaxRows) return -1;
    std::string v;
    if (ReadString(kFormatSection, std::to_string(n), v) != 0) return -1;
    std::optional<FormatEntry> e = ParseFormatLine(v);
    if (!e) return -1;
    entry = std::move(*e);
    return 0;
}

int StatusFile::ReadFormatTable(std::vector<FormatEntry>& entries) {
    entries.clear();
    FormatEntry e;
    for (int n = 1; n <= kFormatMaxRows && ReadFormatEntry(e, n) == 0; ++n)
        entries.push_back(e);
    return static_cast<int>(entries.size());
}

}  // namespace qv
