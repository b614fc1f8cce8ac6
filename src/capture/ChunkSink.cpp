#include "capture/ChunkSink.h"

#include <algorithm>

#include "capture/ChunkScan.h"
#include "capture/ChunkWriter.h"
#include "core/Log.h"
#include "core/FileUtil.h"
#include "core/NumberText.h"

namespace qv {

namespace {

uint64_t SubtractFloor(uint64_t a, uint64_t b) {
    return a > b ? a - b : 0;
}

}  // namespace

ChunkSink::ChunkSink(ChunkWriter& writer, RunNoticeSink* notices, Log* log)
    : m_writer(writer), m_notices(notices), m_log(log) {
    Reset(ChunkConfig{});
}

void ChunkSink::Reset(const ChunkConfig& config) {
    m_config = config;
    if (m_config.fileRecords == 0) m_config.fileRecords = 1;
    m_totals = CaptureTotals{};
    SetDate("");
    m_gaps.Clear();
    m_chunkStart = 0;
    m_lineState = m_eventByte = 0;
    m_chunkRecords = 0;
    m_chunk = ChunkEntry{};
    m_chunksOpened = 0;
    m_writeFailures = 0;
    m_table.Reset(ChunkTable::EntriesFor(m_config.frameMax, m_config.fileRecords));
    m_triggers.clear();
    m_triggers.reserve(kMaxTriggerEvents);
}

ChunkEntry ChunkSink::ClosedChunkEntry() {
    ChunkEntry entry = CurrentChunkEntry();
    if (m_writeFailures == m_chunkFailuresBefore) return entry;
    ChunkScan scan;
    ScanChunkFile(JoinPath(m_writer.GetFolder(), m_writer.GetChunkName()),
                  m_config.protocol, m_chunkEventBefore, scan);
    ChunkEntry disk = scan.entry;
    std::copy(entry.date, entry.date + kDateFieldSize, disk.date);
    disk.startTime = disk.RecordCount() > 0 ? disk.startTime : entry.startTime;
    // What the buffer lost never reached the capture: the totals drop it too.
    auto drop = [](uint64_t& total, uint64_t counted, uint64_t kept) {
        if (counted > kept) total = SubtractFloor(total, counted - kept);
    };
    drop(m_totals.records, entry.RecordCount(), disk.RecordCount());
    drop(m_totals.kinds[0], entry.sdRecords, disk.sdRecords);
    drop(m_totals.kinds[1], entry.rdRecords, disk.rdRecords);
    drop(m_totals.kinds[2], entry.lineChanges, disk.lineChanges);
    drop(m_totals.kinds[3], entry.events, disk.events);
    for (size_t i = 0; i < 8; ++i)
        drop(m_totals.changes[i], entry.lineBitChanges[i], disk.lineBitChanges[i]);
    for (size_t i = 0; i < 2; ++i)
        drop(m_totals.changes[8 + i], entry.eventBitChanges[i], disk.eventBitChanges[i]);
    return disk;
}

int ChunkSink::OpenFirstChunk() {
    return OpenSlotChunk();
}

int ChunkSink::OpenSlotChunk() {
    m_writer.SetChunkName(ChunkWriter::ChunkName(m_table.CurrentSlot()));
    m_chunkFailuresBefore = m_writeFailures;
    m_chunkEventBefore = m_eventByte;
    const int rc = m_writer.OpenChunk();
    // The counters restart even when the file could not be made, so that a
    // failing folder costs one report per chunk, not one per record.
    m_chunk = ChunkEntry{};
    m_chunkRecords = 0;
    ++m_chunksOpened;
    return rc;
}

void ChunkSink::ReportWriteFailure() {
    ++m_writeFailures;
    if (m_notices) m_notices->OnNotice(RunNotice::kWriteFailed);
}

void ChunkSink::FlushBuffered() {
    if (m_writer.Flush() != 0) ReportWriteFailure();
}

void ChunkSink::Write(const uint8_t* bytes, size_t length) {
    if (m_writer.Append(bytes, length) != 0) ReportWriteFailure();
}

void ChunkSink::Store(const DecodedRecord& record) {
    const int rc = record.stored
                       ? m_writer.Append(record.stored, record.storedSize)
                       : m_writer.AppendShort(record.header, record.value, record.start);
    if (rc != 0) [[unlikely]]
        ReportWriteFailure();
}

ChunkEntry ChunkSink::CurrentChunkEntry() const {
    ChunkEntry entry = m_chunk;
    SetDateField(entry.date, m_date);
    entry.startTime = m_chunkStart;
    return entry;
}

void ChunkSink::FinishChunk() {
    if (m_writer.FlushAndClose(true) != 0) ReportWriteFailure();
    m_table.Add(ClosedChunkEntry());
}

int ChunkSink::OpenNextChunk() {
    if (AtFixLimit()) return -1;
    if (m_table.Full() && m_config.memory == kMemoryRing) {
        // The oldest chunk is about to be overwritten: its records leave the run.
        const ChunkEntry& old = m_table.CurrentEntry();
        m_totals.records = SubtractFloor(m_totals.records, old.RecordCount());
        m_totals.kinds[0] = SubtractFloor(m_totals.kinds[0], old.sdRecords);
        m_totals.kinds[1] = SubtractFloor(m_totals.kinds[1], old.rdRecords);
        m_totals.kinds[2] = SubtractFloor(m_totals.kinds[2], old.lineChanges);
        m_totals.kinds[3] = SubtractFloor(m_totals.kinds[3], old.events);
    }
    const int rc = OpenSlotChunk();
    if (rc != 0) ReportWriteFailure();
    return rc;
}

void ChunkSink::RotateIfFull() {
    if (m_chunkRecords < m_config.fileRecords) return;
    FinishChunk();
    if (OpenNextChunk() == 0) {
        uint8_t leading[kShortRecordSize];
        EncodeRotatedLeadingRecord(leading, m_lineState);
        Write(leading, sizeof leading);
    }
}

// The counters of one record; the line state and event byte before it are
// the ones last told, those after it come with the record.
void ChunkSink::Count(uint8_t header, uint8_t lineAfter, uint8_t eventAfter) {
    ++m_chunkRecords;
    ++m_totals.records;
    switch (HeaderKind(header)) {
        case RecordKind::kSdData:
            ++m_chunk.sdRecords;
            ++m_totals.kinds[0];
            break;
        case RecordKind::kRdData:
            ++m_chunk.rdRecords;
            ++m_totals.kinds[1];
            break;
        case RecordKind::kLineChange: {
            const uint8_t changed = m_lineState ^ lineAfter;
            m_chunk.CountLineChange(m_lineState, lineAfter);
            ++m_totals.kinds[2];
            // Without branches: which lines change is as random as the line.
            for (int i = 0; i < 8; ++i)
                m_totals.changes[i] += (changed >> (7 - i)) & 1u;
            break;
        }
        case RecordKind::kEvent: {
            const uint8_t changed = m_eventByte ^ eventAfter;
            m_chunk.CountEvent(m_eventByte, eventAfter);
            ++m_totals.kinds[3];
            if (changed & kEventSdBreak) ++m_totals.changes[8];
            if (changed & kEventRdBreak) ++m_totals.changes[9];
            break;
        }
    }
    m_lineState = lineAfter;
    m_eventByte = eventAfter;
}

void ChunkSink::LeadingRecord(const DecodedRecord& record) {
    Store(record);
    m_lineState = record.lineState;
    m_eventByte = record.eventByte;
}

bool ChunkSink::Record(const DecodedRecord& record) {
    if (m_chunkRecords == 0) m_chunkStart = record.start;
    m_gaps.Resumed(m_dateNumber, record.start);
    Store(record);
    // Data records, the bulk of every capture, are counted right here.
    const RecordKind kind = HeaderKind(record.header);
    if (kind == RecordKind::kSdData) {
        ++m_chunk.sdRecords;
        ++m_totals.kinds[0];
        ++m_chunkRecords;
        ++m_totals.records;
    } else if (kind == RecordKind::kRdData) {
        ++m_chunk.rdRecords;
        ++m_totals.kinds[1];
        ++m_chunkRecords;
        ++m_totals.records;
    } else {
        Count(record.header, record.lineState, record.eventByte);
    }
    if (m_chunkRecords >= m_config.fileRecords) [[unlikely]]
        RotateIfFull();
    return Full();
}

uint8_t* ChunkSink::ShortRoom(uint64_t& records) {
    // The first record of a chunk sets its start time: it comes through Record.
    records = 0;
    if (m_chunkRecords == 0) return nullptr;
    // As many as the chunk takes before it rotates, as a FIX run keeps and
    // as fit behind the writer's buffered records: the record that does not
    // fit goes through Record, which writes the full buffer out first.
    size_t space = 0;
    uint8_t* out = m_writer.FreeSpace(space);
    uint64_t count = space / kShortRecordSize;
    count = std::min(count, SubtractFloor(m_config.fileRecords, m_chunkRecords));
    if (m_config.memory == kMemoryFix)
        count = std::min(count, SubtractFloor(m_config.frameMax, m_totals.records));
    records = count;
    return out;
}

bool ChunkSink::ShortWritten(const ShortSweep& sweep) {
    if (m_gaps.Open() && sweep.records > 0)
        m_gaps.Resumed(m_dateNumber, DecodeShortRecord(sweep.stored).time);
    m_writer.Appended(sweep.records * kShortRecordSize);
    m_lineState = sweep.lineState;
    m_eventByte = sweep.eventByte;
    m_chunkRecords += static_cast<uint32_t>(sweep.records);
    m_totals.records += sweep.records;
    // A chunk's counters are 32-bit: a sweep never passes its FileRecords.
    auto add = [](uint32_t& chunk, uint64_t& total, uint64_t n) {
        chunk += static_cast<uint32_t>(n);
        total += n;
    };
    add(m_chunk.sdRecords, m_totals.kinds[0], sweep.kinds[0]);
    add(m_chunk.rdRecords, m_totals.kinds[1], sweep.kinds[1]);
    add(m_chunk.lineChanges, m_totals.kinds[2], sweep.kinds[2]);
    add(m_chunk.events, m_totals.kinds[3], sweep.kinds[3]);
    for (size_t b = 0; b < 8; ++b)
        add(m_chunk.lineBitChanges[b], m_totals.changes[b], sweep.lineBits[b]);
    for (size_t b = 0; b < 2; ++b)
        add(m_chunk.eventBitChanges[b], m_totals.changes[8 + b], sweep.eventBits[b]);
    // A chunk rotates right after its last record, as record by record.
    if (m_chunkRecords >= m_config.fileRecords) RotateIfFull();
    return Full();
}

void ChunkSink::NewDay(std::string_view yymmdd, bool started) {
    if (m_chunkRecords > 0) {
        FinishChunk();
        OpenNextChunk();
    } else if (started) {
        // The chunk holds only its leading record: start it afresh so that
        // the new day's leading record is its first record.
        if (m_writer.OpenChunk() != 0) ReportWriteFailure();
    }
    SetDate(yymmdd);
    m_chunkStart = 0;
}

void ChunkSink::SetDate(std::string_view yymmdd) {
    m_date = yymmdd;
    m_dateNumber = DateTextNumber(m_date);
}

void ChunkSink::BufferFull() {
    if (m_log) m_log->Write("DBG", "MonitorWnd", __LINE__, "SDRAM Buffer Full!!");
}

void ChunkSink::Trigger(uint8_t code, uint64_t time) {
    if (code == kTriggerCodeMemoryOverflow) m_gaps.Overflow(m_dateNumber, time);
    if (m_triggers.size() >= kMaxTriggerEvents) return;
    TriggerEvent ev;
    ev.chunk = m_table.CurrentSlot();
    SetDateField(ev.date, m_date);
    ev.time = time;
    ev.code = code;
    m_triggers.push_back(ev);
}

int ChunkSink::FinishRun() {
    const int rc = m_writer.FlushAndClose(true);
    if (rc != 0) ReportWriteFailure();
    // A FIX run stopped at its limit already put its last chunk in the table.
    if (!AtFixLimit()) m_table.Add(ClosedChunkEntry());
    return rc;
}

}  // namespace qv
