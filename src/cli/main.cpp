// qvtool: the command-line companion of the line monitor.
#include <CLI/CLI.hpp>

#include <cstdio>

int main(int argc, char** argv) {
    CLI::App app{"qvtool - serial line monitor companion"};
    app.set_version_flag("--version", std::string("qvtool ") + QVORT_VERSION);
    app.require_subcommand(0, 1);
    CLI11_PARSE(app, argc, argv);
    if (app.get_subcommands().empty()) {
        std::fputs(app.help().c_str(), stdout);
    }
    return 0;
}
