// A chunk file counted from its own bytes: what a chunk entry of the index
// says about it, rebuilt without the index. A run that ended without Stop
// left chunks no entry describes, and a write that failed on a full disk
// left chunks that hold fewer records than were counted on their way to it;
// both are put right from this.
#pragma once

#include <cstdint>
#include <string>

#include "capture/CaptureRecord.h"

namespace qv {

struct ChunkScan {
    bool opened = false;      // the file could be read
    bool hasLeading = false;  // it holds at least its 8-byte leading record
    uint8_t leading[kShortRecordSize] = {};
    uint64_t fileBytes = 0;
    // Bytes up to the end of the last whole record; a torn record after it
    // is what a write cut short.
    uint64_t wholeBytes = 0;
    // Counters and start time (the first record's); the date is left empty,
    // since a chunk file does not carry it.
    ChunkEntry entry;
    uint64_t firstTicks = 0;  // time of the first record, 10 ns ticks
    uint64_t lastTicks = 0;   // end time of the last record
    uint8_t lastEvent = 0;    // the event byte after the chunk's last event record

    uint64_t Records() const { return entry.RecordCount(); }
    // Whether the leading record is the one a chunk switch writes (header
    // 0xC0, time 0) rather than the first item of a run or of a new day.
    bool RotatedLeading() const;
};

// Scans chunk file `path` of a capture with protocol byte `protocol`.
// `eventBefore` is the event byte in force before the chunk (event changes
// count against it); the line state comes from the leading record. false
// when the file cannot be read.
bool ScanChunkFile(const std::string& path, Protocol protocol, uint8_t eventBefore,
                   ChunkScan& out);

}  // namespace qv
