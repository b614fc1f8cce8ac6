// qvtool units, status, clock and stop: the unit list and the instrument's
// status outside a run. The selected unit is the one a previous
// "qvtool units select" chose (or --unit SERIAL); another copy's choice is
// shown as another's and never acted on unasked.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>

#include "cli/CaptureWalk.h"
#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "core/Prompt.h"
#include "device/DeviceStatus.h"
#include "device/UnitList.h"
#include "settings/TriggerSummary.h"

namespace qv::cli {

namespace {

// The unit rows as JSON or CSV: attached and selected as plain words.
void PrintRowsStructured(const std::vector<UnitRow>& rows, OutputFormat format) {
    OutputBuffer out;
    JsonWriter j(out.Text());
    if (format == OutputFormat::kJson)
        j.BeginArray();
    else
        out.Text() += "model,serial,name,attached,access,selected\n";
    for (const auto& r : rows) {
        // " ◎" is this copy's selection, " ○" another copy's.
        const std::string selected = r.selectedMark.empty()                   ? ""
                                     : r.selectedMark.find("◎") != std::string::npos ? "here"
                                                                                     : "other";
        const bool attached = !r.attachedMark.empty() || r.noAccess;
        if (format == OutputFormat::kJson) {
            j.BeginObject().Field("model", r.model).Field("serial", r.serial).Field("name", r.name);
            j.Field("attached", attached).Field("access", !r.noAccess);
            j.Field("selected", selected).EndObject();
        } else {
            CsvLine line(out.Text());
            line.Field(r.model).Field(r.serial).Field(r.name).Field(attached ? "yes" : "no");
            line.Field(r.noAccess ? "no" : "yes").Field(selected).End();
        }
    }
    if (format == OutputFormat::kJson) {
        j.EndArray();
        j.End();
    }
}

// `text` and blanks up to `columns` display columns, a Japanese character
// taking two.
std::string PadToWidth(std::string_view text, size_t columns) {
    std::string out(text);
    const size_t w = DisplayWidth(text);
    if (w < columns) out.append(columns - w, ' ');
    return out;
}

void PrintRows(const UnitList& list, bool all, OutputFormat format) {
    auto rows = list.Rows(all);
    if (format != OutputFormat::kText) {
        PrintRowsStructured(rows, format);
        if (!list.Inaccessible().empty())
            std::fprintf(stderr, "%s\n", MessageText(MessageId::kNoAccessHint));
        return;
    }
    // Columns padded by display width, so Japanese names line up.
    auto line = [](std::string_view model, std::string_view serial, std::string_view name,
                   std::string_view attached, std::string_view selected) {
        std::printf("%s %s %s %s %s\n", PadToWidth(model, 7).c_str(),
                    PadToWidth(serial, 12).c_str(), PadToWidth(name, 20).c_str(),
                    PadToWidth(attached, 8).c_str(), std::string(selected).c_str());
    };
    line(Say("型番", "Model"), Say("シリアル番号", "Serial"), Say("名前", "Name"),
         Say("接続", "Attached"), Say("選択", "Selected"));
    for (const auto& r : rows)
        line(r.model, r.serial, r.name, r.attachedMark.empty() ? "" : r.attachedMark.substr(1),
             r.selectedMark.empty() ? "" : r.selectedMark.substr(1));
    if (rows.empty())
        std::printf("(no unit%s)\n", all ? "" : " attached; --all shows every unit seen");
    if (!list.Inaccessible().empty())
        std::fprintf(stderr,
                     "%s\n(× attached, but this user may not open it: install the udev rules, "
                     "then re-plug the unit, or join the plugdev group and log in again)\n",
                     MessageText(MessageId::kNoAccessHint));
}

std::shared_ptr<UsbDevice> Open(DeviceAccess& devices, StatusUse use, const std::string& serial) {
    StatusOpen o = OpenForStatus(devices, use, ChosenUnit(devices, serial));
    if (!o.message.empty()) throw CommandError{kExitFailure, o.message};
    return o.device;
}

// Attached units whose serial the unit list cannot hold are not listed; say so.
void WarnRefused(const UnitList& list) {
    for (const auto& serial : list.RefusedSerials())
        std::fprintf(
            stderr,
            "qvtool: a unit's serial '%s' cannot be kept in the unit list (a comma, a line "
            "break, a blank at an end or more than 8 characters); it is left out\n",
            serial.c_str());
}

std::optional<size_t> UnitBySerial(UnitList& list, const std::string& serial) {
    auto i = list.FindBySerial(serial);
    WarnRefused(list);
    for (const auto& n : list.Inaccessible())
        if (!i && n.serial == serial)
            throw CommandError{kExitFailure, "the unit '" + serial +
                                                 "' is attached, but this user may not open it\n" +
                                                 MessageText(MessageId::kNoAccessHint)};
    if (!i) throw CommandError{kExitUsage, "no unit with serial '" + serial + "' in the unit list"};
    return i;
}

[[noreturn]] void ThrowUnitListWrite(const char* what) {
    throw CommandError{kExitFailure, std::string(what) + ": the unit list (ActiveUnitInfo.txt) "
                                                         "could not be written: " +
                                         std::strerror(errno)};
}

}  // namespace

void AddDeviceCommands(CLI::App& app, DeviceAccess& devices) {
    // --- units
    auto* units = app.add_subcommand("units", "List the instruments seen, choose one, name one");
    static bool all = false;
    static std::string unitsFormat = "text";
    units->add_flag("--all", all, "include units not attached now");
    AddFormatOption(*units, unitsFormat);
    units->require_subcommand(0, 1);
    units->callback([&devices, units] {
        if (!units->get_subcommands().empty()) return;
        UnitList list(ToolSelection());
        list.Reload(devices.CreateDevice().get());
        WarnRefused(list);
        PrintRows(list, all, FormatOf(unitsFormat));
    });

    static std::string selSerial;
    static bool yes = false, no = false;
    auto* sel = units->add_subcommand("select", "Select the unit with this serial");
    sel->add_option("SERIAL", selSerial, "the unit's serial text")->required();
    auto* yesFlag = sel->add_flag("--yes", yes, "answer Yes when another copy uses the unit");
    sel->add_flag("--no", no, "answer No")->excludes(yesFlag);
    sel->callback([&devices] {
        auto dev = devices.CreateDevice();
        UnitList list(ToolSelection());
        list.Reload(dev.get());
        auto i = UnitBySerial(list, selSerial);
        if (list.IsSelected(*i)) {
            std::printf("%s is selected already\n", selSerial.c_str());
            return;
        }
        FlagPrompt prompt(yes, no);
        // Another unit this tool selected earlier is released by the selection.
        const auto result = list.Apply(*i, &prompt, dev.get());
        if (result == UnitList::ApplyResult::kDeclined)
            throw CommandError{kExitFailure, "not selected: the unit is in use by another copy"};
        if (result == UnitList::ApplyResult::kWriteFailed) ThrowUnitListWrite("not selected");
        if (SetToolSelection(list.Selected()) != 0)
            throw CommandError{kExitFailure, "the selection could not be kept"};
        std::printf("selected %s %s\n",
                    ModelName(static_cast<uint16_t>(list.Units()[*i].productId)),
                    selSerial.c_str());
    });

    auto* rel = units->add_subcommand("release", "Release the selected unit");
    rel->callback([&devices] {
        auto dev = devices.CreateDevice();
        SelectedUnit current = ToolSelection();
        UnitList list(current);
        list.Reload(dev.get());
        if (current.IsNone()) {
            std::printf("no unit is selected\n");
            return;
        }
        auto i = UnitBySerial(list, current.serial);
        if (list.Apply(*i, nullptr, dev.get()) == UnitList::ApplyResult::kWriteFailed)
            ThrowUnitListWrite("not released");
        SetToolSelection(SelectedUnit{});
        std::printf("released %s\n", current.serial.c_str());
    });

    static std::string nameSerial, newName;
    auto* name = units->add_subcommand("name", "Give a unit a name");
    name->add_option("SERIAL", nameSerial, "the unit's serial text")->required();
    name->add_option("NAME", newName, "the new name (empty to clear)")->required();
    name->callback([&devices] {
        auto dev = devices.CreateDevice();
        UnitList list(ToolSelection());
        list.Reload(dev.get());
        auto i = UnitBySerial(list, nameSerial);
        if (!list.Rename(*i, newName, dev.get()))
            throw CommandError{kExitFailure,
                               errno == EILSEQ
                                   ? "the name has a character the unit list (kept in CP932) "
                                     "cannot hold; nothing was changed"
                                   : std::string("the unit list could not be written: ") +
                                         std::strerror(errno)};
        if (!list.Selected().IsNone()) SetToolSelection(list.Selected());
    });

    // --- status
    static bool extended = false;
    static std::string unitSerial;
    static std::string statusFormat = "text";
    auto* status = app.add_subcommand("status", "Show the selected instrument's unit information");
    status->add_flag("--extended", extended, "also the firmware and card memory rows");
    AddFormatOption(*status, statusFormat);
    status->add_option("--unit", unitSerial, "this unit instead of the selected one");
    status->callback([&devices] {
        auto dev = Open(devices, StatusUse::kUnitInfo, unitSerial);
        DeviceCommand cmd(dev);
        std::vector<StatusRow> rows;
        const OutputFormat format = FormatOf(statusFormat);
        // JSON is for scripts: its keys and values do not follow the language,
        // and its times carry their zone's offset.
        const UiLanguage language =
            format == OutputFormat::kJson ? UiLanguage::kEnglish : MessageLanguage();
        if (ReadStatusRows(cmd, dev->GetDeviceRelease(), extended, rows, language) != 0)
            throw CommandError{kExitFailure, MessageText(MessageId::kParamFailed)};
        if (format != OutputFormat::kText) {
            OutputBuffer out;
            JsonWriter j(out.Text());
            if (format == OutputFormat::kJson)
                j.BeginObject();
            else
                out.Text() += "key,label,value\n";
            for (const auto& r : rows) {
                if (format == OutputFormat::kJson)
                    j.Field(r.key, r.seconds ? ClockIso(*r.seconds) : r.value);
                else
                    CsvLine(out.Text()).Field(r.key).Field(r.label).Field(r.value).End();
            }
            if (format == OutputFormat::kJson) {
                j.EndObject();
                j.End();
            }
            return;
        }
        std::printf("%s\n", extended ? Say("本体情報 [拡張] ", "Unit information [extended]")
                                     : Say("本体情報", "Unit information"));
        for (const auto& r : rows)
            std::printf("%s\t%s\n", r.label.c_str(), r.value.c_str());
    });

    // --- clock
    static std::string setText;
    auto* clock = app.add_subcommand("clock", "Show or set the selected instrument's clock");
    clock->add_option("--set", setText,
                      "now (the computer's clock), \"YYYY/MM/DD hh:mm:ss\" or "
                      "\"YYYY-MM-DDThh:mm:ss\"");
    clock->add_option("--unit", unitSerial, "this unit instead of the selected one");
    clock->callback([&devices] {
        std::optional<uint32_t> value;
        if (setText == "now") {
            value = static_cast<uint32_t>(std::time(nullptr));
        } else if (!setText.empty()) {
            std::optional<int64_t> local = ParseLocalTimeText(setText);
            if (!local)
                throw CommandError{kExitUsage, "bad time \"" + setText +
                                                   "\" for --set; use now, \"YYYY/MM/DD "
                                                   "hh:mm:ss\" or \"YYYY-MM-DDThh:mm:ss\""};
            // A well-formed time the clock cannot hold is refused for that.
            if (std::string why = ClockRangeProblem(*local); !why.empty())
                throw CommandError{kExitUsage, "--set " + setText + ": " + why};
            value = static_cast<uint32_t>(*local);
        }
        auto dev = Open(devices, StatusUse::kClock, unitSerial);
        DeviceCommand cmd(dev);
        uint32_t monitoring = 0, builtIn = 0;
        if (cmd.ReadClocks(monitoring, builtIn) != 0)
            throw CommandError{kExitFailure, MessageText(MessageId::kClockFailed)};
        if (value) {
            if (cmd.SetClock(*value) != 0)
                throw CommandError{kExitFailure, "the clock could not be set"};
            if (cmd.ReadClocks(monitoring, builtIn) != 0)
                throw CommandError{kExitFailure, MessageText(MessageId::kClockFailed)};
        }
        std::printf("%s\t%s\n", Say("本体内蔵時計", "Unit clock"), ClockText(builtIn).c_str());
        std::printf("PC\t%s\n", ClockText(static_cast<uint32_t>(std::time(nullptr))).c_str());
    });

    // --- stop
    static bool stopYes = false;
    auto* stop = app.add_subcommand("stop", "Stop monitoring on the selected instrument");
    stop->add_option("--unit", unitSerial, "this unit instead of the selected one");
    stop->add_flag("--yes", stopYes, "stop it even when another copy has selected the unit");
    stop->callback([&devices] {
        const UnitIdentity unit = ChosenUnit(devices, unitSerial);
        auto dev = Open(devices, StatusUse::kUnitInfo, unitSerial);
        DeviceCommand cmd(dev);
        // A run of a unit another copy has chosen is most likely that copy's:
        // stopping it unasked would end someone else's recording.
        uint32_t state = 0;
        if (!stopYes && SelectedByAnother(unit, ToolSelection()) && cmd.QueryState(state) == 0 &&
            (state & kStateMonitoring))
            throw CommandError{kExitFailure, "the unit " + unit.serial +
                                                 " is monitoring for another copy that selected "
                                                 "it; give --yes to stop that run"};
        if (cmd.Stop() != 0)
            throw CommandError{kExitFailure, "the instrument did not take the stop"};
        std::printf("stopped\n");
    });
}

}  // namespace qv::cli
