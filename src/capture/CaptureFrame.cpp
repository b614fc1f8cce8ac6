#include "capture/CaptureFrame.h"

#include <cstring>

namespace qv {

void CaptureFrame::Assign(int protocol, const uint8_t* record, uint8_t lineState) {
    m_protocol = protocol;
    m_lineState = lineState;
    m_frame = UsesFrameRecords(protocol) && IsDataKind(HeaderKind(record[0]));
    if (m_frame) {
        std::memcpy(m_raw, record, kFrameHeaderSize);
        uint16_t n = ReadLe16(record + 14);
        m_payload.assign(record + kFrameHeaderSize, record + kFrameHeaderSize + n);
    } else {
        std::memcpy(m_raw, record, kShortRecordSize);
        std::memset(m_raw + kShortRecordSize, 0, kFrameHeaderSize - kShortRecordSize);
        m_payload.clear();
    }
}

}  // namespace qv
