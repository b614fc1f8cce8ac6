// What the stream decoder hands on: the records it decoded and the events of
// the stream, in stream order. The chunk files of a capture (ChunkSink) and
// the live ring of a watched run are two sinks; the decoder itself keeps no
// record and writes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qv {

// One record as it is stored. A short record (8 bytes: header, value, 48-bit
// time) has no `stored` bytes: the sink builds it from header, value and
// start. Any other record comes as its stored bytes.
struct DecodedRecord {
    uint8_t header = 0;
    uint8_t value = 0;            // short records: data, line state or event byte
    uint64_t start = 0;           // 10 ns ticks since midnight
    uint64_t end = 0;             // 10 ns ticks; equal to start for short records
    uint16_t length = 1;          // data bytes: 1 for short records
    const uint8_t* data = nullptr;  // frame records: `length` bytes
    const uint8_t* stored = nullptr;
    size_t storedSize = 0;
    // The line state and the event byte in force after this record.
    uint8_t lineState = 0;
    uint8_t eventByte = 0;
};

// A sweep of short data records the decoder wrote straight into a sink's
// room (ShortRoom), with what they add to the counters.
struct ShortSweep {
    const uint8_t* stored = nullptr;  // the records, 8 bytes each, in the room
    uint64_t records = 0;
    uint64_t kinds[4] = {};      // SD, RD, line changes, events
    uint64_t lineBits[8] = {};   // changes of line-state bit 7..0
    uint64_t eventBits[2] = {};  // changes of event bit 7 and bit 6
    uint8_t lineBefore = 0;      // line state in force before the sweep
    uint8_t lineState = 0;       // in force after the sweep
    uint8_t eventByte = 0;
};

class DecodeSink {
  public:
    virtual ~DecodeSink() = default;

    // A FIX capture at its frame limit takes no more records: the decoder
    // drops them without handing them on.
    virtual bool Full() const { return false; }
    // False while the capture takes no new day: the decoder stops in front
    // of the date item.
    virtual bool TakesNewDay() const { return true; }
    // A date item: the records from now on belong to day `yymmdd`.
    // `started` tells whether the day before had its leading record.
    virtual void NewDay(std::string_view /*yymmdd*/, bool /*started*/) {}
    // The computer's clock set the date (and time) the records count from.
    virtual void DateSet(std::string_view /*yymmdd*/) {}

    // The first record of a day: stored as received and not counted.
    virtual void LeadingRecord(const DecodedRecord& /*record*/) {}
    // A record; returns Full() as it is after it (one call per record where
    // two would cost the decoder's per-record path).
    virtual bool Record(const DecodedRecord& record) = 0;

    // Room for short records written in place: at most `records` of them
    // (0 when each record must come through Record), then ShortWritten.
    // The room stays valid until the sink is called again.
    virtual uint8_t* ShortRoom(uint64_t& records) {
        records = 0;
        return nullptr;
    }
    // Returns Full() as it is after the sweep.
    virtual bool ShortWritten(const ShortSweep& /*sweep*/) { return Full(); }

    // The instrument's memory overflowed (comes before its trigger event).
    virtual void BufferFull() {}
    // A trigger event of code `code` at `time` (10 ns ticks).
    virtual void Trigger(uint8_t /*code*/, uint64_t /*time*/) {}
};

}  // namespace qv
