#include "capture/CaptureReader.h"

#include <algorithm>
#include <cstdio>

#include "capture/RecordStart.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/TimeText.h"
#include "settings/StatusFile.h"

namespace qv {

uint32_t ChunkCounterValue(const ChunkEntry& e, int field) {
    switch (field) {
        case kCountSd:
            return e.sdRecords;
        case kCountRd:
            return e.rdRecords;
        case kCountLineChanges:
            return e.lineChanges;
        case kCountEvents:
            return e.events;
        case kCountEventBit7Changes:
            return e.eventBitChanges[0];
        case kCountEventBit6Changes:
            return e.eventBitChanges[1];
        default:
            if (field >= kCountBit7Changes && field < kCountBit7Changes + 8)
                return e.lineBitChanges[field - kCountBit7Changes];
            return 0;
    }
}

CaptureReader::CaptureReader(SettingsStore& store, Log& log)
    : m_store(store), m_log(log), m_cursor(UINT32_MAX) {}

std::string CaptureReader::ChunkPath(uint32_t chunk) const {
    char name[32];
    std::snprintf(name, sizeof name, "%09u.qvd", chunk);
    return m_folder + name;
}

int CaptureReader::Open(const std::string& indexPath) {
    // The clock frequency gives character times when a capture has no baud rate.
    m_store.Load();
    m_chunks.clear();
    m_chunkStart.assign(1, 0);
    m_kindStart.assign(1, {});
    m_totals.fill(0);
    m_fileName.clear();
    for (ChunkData& c : m_pair)
        c.Clear();
    for (ChunkData& c : m_spare)
        c.Clear();
    m_cursor = UINT32_MAX;
    m_failedChunk = 0;
    m_failedCode = kQvrOk;
    m_malformedEntry = 0;
    if (indexPath.find(".qvr") == std::string::npos) return kQvrNoIndex;
    m_indexPath = indexPath;
    size_t slash = indexPath.find_last_of('/');
    m_folder = slash == std::string::npos ? "./" : indexPath.substr(0, slash + 1);
    m_fileName = slash == std::string::npos ? indexPath : indexPath.substr(slash + 1);
    m_index.SetPath(indexPath);

    StatusFile status;
    status.SetPath(indexPath);
    MonitorSettings& ms = m_settings;
    m_settings = {};
    m_sampling = {};
    SyncSetting sync = 0;
    status.ReadMonitorStatus(ms, m_sampling, sync);
    const std::optional<Protocol> protocol = ProtocolFromCode(ms.Protocol);
    if (!protocol) return kQvrBadProtocol;
    m_timing = CharTimingOf(ms, m_store.GetFrequency());

    for (uint64_t n = 1;; ++n) {
        ChunkEntry entry;
        const int rc = m_index.ReadChunkEntry(n, entry);
        if (rc == -1) break;
        // The table ends at an entry that does not parse: read as a chunk of
        // zero counters it would put the records after it at wrong frame
        // numbers and dates. The caller can say where the table ended.
        if (rc != 0) {
            m_malformedEntry = n;
            break;
        }
        m_chunks.push_back(entry);
        m_chunkStart.push_back(m_chunkStart.back() + entry.RecordCount());
        auto kinds = m_kindStart.back();
        kinds[0] += entry.sdRecords;
        kinds[1] += entry.rdRecords;
        kinds[2] += entry.lineChanges;
        kinds[3] += entry.events;
        m_kindStart.push_back(kinds);
        for (int f = kCountSd; f <= kCountEventBit6Changes; ++f)
            m_totals[static_cast<size_t>(f - kCountSd)] += ChunkCounterValue(entry, f);
    }
    if (m_chunks.empty()) return kQvrNoIndex;
    m_protocol = *protocol;
    m_starts = RecordStart(m_protocol, m_timing);
    m_pairBase = 0;
    int rc = LoadPair(1);
    if (PairCount() > 0) {
        m_cursor = 0;
    } else if (GetTotalRecords() > 0 && (rc == kQvrOk || rc == kQvrChunkRead)) {
        // Leading chunks without records: the first record lies further on.
        const int moved = GoToFrame(0);
        if (moved != kQvrOk && moved != kQvrNotFound) rc = moved;
    }
    return rc;
}

// Puts chunk `number` into pair slot `which`. A chunk still in memory (the
// other slot, or one of the two spares) is taken from there; otherwise what
// the slot held becomes a spare and the chunk is read. Moving back and forth
// between a page and a selection in another chunk then reads no file.
int CaptureReader::Bring(size_t which, uint32_t number) {
    ChunkData& slot = m_pair[which];
    if (slot.Number() == number) return kQvrOk;
    if (which == 0 && m_pair[1].Number() == number) {
        slot.Swap(m_pair[1]);
        return kQvrOk;
    }
    for (ChunkData& spare : m_spare) {
        if (spare.Number() == number) {
            slot.Swap(spare);
            return kQvrOk;
        }
    }
    slot.Swap(m_spare[m_nextSpare]);
    m_nextSpare ^= 1;
    const int rc = slot.Load(ChunkPath(number), number, m_protocol);
    if (rc != kQvrOk) {
        m_failedChunk = number;
        m_failedCode = rc;
    }
    return rc;
}

int CaptureReader::LoadPair(uint32_t first) {
    m_cursor = UINT32_MAX;
    m_pairBase = m_chunkStart[first - 1];
    int rc = Bring(0, first);
    uint32_t second = first + 1;
    if (m_pair[0].Empty() || second > m_chunks.size()) {
        // No second chunk: what the slot held is kept as a spare.
        if (!m_pair[1].Empty()) {
            m_pair[1].Swap(m_spare[m_nextSpare]);
            m_nextSpare ^= 1;
        }
        m_pair[1].Clear();
    } else if (Bring(1, second) == kQvrChunkOpen) {
        m_pair[1].Clear();
    }
    return rc;
}

void CaptureReader::Restore(const Saved& s) {
    if (s.pairFirst == 0) return;
    // Going back may read a damaged neighbour again; the failure to report
    // stays the one of the movement that failed, so that a caller stepping
    // past a gap moves on instead of hearing of the same chunk forever.
    const uint32_t failedChunk = m_failedChunk;
    const int failedCode = m_failedCode;
    if (m_pair[0].Number() != s.pairFirst) LoadPair(s.pairFirst);
    m_failedChunk = failedChunk;
    m_failedCode = failedCode;
    m_cursor = s.cursor < PairCount() ? s.cursor : UINT32_MAX;
}

uint32_t CaptureReader::ChunkOfFrame(uint64_t f) const {
    // The first chunk whose accumulated total exceeds f.
    auto it = std::upper_bound(m_chunkStart.begin() + 1, m_chunkStart.end(), f);
    if (it == m_chunkStart.end()) return 0;
    return static_cast<uint32_t>(it - m_chunkStart.begin());
}

int CaptureReader::GoToFrame(uint64_t frame) {
    uint32_t chunk = ChunkOfFrame(frame);
    if (chunk == 0) return kQvrNotFound;
    Saved saved = Save();
    if (!HasRecord() || SlotChunkNumber(m_cursor) != chunk) {
        int rc = LoadPair(chunk);
        if (rc != kQvrOk && rc != kQvrChunkRead) {
            Restore(saved);
            return rc;
        }
    }
    if (frame >= m_pairBase && frame - m_pairBase < PairCount()) {
        m_cursor = static_cast<uint32_t>(frame - m_pairBase);
        return kQvrOk;
    }
    Restore(saved);
    return kQvrNotFound;
}

int CaptureReader::NextRecordAcrossChunks() {
    if (!HasRecord()) return kQvrNoRecord;
    uint64_t next = m_pairBase + m_cursor + 1;
    Saved saved = Save();
    // Slide by one chunk; a chunk without records is passed over.
    int failed = kQvrOk;
    // Up to the last chunk itself: a second chunk that failed to load is
    // only noticed when it comes first in a pair.
    for (uint32_t first = m_pair[0].Number() + 1; first <= m_chunks.size(); ++first) {
        int rc = LoadPair(first);
        if (rc != kQvrOk && rc != kQvrChunkRead) {
            failed = rc;
            break;
        }
        if (next >= m_pairBase && next - m_pairBase < PairCount()) {
            m_cursor = static_cast<uint32_t>(next - m_pairBase);
            return kQvrOk;
        }
    }
    Restore(saved);
    // Records the index counts but no file holds are not the capture's end:
    // a reader that went on would drop them without a word.
    if (failed != kQvrOk && next < GetTotalRecords()) return failed;
    return kQvrNotFound;
}

int CaptureReader::PrevRecord() {
    if (!HasRecord()) return kQvrNoRecord;
    if (m_cursor > 0) {
        --m_cursor;
        return kQvrOk;
    }
    if (m_pairBase == 0) return kQvrNotFound;
    uint64_t prev = m_pairBase - 1;
    Saved saved = Save();
    int failed = kQvrOk;
    for (uint32_t first = SlotChunkNumber(m_cursor); first-- > 1;) {
        int rc = LoadPair(first);
        if (rc != kQvrOk && rc != kQvrChunkRead) {
            failed = rc;
            break;
        }
        if (prev >= m_pairBase && prev - m_pairBase < PairCount()) {
            m_cursor = static_cast<uint32_t>(prev - m_pairBase);
            return kQvrOk;
        }
    }
    Restore(saved);
    return failed != kQvrOk ? failed : kQvrNotFound;
}

int CaptureReader::GoToChunkRecord(uint32_t chunk, uint32_t index) {
    if (chunk == 0 || chunk > m_chunks.size()) return kQvrNoRecord;
    Saved saved = Save();
    int rc = LoadPair(chunk);
    if (rc == kQvrOk || rc == kQvrChunkRead) rc = GoToFrame(m_chunkStart[chunk - 1] + index);
    if (rc != kQvrOk) Restore(saved);
    return rc;
}

// --- totals and the current record

uint64_t CaptureReader::GetTotal(int counterField) const {
    if (counterField < kCountSd || counterField > kCountEventBit6Changes) return 0;
    return m_totals[static_cast<size_t>(counterField - kCountSd)];
}

int CaptureReader::GetChunkInfo(uint32_t chunk, std::string& startText, ChunkEntry& entry) const {
    if (chunk == 0 || chunk > m_chunks.size()) return kQvrNoRecord;
    entry = m_chunks[chunk - 1];
    startText = FormatRecordTimeText(DateNumber(chunk), entry.startTime);
    return kQvrOk;
}

int CaptureReader::DateNumber(uint32_t chunk) const {
    return DateTextNumber(DateFieldText(m_chunks[chunk - 1].date));
}

int CaptureReader::ReadIndexTime(bool end, std::string& text) {
    IndexTime t;
    text.clear();
    if ((end ? m_index.ReadEndTime(t) : m_index.ReadStartTime(t)) != 0) return kQvrNoIndex;
    text = FormatRecordTimeText(DateTextNumber(t.date), t.ticks);
    return kQvrOk;
}

int CaptureReader::GetCaptureStartText(std::string& text) {
    return ReadIndexTime(false, text);
}
int CaptureReader::GetCaptureEndText(std::string& text) {
    return ReadIndexTime(true, text);
}

int CaptureReader::GetKindOrdinals(KindOrdinals& out) const {
    out = {};
    if (!HasRecord()) return kQvrNoRecord;
    const uint32_t chunk = SlotChunkNumber(m_cursor);
    const auto& before = m_kindStart[chunk - 1];
    const auto here = SlotChunk(m_cursor).KindCountsBefore(SlotIndex(m_cursor) + 1);
    out.sd = before[0] + here[0];
    out.rd = before[1] + here[1];
    out.lineChanges = before[2] + here[2];
    out.events = before[3] + here[3];
    return kQvrOk;
}

int CaptureReader::GetHeaderByte(uint8_t& out) const {
    out = 0;
    if (!HasRecord()) return kQvrNoRecord;
    out = SlotRecord(m_cursor)[0];
    return kQvrOk;
}

int CaptureReader::GetLineState(uint8_t& out) const {
    out = 0;
    if (!HasRecord()) return kQvrNoRecord;
    out = SlotLineState(m_cursor);
    return kQvrOk;
}

uint8_t CaptureReader::SlotEventByte(uint32_t slot) const {
    const uint8_t* r = SlotRecord(slot);
    return (TraitsOf(m_protocol).breakEvents && HeaderKind(r[0]) == RecordKind::kEvent) ? r[1] : 0;
}

int CaptureReader::GetEventByte(uint8_t& out) const {
    out = 0;
    if (!HasRecord()) return kQvrNoRecord;
    if (!TraitsOf(m_protocol).breakEvents) return kQvrBadProtocol;
    out = SlotEventByte(m_cursor);
    return kQvrOk;
}

uint64_t CaptureReader::SlotEndTicks(uint32_t slot) const {
    const uint8_t* r = SlotRecord(slot);
    bool frame = UsesFrameRecords(m_protocol) && IsDataKind(HeaderKind(r[0]));
    return ReadLe48(r + (frame ? 7 : 2));
}

DayTime CaptureReader::LoggedDayTime(uint32_t slot, int64_t ticks) const {
    int date = DateNumber(SlotChunkNumber(slot));
    if (auto moved = NormaliseDayTime(date, ticks)) return *moved;
    m_log.Write("ERR", "QvrFile", __LINE__, "CTimeコンストラクタＮＧ！");
    return DayTime{date, ticks < 0 ? 0 : static_cast<uint64_t>(ticks)};
}

int CaptureReader::TimeText(uint32_t slot, int64_t ticks, std::string& text,
                            uint64_t& adjusted) const {
    const DayTime t = LoggedDayTime(slot, ticks);
    text = FormatRecordTimeText(t);
    adjusted = t.ticks;
    return kQvrOk;
}

DayTime CaptureReader::SlotDayTime(uint32_t slot, int64_t ticks) const {
    const int date = DateNumber(SlotChunkNumber(slot));
    if (ticks >= 0 && ticks <= static_cast<int64_t>(kTicksPerDay))
        return DayTime{date, static_cast<uint64_t>(ticks)};
    if (auto moved = NormaliseDayTime(date, ticks)) return *moved;
    return DayTime{date, ticks < 0 ? 0 : static_cast<uint64_t>(ticks)};
}

int CaptureReader::GetDayTimes(DayTime& start, DayTime& end) const {
    if (!HasRecord()) return kQvrNoRecord;
    const uint8_t* r = SlotRecord(m_cursor);
    RecordKind kind = HeaderKind(r[0]);
    bool frame = UsesFrameRecords(m_protocol) && IsDataKind(kind);
    const int64_t t = static_cast<int64_t>(ReadLe48(r + (frame ? 1 : 2)));
    start = SlotDayTime(m_cursor, m_starts.Of(kind, t));
    end = SlotDayTime(m_cursor, static_cast<int64_t>(SlotEndTicks(m_cursor)));
    return kQvrOk;
}

int CaptureReader::GetStartTime(std::string& text, uint64_t& ticks) const {
    text.clear();
    ticks = 0;
    if (!HasRecord()) return kQvrNoRecord;
    const uint8_t* r = SlotRecord(m_cursor);
    RecordKind kind = HeaderKind(r[0]);
    bool frame = UsesFrameRecords(m_protocol) && IsDataKind(kind);
    int64_t t = static_cast<int64_t>(ReadLe48(r + (frame ? 1 : 2)));
    return TimeText(m_cursor, m_starts.Of(kind, t), text, ticks);
}

int CaptureReader::GetEndTime(std::string& text, uint64_t& ticks) const {
    text.clear();
    ticks = 0;
    if (!HasRecord()) return kQvrNoRecord;
    return TimeText(m_cursor, static_cast<int64_t>(SlotEndTicks(m_cursor)), text, ticks);
}

int CaptureReader::GetEndRecordTime(DayTime& out) const {
    if (!HasRecord()) return kQvrNoRecord;
    out = LoggedDayTime(m_cursor, static_cast<int64_t>(SlotEndTicks(m_cursor)));
    // The text shows a damaged stamp past 24 h at 24 h; the value says the same.
    out.ticks = std::min(out.ticks, kTicksPerDay);
    return kQvrOk;
}

int CaptureReader::GetEndTimeShifted(uint64_t offset, std::string& text) const {
    text.clear();
    if (!HasRecord()) return kQvrNoRecord;
    uint64_t adjusted = 0;
    int64_t t = static_cast<int64_t>(SlotEndTicks(m_cursor)) +
                static_cast<int64_t>(std::min<uint64_t>(offset, kTicksPerDay * 2));
    return TimeText(m_cursor, t, text, adjusted);
}

uint32_t CaptureReader::GetDataLength() const {
    if (!HasRecord()) return 0;
    const uint8_t* r = SlotRecord(m_cursor);
    if (UsesFrameRecords(m_protocol) && IsDataKind(HeaderKind(r[0]))) return ReadLe16(r + 14);
    return 1;
}

int CaptureReader::GetData(std::vector<uint8_t>& out) const {
    out.clear();
    if (!HasRecord()) return kQvrNoRecord;
    const uint8_t* r = SlotRecord(m_cursor);
    if (UsesFrameRecords(m_protocol) && IsDataKind(HeaderKind(r[0])))
        out.assign(r + kFrameHeaderSize, r + kFrameHeaderSize + ReadLe16(r + 14));
    else
        out.assign(r + 1, r + 2);
    return kQvrOk;
}

int CaptureReader::GetRawRecord(std::vector<uint8_t>& out) const {
    out.clear();
    if (!HasRecord()) return kQvrNoRecord;
    const uint8_t* r = SlotRecord(m_cursor);
    size_t len = kShortRecordSize;
    if (UsesFrameRecords(m_protocol) && IsDataKind(HeaderKind(r[0])))
        len = FrameRecordSize(ReadLe16(r + 14));
    out.assign(r, r + len);
    return kQvrOk;
}

}  // namespace qv
