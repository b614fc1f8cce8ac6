#include "export/LineStats.h"

namespace qv {

LineStats::LineStats(Protocol protocol, const AsyncCharTiming& timing, const MessageRule& rule)
    : m_protocol(protocol), m_splitter(protocol, timing, rule, *this) {}

void LineStats::Add(const WalkRecord& r) {
    if (m_records == 0 || r.start < m_first) m_first = r.start;
    if (m_records == 0 || r.end > m_last) m_last = r.end;
    ++m_records;
    switch (r.kind) {
        case RecordKind::kSdData:
        case RecordKind::kRdData: {
            const int dir = r.kind == RecordKind::kSdData ? kDirSd : kDirRd;
            DirectionStats& d = m_dir[dir];
            d.bytes += r.data.size();
            const uint8_t e = RecordErrors(m_protocol, r.header);
            d.parity += (e & kErrParity) != 0;
            d.framing += (e & kErrFraming) != 0;
            d.overrun += (e & kErrOverrun) != 0;
            d.fcs += (e & kErrFcs) != 0;
            d.abort += (e & kErrAbort) != 0;
            m_splitter.AddData(r);
            break;
        }
        case RecordKind::kLineChange: {
            m_splitter.Idle(r.end);
            // The first change of a walk is compared with the state the
            // reader gives the record before it; without one, not counted.
            if (m_haveLine) {
                const uint8_t changed = m_line ^ r.value;
                for (int i = 0; i < 8; ++i)
                    if (changed & (0x80 >> i)) ++m_lineChanges[static_cast<size_t>(i)];
            }
            m_line = r.value;
            m_haveLine = true;
            return;
        }
        case RecordKind::kEvent: {
            m_splitter.Idle(r.end);
            if (TraitsOf(m_protocol).breakEvents) {
                const uint8_t began = static_cast<uint8_t>(r.value & ~m_event);
                if (began & kEventSdBreak) {
                    ++m_dir[kDirSd].breaks;
                    m_splitter.Break(kDirSd);
                }
                if (began & kEventRdBreak) {
                    ++m_dir[kDirRd].breaks;
                    m_splitter.Break(kDirRd);
                }
                m_event = r.value;
            }
            break;
        }
    }
    m_line = r.lineState;
    m_haveLine = true;
}

void LineStats::OnMessage(const Message& m) {
    DirectionStats& d = m_dir[m.dir];
    ++d.messages;
    d.lengths.Add(static_cast<int64_t>(m.bytes.size()));
    if (m.gapBefore >= 0) d.gaps.Add(m.gapBefore);
    if (m.prevDir >= 0 && m.prevDir != m.dir) d.turnaround.Add(m.gapBefore);
}

void LineStats::Finish() {
    m_splitter.Finish();
}

double LineStats::CharRate(int dir) const {
    const int64_t span = m_last - m_first;
    if (span <= 0) return 0;
    return static_cast<double>(m_dir[dir].bytes) * 1e8 / static_cast<double>(span);
}

}  // namespace qv
