// Binary layout of capture records in chunk files (.qvd) and the in-memory
// chunk and trigger entries. Every multi-byte field is little-endian. These
// helpers run once per record over captures of 10^8 records, so they work on
// raw byte pointers, allocate nothing and are constexpr where they can be.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "core/ProtocolTraits.h"

namespace qv {

// ---------------------------------------------------------------------------
// Header byte: bit 7 marks a stored record, bits 6-5 the kind, bits 4-0 flags
// passed through from the instrument.

enum class RecordKind : uint8_t { kSdData = 0, kRdData = 1, kLineChange = 2, kEvent = 3 };

inline constexpr uint8_t kHeaderStored = 0x80;
inline constexpr uint8_t kHeaderKindMask = 0x60;
inline constexpr int kHeaderKindShift = 5;
inline constexpr uint8_t kHeaderFlagMask = 0x1F;

// Flag bits. One bit means different things per protocol, hence the aliases.
inline constexpr uint8_t kFlagFramingError = 0x10;  // ASYNC data
inline constexpr uint8_t kFlagContinuation = 0x10;  // SYNC/HDLC data: frame built from pieces
inline constexpr uint8_t kFlagOverrunError = 0x08;  // ASYNC data
inline constexpr uint8_t kFlagFcsError = 0x08;      // SYNC/HDLC data
inline constexpr uint8_t kFlagParityError = 0x04;   // ASYNC data
inline constexpr uint8_t kFlagMpBit = 0x02;         // ASYNC data
inline constexpr uint8_t kFlagAbort = 0x02;         // SYNC/HDLC data
inline constexpr uint8_t kFlagLogicSdLevel = 0x02;  // LOGIC
inline constexpr uint8_t kFlagLogicRdLevel = 0x01;  // LOGIC

// The letter an ASYNC character's error flags show as wherever a record is
// shown or printed: 'p' parity, 'o' overrun, 'f' framing, and 'q' (p+o),
// 'j' (f+p), 'i' (f+o), 'x' (all three); 0 for none.
constexpr char ErrorLetter(uint8_t header) {
    constexpr char kLetters[] = {0, 'p', 'o', 'q', 'f', 'j', 'i', 'x'};
    return kLetters[(header >> 2) & 7];
}

constexpr uint8_t MakeHeader(RecordKind kind, uint8_t flags = 0) {
    return static_cast<uint8_t>(kHeaderStored | (static_cast<uint8_t>(kind) << kHeaderKindShift) |
                                (flags & kHeaderFlagMask));
}
constexpr RecordKind HeaderKind(uint8_t header) {
    return static_cast<RecordKind>((header & kHeaderKindMask) >> kHeaderKindShift);
}
constexpr bool HeaderIsStored(uint8_t header) {
    return (header & kHeaderStored) != 0;
}
constexpr uint8_t HeaderFlags(uint8_t header) {
    return header & kHeaderFlagMask;
}
constexpr bool IsDataKind(RecordKind kind) {
    return kind == RecordKind::kSdData || kind == RecordKind::kRdData;
}

// Line state byte of a line-change record: a set bit is the line's active level.
inline constexpr uint8_t kLineRs = 0x80;
inline constexpr uint8_t kLineCs = 0x40;
inline constexpr uint8_t kLineEr = 0x20;
inline constexpr uint8_t kLineDr = 0x10;
inline constexpr uint8_t kLineCd = 0x08;
inline constexpr uint8_t kLineCi = 0x04;
inline constexpr uint8_t kLineExtIn = 0x02;
inline constexpr uint8_t kLineExtOut = 0x01;

// Event byte of an event record; the other bits are unused.
inline constexpr uint8_t kEventSdBreak = 0x80;
inline constexpr uint8_t kEventRdBreak = 0x40;

// ---------------------------------------------------------------------------
// Little-endian fields. Time stamps are 10 ns ticks stored in 48 bits.

inline constexpr uint64_t kMaxTimeStamp = (uint64_t{1} << 48) - 1;

constexpr uint16_t ReadLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
constexpr void WriteLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
// Written out byte by byte, so that the compiler makes one load (store) of
// four bytes and one of two: these run for every record read or written.
constexpr uint64_t ReadLe48(const uint8_t* p) {
    return uint64_t{p[0]} | uint64_t{p[1]} << 8 | uint64_t{p[2]} << 16 | uint64_t{p[3]} << 24 |
           uint64_t{p[4]} << 32 | uint64_t{p[5]} << 40;
}
// Bits above 47 are dropped; a time of day (at most 24 h) never has them.
constexpr void WriteLe48(uint8_t* p, uint64_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
    p[4] = static_cast<uint8_t>(v >> 32);
    p[5] = static_cast<uint8_t>(v >> 40);
}

// ---------------------------------------------------------------------------
// Short record (8 bytes): header, value, 48-bit time stamp.
// The value is the data character (kinds 0/1), the line state (kind 2), the
// event byte (kind 3) or, in LOGIC captures, the sample.

inline constexpr size_t kShortRecordSize = 8;

struct ShortRecord {
    uint8_t header = 0;
    uint8_t value = 0;
    uint64_t time = 0;  // 10 ns ticks since local midnight
};

constexpr void EncodeShortRecord(uint8_t* out, const ShortRecord& r) {
    out[0] = r.header;
    out[1] = r.value;
    WriteLe48(out + 2, r.time);
}
constexpr ShortRecord DecodeShortRecord(const uint8_t* in) {
    return ShortRecord{in[0], in[1], ReadLe48(in + 2)};
}

// ---------------------------------------------------------------------------
// Frame record (16 + N bytes) of SYNC/HDLC data: header, start time, end time,
// a reserved 0 byte, N as LE16, then N data bytes.

inline constexpr size_t kFrameHeaderSize = 16;
inline constexpr size_t kMaxFrameData = 65'535;

struct FrameHeader {
    uint8_t header = 0;
    uint64_t start = 0;   // 10 ns ticks
    uint64_t end = 0;     // 10 ns ticks
    uint16_t length = 0;  // N, the data bytes that follow
};

constexpr void EncodeFrameHeader(uint8_t* out, const FrameHeader& f) {
    out[0] = f.header;
    WriteLe48(out + 1, f.start);
    WriteLe48(out + 7, f.end);
    out[13] = 0;
    WriteLe16(out + 14, f.length);
}
constexpr FrameHeader DecodeFrameHeader(const uint8_t* in) {
    return FrameHeader{in[0], ReadLe48(in + 1), ReadLe48(in + 7), ReadLe16(in + 14)};
}
constexpr size_t FrameRecordSize(uint16_t dataLength) {
    return kFrameHeaderSize + dataLength;
}

// Length of the record that starts at bytes[0], or 0 while too few bytes are
// there to know it (an empty buffer, or a frame header cut short). The caller
// still has to check that the whole record fits: a corrupt or truncated chunk
// must end the walk, not read past the buffer.
constexpr size_t RecordSizeAt(std::span<const uint8_t> bytes, bool frameRecords) {
    if (bytes.empty()) return 0;
    if (!frameRecords || !IsDataKind(HeaderKind(bytes[0]))) return kShortRecordSize;
    if (bytes.size() < kFrameHeaderSize) return 0;
    return FrameRecordSize(ReadLe16(bytes.data() + 14));
}

// The leading record of a chunk opened because the previous one was full:
// a line-change header with time 0 that carries the line state forward.
inline constexpr uint8_t kRotatedLeadingHeader = 0xC0;
static_assert(kRotatedLeadingHeader == MakeHeader(RecordKind::kLineChange));

constexpr void EncodeRotatedLeadingRecord(uint8_t* out, uint8_t lineState) {
    EncodeShortRecord(out, ShortRecord{kRotatedLeadingHeader, lineState, 0});
}

// ---------------------------------------------------------------------------
// Date texts kept in fixed 8-byte fields: YYMMDD, zero-filled, not always
// NUL-terminated when all 8 bytes are used.

inline constexpr size_t kDateFieldSize = 8;

constexpr std::string_view DateFieldText(const char (&field)[kDateFieldSize]) {
    size_t n = 0;
    while (n < kDateFieldSize && field[n] != '\0')
        ++n;
    return std::string_view(field, n);
}
// False, field unchanged, when the text does not fit in 8 bytes.
constexpr bool SetDateField(char (&field)[kDateFieldSize], std::string_view text) {
    if (text.size() > kDateFieldSize) return false;
    for (size_t i = 0; i < kDateFieldSize; ++i)
        field[i] = i < text.size() ? text[i] : '\0';
    return true;
}

// ---------------------------------------------------------------------------
// Chunk administration entry: one per chunk file. The leading record is not
// counted.

struct ChunkEntry {
    char date[kDateFieldSize] = {};  // YYMMDD of the chunk's records
    uint64_t startTime = 0;          // time stamp of the first record, 10 ns ticks
    uint32_t sdRecords = 0;          // kind 0
    uint32_t rdRecords = 0;          // kind 1
    uint32_t lineChanges = 0;        // kind 2
    uint32_t events = 0;             // kind 3
    // Line-change records in which a line-state bit changed against the
    // previous line state: [0] counts bit 7 (RS) down to [7] bit 0 (Ext OUT).
    uint32_t lineBitChanges[8] = {};
    // Event records in which an event bit changed: [0] bit 7, [1] bit 6.
    uint32_t eventBitChanges[2] = {};

    constexpr uint64_t RecordCount() const {
        return uint64_t{sdRecords} + rdRecords + lineChanges + events;
    }

    // Counts one line-change record and the bits that differ from prev.
    constexpr void CountLineChange(uint8_t prev, uint8_t now) {
        ++lineChanges;
        const uint8_t changed = prev ^ now;
        for (int i = 0; i < 8; ++i)
            if (changed & (0x80 >> i)) ++lineBitChanges[i];
    }
    // Counts one event record and the event bits that differ from prev.
    constexpr void CountEvent(uint8_t prev, uint8_t now) {
        ++events;
        const uint8_t changed = prev ^ now;
        if (changed & kEventSdBreak) ++eventBitChanges[0];
        if (changed & kEventRdBreak) ++eventBitChanges[1];
    }

    // Adds the counters of another chunk (for capture totals); the date and
    // start time stay this entry's own.
    constexpr ChunkEntry& AddCounters(const ChunkEntry& o) {
        sdRecords += o.sdRecords;
        rdRecords += o.rdRecords;
        lineChanges += o.lineChanges;
        events += o.events;
        for (int i = 0; i < 8; ++i)
            lineBitChanges[i] += o.lineBitChanges[i];
        for (int i = 0; i < 2; ++i)
            eventBitChanges[i] += o.eventBitChanges[i];
        return *this;
    }
};

// ---------------------------------------------------------------------------
// Trigger event reported by the instrument during a run.

inline constexpr int32_t kTriggerCodeMemoryOverflow = 255;
inline constexpr size_t kMaxTriggerEvents = 1000;

struct TriggerEvent {
    uint64_t chunk = 0;              // 1-based slot of the chunk being written
    char date[kDateFieldSize] = {};  // YYMMDD current at the event
    uint64_t time = 0;               // 10 ns ticks
    int32_t code = 0;                // event code byte; 255 is a memory overflow
};

}  // namespace qv
