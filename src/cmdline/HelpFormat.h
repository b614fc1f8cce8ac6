// How the command-line programs lay out their help: every left column
// (option or subcommand) stands at least two spaces from its description, so
// that neither a reader nor help2man runs the two together, and --help-all
// shows every subcommand with its options at every depth, where CLI11 by
// itself names the second level's subcommands only.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <sstream>
#include <string>

namespace qv::cmdline {

class HelpFormatter : public CLI::Formatter {
  public:
    std::string make_option(const CLI::Option* opt, bool positional) const override {
        return Row(make_option_name(opt, positional) + make_option_opts(opt), make_option_desc(opt));
    }
    std::string make_subcommand(const CLI::App* sub) const override {
        return Row(sub->get_display_name(true), sub->get_description());
    }
    std::string make_subcommands(const CLI::App* app, CLI::AppFormatMode mode) const override {
        // A subcommand expanded inside --help-all expands its own as well.
        return CLI::Formatter::make_subcommands(
            app, mode == CLI::AppFormatMode::Sub ? CLI::AppFormatMode::All : mode);
    }

  private:
    std::string Row(std::string left, const std::string& description) const {
        // CLI11 indents the left column by two and pads it to the column
        // width: one character short of it would leave a single space.
        if (left.size() + 3 == get_column_width()) left += ' ';
        std::ostringstream out;
        CLI::detail::format_help(out, left, description, get_column_width());
        return out.str();
    }
};

// Set before the subcommands are added: they take their parent's formatter.
inline void UseHelpFormatter(CLI::App& app) {
    app.formatter(std::make_shared<HelpFormatter>());
}

}  // namespace qv::cmdline
