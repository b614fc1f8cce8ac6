// qvtool config: where the application keeps its files, and the values of the
// settings store and "QV-ORT.conf" in force, with the save device of the
// status file a run starts from. A Linux user has no registry editor;
// `config set` changes one value where the desktop application keeps it.
#include <cstring>
#include <filesystem>
#include <cstdio>
#include <iostream>
#include <optional>

#include "cli/Commands.h"
#include "cli/CliSupport.h"
#include "core/AppPaths.h"
#include "core/FileUtil.h"
#include "core/NumberText.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/ViewConf.h"
#include "device/UnitList.h"
#include "settings/MonitorSettings.h"
#include "settings/StatusFile.h"

namespace qv::cli {

namespace {

std::string ColorText(uint32_t c) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%u (#%02X%02X%02X)", c, c & 0xFF, (c >> 8) & 0xFF,
                  (c >> 16) & 0xFF);
    return buf;
}

void ShowConfig() {
    Log log;
    SettingsStore store;
    ViewConf conf(log);
    if (store.Load() != 0)
        throw CommandError{kExitFailure,
                           "cannot open or create the settings store " + store.GetPath()};
    std::cout << "Application folder: " << AppFolder() << "\n"
              << "Settings store:     " << store.GetPath() << "\n"
              << "Conf file:          " << conf.GetPath() << "\n"
              << "Log:                " << log.Path() << "\n\n";
    std::printf("Frequency   %.17g Hz\n", store.GetFrequency());
    std::printf("FrameMax    %llu\n", static_cast<unsigned long long>(store.GetFrameMax()));
    std::printf("FileRecords %llu (records per data file)\n",
                static_cast<unsigned long long>(store.GetFileRecords()));
    std::printf("Vender_ID   %d\n", store.GetVendorId());
    std::printf("Product_ID  %d\n", store.GetProductId());
    std::printf("Directory   %s\n", conf.GetSaveDirectory().c_str());
    // Where the selected unit's runs go, from the file they start from.
    const HomeSettings home = ReadSettingsHome(ToolSelection());
    const uint32_t device = home.monitor.SaveDevice;
    std::printf("SaveDevice  %s (in %s)\n",
                device == kSaveDeviceCf ? "CF" : device == kSaveDevicePc ? "PC" : "?",
                home.path.c_str());
    for (int i = 0; i < kViewColorCount; ++i) {
        auto c = static_cast<ViewColor>(i);
        std::printf("%-11s %s\n", std::string(ViewColorKey(c)).c_str(),
                    ColorText(conf.GetColor(c)).c_str());
    }
    std::printf("FrameNums   %d (Line window frame count %d)\n", conf.GetLineFrameCount() / 100,
                conf.GetLineFrameCount());
}

[[noreturn]] void BadValue(const std::string& name, const std::string& value,
                           const std::string& expected) {
    throw CommandError{kExitUsage, "bad value \"" + value + "\" for " + name + ": " + expected};
}

// Whole-text decimal parse; nullopt for anything else (signs, blanks, junk).
std::optional<uint64_t> ParseUnsigned(const std::string& text) {
    if (text.empty() || text.size() > 20) return std::nullopt;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        uint64_t next = v * 10 + static_cast<uint64_t>(c - '0');
        if (next / 10 != v) return std::nullopt;  // overflow
        v = next;
    }
    return v;
}

std::optional<uint32_t> ParseColor(const std::string& text) {
    if (text.size() == 7 && text[0] == '#') {
        uint32_t rgb = 0;
        for (size_t i = 1; i < 7; ++i) {
            char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
            int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
            if (d < 0) return std::nullopt;
            rgb = rgb << 4 | static_cast<uint32_t>(d);
        }
        // #RRGGBB to the stored order: red in the low byte.
        return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
    }
    auto v = ParseUnsigned(text);
    if (!v || *v > 0xFFFFFF) return std::nullopt;
    return static_cast<uint32_t>(*v);
}

void SetConfig(const std::string& name, const std::string& value) {
    Log log;
    SettingsStore store;
    ViewConf conf(log);
    int rc = 0;
    // Where the value went and the system's reason when it could not: said
    // here, since a log on the same full disk may not have kept it.
    std::string where;
    int error = 0;
    if (name == "Frequency") {
        // Digits and one point only: strtod alone would also take blanks,
        // hex and exponents.
        const auto plain = UngroupNumberText(value, true);
        const double hz = plain ? std::strtod(plain->c_str(), nullptr) : 0;
        if (!plain || !(hz > 0) || hz > 1e12)
            BadValue(name, value, "a frequency in Hz greater than 0");
        rc = store.SetFrequency(hz);
        where = store.GetPath(), error = store.LastWriteError();
    } else if (name == "FrameMax") {
        auto v = ParseUnsigned(value);
        if (!v || *v == 0) BadValue(name, value, "a whole number of frames from 1");
        rc = store.SetFrameMax(*v);
        where = store.GetPath(), error = store.LastWriteError();
    } else if (name == "SaveDevice") {
        int index = (value == "0" || value == "PC") ? 0 : (value == "1" || value == "CF") ? 1 : -1;
        if (index < 0) BadValue(name, value, "0 (PC) or 1 (CF)");
        // Its one home is the status file a run of qvtool's selected unit
        // starts from, where the parameter dialog and qvtool settings keep it.
        StatusFile status;
        rc = status.OpenStatusFile(SettingsHome(ToolSelection()));
        if (rc == 0) rc = status.WriteString(kRegistInfoSection, "SaveDevice", std::to_string(index));
        where = status.GetPath(), error = status.LastWriteError();
    } else if (name == "Directory") {
        if (!IsDirectory(value)) BadValue(name, value, "an existing folder");
        // Stored absolute: the programs that read it start in other folders.
        std::error_code ec;
        const std::string absolute = std::filesystem::weakly_canonical(
                                         std::filesystem::absolute(value, ec), ec).string();
        if (ec || absolute.empty()) BadValue(name, value, "a folder whose path can be found");
        rc = conf.SetSaveDirectory(absolute);
        where = conf.GetPath(), error = conf.LastWriteError();
        if (std::string why = conf.SaveDirectoryProblem(absolute); rc != 0 && !why.empty())
            throw CommandError{kExitUsage, "cannot store \"" + value + "\" as " + name + ": " + why};
    } else if (name == "FrameNums") {
        auto v = ParseUnsigned(value);
        if (!v || *v > 100) BadValue(name, value, "a number of hundreds from 0 to 100");
        rc = conf.SetLineFrameNums(static_cast<int>(*v));
        where = conf.GetPath(), error = conf.LastWriteError();
    } else if (auto color = ViewColorFromKey(name)) {
        auto c = ParseColor(value);
        if (!c) BadValue(name, value, "a colour: decimal 0..16777215 or #RRGGBB");
        rc = conf.SetColor(*color, *c);
        where = conf.GetPath(), error = conf.LastWriteError();
    } else {
        throw CommandError{kExitUsage,
                           "unknown name \"" + name +
                               "\"; known: Frequency FrameMax SaveDevice Directory FrameNums "
                               "dco dce dcs mcs mcr mcc mco"};
    }
    if (rc != 0)
        throw CommandError{kExitFailure, "cannot write " + name + " to " + where +
                                             (error != 0 ? ": " + std::string(std::strerror(error))
                                                         : std::string())};
    std::cout << name << " = " << value << "\n";
}

}  // namespace

void AddConfigCommands(CLI::App& app) {
    auto* config = app.add_subcommand(
        "config", "Show the application folder and the settings in force, or change one");
    config->require_subcommand(0, 1);
    auto* set =
        config->add_subcommand("set", "Change one value of the settings store or conf file");
    auto name = std::make_shared<std::string>();
    auto value = std::make_shared<std::string>();
    set->add_option("NAME", *name,
                    "Frequency, FrameMax, SaveDevice, Directory, FrameNums, or a colour key "
                    "(dco dce dcs mcs mcr mcc mco)")
        ->required();
    set->add_option("VALUE", *value, "The new value")->required();
    set->callback([name, value] { SetConfig(*name, *value); });
    config->callback([config] {
        if (config->get_subcommands().empty()) ShowConfig();
    });
}

}  // namespace qv::cli
