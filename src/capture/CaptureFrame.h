// One decoded capture record, copied out of the reader: its raw bytes (the
// 8-byte short record, or the 16-byte frame header), the line state that goes
// with it and, for SYNC/HDLC data frames, the payload. Refilling keeps the
// payload buffer, so reading record after record allocates nothing.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "capture/CaptureRecord.h"

namespace qv {

class CaptureFrame {
  public:
    // Fills from the record at `record` of a capture with `protocol`. Inline:
    // a long read fills one frame for every record.
    void Assign(Protocol protocol, const uint8_t* record, uint8_t lineState) {
        m_lineState = lineState;
        m_frame = UsesFrameRecords(protocol) && IsDataKind(HeaderKind(record[0]));
        if (m_frame) {
            std::memcpy(m_raw, record, kFrameHeaderSize);
            const uint16_t n = ReadLe16(record + 14);
            m_payload.assign(record + kFrameHeaderSize, record + kFrameHeaderSize + n);
        } else {
            std::memcpy(m_raw, record, kShortRecordSize);
            std::memset(m_raw + kShortRecordSize, 0, kFrameHeaderSize - kShortRecordSize);
            m_payload.clear();
        }
    }

    uint8_t Header() const { return m_raw[0]; }
    RecordKind Kind() const { return HeaderKind(m_raw[0]); }
    uint8_t LineState() const { return m_lineState; }
    bool IsFrameRecord() const { return m_frame; }
    // Short record: byte 1 (data, line state, event byte or LOGIC sample).
    uint8_t Value() const { return m_raw[1]; }
    // Time stamps in 10 ns ticks; a short record has one stamp for both.
    uint64_t StartTicks() const { return ReadLe48(m_raw + (m_frame ? 1 : 2)); }
    uint64_t EndTicks() const { return ReadLe48(m_raw + (m_frame ? 7 : 2)); }
    // Data length: 1 for short records, the payload length for frames.
    uint32_t DataLength() const { return m_frame ? static_cast<uint32_t>(m_payload.size()) : 1; }
    // The record's data: byte 1 of a short record, the payload of a frame.
    std::span<const uint8_t> Data() const {
        return m_frame ? std::span<const uint8_t>(m_payload)
                       : std::span<const uint8_t>(m_raw + 1, 1);
    }
    // The raw header: 8 bytes of a short record, 16 of a frame record.
    std::span<const uint8_t> RawHeader() const {
        return {m_raw, m_frame ? kFrameHeaderSize : kShortRecordSize};
    }

  private:
    bool m_frame = false;
    uint8_t m_lineState = 0;
    uint8_t m_raw[kFrameHeaderSize] = {};
    std::vector<uint8_t> m_payload;
};

}  // namespace qv
