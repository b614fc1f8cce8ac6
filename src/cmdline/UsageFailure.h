// How the command-line programs answer a wrong command line: the reason, the
// usage line of the (sub)command it concerns and where its help is, with exit
// status 2. The whole help would push the reason out of view.
#pragma once

#include <CLI/CLI.hpp>
#include <sstream>
#include <string>

namespace qv::cmdline {

// A CLI11 failure message: "PROG: reason", "Usage: ...", "Run 'PROG SUB
// --help' for more information."
inline std::string ShortFailureMessage(const CLI::App* app, const CLI::Error& e) {
    // The deepest subcommand given names the command the error concerns.
    const CLI::App* at = app;
    std::string parent, path = app->get_name();
    for (auto subs = at->get_subcommands(); !subs.empty(); subs = at->get_subcommands()) {
        at = subs.front();
        parent = path;
        path += " " + at->get_name();
    }
    std::string usage;
    // A subcommand's help names it after the commands above it.
    std::istringstream help(at->help(parent));
    for (std::string line; std::getline(help, line);)
        if (line.rfind("Usage:", 0) == 0) {
            usage = line + "\n";
            break;
        }
    return app->get_name() + ": " + e.what() + "\n" + usage + "Run '" + path +
           " --help' for more information.\n";
}

// Parses the command line; on a wrong one prints the short message and
// returns the exit status (0 for --help and --version, else 2).
inline int ParseOrExit(CLI::App& app, int argc, char** argv, bool& exitNow) {
    exitNow = false;
    try {
        app.parse(argc, argv);
        return 0;
    } catch (const CLI::ParseError& e) {
        exitNow = true;
        app.failure_message(ShortFailureMessage);
        return app.exit(e) == 0 ? 0 : 2;
    }
}

}  // namespace qv::cmdline
