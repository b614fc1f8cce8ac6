// Recovery of a capture whose run ended without Stop: the program killed,
// the power lost, the disk unplugged or full when the index was to be
// written. Such a capture holds chunk files (some under their temporary
// names "t000000001.qvd") that no index entry describes, so no reader can
// reach them. Recovery rebuilds the missing entries, the record total and
// the end time from the chunk files themselves, cuts a torn last record,
// gives the chunks their final names in the order they were written, and
// removes the space reserve of the run.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

// The file a run keeps in its capture folder while it goes on: space held
// back for the final rewrite of the index, so that a full disk cannot keep
// the index from being written. Stop and recovery remove it.
inline constexpr const char* kIndexReserveName = ".qvr-reserve";

struct RecoveryResult {
    uint64_t chunks = 0;       // chunk files the capture holds afterwards
    uint64_t records = 0;      // records they hold
    uint64_t tornBytes = 0;    // bytes of torn records cut off
    uint64_t emptyRemoved = 0; // chunk files without a record that were removed
    std::string message;       // why recovery failed
};

// Whether the capture of index `indexPath` shows a run that ended without
// Stop: chunk files under temporary names, numbered chunk files that no
// entry describes, or a space reserve left behind.
bool CaptureNeedsRecovery(const std::string& indexPath);

// Whether the capture is an index alone: its index lists no chunk and its
// folder holds no chunk file, as a copy or run killed before its first
// chunk leaves it. It has no records, and recovery cannot make any; a run
// still going is not one.
bool CaptureIsIndexAlone(const std::string& indexPath);

// Recovers the capture. 0 (also when there was nothing to do), or -1 with
// result.message set; nothing is removed before the new index is written,
// except torn bytes no reader could use.
int RecoverCapture(const std::string& indexPath, RecoveryResult& result);

}  // namespace qv
