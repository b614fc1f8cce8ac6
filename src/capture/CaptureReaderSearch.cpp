// The positioning searches of the capture reader: by time, by the n-th record
// of a direction, and by record type. Each skips whole chunks by their
// counters and reads only the chunks that can hold what it looks for.
#include "capture/CaptureReader.h"
#include "core/TimeText.h"

namespace qv {

namespace {
bool IsOk(int rc) {
    return rc == kQvrOk || rc == kQvrChunkRead;
}

// The chunk counter that says whether a chunk can hold a record of the type.
uint64_t TypeCounter(const ChunkEntry& e, int jumpType) {
    if (jumpType == kJumpSd) return e.sdRecords;
    if (jumpType == kJumpRd) return e.rdRecords;
    if (jumpType >= kJumpLineBit7 && jumpType < kJumpLineBit7 + 8)
        return e.lineBitChanges[jumpType - kJumpLineBit7];
    if (jumpType == kJumpEventBit7) return e.eventBitChanges[0];
    if (jumpType == kJumpEventBit6) return e.eventBitChanges[1];
    if (jumpType == kJumpLineChange) return e.lineChanges;
    if (jumpType == kJumpEvent) return e.events;
    return uint64_t{e.sdRecords} + e.rdRecords;  // kJumpData
}
}  // namespace

int CaptureReader::GoToTime(const DayTime& when) {
    const int64_t wanted = when.date;
    const uint64_t ticks = when.ticks;
    const uint32_t count = GetChunkCount();
    Saved saved = Save();
    // The next chunk after `c` that holds records, or 0: an empty chunk (a
    // run stopped right after a chunk switch or a date change leaves one) has
    // nothing to land on and no start time of its own.
    auto nextWithRecords = [&](uint32_t c) -> uint32_t {
        for (uint32_t k = c + 1; k <= count; ++k)
            if (m_chunks[k - 1].RecordCount() > 0) return k;
        return 0;
    };
    for (uint32_t c = 1; c <= count; ++c) {
        if (m_chunks[c - 1].RecordCount() == 0) continue;
        const int64_t chunkDate = DateNumber(c);
        if (wanted > chunkDate) continue;
        if (wanted < chunkDate || ticks < m_chunks[c - 1].startTime) {
            // Before this chunk: its first record.
            int rc = kQvrOk;
            if (m_pair[0].Number() != c) rc = LoadPair(c);
            if (!IsOk(rc) || m_pair[0].Count() == 0) {
                Restore(saved);
                return IsOk(rc) ? kQvrNotFound : rc;
            }
            m_cursor = 0;
            return rc;
        }
        // The chunk runs until the next one starts (a day later when the next
        // chunk carries a later date); the last one until midnight.
        uint64_t end = kTicksPerDay;
        if (const uint32_t next = nextWithRecords(c)) {
            end = m_chunks[next - 1].startTime;
            if (DateNumber(next) > chunkDate) end += kTicksPerDay;
        }
        // At exactly the next chunk's start this chunk may still end with
        // records of that tick, and the first of equal records is the one.
        if (ticks > end) continue;
        int rc = LoadPair(c);
        if (!IsOk(rc)) {
            Restore(saved);
            return rc;
        }
        // Only this chunk's records: the next chunk may belong to a later date,
        // where a small time of day would wrongly count as "at or after t".
        const uint32_t n = m_pair[0].Count();
        uint32_t slot = 0;
        while (slot < n && SlotEndTicks(slot) < ticks)
            ++slot;
        if (slot == n) {
            // None at the next chunk's start time here: that chunk's first record.
            if (ticks == end) continue;
            // Past the chunk's last record: the latest record before the time.
            if (n == 0) {
                Restore(saved);
                return kQvrNotFound;
            }
            m_cursor = n - 1;
            return kQvrOk;
        }
        m_cursor = slot;
        if (SlotEndTicks(slot) != ticks) {
            int prev = PrevRecord();
            if (prev == kQvrNotFound) return kQvrOk;  // the capture's first record
            return prev;
        }
        return kQvrOk;
    }
    uint64_t total = GetTotalRecords();
    return total == 0 ? kQvrNotFound : GoToFrame(total - 1);
}

int CaptureReader::GoToNthOfDirection(uint64_t n, int direction) {
    auto countOf = [direction](const ChunkEntry& e) -> uint64_t {
        if (direction == 1) return e.sdRecords;
        if (direction == 2) return e.rdRecords;
        return uint64_t{e.sdRecords} + e.rdRecords;
    };
    auto matches = [direction](RecordKind k) {
        if (direction == 1) return k == RecordKind::kSdData;
        if (direction == 2) return k == RecordKind::kRdData;
        return IsDataKind(k);
    };
    uint64_t before = 0;
    const uint32_t count = GetChunkCount();
    for (uint32_t c = 1; c <= count; ++c) {
        uint64_t here = countOf(m_chunks[c - 1]);
        if (n >= before + here) {
            before += here;
            continue;
        }
        Saved saved = Save();
        int rc = LoadPair(c);
        if (!IsOk(rc)) {
            Restore(saved);
            return rc;
        }
        // Walk from the chunk's first record; the counters may disagree with
        // a damaged chunk, so the walk may go on into the following chunks.
        if (PairCount() == 0) break;
        m_cursor = 0;
        uint64_t seen = before;
        for (;;) {
            if (matches(HeaderKind(SlotRecord(m_cursor)[0]))) {
                if (seen == n) return kQvrOk;
                ++seen;
            }
            if (NextRecord() != kQvrOk) break;
        }
        Restore(saved);
        return kQvrNoRecord;
    }
    return kQvrNoRecord;
}

bool CaptureReader::SlotMatches(uint32_t slot, int jumpType, uint8_t startLine,
                           uint8_t startEvent) const {
    RecordKind kind = HeaderKind(SlotRecord(slot)[0]);
    switch (jumpType) {
        case kJumpSd:
            return kind == RecordKind::kSdData;
        case kJumpRd:
            return kind == RecordKind::kRdData;
        case kJumpEventBit7:
            return kind == RecordKind::kEvent &&
                   ((SlotEventByte(slot) ^ startEvent) & kEventSdBreak) != 0;
        case kJumpEventBit6:
            return kind == RecordKind::kEvent &&
                   ((SlotEventByte(slot) ^ startEvent) & kEventRdBreak) != 0;
        case kJumpLineChange:
            return kind == RecordKind::kLineChange;
        case kJumpEvent:
            return kind == RecordKind::kEvent;
        case kJumpData:
            return IsDataKind(kind);
        default: {
            uint8_t bit = static_cast<uint8_t>(0x80 >> (jumpType - kJumpLineBit7));
            return kind == RecordKind::kLineChange &&
                   ((SlotLineState(slot) ^ startLine) & bit) != 0;
        }
    }
}

int CaptureReader::NextOfType(int jumpType) {
    if (jumpType < kJumpSd || jumpType > kJumpData) return kQvrNotFound;
    if (!HasRecord()) return kQvrNoRecord;
    const uint8_t startLine = SlotLineState(m_cursor);
    const uint8_t startEvent = SlotEventByte(m_cursor);
    Saved saved = Save();
    uint32_t chunk = SlotChunkNumber(m_cursor);
    // The rest of the current chunk first.
    uint32_t end = FirstSlotOf(chunk) + SlotChunk(m_cursor).Count();
    for (uint32_t s = m_cursor + 1; s < end; ++s) {
        if (SlotMatches(s, jumpType, startLine, startEvent)) {
            m_cursor = s;
            return kQvrOk;
        }
    }
    for (uint32_t c = chunk + 1; c <= GetChunkCount(); ++c) {
        if (TypeCounter(m_chunks[c - 1], jumpType) == 0) continue;
        // A chunk that cannot be read may hold the record looked for: passing
        // over it would report a later record, or none, as the next one.
        if (const int rc = LoadPair(c); !IsOk(rc)) {
            Restore(saved);
            return rc;
        }
        for (uint32_t s = 0; s < m_pair[0].Count(); ++s) {
            if (SlotMatches(s, jumpType, startLine, startEvent)) {
                m_cursor = s;
                return kQvrOk;
            }
        }
    }
    Restore(saved);
    return kQvrNotFound;
}

int CaptureReader::PrevOfType(int jumpType) {
    if (jumpType < kJumpSd || jumpType > kJumpData) return kQvrNotFound;
    if (!HasRecord()) return kQvrNoRecord;
    const uint8_t startLine = SlotLineState(m_cursor);
    const uint8_t startEvent = SlotEventByte(m_cursor);
    Saved saved = Save();
    uint32_t chunk = SlotChunkNumber(m_cursor);
    for (uint32_t s = m_cursor; s-- > FirstSlotOf(chunk);) {
        if (SlotMatches(s, jumpType, startLine, startEvent)) {
            m_cursor = s;
            return kQvrOk;
        }
    }
    for (uint32_t c = chunk; c-- > 1;) {
        if (TypeCounter(m_chunks[c - 1], jumpType) == 0) continue;
        if (const int rc = LoadPair(c); !IsOk(rc)) {
            Restore(saved);
            return rc;
        }
        for (uint32_t s = m_pair[0].Count(); s-- > 0;) {
            if (SlotMatches(s, jumpType, startLine, startEvent)) {
                m_cursor = s;
                return kQvrOk;
            }
        }
    }
    Restore(saved);
    return kQvrNotFound;
}

}  // namespace qv
