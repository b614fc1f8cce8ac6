// The capture stream decoder. It takes the bytes read from the instrument
// and turns every item into a decoded record or a stream event (a new day, a
// trigger, the instrument's buffer overflow or stop notice), handed to the
// capture's sink (the chunk files) and, while a view watches the run, to a
// live sink (the live ring). It opens no file and keeps no record: an offline
// decode runs it over a sink that writes nothing, and spends nothing on the
// live ring.
//
// Items may arrive split at any byte: Decode consumes every complete item at
// the front of the receive buffer and leaves an incomplete one there for the
// next read. Notices (the stop notice, a FIX run at its limit) go to a
// RunNoticeSink, which chooses how to show them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "capture/CaptureRecord.h"
#include "capture/DecodeSink.h"
#include "core/RunNotice.h"
#include "device/StreamItem.h"

namespace qv {

// Bytes read from the instrument and not yet decoded: room for one 1 MiB
// status-driven read on top of whatever incomplete item waits at the front.
class ReceiveBuffer {
  public:
    static constexpr size_t kSize = 33'554'944;  // 32 MiB + 512

    ReceiveBuffer() : m_bytes(new uint8_t[kSize]) {}
    uint8_t* FreeSpace() { return m_bytes.get() + m_fill; }
    size_t FreeSize() const { return kSize - m_fill; }
    // Counts `n` bytes just read into FreeSpace.
    void Commit(size_t n) { m_fill += n < FreeSize() ? n : FreeSize(); }
    const uint8_t* Data() const { return m_bytes.get(); }
    size_t Fill() const { return m_fill; }
    // Drops `n` decoded bytes from the front, moving the rest down.
    void Consume(size_t n);
    void Clear() { m_fill = 0; }

  private:
    std::unique_ptr<uint8_t[]> m_bytes;
    size_t m_fill = 0;
};

class StreamDecoder {
  public:
    // `capture` must outlive the decoder; `notices` may be null.
    explicit StreamDecoder(DecodeSink& capture, RunNoticeSink* notices = nullptr);
    ~StreamDecoder();
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    // Clears the stream state for a new run of `protocol`.
    void Reset(Protocol protocol);
    // The sink that also sees every record while a view watches the run;
    // null (the default) when no one does. Reset keeps the choice.
    void SetLiveSink(DecodeSink* live) {
        FlushSweep();
        m_live = live;
    }

    // Decodes every complete item at the front of the buffer and removes it.
    void Decode(ReceiveBuffer& buffer);
    // The same over bytes held elsewhere (a block of a stream file read
    // ahead): returns how many it took; the rest starts with an incomplete
    // item, or with the item decoding stopped in front of.
    size_t Decode(const uint8_t* bytes, size_t n);
    // Convenience for tools and tests: appends the bytes to the buffer,
    // decoding whenever it fills, then decodes.
    void Feed(ReceiveBuffer& buffer, std::span<const uint8_t> bytes);

    const std::string& DateText() const { return m_date; }
    bool BufferFull() const { return m_bufferFull; }
    bool DateSeen() const { return m_dateSeen; }
    bool Started() const { return m_started; }
    uint64_t RunningTime() const { return m_running; }
    uint8_t LineState() const { return m_lineState; }
    // Data items dropped because a FIX run was full.
    uint64_t DroppedAtLimit() const { return m_droppedAtLimit; }

  private:
    // A capture at its frame limit drops the record (true).
    bool DropAtLimit();
    size_t DecodeItems(const uint8_t* p, size_t n);
    // Returns false when decoding must stop in front of this item.
    bool HandleControl(const StreamItem& item);
    void HandleShortData(uint8_t header, uint8_t value, uint16_t step);
    // Decodes the data items at `p` (n bytes) in one sweep while nothing
    // else needs doing; returns the bytes it took (whole items, maybe none).
    size_t DecodeDataRun(const uint8_t* p, size_t n);
    void HandleLineChange8(const uint8_t* raw, const StreamItem& item);
    void HandleFrame(const StreamItem& item);
    void EmitFrameRecord(uint8_t* stored, size_t dataLength, const FrameHeader& head);
    void Trigger(uint8_t code);
    // The line state and event byte after a record of `header` carrying `value`.
    void Track(uint8_t header, uint8_t value);
    // The capture sink, for any call but the sweep's: the records of an
    // open sweep are handed on first, so that the sink sees stream order.
    DecodeSink& Capture() {
        if (m_roomLeft > 0 || m_sweep.records > 0) FlushSweep();
        return m_capture;
    }
    void FlushSweep();
    void Emit(const DecodedRecord& record) {
        if (m_live) m_live->Record(record);
        m_full = Capture().Record(record);
    }
    void Notify(RunNotice notice) {
        if (m_notices) m_notices->OnNotice(notice);
    }

    DecodeSink& m_capture;
    DecodeSink* m_live = nullptr;
    RunNoticeSink* m_notices;
    StreamLayout m_layout = StreamLayout::kShort;

    std::string m_date;  // YYMMDD of the records now arriving
    bool m_bufferFull = false;
    bool m_started = false;
    bool m_dateSeen = false;
    bool m_limitReported = false;
    uint64_t m_running = 0;  // 10 ns ticks since midnight
    uint8_t m_lineState = 0;
    uint8_t m_eventByte = 0;
    uint64_t m_skip = 0;  // filler bytes still to skip
    uint64_t m_droppedAtLimit = 0;
    bool m_full = false;  // the capture's Full(), as it last told

    // Short records written straight into the capture's room: one sweep,
    // handed on when the room is used up or the capture is called otherwise,
    // so that the time items between data runs cost no call.
    uint8_t* m_room = nullptr;
    uint64_t m_roomLeft = 0;  // records the room still takes
    ShortSweep m_sweep;

    // Frame assembly: a 16-byte frame record header followed by the data.
    std::unique_ptr<uint8_t[]> m_assembly;
    size_t m_assembledData = 0;
    size_t m_pieces = 0;
    uint8_t m_assemblyHeader = 0;
    uint64_t m_assemblyStart = 0;
};

}  // namespace qv
