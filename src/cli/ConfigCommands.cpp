// qvtool config: the application folder and the settings in force.
#include <iostream>

#include "cli/Commands.h"
#include "core/AppPaths.h"

namespace qv::cli {

void AddConfigCommands(CLI::App& app) {
    auto* config = app.add_subcommand("config", "Show the application folder and settings");
    config->callback([] { std::cout << "application folder: " << AppFolder() << "\n"; });
}

}  // namespace qv::cli
