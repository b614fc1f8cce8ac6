// qvtool: the command-line companion of the line monitor.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>
#include <algorithm>
#include <iostream>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cmdline/HelpFormat.h"
#include "cmdline/ManPage.h"
#include "cmdline/UsageFailure.h"
#include "core/MessageText.h"
#include "core/TimeZone.h"
#include "device/DeviceAccess.h"

int main(int argc, char** argv) {
    // The core's messages speak the language qvtool's own texts do.
    qv::SetMessageLanguage(qv::cli::CliLanguage());
    // Named here, so that usage lines show the program's name, not the path it
    // was started by.
    CLI::App app{"qvtool - serial line monitor companion", "qvtool"};
    app.set_version_flag("--version", qv::cli::ToolName());
    // Every subcommand's options, nested ones too, on one page.
    qv::cmdline::UseHelpFormatter(app);
    app.set_help_all_flag("--help-all", "Print the help of every subcommand and exit");
    app.require_subcommand(0, 1);
    // Global, so that it may stand after the subcommand too.
    bool quiet = false;
    app.add_flag("-q,--quiet", quiet, "No progress lines on the terminal")
        ->configurable(false)
        ->each([](const std::string&) { qv::cli::SetQuiet(true); });
    // A capture keeps the zone it was recorded in; these name one for a
    // capture that does not (or read any capture's times in another).
    std::string zone;
    app.add_option("--tz", zone, "Take capture times in this zone (e.g. Asia/Tokyo)")
        ->type_name("ZONE")
        ->configurable(false)
        ->check([](const std::string& name) -> std::string {
            return qv::TimeZone::Named(name) ? "" : "no such time zone: " + name;
        })
        ->each([](const std::string& name) { qv::cli::ChooseZone(name); });
    bool utc = false;
    app.add_flag("--utc", utc, "Take capture times in UTC (as --tz UTC)")
        ->configurable(false)
        ->each([](const std::string&) { qv::cli::ChooseZone("UTC"); });
    app.fallthrough();
    app.failure_message(qv::cmdline::ShortFailureMessage);

    qv::cli::AddConfigCommands(app);
    qv::cli::AddCaptureCommands(app);
    // The one way to the instruments that every command of this run shares.
    qv::DeviceAccess devices;
    qv::cli::AddRecordCommands(app, devices);
    qv::cli::AddSettingsCommands(app, devices);
    qv::cli::AddDecodeCommands(app);
    qv::cli::AddDeviceCommands(app, devices);
    qv::cli::AddSearchCommands(app);
    qv::cli::AddExportCommands(app);
    qv::cli::AddPrintCommands(app);
    qv::cli::AddRecoverCommands(app);
    qv::cli::AddTrafficCommands(app);
    qv::cli::AddExtcapCommands(app, devices);
    qv::cli::RefuseEmptyValues(app);
    qv::cmdline::AddManPageFlag(app);

    // Started as the capture-interface program (a link in Wireshark's extcap
    // folder): the words are those of "qvtool extcap".
    std::vector<std::string> args(argv + 1, argv + argc);
    if (std::string_view(argv[0]).ends_with("qvort-extcap")) args.insert(args.begin(), "extcap");
    std::reverse(args.begin(), args.end());
    try {
        app.parse(args);
    } catch (const CLI::ParseError& e) {
        int rc = app.exit(e);
        // Usage errors end with status 2, so that scripts can tell them from failures.
        return rc == 0 ? 0 : qv::cli::kExitUsage;
    } catch (const qv::cli::CommandError& e) {
        std::cerr << "qvtool: " << e.message << "\n";
        return e.status;
    }
    if (app.get_subcommands().empty()) std::fputs(app.help().c_str(), stdout);
    // What a command wrote to a full disk or a closed pipe is lost: that is a
    // failure, whichever command it was, not a success with a short output.
    if (!qv::cli::StandardOutputWritten()) {
        std::cerr << "qvtool: cannot write to standard output"
                  << (errno ? std::string(": ") + std::strerror(errno) : std::string()) << "\n";
        return qv::cli::kExitFailure;
    }
    return 0;
}
