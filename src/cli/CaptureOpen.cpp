#include "cli/CaptureOpen.h"

#include <iostream>

#include "capture/CaptureFolderList.h"
#include "capture/CaptureReader.h"
#include "capture/OpenFailure.h"
#include "cli/CliSupport.h"
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

std::string ReaderError(int rc) {
    switch (rc) {
        case kQvrNoIndex:
            return "not a capture index, or it lists no chunk";
        case kQvrChunkOpen:
            return "a chunk file of the capture cannot be opened";
        case kQvrBadProtocol:
            return "the capture's protocol is unknown";
        case kQvrChunkRead:
            return "a chunk file of the capture is damaged";
        case kQvrChunkTooLarge:
            return "a chunk holds more records than a capture may";
        case kQvrNotFound:
            return "no such record in the capture";
        default:
            return "cannot read the capture (code " + std::to_string(rc) + ")";
    }
}

std::string MalformedEntryText(const CaptureReader& file) {
    const uint64_t n = file.GetMalformedEntry();
    return "the index's chunk entry " + std::to_string(n) +
           " is malformed: the capture is read up to chunk " + std::to_string(n - 1) +
           " (records " + std::to_string(file.GetTotalRecords()) + ")";
}

void OpenOrFail(CaptureReader& file, const std::string& capture) {
    const std::string index = IndexPathOf(capture);
    int rc = file.Open(index);
    // A damaged chunk still lets the records before the damage be read.
    if (rc != 0 && !(rc == kQvrChunkRead && file.HasRecord())) {
        // The reason looks at the file itself: a missing file is not a
        // damaged index.
        std::string reason = rc == kQvrNoIndex && file.GetMalformedEntry() == 1
                                 ? MalformedEntryText(file)
                             : IsDirectory(capture) && !PathExists(index)
                                 ? "the folder holds no capture index (.qvr)"
                                 : CaptureOpenFailureReason(index, rc, CliLanguage());
        throw CommandError{kExitFailure, capture + ": " + reason};
    }
    if (rc == kQvrChunkRead)
        std::cerr << "qvtool: warning: " << capture << ": " << ReaderError(rc) << "\n";
    if (file.GetMalformedEntry() != 0)
        std::cerr << "qvtool: warning: " << capture << ": " << MalformedEntryText(file) << "\n";
}

int CodeNumber(const std::string& name) {
    if (name == "HEX") return kDisplayHex;
    if (name == "ASCII") return kDisplayAscii;
    if (name == "JIS7") return kDisplayJis7;
    if (name == "JIS8") return kDisplayJis8;
    if (name == "EBCDIC") return kDisplayEbcdic;
    if (name == "SJIS") return kDisplayShiftJis;
    throw CommandError{kExitUsage,
                       "unknown code \"" + name + "\"; use HEX ASCII JIS7 JIS8 EBCDIC SJIS"};
}

}  // namespace qv::cli
