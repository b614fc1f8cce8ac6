// qvtool save: a time range of a capture as a new capture or as CSV files.
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <iostream>
#include <memory>

#include "capture/CaptureReader.h"
#include "cli/CaptureOpen.h"
#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/PcapngSave.h"
#include "cli/RangeArgs.h"
#include "core/FileUtil.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "export/CsvExporter.h"
#include "export/RangeCopier.h"
#include "export/SaveWorker.h"

namespace qv::cli {

namespace {

struct SaveOptions {
    RangeArgs range;
    std::string capture;
    std::string out;
    bool csv = false;
    bool overwrite = false;
    std::string pcapng;
    MessageArgs message;
};

// Shows a progress bar on a terminal and keeps the ending.
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
        if (report == SaveReport::kEnded) {
            if (m_tty) std::fputs("\r\033[K", stderr);
            return;
        }
        ending = report;
    }
    SaveReport ending = SaveReport::kFailed;

  private:
    bool m_tty = ShowProgress();
};

void Save(const SaveOptions& o) {
    if (!o.pcapng.empty()) {
        SavePcapng(PcapngArgs{o.capture, o.range, o.message, o.pcapng, o.overwrite});
        return;
    }
    if (o.out.empty()) throw CommandError{kExitUsage, "give --out FOLDER or --pcapng FILE"};
    // Unlike --pcapng -, a save makes several files: "-" would be a folder
    // named "-", not standard output.
    if (o.out == "-")
        throw CommandError{kExitUsage, "--out names a folder; standard output takes "
                                       "--pcapng - only"};
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    OpenOrFail(file, o.capture);
    auto [a, b] = ResolveRange(file, o.range);
    // Refused before the folder is made, so that a refused range leaves nothing.
    SaveRange range;
    if (!CheckSaveRange(file, a, b, range))
        throw CommandError{kExitFailure, "the range lies outside the capture"};
    if (!o.csv) {
        switch (CheckCopyTarget(file.GetIndexPath(), o.out, o.overwrite)) {
            case CopyTarget::kSourceFolder:
                throw CommandError{kExitUsage, o.out +
                                                   " is the folder of the capture being saved; "
                                                   "choose another folder"};
            case CopyTarget::kHoldsCapture:
                throw CommandError{kExitUsage, o.out +
                                                   " already holds a capture; give --overwrite "
                                                   "to replace it"};
            case CopyTarget::kFree:
                break;
        }
    }
    if (o.csv && !o.overwrite && HoldsCsvExport(o.out))
        throw CommandError{kExitUsage, o.out +
                                           " already holds the CSV files of an export; give "
                                           "--overwrite to replace them"};
    const bool madeFolder = !IsDirectory(o.out);
    if (madeFolder && MakeDirectories(o.out) != 0)
        throw CommandError{kExitFailure, "cannot make the folder " + o.out};
    SaveSink sink;
    SaveWorker worker(sink, o.csv ? SaveKind::kCsv : SaveKind::kCopy, file.GetIndexPath(), o.out);
    worker.SetOverwrite(o.overwrite);
    // A copy that could not be written whole is taken back, so that the same
    // command succeeds once there is room again.
    worker.SetDiscardOnFailure(true, madeFolder);
    worker.Start(a, b);
    worker.Wait();
    switch (sink.ending) {
        case SaveReport::kRangeDone:
        case SaveReport::kCaptureEnd:
            break;
        case SaveReport::kStartRefused:
            throw CommandError{kExitFailure, o.out + " takes no files; nothing was saved"};
        default:
            if (!worker.UnreadableChunk().empty())
                throw CommandError{kExitFailure,
                                   worker.UnreadableChunk() + " cannot be read: the save stopped after " +
                                       std::to_string(worker.Written()) +
                                       " records; what was written stays"};
            throw CommandError{kExitFailure,
                               "writing to " + o.out + " failed after " +
                                   std::to_string(worker.Written()) + " records" +
                                   (worker.Discarded() ? "; the partial copy was removed, "
                                                         "nothing was saved"
                                                       : "; what was written stays")};
    }
    if (o.csv)
        std::printf("%" PRIu64 " rows in %" PRIu64 " CSV files in %s\n", worker.Written(),
                    worker.Files(), o.out.c_str());
    else
        std::printf("%" PRIu64 " records in %" PRIu64 " chunk files: %s\n", worker.Written(),
                    worker.Files(), CaptureIndexPathOf(o.out).c_str());
}

}  // namespace

void AddExportCommands(CLI::App& app) {
    auto* save = app.add_subcommand(
        "save",
        "Save a time range of a capture as a new capture, as CSV files (--csv) or as a pcapng "
        "file (--pcapng)");
    auto o = std::make_shared<SaveOptions>();
    save->add_option("CAPTURE", o->capture, "The capture's .qvr index or its folder")->required();
    AddRangeOptions(*save, o->range);
    auto* out = save->add_option("--out", o->out, "Destination folder (made when missing)");
    auto* csv =
        save->add_flag("--csv", o->csv, "Write CSV files 1.csv, 2.csv, ... instead of a capture");
    save->add_flag("--overwrite", o->overwrite,
                   "Replace a capture or the CSV files the destination folder already holds, or "
                   "the pcapng file");
    save->add_option("--pcapng", o->pcapng,
                     "Write a pcapng file (- for standard output): one packet per message, "
                     "RTAC serial link type, for Wireshark and tshark")
        ->excludes(out)
        ->excludes(csv);
    AddMessageOptions(*save, o->message, true);
    save->callback([o] { Save(*o); });
}

}  // namespace qv::cli
