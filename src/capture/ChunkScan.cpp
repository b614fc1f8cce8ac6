#include "capture/ChunkScan.h"

#include "core/FileUtil.h"

namespace qv {

bool ChunkScan::RotatedLeading() const {
    return hasLeading && leading[0] == kRotatedLeadingHeader && ReadLe48(leading + 2) == 0;
}

bool ScanChunkFile(const std::string& path, Protocol protocol, uint8_t eventBefore,
                   ChunkScan& out) {
    out = ChunkScan{};
    out.lastEvent = eventBefore;
    std::optional<std::string> text = ReadWholeFile(path, false);
    if (!text) return false;
    out.opened = true;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text->data());
    const size_t size = text->size();
    out.fileBytes = size;
    if (size < kShortRecordSize) return true;
    out.hasLeading = true;
    std::copy(bytes, bytes + kShortRecordSize, out.leading);
    out.wholeBytes = kShortRecordSize;

    // As the writer counts: the line state restarts from the leading record
    // (0 when it is not a line change), the event byte runs on from the
    // chunk before.
    uint8_t line = HeaderKind(bytes[0]) == RecordKind::kLineChange ? bytes[1] : 0;
    uint8_t event = eventBefore;
    const bool frames = UsesFrameRecords(protocol);
    size_t pos = kShortRecordSize;
    while (pos < size) {
        const uint8_t* r = bytes + pos;
        const RecordKind kind = HeaderKind(r[0]);
        size_t len = kShortRecordSize;
        uint64_t start = 0, end = 0;
        if (frames && IsDataKind(kind)) {
            if (size - pos < kFrameHeaderSize) break;
            len = FrameRecordSize(ReadLe16(r + 14));
            if (size - pos < len) break;
            start = ReadLe48(r + 1);
            end = ReadLe48(r + 7);
        } else {
            if (size - pos < kShortRecordSize) break;
            start = end = ReadLe48(r + 2);
        }
        if (out.entry.RecordCount() == 0) {
            out.entry.startTime = start;
            out.firstTicks = start;
        }
        out.lastTicks = end;
        switch (kind) {
            case RecordKind::kSdData:
                ++out.entry.sdRecords;
                break;
            case RecordKind::kRdData:
                ++out.entry.rdRecords;
                break;
            case RecordKind::kLineChange:
                out.entry.CountLineChange(line, r[1]);
                line = r[1];
                break;
            case RecordKind::kEvent:
                out.entry.CountEvent(event, r[1]);
                event = r[1];
                break;
        }
        pos += len;
    }
    out.wholeBytes = pos;
    out.lastEvent = event;
    return true;
}

}  // namespace qv
