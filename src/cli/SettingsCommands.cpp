// qvtool settings: read and edit status files the way the monitor parameter
// dialog does, so that a status file can be prepared without the desktop
// application. Every edit is checked as a whole before the file is touched:
// a bad key or value changes nothing.
#include <ctime>
#include <iostream>
#include <map>
#include <set>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/SettingsText.h"
#include "core/FileUtil.h"
#include "core/NumberText.h"
#include "core/Log.h"
#include "device/UnitList.h"
#include "settings/EditorRules.h"
#include "settings/StatusFile.h"

namespace qv::cli {

namespace {

[[noreturn]] void Usage(const std::string& message) {
    throw CommandError{kExitUsage, message};
}

// Which status file a command works on: a named file (which must exist), the
// file of the unit --unit names, else the selected unit's own file, which is
// what a monitoring run of that unit starts from; with no unit selected, the
// working file. Unit and working files are created from the template when
// missing, as the parameter dialog does.
struct Target {
    std::string file;
    std::string unit;
    DeviceAccess* devices = nullptr;
};

std::string TargetPath(const Target& target) {
    if (target.file.empty()) {
        UnitIdentity id = ChosenUnit(*target.devices, target.unit);
        if (id.IsNone()) return WorkingStatusFilePath();
        return UnitStatusFilePath(id.vendorId, id.productId, id.serial);
    }
    if (target.file.find(".qvs") == std::string::npos)
        Usage("not a status file (needs .qvs): " + target.file);
    if (!PathExists(target.file)) Usage("no such status file: " + target.file);
    return target.file;
}

// Loads the whole status of a bound file, as the parameter dialog does on
// opening. The file stays locked until Save (or until `file` goes away without
// saving), so a change another program makes meanwhile is not overwritten.
StatusSet LoadTarget(StatusFile& file, const Target& target) {
    std::string path = TargetPath(target);
    if (file.OpenStatusFile(path) != 0)
        throw CommandError{kExitFailure, "cannot open or create " + path};
    file.BeginBatch();
    // A unit's own file names its unit: the selected one, not the file's
    // own fields, which a new file has empty.
    StatusUnit unit = ReadStatusUnit(file);
    if (target.file.empty()) {
        const UnitIdentity id = ChosenUnit(*target.devices, target.unit);
        if (!id.IsNone()) {
            unit.productId = id.productId;
            unit.serial = id.serial;
            const SelectedUnit selected = ToolSelection();
            if (selected.Identity().serial == id.serial && selected.productId == id.productId)
                unit.alias = selected.name;
        }
    }
    file.SetUnit(unit);
    StatusSet set;
    LoadStatusSet(file, set, std::time(nullptr));
    return set;
}

// Writes the set and ends LoadTarget's batch, which is when the file changes.
void Save(StatusFile& file, StatusSet& set) {
    int rc = SaveStatusSet(file, set);
    if (file.EndBatch() != 0) rc = -1;
    if (rc != 0) {
        Log().Write("ERR", "SettingsCommands", __LINE__, "cannot write " + file.GetPath());
        throw CommandError{kExitFailure, "cannot write " + file.GetPath()};
    }
}

// ---- settings set ----

std::string Words(WordTable table) {
    std::string out;
    for (const CodeWord& cw : table)
        out += (out.empty() ? "" : ", ") + std::string(cw.word);
    return out;
}

bool IsCharacterFormatKey(std::string_view key) {
    for (auto k : {"SD_Baudrate", "RD_Baudrate", "DataLen", "Parity", "StopBit", "BitOrder",
                   "SDDataLogic", "RDDataLogic"})
        if (key == k) return true;
    return false;
}

// Applies one KEY=VALUE to the status; rates are only noted, because their
// limits depend on the line type the whole command line ends with.
void ApplySetting(MonitorStatus& st, const MonitorKey& key, const std::string& value,
                  std::map<std::string, std::string>& rates) {
    auto bad = [&](const std::string& expected) {
        Usage("bad value \"" + value + "\" for " + std::string(key.key) + ": " + expected);
    };
    std::string_view name = key.key;
    if (name == "SaveDevice") {
        if (value == "0" || value == "PC")
            st.monitor.SaveDevice = kSaveDevicePc;
        else if (value == "1" || value == "CF")
            st.monitor.SaveDevice = kSaveDeviceCf;
        else
            bad("PC (0) or CF (1)");
        return;
    }
    if (name == "SD_Baudrate" || name == "RD_Baudrate") {
        if (!UngroupNumberText(value, true) && !(name == "RD_Baudrate" && value == "SD"))
            bad("a rate in bit/s (digits, \",\" between groups of three, one \".\")" +
                std::string(name == "RD_Baudrate" ? ", or SD for the SD rate" : ""));
        rates[std::string(name)] = value;
        return;
    }
    switch (key.kind) {
        case MonitorKey::Kind::Word: {
            if (!WordOf(key.words, CodeOf(key.words, value, -1))) bad(Words(key.words));
            ApplyMonitorKeyText(st, key, value);
            return;
        }
        case MonitorKey::Kind::Decimal: {
            auto n = ParseWholeNumber(value);
            bool dataLen = name == "DataLen";
            if (!n || *n < (dataLen ? 5 : 0) || *n > (dataLen ? 8 : 255))
                bad(dataLen ? "5 to 8" : "0 to 255");
            ApplyMonitorKeyText(st, key, value);
            return;
        }
        case MonitorKey::Kind::Hex2: {
            size_t digits = 0;
            ParseHexPrefix(value, 2, &digits);
            if (digits != 2 || value.size() != 2) bad("two hex digits");
            ApplyMonitorKeyText(st, key, value);
            return;
        }
        case MonitorKey::Kind::Hex8: {
            auto n = ParseWholeNumber(value);
            if (!n || (*n != 0 && (*n < kMinSamplingCycle || *n > kMaxSamplingCycle)))
                bad("nanoseconds, 0 (not sampled) or " + std::to_string(kMinSamplingCycle) +
                    " to " + std::to_string(kMaxSamplingCycle));
            for (int i = 0; i < kSampledLines; ++i)
                if (SamplingCycleKey(i) == name)
                    st.sampling.cycles[static_cast<size_t>(i)] = static_cast<uint32_t>(*n);
            return;
        }
        case MonitorKey::Kind::Rate:
            return;  // handled above
    }
}

// SDEnable/RDEnable and the SD/RD cycles go together: a data line that is not
// recorded is not sampled either.
void CoupleDataLine(SamplingSettings& s, int line, const std::set<std::string>& given) {
    bool isSd = line == kSD;
    std::string enableKey = isSd ? "SDEnable" : "RDEnable";
    std::string cycleKey(SamplingCycleKey(line));
    uint32_t& enable = isSd ? s.SDEnable : s.RDEnable;
    uint32_t& cycle = s.cycles[static_cast<size_t>(line)];
    bool enableGiven = given.count(enableKey) > 0;
    bool cycleGiven = given.count(cycleKey) > 0;
    if (enableGiven && cycleGiven && (enable == 1) != (cycle != 0))
        Usage(enableKey + " and " + cycleKey + " disagree (a recorded line needs a cycle)");
    if (enableGiven && enable == 0) cycle = 0;
    if (enableGiven && enable == 1 && cycle == 0)
        Usage(enableKey + "=Y needs " + cycleKey + " (the line is not sampled)");
    if (cycleGiven) enable = cycle != 0 ? 1 : 0;
}

void SetCommand(const Target& target, const std::vector<std::string>& pairs) {
    // A missing working file is made from the template first, as at start-up;
    // everything else is checked on the copy before anything is written.
    StatusFile file;
    StatusSet set = LoadTarget(file, target);
    MonitorStatus& st = set.status;
    std::map<std::string, std::string> rates;
    std::set<std::string> given;
    for (const std::string& pair : pairs) {
        size_t eq = pair.find('=');
        if (eq == std::string::npos || eq == 0) Usage("expected KEY=VALUE, got \"" + pair + "\"");
        const MonitorKey* key = FindMonitorKey(pair.substr(0, eq));
        if (!key) Usage("unknown key \"" + pair.substr(0, eq) + "\"");
        if (!given.insert(std::string(key->key)).second)
            Usage(std::string(key->key) + " given twice");
        ApplySetting(st, *key, pair.substr(eq + 1), rates);
    }
    // With LOGIC the editor leaves the character format and the rates alone.
    if (TraitsOfCode(st.monitor.Protocol).lineSamples)
        for (const std::string& k : given)
            if (IsCharacterFormatKey(k)) Usage(k + " is not edited with protocol LOGIC");
    const int type = EditorLineType(st.monitor.Line);
    // A typed rate the line cannot carry is refused with the range, never
    // clamped behind the user's back.
    auto rate = [&](const char* name) {
        const double r = ReadBitRateText(rates[name]);
        if (LimitBitRate(r, type) != r)
            Usage(std::string(name) + "=" + rates[name] + " is out of range: " +
                  BitRateText(kMinBitRate, type) + " to " + BitRateText(MaxBitRate(type), type) +
                  " bit/s on this line");
        return r;
    };
    if (rates.count("SD_Baudrate")) st.monitor.SD_Baudrate = rate("SD_Baudrate");
    if (rates.count("RD_Baudrate")) {
        if (rates["RD_Baudrate"] == "SD")
            SetRdSameAsSd(st.monitor);
        else
            st.monitor.RD_Baudrate = rate("RD_Baudrate");
    }
    // A change of line type limits the rates shown to the new type, as the
    // dialog's speed lists do when it saves.
    // A rate the user set is never lowered without a word.
    if (given.count("Line") && TraitsOfCode(st.monitor.Protocol).startStopCharacters) {
        auto limit = [type](double& rate, const char* name) {
            const double limited = LimitBitRate(rate, type);
            if (limited != rate)
                std::cerr << "qvtool: " << name << " lowered from " << BitRateText(rate, kLineTypeRs422)
                          << " to " << BitRateText(limited, type) << " bit/s for this line\n";
            rate = limited;
        };
        limit(st.monitor.SD_Baudrate, "SD_Baudrate");
        limit(st.monitor.RD_Baudrate, "RD_Baudrate");
    }
    CoupleDataLine(st.sampling, kSD, given);
    CoupleDataLine(st.sampling, kRD, given);

    Save(file, set);
}

// ---- settings trigger ----

struct TriggerEdit {
    int n = 0;
    bool enable = false, disable = false, clear = false, useAnd = false, useOr = false;
    std::vector<std::string> on, off, times, counts, strings;
    std::string action1, action2;
};

std::pair<uint8_t, uint16_t> ParseAction(const std::string& text) {
    if (const ActionEntry* e = FindAction(text)) return {e->code, e->option};
    size_t slash = text.find('/');
    std::string codeText = text.substr(0, slash);
    size_t digits = 0;
    auto code = static_cast<uint8_t>(ParseHexPrefix(codeText, 2, &digits));
    uint16_t option = kNoOption;
    bool ok = digits == codeText.size() && digits > 0;
    if (ok && slash != std::string::npos) {
        auto n = ParseWholeNumber(text.substr(slash + 1));
        ok = n && *n >= 0 && *n <= 65535;
        if (ok) option = static_cast<uint16_t>(*n);
    }
    if (!ok || ActionIndex(code, option) >= kActionEntries)
        Usage("unknown action \"" + text + "\" (see qvtool settings actions)");
    return {code, option};
}

std::pair<std::string, std::string> SplitAssign(const std::string& text, const char* what) {
    size_t eq = text.find('=');
    if (eq == std::string::npos) Usage(std::string(what) + " expects KEY=VALUE: " + text);
    return {text.substr(0, eq), text.substr(eq + 1)};
}

// The operand index of "Time2", "Cnt4", "SDStr1", "RDStr3" (the numbers 1..4
// alone name times and counters).
int OperandIndex(const std::string& key, std::string_view prefix, int count) {
    std::string k = key;
    if (!k.empty() && k[0] >= '1' && k[0] <= '9') k = std::string(prefix) + k;
    for (int i = 0; i < count; ++i)
        if (EqualsNoCase(k, std::string(prefix) + std::to_string(i + 1))) return i;
    return -1;
}

void TriggerCommand(const Target& target, const TriggerEdit& ed) {
    if (ed.n < 1 || ed.n > kTriggerCount) Usage("trigger number must be 1 to 5");
    if (ed.enable && ed.disable) Usage("--enable and --disable together");
    if (ed.useAnd && ed.useOr) Usage("--and and --or together");
    StatusFile file;
    StatusSet set = LoadTarget(file, target);
    TriggerSetting& t = set.triggers[static_cast<size_t>(ed.n - 1)];
    if (ed.clear) {
        uint32_t enabled = t.enabled;
        t = TriggerSetting{};
        t.enabled = enabled;  // clearing a trigger does not touch its check mark
    }
    if (ed.enable) t.enabled = 1;
    if (ed.disable) t.enabled = 0;
    if (ed.useAnd) t.andOr = kAndOrAnd;
    if (ed.useOr) t.andOr = kAndOrOr;
    for (const std::string& item : ed.on) {
        size_t eq = item.find('=');
        std::string key = item.substr(0, eq);
        auto c = FindCondition(key);
        if (!c) Usage("unknown condition \"" + key + "\"");
        uint32_t* state = StateOf(t, *c);
        if (state) {
            if (eq == std::string::npos)
                Usage(key + " needs a state: " +
                      (c->group == ConditionGroup::Line ? "HIGH or LOW" : "ON or OFF"));
            std::string v = item.substr(eq + 1);
            WordTable words = c->group == ConditionGroup::Line ? kLevelWords : kOnOffWords;
            int code = CodeOf(words, v, -1);
            if (code < 0) Usage("bad state \"" + v + "\" for " + key + ": " + Words(words));
            *state = static_cast<uint32_t>(code);
        } else if (eq != std::string::npos) {
            Usage(key + " takes no state");
        }
        *TakesPart(t, *c) = 1;
    }
    for (const std::string& key : ed.off) {
        auto c = FindCondition(key);
        if (!c) Usage("unknown condition \"" + key + "\"");
        *TakesPart(t, *c) = 0;
    }
    if (!ed.action1.empty()) std::tie(t.action1, t.option1) = ParseAction(ed.action1);
    if (!ed.action2.empty()) std::tie(t.action2, t.option2) = ParseAction(ed.action2);
    for (const std::string& item : ed.times) {
        auto [k, v] = SplitAssign(item, "--time");
        int i = OperandIndex(k, "Time", kOptionTimes);
        if (i < 0) Usage("unknown time \"" + k + "\" (Time1 to Time4)");
        auto when = ParseLocalTime(v);
        if (!when) Usage("bad time \"" + v + "\": YYYY-MM-DD HH:MM:SS, years 2000 to 2099");
        set.option.times[static_cast<size_t>(i)] = *when;
    }
    for (const std::string& item : ed.counts) {
        auto [k, v] = SplitAssign(item, "--count");
        int i = OperandIndex(k, "Cnt", kOptionCounts);
        if (i < 0) Usage("unknown counter \"" + k + "\" (Cnt1 to Cnt4)");
        auto n = ParseWholeNumber(v);
        if (!n || *n < kMinTriggerCount || *n > kMaxTriggerCount)
            Usage("bad count \"" + v + "\": " + std::to_string(kMinTriggerCount) + " to " +
                  std::to_string(kMaxTriggerCount));
        set.option.counts[static_cast<size_t>(i)] = static_cast<int32_t>(*n);
    }
    for (const std::string& item : ed.strings) {
        auto [k, v] = SplitAssign(item, "--string");
        int i = -1;
        for (int s = 0; s < kOptionStrings; ++s)
            if (EqualsNoCase(k, OptionStringKey(s))) i = s;
        if (i < 0) Usage("unknown string \"" + k + "\" (SDStr1 to SDStr4, RDStr1 to RDStr4)");
        std::string why;
        auto p = ParsePattern(v, why);
        if (!p) Usage("bad pattern for " + k + ": " + why);
        set.option.strings[static_cast<size_t>(i)] = p->bytes;
        set.option.scopes[static_cast<size_t>(i)] = p->scopes;
    }
    Save(file, set);
}

// ---- settings check ----

int CheckCommand(const Target& target, bool yes) {
    StatusFile file;
    StatusSet set = LoadTarget(file, target);
    TriggerCheck check = CheckTriggers(set.triggers, set.option, std::time(nullptr));
    switch (check.outcome) {
        case TriggerCheckOutcome::Pass:
            std::cout << "ok: " << check.startStoring << " enabled trigger(s) start storing\n";
            return 0;
        case TriggerCheckOutcome::AskOkCancel:
            std::cerr << TriggerCheckOkCancelText() << "\n"
                      << "(no trigger can be inserted: "
                      << (check.enabled == kTriggerCount ? "all five are enabled"
                                                         : "no trigger time is at or before now")
                      << ")\n";
            return kExitFailure;
        case TriggerCheckOutcome::AskYesNoCancel:
            if (!yes) {
                std::cerr << TriggerCheckYesNoText() << "\n"
                          << "(--yes makes trigger " << check.rewrite + 1
                          << " start storing at Time" << check.time + 1 << ")\n";
                return kExitFailure;
            }
            ApplyStartStoringTrigger(set.triggers, check);
            Save(file, set);
            std::cout << "trigger " << check.rewrite + 1 << " now starts storing at Time"
                      << check.time + 1 << " ("
                      << LocalTimeText(set.option.times[static_cast<size_t>(check.time)]) << ")\n";
            return 0;
    }
    return 0;
}

}  // namespace

std::string UnitSettingText(DeviceAccess& devices, const std::string& serial,
                            const std::string& key) {
    const MonitorKey* k = FindMonitorKey(key);
    if (!k) return "";
    StatusFile file;
    const StatusSet set = LoadTarget(file, Target{"", serial, &devices});
    return MonitorKeyText(set.status, *k);
}

void SetUnitSettings(DeviceAccess& devices, const std::string& serial,
                     const std::vector<std::string>& pairs) {
    if (!pairs.empty()) SetCommand(Target{"", serial, &devices}, pairs);
}

void AddSettingsCommands(CLI::App& app, DeviceAccess& devices) {
    auto* settings = app.add_subcommand("settings", "Show and edit status files (.qvs)");
    settings->require_subcommand(1);
    // Shared by the edit commands: which status file they work on.
    auto target = std::make_shared<Target>();
    target->devices = &devices;
    auto addFileOption = [target](CLI::App* cmd) {
        auto* file =
            cmd->add_option("--file", target->file,
                            "A status file instead of the selected unit's (or working) one");
        cmd->add_option("--unit", target->unit, "The status file of the unit with this serial")
            ->excludes(file);
    };

    auto* show = settings->add_subcommand("show", "Print a status file or a capture's settings");
    auto showFile = std::make_shared<std::string>();
    show->add_option("FILE", *showFile, "A .qvs status file or a .qvr capture index");
    show->add_option("--unit", target->unit, "The status file of the unit with this serial");
    show->callback([showFile, target] {
        StatusSet set;
        std::string path = showFile->empty() ? TargetPath(*target) : *showFile;
        if (showFile->empty()) {
            StatusFile file;
            set = LoadTarget(file, *target);
        } else if (ImportStatusSet(path, set, std::time(nullptr)) != 0) {
            Usage("not a readable .qvs or .qvr file: " + path);
        }
        std::cout << "File:        " << path << "\n";
        PrintStatusSet(std::cout, set);
    });

    auto* set = settings->add_subcommand("set", "Change settings: KEY=VALUE ...");
    auto pairs = std::make_shared<std::vector<std::string>>();
    set->add_option("KEY=VALUE", *pairs, "Keys of [MonitorStatus] and SaveDevice")->required();
    addFileOption(set);
    set->callback([target, pairs] { SetCommand(*target, *pairs); });

    auto* exp = settings->add_subcommand("export", "Save the settings to another status file");
    auto expFile = std::make_shared<std::string>();
    auto force = std::make_shared<bool>(false);
    exp->add_option("FILE", *expFile, "The .qvs file to write")->required();
    exp->add_flag("--force", *force, "Overwrite an existing file");
    addFileOption(exp);
    exp->callback([target, expFile, force] {
        if (expFile->find(".qvs") == std::string::npos)
            Usage("an export needs a .qvs file name: " + *expFile);
        if (PathExists(*expFile) && !*force) Usage(*expFile + " exists (--force overwrites it)");
        StatusFile source;
        StatusSet set = LoadTarget(source, *target);
        if (SaveStatusSet(*expFile, set) != 0)
            throw CommandError{kExitFailure, "cannot write " + *expFile};
    });

    auto* imp = settings->add_subcommand("import", "Take the settings of a .qvs or .qvr file");
    auto impFile = std::make_shared<std::string>();
    imp->add_option("FILE", *impFile, "A .qvs status file or a .qvr capture index")->required();
    addFileOption(imp);
    imp->callback([target, impFile] {
        if (ImportKindOf(*impFile) == ImportKind::None)
            Usage("can import only .qvs and .qvr files: " + *impFile);
        StatusSet probe;
        if (ImportStatusSet(*impFile, probe, std::time(nullptr)) != 0)
            Usage("cannot import " + *impFile +
                  " (missing, or its extension is not in lower case)");
        StatusFile file;
        StatusSet set = LoadTarget(file, *target);
        ImportStatusSet(*impFile, set, std::time(nullptr));
        Save(file, set);
    });

    auto* trig = settings->add_subcommand("trigger", "Edit trigger N (1 to 5)");
    auto ed = std::make_shared<TriggerEdit>();
    trig->add_option("N", ed->n, "Trigger number, 1 to 5")->required();
    trig->add_flag("--enable", ed->enable, "Enable the trigger");
    trig->add_flag("--disable", ed->disable, "Disable the trigger");
    trig->add_flag("--clear", ed->clear, "Clear conditions, states, combination and actions first");
    trig->add_flag("--and", ed->useAnd, "Act when all conditions hold");
    trig->add_flag("--or", ed->useOr, "Act when any condition holds");
    trig->add_option("--on", ed->on,
                     "Condition taking part: SD=HIGH, Event1=ON, Time2, SDStr1, BufferFull, ...");
    trig->add_option("--off", ed->off, "Condition no longer taking part");
    trig->add_option("--action1", ed->action1, "First action: its label, or CODE[/OPTION] in hex");
    trig->add_option("--action2", ed->action2, "Second action");
    trig->add_option("--time", ed->times, "Shared time: Time1=\"2024-05-01 12:00:00\"");
    trig->add_option("--count", ed->counts, "Shared counter value: Cnt1=100");
    trig->add_option("--string", ed->strings, "Shared data string: SDStr1=\"41 !42 ** >=30\"");
    addFileOption(trig);
    trig->callback([target, ed] { TriggerCommand(*target, *ed); });

    auto* actions = settings->add_subcommand("actions", "List the trigger actions");
    actions->callback([] {
        for (const ActionEntry& e : ActionList()) {
            char code[16];
            std::snprintf(code, sizeof code, e.option == kNoOption ? "%02x" : "%02x/%u", e.code,
                          static_cast<unsigned>(e.option));
            std::cout << code << std::string(8 - std::string_view(code).size(), ' ') << e.Shown()
                      << "\n";
        }
    });

    auto* check = settings->add_subcommand("check", "Check that some trigger starts storing");
    auto yes = std::make_shared<bool>(false);
    check->add_flag("--yes", *yes, "Insert a start-storing trigger when one can be inserted");
    addFileOption(check);
    check->callback([target, yes] {
        int rc = CheckCommand(*target, *yes);
        if (rc != 0) throw CommandError{rc, "no enabled trigger starts storing"};
    });
}

}  // namespace qv::cli
