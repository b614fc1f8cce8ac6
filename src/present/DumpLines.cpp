#include "present/DumpLines.h"

#include <algorithm>

#include "capture/CaptureReader.h"

namespace qv {

void DumpLines::SetShape(int mode, int bytesPerLine, int pageLines) {
    m_mode = (mode == kDumpSd || mode == kDumpRd) ? mode : kDumpDual;
    m_bytesPerLine = std::max(1, bytesPerLine);
    m_pageLines = std::max(1, pageLines);
}

bool DumpLines::Shows(uint8_t header) const {
    RecordKind kind = HeaderKind(header);
    if (m_mode == kDumpSd) return kind == RecordKind::kSdData;
    if (m_mode == kDumpRd) return kind == RecordKind::kRdData;
    return IsDataKind(kind);
}

int DumpLines::JumpType() const {
    if (m_mode == kDumpSd) return kJumpSd;
    if (m_mode == kDumpRd) return kJumpRd;
    return kJumpData;
}

bool DumpLines::CursorShows() const {
    uint8_t header = 0;
    return m_reader.GetHeaderByte(header) == kQvrOk && Shows(header);
}

uint64_t DumpLines::TotalBytes() const {
    uint64_t sd = m_reader.GetTotal(kCountSd), rd = m_reader.GetTotal(kCountRd);
    if (m_mode == kDumpSd) return sd;
    if (m_mode == kDumpRd) return rd;
    return sd + rd;
}

uint64_t DumpLines::TotalLines() const {
    uint64_t total = TotalBytes();
    return total / m_bytesPerLine + (total % m_bytesPerLine ? 1 : 0);
}

uint64_t DumpLines::LastPageLine() const {
    uint64_t lines = TotalLines();
    return lines > uint64_t(m_pageLines) ? lines - m_pageLines : 0;
}

uint64_t DumpLines::ClampLine(uint64_t line) const {
    return std::min(line, LastPageLine());
}

int DumpLines::ByteAtCursor(uint64_t& byte) const {
    uint8_t header = 0;
    if (m_reader.GetHeaderByte(header) != kQvrOk || !Shows(header)) return kQvrNotFound;
    KindOrdinals ord;
    int rc = m_reader.GetKindOrdinals(ord);
    if (rc != kQvrOk) return rc;
    // The ordinals count the current record itself.
    uint64_t n = m_mode == kDumpSd ? ord.sd : m_mode == kDumpRd ? ord.rd : ord.sd + ord.rd;
    if (n == 0) return kQvrNotFound;
    byte = n - 1;
    return kQvrOk;
}

int DumpLines::LocateTime(const DayTime& when, uint64_t& byte) {
    int rc = m_reader.GoToTime(when);
    return rc == kQvrOk ? SettleOnShown(byte) : rc;
}

int DumpLines::LocateFrame(uint64_t frame, uint64_t& byte) {
    int rc = m_reader.GoToFrame(frame);
    return rc == kQvrOk ? SettleOnShown(byte) : rc;
}

int DumpLines::SettleOnShown(uint64_t& byte) {
    if (!CursorShows()) {
        // A single direction looks forward, to the first byte sent after the
        // moment; DUAL looks back, to the byte that was last on the line.
        // Either falls back to the other side near the ends of the capture.
        bool forward = m_mode != kDumpDual;
        int rc = forward ? m_reader.NextOfType(JumpType()) : m_reader.PrevOfType(JumpType());
        if (rc != kQvrOk)
            rc = forward ? m_reader.PrevOfType(JumpType()) : m_reader.NextOfType(JumpType());
        if (rc != kQvrOk) return kQvrNotFound;
    }
    return ByteAtCursor(byte);
}

uint64_t DumpLines::LineShowing(uint64_t byte, uint64_t line) const {
    const uint64_t want = LineOfByte(byte);
    if (want < line) return ClampLine(want);
    if (want >= line + m_pageLines) return ClampLine(want - m_pageLines + 1);
    return ClampLine(line);
}

bool DumpLines::ChunkScale() const {
    return TotalBytes() >= (uint64_t{1} << 31);
}

int DumpLines::ScrollMaximum() const {
    const uint64_t last = LastPageLine();
    if (!ChunkScale()) return static_cast<int>(last);
    return static_cast<int>(last / m_linesPerStep + (last % m_linesPerStep ? 1 : 0));
}

int DumpLines::ThumbFor(uint64_t line) const {
    line = ClampLine(line);
    return static_cast<int>(ChunkScale() ? line / m_linesPerStep : line);
}

uint64_t DumpLines::LineForThumb(int position) const {
    if (position <= 0) return 0;
    const uint64_t p = static_cast<uint64_t>(position);
    return ClampLine(ChunkScale() ? p * m_linesPerStep : p);
}

int DumpLines::GoToByte(uint64_t byte) {
    if (byte >= TotalBytes()) return kQvrNoRecord;
    return m_reader.GoToNthOfDirection(byte, m_mode);
}

int DumpLines::GoToByteNearAnchor(uint64_t byte) {
    // Further than a few pages away the reader's chunk counters find the
    // byte faster than stepping would.
    const uint64_t reach = 4 * PageBytes();
    if (m_anchor.mode == m_mode &&
        (byte > m_anchor.byte ? byte - m_anchor.byte : m_anchor.byte - byte) <= reach) {
        if (m_reader.GoToFrame(m_anchor.frame) == kQvrOk && CursorShows()) {
            uint64_t at = m_anchor.byte;
            int rc = kQvrOk;
            while (rc == kQvrOk && at < byte && (rc = m_reader.NextOfType(JumpType())) == kQvrOk)
                ++at;
            while (rc == kQvrOk && at > byte && (rc = m_reader.PrevOfType(JumpType())) == kQvrOk)
                --at;
            if (rc == kQvrOk) return kQvrOk;
        }
    }
    return GoToByte(byte);
}

uint64_t DumpLines::FillPage(uint64_t line, std::vector<DumpByte>& out) {
    out.clear();
    line = ClampLine(line);
    const uint64_t first = line * m_bytesPerLine;
    if (first >= TotalBytes()) return TotalBytes() == 0 ? 0 : UINT64_MAX;
    if (GoToByteNearAnchor(first) != kQvrOk) return UINT64_MAX;
    const uint64_t want = PageBytes();
    const int jump = JumpType();
    std::vector<uint8_t> data;
    CursorPosition pos;
    while (out.size() < want) {
        uint8_t header = 0;
        if (m_reader.GetHeaderByte(header) != kQvrOk || m_reader.GetCursor(pos) != kQvrOk) break;
        if (Shows(header) && m_reader.GetData(data) == kQvrOk) {
            // A frame record without payload still takes its place on the line.
            out.push_back({pos.frame, header, data.empty() ? uint8_t{0} : data[0]});
        }
        if (out.size() < want && m_reader.NextOfType(jump) != kQvrOk) break;
    }
    if (!out.empty()) m_anchor = {m_mode, first, out.front().frame};
    return line;
}

}  // namespace qv
