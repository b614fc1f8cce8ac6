// qvtool save: a time range of a capture in one of the export formats (a new
// capture, CSV files, a pcapng file, ...). The options come from the format
// list: a folder format is a flag beside --out, a file format an option that
// names its file, and each format's choices an option of their own.
#include <cstdio>
#include <map>
#include <memory>

#include "capture/CaptureReader.h"
#include "cli/CaptureOpen.h"
#include "cli/CaptureWalk.h"
#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/RangeArgs.h"
#include "core/FileUtil.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "export/ExportRegistry.h"
#include "export/SaveWorker.h"

namespace qv::cli {

namespace {

struct SaveOptions {
    RangeArgs range;
    std::string capture;
    std::string out;
    bool overwrite = false;
    std::map<std::string, bool, std::less<>> folderFlags;         // --csv
    std::map<std::string, std::string, std::less<>> fileOptions;  // --pcapng FILE
    std::map<std::string, std::string, std::less<>> choices;      // --payload VALUE
    MessageArgs message;
};

// Shows a progress bar on a terminal, and what the pass could not read.
class SaveSink : public ISaveReport {
  public:
    void OnSaveReport(SaveReport report, int percent) override {
        if (report == SaveReport::kProgress) {
            if (m_tty) {
                std::string bar(static_cast<size_t>(percent / 10), '#');
                bar.resize(10, ' ');
                std::fprintf(stderr, "\r[%s] %3d%%", bar.c_str(), percent);
            }
            return;
        }
        if (report == SaveReport::kEnded && m_tty) std::fputs("\r\033[K", stderr);
    }
    void OnSaveNotice(const std::string& text) override {
        std::fflush(stdout);
        if (m_tty) std::fputs("\r\033[K", stderr);
        std::fprintf(stderr, "qvtool: %s\n", text.c_str());
    }

  private:
    bool m_tty = ShowProgress();
};

// "--pcapng FILE" for every file format, joined by " or ".
std::string FileOptionsText(const char* file) {
    std::string out;
    for (const ExportFormat* f : ExportFormats()) {
        if (f->Writes() != ExportFormat::Target::kFile) continue;
        if (!out.empty()) out += " or ";
        out += "--" + std::string(f->Name()) + " " + file;
    }
    return out;
}

void Save(const SaveOptions& o) {
    const ExportFormat* format = ExportFormats().front();
    std::string destination = o.out;
    for (const auto& [name, set] : o.folderFlags)
        if (set) format = FindExportFormat(name);
    for (const auto& [name, file] : o.fileOptions) {
        if (file.empty()) continue;
        format = FindExportFormat(name);
        destination = file;
    }
    const bool toFolder = format->Writes() == ExportFormat::Target::kFolder;
    if (toFolder && o.out.empty())
        throw CommandError{kExitUsage, "give --out FOLDER or " + FileOptionsText("FILE")};
    // Unlike --pcapng -, a save makes several files: "-" would be a folder
    // named "-", not standard output.
    if (toFolder && o.out == "-")
        throw CommandError{kExitUsage, "--out names a folder; standard output takes " +
                                           FileOptionsText("-") + " only"};
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    OpenOrFail(file, o.capture);

    ExportRequest request;
    request.source = file.GetIndexPath();
    if (!o.range.from.empty() || o.range.fromMark != 0) request.range = ResolveRange(file, o.range);
    request.destination = destination;
    request.overwrite = o.overwrite;
    request.timeZone = ChosenZone();
    for (const auto& [name, value] : o.choices)
        request.choices[name] = value;
    request.rule = RuleOf(o.message);
    request.application = ToolName();
    // Refused before the folder is made, so that a refused save leaves nothing.
    if (auto refused = format->Refusal(file, request))
        throw CommandError{refused->usage ? kExitUsage : kExitFailure, refused->error};
    if (toFolder) {
        request.madeFolder = !IsDirectory(destination);
        if (request.madeFolder && MakeDirectories(destination) != 0)
            throw CommandError{kExitFailure, "cannot make the folder " + destination};
        // A copy that could not be written whole is taken back, so that the
        // same command succeeds once there is room again.
        request.discardOnFailure = true;
    }
    SaveSink sink;
    SaveWorker worker(sink, *format, std::move(request));
    worker.Start();
    worker.Wait();
    const ExportResult& result = worker.Result();
    if (result.made) std::fputs(result.summary.c_str(), destination == "-" ? stderr : stdout);
    if (!result.error.empty())
        throw CommandError{result.usage ? kExitUsage : kExitFailure, result.error};
}

}  // namespace

void AddExportCommands(CLI::App& app) {
    // "as a new capture, as CSV files (--csv) or as a pcapng file (--pcapng)".
    const auto formats = ExportFormats();
    std::string what = "as " + std::string(formats.front()->Noun());
    for (size_t i = 1; i < formats.size(); ++i)
        what += std::string(i + 1 < formats.size() ? ", as " : " or as ") + formats[i]->Noun() +
                " (--" + std::string(formats[i]->Name()) + ")";
    auto* save = app.add_subcommand("save", "Save a time range of a capture " + what);
    auto o = std::make_shared<SaveOptions>();
    save->add_option("CAPTURE", o->capture, "The capture's .qvr index or its folder")->required();
    AddRangeOptions(*save, o->range);
    auto* out = save->add_option("--out", o->out, "Destination folder (made when missing)");
    std::vector<CLI::Option*> folderFlags, fileOptions;
    for (const ExportFormat* f : ExportFormats().subspan(1)) {
        const std::string name(f->Name());
        if (f->Writes() == ExportFormat::Target::kFolder)
            folderFlags.push_back(
                save->add_flag("--" + name, o->folderFlags[name], f->CommandHelp()));
    }
    save->add_flag("--overwrite", o->overwrite,
                   "Replace a capture or the CSV files the destination folder already holds, or "
                   "the pcapng file");
    for (const ExportFormat* f : ExportFormats().subspan(1)) {
        const std::string name(f->Name());
        if (f->Writes() != ExportFormat::Target::kFile) continue;
        auto* opt = save->add_option("--" + name, o->fileOptions[name], f->CommandHelp());
        opt->excludes(out);
        for (auto* flag : folderFlags)
            opt->excludes(flag);
        for (auto* other : fileOptions)
            opt->excludes(other);
        fileOptions.push_back(opt);
    }
    for (size_t i = 0; i < folderFlags.size(); ++i)
        for (size_t j = i + 1; j < folderFlags.size(); ++j)
            folderFlags[i]->excludes(folderFlags[j]);
    AddMessageOptions(*save, o->message, false);
    for (const ExportFormat* f : ExportFormats())
        for (const ExportChoice& c : f->Choices()) {
            const std::string name(c.name);
            if (o->choices.count(name)) continue;
            std::vector<std::string> values;
            for (const auto& v : c.values)
                values.emplace_back(v.name);
            o->choices[name] = values.front();
            save->add_option("--" + name, o->choices[name], c.help)
                ->check(CLI::IsMember(values))
                ->capture_default_str();
        }
    save->callback([o] { Save(*o); });
}

}  // namespace qv::cli
