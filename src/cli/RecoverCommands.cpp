// qvtool recover: makes a capture whose run ended without Stop readable.
#include <cinttypes>
#include <cstdio>
#include <memory>

#include "cli/CaptureOpen.h"
#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "capture/CaptureRecovery.h"
#include "core/MessageText.h"

namespace qv::cli {

namespace {

void Recover(const std::string& capture) {
    const std::string index = IndexPathOf(capture);
    // What a copy or run killed before its first chunk leaves: an index
    // alone. Nothing can be recovered, and "nothing to recover" would read
    // as if the capture were whole; the reading commands say the same.
    if (CaptureIsIndexAlone(index))
        throw CommandError{kExitFailure,
                           index + ": " + MessageText(MessageId::kOpenIndexAlone, CliLanguage())};
    const bool needed = CaptureNeedsRecovery(index);
    RecoveryResult r;
    if (RecoverCapture(index, r) != 0) throw CommandError{kExitFailure, r.message};
    if (!needed) {
        std::printf("%s: nothing to recover (%" PRIu64 " records in %" PRIu64 " chunk files)\n",
                    index.c_str(), r.records, r.chunks);
        return;
    }
    std::printf("%s: recovered %" PRIu64 " records in %" PRIu64 " chunk files", index.c_str(),
                r.records, r.chunks);
    if (r.tornBytes > 0) std::printf("; %" PRIu64 " bytes of a torn record cut", r.tornBytes);
    if (r.emptyRemoved > 0)
        std::printf("; %" PRIu64 " chunk files without a record removed", r.emptyRemoved);
    std::printf("\n");
}

}  // namespace

void AddRecoverCommands(CLI::App& app) {
    auto* recover = app.add_subcommand(
        "recover", "Make a capture readable whose run ended without Stop (program killed, "
                   "power lost, disk full)");
    recover->footer(
        "A run that does not reach Stop leaves chunk files, some under temporary names\n"
        "(t000000001.qvd), that its index does not list. recover reads the chunk files\n"
        "themselves: it counts their records, cuts a torn last record, gives the chunks\n"
        "their final names (000000001.qvd, ...) in the order they were written, removes\n"
        "chunk files at the end that hold no record, and writes the chunk entries, the\n"
        "record total (FrameNum), StartTime and EndTime into the index. A chunk's date is\n"
        "the run's start date, a day later for each chunk that a new day opened.\n"
        "Trigger records of the run are not in the chunk files and cannot be recovered.\n"
        "A capture that needs nothing is left as it is, and one still being recorded is\n"
        "refused, as is a link or anything but a file in a chunk's place (nothing is\n"
        "changed then). A folder whose index lists no chunk and that holds no chunk\n"
        "file has nothing to recover: that is a failure, not \"nothing to recover\".\n"
        "Exit status 0 on success, 1 when the capture cannot be recovered.");
    auto capture = std::make_shared<std::string>();
    recover->add_option("CAPTURE", *capture, "The capture's .qvr index or its folder")
        ->required();
    recover->callback([capture] { Recover(*capture); });
}

}  // namespace qv::cli
