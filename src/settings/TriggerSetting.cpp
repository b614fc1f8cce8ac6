#include "settings/TriggerSetting.h"

#include <ctime>

#include "core/TimeText.h"

namespace qv {

namespace {

constexpr CodeWord kScope[] = {{0, "NONE"}, {1, "NOT"},   {2, "ALL"},
                               {3, "OVER"}, {4, "UNDER"}, {5, "END"}};
constexpr CodeWord kLevel[] = {{1, "HIGH"}, {0, "LOW"}};
constexpr CodeWord kAndOr[] = {{0, "AND"}, {1, "OR"}};

constexpr ScopeInfo kScopeInfo[] = {
    {kScopeNone, "NONE", "－", "そのまま", "This byte"},
    {kScopeNot, "NOT", "×", "それ以外", "Any byte but this"},
    {kScopeAll, "ALL", "**", "条件としない", "Any byte"},
    {kScopeOver, "OVER", "≦", "それ以上", "This byte or above"},
    {kScopeUnder, "UNDER", "≧", "それ以下", "This byte or below"},
    {kScopeEnd, "END", "－", "", ""},
};

constexpr std::string_view kStringKeys[kOptionStrings] = {"SDStr1", "SDStr2", "SDStr3", "SDStr4",
                                                          "RDStr1", "RDStr2", "RDStr3", "RDStr4"};
constexpr std::string_view kLineKeys[kTriggerLines] = {"SD", "RD", "RS", "CS",    "ER",
                                                       "DR", "CD", "CI", "ExtIn", "ExtOut"};
constexpr std::string_view kLineStateKeys[kTriggerLines] = {
    "SD_State", "RD_State", "RS_State", "CS_State",    "ER_State",
    "DR_State", "CD_State", "CI_State", "ExtIN_State", "ExtOUT_State"};

std::vector<ActionEntry> BuildActionList() {
    std::vector<ActionEntry> list;
    auto add = [&](uint8_t code, uint16_t option, std::string label, std::string english) {
        list.push_back({code, option, std::move(label), std::move(english)});
    };
    add(0x00, kNoOption, "何もしない", "Do nothing");
    add(0x10, kNoOption, "蓄積停止", "Stop storing");
    add(0x20, kNoOption, "蓄積開始", "Start storing");
    // The LED labels carry an ideographic space before ON and OFF.
    for (uint16_t n = 1; n <= 3; ++n)
        add(0x30, n, "LED-" + std::to_string(n) + "　OFF", "LED-" + std::to_string(n) + " OFF");
    for (uint16_t n = 1; n <= 3; ++n)
        add(0x31, n, "LED-" + std::to_string(n) + "　ON", "LED-" + std::to_string(n) + " ON");
    add(0x40, kNoOption, "ブザーOFF", "Buzzer OFF");
    add(0x41, kNoOption, "ブザーON", "Buzzer ON");
    for (uint16_t n = 1; n <= 8; ++n)
        add(0x50, n, "イベント" + std::to_string(n) + " OFF", "Event " + std::to_string(n) + " OFF");
    for (uint16_t n = 1; n <= 8; ++n)
        add(0x51, n, "イベント" + std::to_string(n) + " ON", "Event " + std::to_string(n) + " ON");
    for (uint16_t n = 1; n <= 8; ++n)
        add(0x60, n, "外部イベント" + std::to_string(n) + " OFF",
            "External event " + std::to_string(n) + " OFF");
    for (uint16_t n = 1; n <= 8; ++n)
        add(0x61, n, "外部イベント" + std::to_string(n) + " ON",
            "External event " + std::to_string(n) + " ON");
    for (int n = 1; n <= 4; ++n)
        add(static_cast<uint8_t>(0x70 + n), kNoOption,
            "カウンタ" + std::to_string(n) + "をインクリメント",
            "Increment counter " + std::to_string(n));
    for (int n = 1; n <= 4; ++n)
        add(static_cast<uint8_t>(0x80 + n), kNoOption, "カウンタ" + std::to_string(n) + "をリセット",
            "Reset counter " + std::to_string(n));
    add(0x90, kNoOption, "EXT OUT LOW", "EXT OUT LOW");
    add(0x91, kNoOption, "EXT OUT HIGH", "EXT OUT HIGH");
    return list;
}

// Size of each condition group.
int GroupSize(ConditionGroup g) {
    switch (g) {
        case ConditionGroup::Line:
            return kTriggerLines;
        case ConditionGroup::Event:
        case ConditionGroup::Sync:
            return kTriggerEvents;
        case ConditionGroup::Time:
        case ConditionGroup::Count:
        case ConditionGroup::SdString:
        case ConditionGroup::RdString:
            return 4;
        default:
            return 1;
    }
}

constexpr ConditionGroup kAllGroups[] = {
    ConditionGroup::Line,     ConditionGroup::Event,   ConditionGroup::Sync,
    ConditionGroup::Time,     ConditionGroup::Count,   ConditionGroup::SdString,
    ConditionGroup::RdString, ConditionGroup::SdError, ConditionGroup::RdError,
    ConditionGroup::SdBreak,  ConditionGroup::RdBreak, ConditionGroup::BufferFull,
};

}  // namespace

const WordTable kScopeWords{kScope};
const WordTable kLevelWords{kLevel};
const WordTable kAndOrWords{kAndOr};

std::span<const ScopeInfo> Scopes() {
    return kScopeInfo;
}

std::string_view OptionStringKey(int string) {
    return string >= 0 && string < kOptionStrings ? kStringKeys[string] : std::string_view();
}

int PatternLength(const DataString& scopes) {
    for (int i = 0; i < kStringBytes; ++i)
        if (scopes[static_cast<size_t>(i)] == kScopeEnd) return i;
    return kStringBytes;
}

std::string DataStringText(const DataString& bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) out += ' ';
        out += HexByte(bytes[i]);
    }
    return out;
}

DataString ParseDataString(std::string_view text) {
    DataString bytes{};
    for (size_t g = 0; g < bytes.size(); ++g) {
        size_t pos = g * 3;
        if (pos >= text.size()) break;
        bytes[g] = static_cast<uint8_t>(ParseHexPrefix(text.substr(pos, 2), 2));
    }
    return bytes;
}

std::string TriggerTimeText(int64_t time) {
    std::time_t t = static_cast<std::time_t>(time);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return {};
    char buf[32];
    size_t n = std::strftime(buf, sizeof buf, "%y%m%d%H%M%S", &tm);
    return std::string(buf, n);
}

std::optional<int64_t> ParseTriggerTime(std::string_view text) {
    int64_t f[6] = {};
    for (size_t i = 0; i < 6; ++i) {
        size_t pos = i * 2;
        if (pos < text.size()) f[i] = ParseLeadingInt(text.substr(pos, 2));
    }
    if (f[1] < 1 || f[1] > 12 || f[2] < 1 || f[2] > 31 || f[3] < 0 || f[3] > 23 || f[4] < 0 ||
        f[4] > 59 || f[5] < 0 || f[5] > 59)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = static_cast<int>(f[0]) + 100;  // the year is stored as year - 2000
    tm.tm_mon = static_cast<int>(f[1]) - 1;
    tm.tm_mday = static_cast<int>(f[2]);
    tm.tm_hour = static_cast<int>(f[3]);
    tm.tm_min = static_cast<int>(f[4]);
    tm.tm_sec = static_cast<int>(f[5]);
    tm.tm_isdst = -1;  // let the system decide daylight saving
    std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<int64_t>(t);
}

std::span<const ActionEntry> ActionList() {
    static const std::vector<ActionEntry> list = BuildActionList();
    return list;
}

size_t ActionIndex(uint8_t code, uint16_t option) {
    std::span<const ActionEntry> list = ActionList();
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].code != code) continue;
        if (list[i].option == kNoOption) return i;
        // Entries with a number run 1, 2, ... from the first one.
        size_t count = 0;
        while (i + count < list.size() && list[i + count].code == code)
            ++count;
        if (option >= 1 && option <= count) return i + option - 1;
        return kActionEntries;
    }
    return kActionEntries;
}

const ActionEntry* FindAction(std::string_view label) {
    for (const ActionEntry& e : ActionList())
        if (e.label == label || EqualsNoCase(e.english, label)) return &e;
    return nullptr;
}

std::optional<std::string> ActionLabel(uint8_t code, uint16_t option, UiLanguage language) {
    size_t i = ActionIndex(code, option);
    if (i >= ActionList().size()) return std::nullopt;
    return ActionList()[i].In(language);
}

bool StartsStoring(const TriggerSetting& t) {
    return t.action1 == kActionStartStoring || t.action2 == kActionStartStoring;
}

uint32_t* TakesPart(TriggerSetting& t, ConditionRef c) {
    if (c.index < 0 || c.index >= GroupSize(c.group)) return nullptr;
    auto i = static_cast<size_t>(c.index);
    switch (c.group) {
        case ConditionGroup::Line:
            return &t.lines[i];
        case ConditionGroup::Event:
            return &t.events[i];
        case ConditionGroup::Sync:
            return &t.syncs[i];
        case ConditionGroup::Time:
            return &t.times[i];
        case ConditionGroup::Count:
            return &t.counts[i];
        case ConditionGroup::SdString:
            return &t.sdStrings[i];
        case ConditionGroup::RdString:
            return &t.rdStrings[i];
        case ConditionGroup::SdError:
            return &t.sdError;
        case ConditionGroup::RdError:
            return &t.rdError;
        case ConditionGroup::SdBreak:
            return &t.sdBreak;
        case ConditionGroup::RdBreak:
            return &t.rdBreak;
        case ConditionGroup::BufferFull:
            return &t.bufferFull;
    }
    return nullptr;
}

bool IsTakingPart(const TriggerSetting& t, ConditionRef c) {
    TriggerSetting copy = t;
    const uint32_t* p = TakesPart(copy, c);
    return p && *p != 0;
}

uint32_t* StateOf(TriggerSetting& t, ConditionRef c) {
    if (c.index < 0 || c.index >= GroupSize(c.group)) return nullptr;
    auto i = static_cast<size_t>(c.index);
    switch (c.group) {
        case ConditionGroup::Line:
            return &t.lineStates[i];
        case ConditionGroup::Event:
            return &t.eventStates[i];
        case ConditionGroup::Sync:
            return &t.syncStates[i];
        default:
            return nullptr;
    }
}

std::string ConditionKey(ConditionRef c) {
    if (c.index < 0 || c.index >= GroupSize(c.group)) return {};
    std::string n = std::to_string(c.index + 1);
    switch (c.group) {
        case ConditionGroup::Line:
            return std::string(kLineKeys[c.index]);
        case ConditionGroup::Event:
            return "Event" + n;
        case ConditionGroup::Sync:
            return "Sync" + n;
        case ConditionGroup::Time:
            return "Time" + n;
        case ConditionGroup::Count:
            return "Cnt" + n;
        case ConditionGroup::SdString:
            return "SDStr" + n;
        case ConditionGroup::RdString:
            return "RDStr" + n;
        case ConditionGroup::SdError:
            return "SDError";
        case ConditionGroup::RdError:
            return "RDError";
        case ConditionGroup::SdBreak:
            return "SDBreak";
        case ConditionGroup::RdBreak:
            return "RDBreak";
        case ConditionGroup::BufferFull:
            return "BufferFull";
    }
    return {};
}

std::string ConditionStateKey(ConditionRef c) {
    if (c.index < 0 || c.index >= GroupSize(c.group)) return {};
    switch (c.group) {
        case ConditionGroup::Line:
            return std::string(kLineStateKeys[c.index]);
        case ConditionGroup::Event:
        case ConditionGroup::Sync:
            return ConditionKey(c) + "_State";
        default:
            return {};
    }
}

std::optional<ConditionRef> FindCondition(std::string_view key) {
    for (ConditionGroup g : kAllGroups)
        for (int i = 0; i < GroupSize(g); ++i)
            if (EqualsNoCase(ConditionKey({g, i}), key)) return ConditionRef{g, i};
    return std::nullopt;
}

LineNames DefaultLineNames() {
    return {"SD", "RD", "RS", "CS", "ER", "DR", "CD", "CI", "Ext IN", "Ext OUT"};
}

std::vector<ConditionCategory> ConditionCatalogue(const LineNames* names, UiLanguage language) {
    const bool en = language == UiLanguage::kEnglish;
    auto say = [&](const char* ja, const char* english) { return en ? english : ja; };
    const LineNames lines = names ? *names : DefaultLineNames();
    auto numbered = [](ConditionGroup g, int count, const std::string& prefix) {
        std::vector<Condition> out;
        for (int i = 0; i < count; ++i)
            out.push_back({{g, i}, prefix + std::to_string(i + 1)});
        return out;
    };
    // Without a display table the labels keep a blank after the line name;
    // English words always stand apart from it.
    const std::string gap = names && !en ? "" : " ";
    const std::string sd = (names ? lines[0] : "SD") + gap;
    const std::string rd = (names ? lines[1] : "RD") + gap;
    std::string brk = names ? say("ラインブレーク", "line break") : say("ブレーク", "break");

    std::vector<ConditionCategory> cat;
    std::vector<Condition> strings =
        numbered(ConditionGroup::SdString, 4, sd + say("文字列", "string "));
    for (Condition& c : numbered(ConditionGroup::RdString, 4, rd + say("文字列", "string ")))
        strings.push_back(std::move(c));
    cat.push_back({say("文字列指定", "Strings"), ConditionKind::String, std::move(strings)});
    cat.push_back({say("時刻指定", "Times"), ConditionKind::Time,
                   numbered(ConditionGroup::Time, 4, say("時刻", "Time "))});
    std::vector<Condition> lineConds;
    for (int i = 0; i < kTriggerLines; ++i)
        lineConds.push_back({{ConditionGroup::Line, i}, lines[static_cast<size_t>(i)]});
    cat.push_back({say("制御線指定", "Control lines"), ConditionKind::Level, std::move(lineConds)});
    cat.push_back({say("エラー指定", "Errors"),
                   ConditionKind::Flag,
                   {{{ConditionGroup::SdError, 0}, sd + say("エラー", "error")},
                    {{ConditionGroup::RdError, 0}, rd + say("エラー", "error")},
                    {{ConditionGroup::BufferFull, 0}, say("バッファFull", "Buffer full")}}});
    cat.push_back({say("カウンタ指定", "Counters"), ConditionKind::Count,
                   numbered(ConditionGroup::Count, 4, say("カウンタ", "Counter "))});
    cat.push_back({say("イベント指定", "Events"), ConditionKind::OnOff,
                   numbered(ConditionGroup::Event, 8, say("イベント", "Event "))});
    cat.push_back({say("外部イベント指定", "External events"), ConditionKind::OnOff,
                   numbered(ConditionGroup::Sync, 8, say("外部イベント", "External event "))});
    cat.push_back(
        {say("ブレーク指定", "Breaks"),
         ConditionKind::Flag,
         {{{ConditionGroup::SdBreak, 0}, sd + brk}, {{ConditionGroup::RdBreak, 0}, rd + brk}}});
    return cat;
}

}  // namespace qv
