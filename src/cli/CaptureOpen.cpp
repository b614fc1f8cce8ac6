#include "cli/CaptureOpen.h"

#include <iostream>

#include "capture/CaptureFolderList.h"
#include "capture/CaptureFiles.h"
#include "capture/CaptureReader.h"
#include "capture/CaptureRecovery.h"
#include "capture/OpenFailure.h"
#include "cli/CliSupport.h"
#include "device/RunControl.h"
#include "cli/Commands.h"
#include "core/CodeTable.h"
#include "core/FileUtil.h"

namespace qv::cli {

// A capture is named by its index file or by its folder.
std::string IndexPathOf(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return IsDirectory(path) ? FindCaptureIndex(path) : path;
}

namespace {
std::optional<TimeZone> g_captureZone;
}  // namespace

LocalCalendar CaptureCalendar() {
    if (!g_captureZone && !ChosenZone().empty())
        return LocalCalendar(TimeZone::Named(ChosenZone()));
    return LocalCalendar(g_captureZone);
}

void OpenOrFail(CaptureReader& file, const std::string& capture) {
    const std::string index = IndexPathOf(capture);
    int rc = file.Open(index);
    if (rc == kQvrNoIndex && BusyLock::HeldElsewhere(index))
        throw CommandError{kExitFailure,
                           capture + ": the capture is being recorded now; it can be read "
                                     "once its run stops"};
    // A damaged chunk still lets the records before the damage be read.
    if (rc != 0 && !(rc == kQvrChunkRead && file.HasRecord())) {
        // The reason looks at the file itself: a missing file is not a
        // damaged index.
        std::string reason = rc == kQvrNoIndex && file.GetMalformedEntry() == 1
                                 ? MalformedEntryText(file)
                             : IsDirectory(capture) && !PathExists(index)
                                 ? "the folder holds no capture index (.qvr)"
                                 : CaptureOpenFailureReason(index, rc, CliLanguage());
        throw CommandError{kExitFailure, capture + ": " + reason + RecoverHint(index)};
    }
    if (rc == kQvrChunkRead)
        std::cerr << "qvtool: warning: " << capture << ": " << ReaderCodeText(rc) << "\n";
    if (file.GetMalformedEntry() != 0)
        std::cerr << "qvtool: warning: " << capture << ": " << MalformedEntryText(file) << "\n";
    g_captureZone = CaptureZone(file, ChosenZone());
}

std::string StartError(int rc) {
    switch (rc) {
        case kErrNoDeviceObject:
            return "the run was not started (declined, or no USB access)";
        case kErrStatusFile:
            return "the unit's status file cannot be loaded";
        case kErrCommand:
            return "the instrument did not take its settings";
        case kErrCardWrite:
            return "the settings could not be written to the card";
        case kErrAlreadyRunning:
            return "a run is already going";
        case kErrUnitNotFound:
            return "the selected unit is not connected";
        case kErrUnitBusy:
            return "the unit is busy: another run records from it now";
        case kErrNotMonitoring:
            return "the instrument did not start monitoring (an emulated instrument says why "
                   "on its standard error, such as a port it cannot open)";
        case kErrCaptureFolder:
            return "the capture folder cannot be made";
        case kErrCaptureFiles:
            return "the capture files cannot be made";
        default:
            return "the run could not start (code " + std::to_string(rc) + ")";
    }
}

std::string RecoverHint(const std::string& index) {
    if (!CaptureNeedsRecovery(index)) return {};
    return "; the capture's run did not end in order: \"qvtool recover " +
           index.substr(0, index.find_last_of('/') + 1) + "\" makes it readable";
}

namespace {

struct CodeName {
    const char* name;
    int code;
};
constexpr CodeName kCodeNames[] = {{"HEX", kDisplayHex},     {"ASCII", kDisplayAscii},
                                   {"JIS7", kDisplayJis7},   {"JIS8", kDisplayJis8},
                                   {"EBCDIC", kDisplayEbcdic}, {"SJIS", kDisplayShiftJis}};

}  // namespace

int CodeNumber(const std::string& name) {
    for (const auto& c : kCodeNames)
        if (name == c.name) return c.code;
    throw CommandError{kExitUsage,
                       "unknown code \"" + name + "\"; use HEX ASCII JIS7 JIS8 EBCDIC SJIS"};
}

void AddCodeOption(CLI::App& cmd, std::string& code, const std::string& help) {
    std::vector<std::string> names;
    for (const auto& c : kCodeNames)
        names.emplace_back(c.name);
    cmd.add_option("--code", code, help)->check(CLI::IsMember(names))->capture_default_str();
}

}  // namespace qv::cli
