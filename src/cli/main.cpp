// qvtool: the command-line companion of the line monitor.
#include <cstdio>
#include <iostream>

#include "cli/Commands.h"

int main(int argc, char** argv) {
    CLI::App app{"qvtool - serial line monitor companion"};
    app.set_version_flag("--version", std::string("qvtool ") + QVORT_VERSION);
    app.require_subcommand(0, 1);
    app.failure_message(CLI::FailureMessage::help);

    qv::cli::AddConfigCommands(app);
    qv::cli::AddCaptureCommands(app);
    qv::cli::AddRecordCommands(app);
    qv::cli::AddSettingsCommands(app);
    qv::cli::AddDecodeCommands(app);
    qv::cli::AddDeviceCommands(app);
    qv::cli::AddSearchCommands(app);
    qv::cli::AddExportCommands(app);
    qv::cli::AddPrintCommands(app);
    qv::cli::AddRecoverCommands(app);
    qv::cli::AddTrafficCommands(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int rc = app.exit(e);
        // Usage errors end with status 2, so that scripts can tell them from failures.
        return rc == 0 ? 0 : qv::cli::kExitUsage;
    } catch (const qv::cli::CommandError& e) {
        std::cerr << "qvtool: " << e.message << "\n";
        return e.status;
    }
    if (app.get_subcommands().empty()) std::fputs(app.help().c_str(), stdout);
    return 0;
}
