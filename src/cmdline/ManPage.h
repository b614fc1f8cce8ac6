// The manual page's account of a program's subcommands, made from the
// command line's own definition: every subcommand, nested ones too, with its
// description, usage line, arguments and options, so that the page cannot
// leave out what the program takes. The output is roff for a section of its
// own (the build adds it to the page help2man makes from --help).
#pragma once

#include <CLI/CLI.hpp>
#include <sstream>
#include <string>

namespace qv::cmdline {

// Text as roff reads it: backslashes and hyphens escaped, a control
// character at a line's start defused.
inline std::string RoffText(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
        lineStart = c == '\n';
    }
    return out;
}

namespace detail {

inline void RoffOptionList(std::ostringstream& out, const CLI::Formatter& fmt, const char* title,
                           const std::vector<const CLI::Option*>& opts, bool positional) {
    if (opts.empty()) return;
    out << ".PP\n.B " << title << "\n";
    for (const CLI::Option* opt : opts) {
        // The name in bold, what it takes in the plain face: "--format TEXT:{text,json,csv}".
        std::string opts_text = fmt.make_option_opts(opt);
        if (!opts_text.empty() && opts_text.front() == ' ') opts_text.erase(0, 1);
        out << ".TP\n\\fB" << RoffText(fmt.make_option_name(opt, positional)) << "\\fR";
        if (!opts_text.empty()) out << " " << RoffText(opts_text);
        out << "\n" << RoffText(opt->get_description()) << "\n";
    }
}

inline void RoffSubcommand(std::ostringstream& out, const CLI::Formatter& fmt, const CLI::App& sub,
                           const std::string& path) {
    out << ".SS \"" << RoffText(path) << "\"\n";
    if (!sub.get_description().empty()) out << RoffText(sub.get_description()) << "\n";
    std::string usage = fmt.make_usage(&sub, path);
    if (usage.rfind("Usage:", 0) == 0) usage.erase(0, 6);
    while (!usage.empty() && (usage.front() == ' ')) usage.erase(0, 1);
    while (!usage.empty() && usage.back() == '\n') usage.pop_back();
    out << ".PP\n.B Usage:\n.RS\n.nf\n" << RoffText(usage) << "\n.fi\n.RE\n";
    RoffOptionList(out, fmt, "Arguments:", sub.get_options([](const CLI::Option* o) {
        return o->get_positional() && !o->get_group().empty();
    }), true);
    RoffOptionList(out, fmt, "Options:", sub.get_options([&sub](const CLI::Option* o) {
        return o->nonpositional() && !o->get_group().empty() && o != sub.get_help_ptr() &&
               o != sub.get_help_all_ptr();
    }), false);
    for (const CLI::App* nested : sub.get_subcommands({}))
        if (!nested->get_name().empty() && !nested->get_disabled())
            RoffSubcommand(out, fmt, *nested, path + " " + nested->get_name());
}

}  // namespace detail

// Every subcommand of `app` (depth first, in the order they were defined),
// each as a subsection headed by its whole command line ("qvtool config set").
inline std::string SubcommandsRoff(const CLI::App& app) {
    std::ostringstream out;
    CLI::Formatter fmt;
    for (const CLI::App* sub : app.get_subcommands({}))
        if (!sub->get_name().empty() && !sub->get_disabled())
            detail::RoffSubcommand(out, fmt, *sub, app.get_name() + " " + sub->get_name());
    return out.str();
}

// A hidden flag that prints SubcommandsRoff and ends the program, for the
// build to make the manual page with.
inline void AddManPageFlag(CLI::App& app) {
    app.add_flag_callback(
           "--man-subcommands",
           [&app] {
               std::fputs(SubcommandsRoff(app).c_str(), stdout);
               throw CLI::Success();
           },
           "")
        ->group("");
}

}  // namespace qv::cmdline
