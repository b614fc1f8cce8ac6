#include "cli/CliSupport.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "cli/Commands.h"
#include "core/AppPaths.h"
#include "device/DeviceStatus.h"
#include "device/UnitList.h"
#include "device/UsbDevice.h"

namespace qv::cli {

CLI::Validator CountOf(uint64_t max) {
    return CLI::Validator(
        [max](std::string& text) -> std::string {
            if (text.empty() || text.size() > 19 ||
                text.find_first_not_of("0123456789") != std::string::npos ||
                std::stoull(text) > max)
                return "a count from 0 to " + std::to_string(max) + " is wanted, not \"" + text +
                       "\"";
            return {};
        },
        "COUNT");
}

const CLI::Validator kFiniteNumber(
    [](std::string& text) -> std::string {
        char* end = nullptr;
        const double v = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0' || !std::isfinite(v))
            return "a finite number is wanted, not \"" + text + "\"";
        return {};
    },
    "NUMBER");

void RefuseEmptyValues(CLI::App& app) {
    static const CLI::Validator notEmpty(
        [](std::string& text) -> std::string {
            return text.empty() ? std::string("an empty value is not one") : std::string();
        },
        "");
    for (CLI::Option* opt : app.get_options()) {
        if (opt->get_type_size() == 0 || opt->get_lnames().empty()) continue;
        opt->check(notEmpty);
    }
    for (CLI::App* sub : app.get_subcommands({}))
        RefuseEmptyValues(*sub);
}

UiLanguage CliLanguage() {
    static const UiLanguage language = ChosenUiLanguage();
    return language;
}

namespace {
bool g_quiet = false;
std::string g_zone;
}  // namespace

std::string ToolName() {
    return std::string("qvtool ") + QVORT_VERSION;
}

const std::string& ChosenZone() {
    return g_zone;
}

void ChooseZone(const std::string& name) {
    g_zone = name;
}

void SetQuiet(bool quiet) {
    g_quiet = quiet;
}

bool ShowProgress() {
    return !g_quiet && ::isatty(STDERR_FILENO) != 0;
}

bool StandardOutputWritten() {
    std::cout.flush();
    errno = 0;
    bool ok = !std::cout.fail();
    if (std::fflush(stdout) != 0) ok = false;
    if (std::ferror(stdout)) ok = false;
    return ok;
}

void FlagPrompt::ShowMessage(const std::string& text) {
    std::cerr << text << "\n";
}

bool FlagPrompt::AskYesNo(const std::string& text) {
    std::cerr << text
              << (m_yes  ? " -> yes"
                  : m_no ? " -> no"
                         : " -> no (answer with --yes)")
              << "\n";
    return m_yes;
}

namespace {
// Beside the unit list, in the application folder.
constexpr const char* kToolSelectionFile = "qvtool-selection.txt";
}  // namespace

SelectedUnit ToolSelection() {
    return ReadOwnSelection(AppFile(kToolSelectionFile));
}

int SetToolSelection(const SelectedUnit& unit) {
    return WriteOwnSelection(AppFile(kToolSelectionFile), unit);
}

UnitIdentity ChosenUnit(DeviceAccess& devices, const std::string& serial) {
    if (serial.empty()) return ToolSelection().Identity();
    UnitList list(SelectedUnit{});
    list.Reload(devices.CreateDevice().get());
    auto i = list.FindBySerial(serial);
    // A serial that names no unit is a wrong argument, not a failure.
    if (!i) throw CommandError{kExitUsage, MessageText(MessageId::kNotConnected)};
    const auto& u = list.Units()[*i];
    return UnitIdentity{static_cast<uint16_t>(u.vendorId), static_cast<uint16_t>(u.productId),
                        u.serial};
}

UnitIdentity SelectUnitForRun(DeviceAccess& devices, const std::string& serial) {
    UnitIdentity id = ChosenUnit(devices, serial);
    SelectedUnit unit;
    unit.vendorId = id.vendorId;
    unit.productId = id.productId;
    unit.serial = id.serial;
    devices.Select(unit);
    return id;
}

}  // namespace qv::cli
