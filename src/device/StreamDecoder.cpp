#include "device/StreamDecoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "capture/ChunkScan.h"
#include "core/FileUtil.h"
#include "core/AppContext.h"
#include "core/TimeText.h"
#include "capture/ChunkWriter.h"

namespace qv {

namespace {

// A frame record's header plus the most data its 16-bit length can hold.
constexpr size_t kAssemblySize = kFrameHeaderSize + kMaxFrameData;

uint64_t SubtractFloor(uint64_t a, uint64_t b) {
    return a > b ? a - b : 0;
}

}  // namespace

void ReceiveBuffer::Consume(size_t n) {
    if (n >= m_fill) {
        m_fill = 0;
        return;
    }
    std::memmove(m_bytes.get(), m_bytes.get() + n, m_fill - n);
    m_fill -= n;
}

StreamDecoder::StreamDecoder(ChunkWriter& writer, IMonitorEvents* events, AppContext* cmn)
    : m_writer(writer), m_events(events), m_cmn(cmn), m_assembly(new uint8_t[kAssemblySize]) {
    Reset(DecoderConfig{});
}

StreamDecoder::~StreamDecoder() = default;

void StreamDecoder::Reset(const DecoderConfig& config) {
    m_config = config;
    if (m_config.fileRecords == 0) m_config.fileRecords = 1;
    m_layout = StreamLayoutFor(config.protocol);
    m_totals = CaptureTotals{};
    m_date.clear();
    m_bufferFull = m_started = m_dateSeen = m_limitReported = false;
    m_running = m_chunkStart = 0;
    m_lineState = m_eventByte = 0;
    m_chunkRecords = 0;
    m_chunk = ChunkEntry{};
    m_chunksOpened = 0;
    m_skip = 0;
    m_writeFailures = m_droppedAtLimit = 0;
    m_assembledData = m_pieces = 0;
    m_assemblyHeader = 0;
    m_assemblyStart = 0;
    m_table.Reset(ChunkTable::EntriesFor(m_config.frameMax, m_config.fileRecords));
    if (m_ring) m_ring->Clear();
    m_triggers.clear();
    m_triggers.reserve(kMaxTriggerEvents);
}

void StreamDecoder::KeepLiveRing(bool keep) {
    if (!keep)
        m_ring.reset();
    else if (!m_ring)
        m_ring = std::make_unique<LiveRing>();
}

void StreamDecoder::ChunkOpened() {
    m_chunkFailuresBefore = m_writeFailures;
    m_chunkEventBefore = m_eventByte;
}

ChunkEntry StreamDecoder::ClosedChunkEntry() {
    ChunkEntry entry = CurrentChunkEntry();
    if (m_writeFailures == m_chunkFailuresBefore) return entry;
    ChunkScan scan;
    ScanChunkFile(JoinPath(m_writer.GetFolder(), m_writer.GetChunkName()), m_config.protocol,
                  m_chunkEventBefore, scan);
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

int StreamDecoder::OpenFirstChunk() {
    m_writer.SetChunkName(ChunkWriter::ChunkName(m_table.CurrentSlot()));
    ChunkOpened();
    const int rc = m_writer.OpenChunk();
    m_chunk = ChunkEntry{};
    m_chunkRecords = 0;
    ++m_chunksOpened;
    return rc;
}

void StreamDecoder::Post(MainWindowMessage message, std::string_view text) {
    if (m_events) m_events->PostToMainWindow(message, text);
}

void StreamDecoder::ReportWriteFailure() {
    ++m_writeFailures;
    Post(MainWindowMessage::kStatusText, kTextWriteFailed);
}

void StreamDecoder::Write(const uint8_t* bytes, size_t length) {
    if (m_writer.Append(bytes, length) != 0) ReportWriteFailure();
}

ChunkEntry StreamDecoder::CurrentChunkEntry() const {
    ChunkEntry entry = m_chunk;
    SetDateField(entry.date, m_date);
    entry.startTime = m_chunkStart;
    return entry;
}

void StreamDecoder::FinishChunk() {
    if (m_writer.FlushAndClose(true) != 0) ReportWriteFailure();
    m_table.Add(ClosedChunkEntry());
}

int StreamDecoder::OpenNextChunk() {
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
    m_writer.SetChunkName(ChunkWriter::ChunkName(m_table.CurrentSlot()));
    ChunkOpened();
    const int rc = m_writer.OpenChunk();
    // The counters restart even when the file could not be made, so that a
    // failing folder costs one report per chunk, not one per record.
    m_chunk = ChunkEntry{};
    m_chunkRecords = 0;
    ++m_chunksOpened;
    if (rc != 0) ReportWriteFailure();
    return rc;
}

void StreamDecoder::RotateIfFull() {
    if (m_chunkRecords < m_config.fileRecords) return;
    FinishChunk();
    if (OpenNextChunk() == 0) {
        uint8_t leading[kShortRecordSize];
        EncodeRotatedLeadingRecord(leading, m_lineState);
        Write(leading, sizeof leading);
    }
}

void StreamDecoder::Count(uint8_t header, uint8_t value) {
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
            const uint8_t changed = m_lineState ^ value;
            m_chunk.CountLineChange(m_lineState, value);
            ++m_totals.kinds[2];
            // Without branches: which lines change is as random as the line.
            for (int i = 0; i < 8; ++i)
                m_totals.changes[i] += (changed >> (7 - i)) & 1u;
            m_lineState = value;
            break;
        }
        case RecordKind::kEvent: {
            const uint8_t changed = m_eventByte ^ value;
            m_chunk.CountEvent(m_eventByte, value);
            ++m_totals.kinds[3];
            if (changed & kEventSdBreak) ++m_totals.changes[8];
            if (changed & kEventRdBreak) ++m_totals.changes[9];
            m_eventByte = value;
            break;
        }
    }
}

bool StreamDecoder::DropAtLimit() {
    if (m_config.memory != kMemoryFix || m_totals.records < m_config.frameMax) return false;
    // One report is enough; the main window shows it until the run stops.
    if (!m_limitReported) {
        m_limitReported = true;
        Post(MainWindowMessage::kStatusText, kTextCaptureFull);
    }
    ++m_droppedAtLimit;
    return true;
}

// Inlined into Decode: it runs once per item of every ASYNC/LOGIC stream.
[[gnu::always_inline]] inline void StreamDecoder::HandleShortData(uint8_t header, uint8_t value,
                                                                   uint16_t step) {
    if (!m_started) [[unlikely]] {
        // Data before the first date has no day to belong to.
        if (!m_dateSeen) return;
        // The chunk's leading record: stored as received at the running time
        // (its step is not added) and not counted.
        m_started = true;
        m_lineState = HeaderKind(header) == RecordKind::kLineChange ? value : 0;
        if (m_writer.AppendShort(header, value, m_running) != 0) ReportWriteFailure();
        return;
    }
    if (m_config.memory == kMemoryFix && m_totals.records >= m_config.frameMax) [[unlikely]] {
        DropAtLimit();
        return;
    }
    m_running += step;
    if (m_chunkRecords == 0) m_chunkStart = m_running;
    if (m_writer.AppendShort(header, value, m_running) != 0) [[unlikely]]
        ReportWriteFailure();

    const RecordKind kind = HeaderKind(header);
    if (m_ring) {
        LiveRecord& live = m_ring->NextSlot();
        live.header = header;
        live.value = value;
        live.start = live.end = m_running;
        live.length = 1;
        live.lineState = kind == RecordKind::kLineChange ? value : m_lineState;
        // The record's own numbers (1-based), as the stored capture numbers it.
        CountTriple& triple = m_ring->NextTriple();
        triple.records = m_totals.records + 1;
        triple.sd = kind == RecordKind::kSdData ? m_totals.kinds[0] + 1 : 0;
        triple.rd = kind == RecordKind::kRdData ? m_totals.kinds[1] + 1 : 0;
        m_ring->Advance();
    }
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
        Count(header, value);
    }
    if (m_chunkRecords >= m_config.fileRecords) [[unlikely]]
        RotateIfFull();
}

namespace {
// By the header byte of a data item: the count lane of its record's kind
// (SD, RD, line change, event in 16-bit lanes 0..3), and the mask of the line
// state it sets (all of it for a line change, nothing otherwise).
struct HeaderTables {
    std::array<uint64_t, 256> lane{};
    std::array<uint8_t, 256> lineMask{};
};
constexpr HeaderTables kByHeader = [] {
    HeaderTables t;
    for (unsigned h = 0; h < 256; ++h) {
        const unsigned kind = (h >> 5) & 3;
        t.lane[h] = uint64_t{1} << (16 * kind);
        t.lineMask[h] = kind == 2 ? 0xFF : 0;
    }
    return t;
}();
// Bit n of a byte moved to the low bit of byte n of a word.
constexpr auto kSpreadBits = [] {
    std::array<uint64_t, 256> t{};
    for (unsigned b = 0; b < 256; ++b)
        for (unsigned n = 0; n < 8; ++n)
            if (b & (1u << n)) t[b] |= uint64_t{1} << (8 * n);
    return t;
}();
}  // namespace

size_t StreamDecoder::DecodeDataRun(const uint8_t* p, size_t n) {
    if constexpr (std::endian::native != std::endian::little) return 0;
    // The item-by-item path takes the first record of a run, of a day and of
    // a chunk, and whatever a live view must see.
    if (m_ring || !m_started || m_chunkRecords == 0) return 0;
    // As many items as there are, as the chunk takes before it rotates, as a
    // FIX run keeps and as fit behind the writer's buffered records: the
    // record that does not fit is the item-by-item path's, which writes the
    // full buffer out first, exactly as it would have.
    size_t space = 0;
    uint8_t* out = m_writer.FreeSpace(space);
    uint64_t count = std::min<uint64_t>(n / kShortItemSize, space / kShortRecordSize);
    count = std::min(count, SubtractFloor(m_config.fileRecords, m_chunkRecords));
    if (m_config.memory == kMemoryFix)
        count = std::min(count, SubtractFloor(m_config.frameMax, m_totals.records));

    // The counters stay in registers for the sweep and are added once. The
    // kinds and the line bits vary from record to record as the line does,
    // so they are counted without branches, in lanes of one register each:
    // four 16-bit lanes of kind counts, eight byte lanes of line-bit changes
    // (lane n for bit n), emptied every 255 records before a lane can wrap.
    uint64_t running = m_running;
    uint8_t lineState = m_lineState, eventByte = m_eventByte;
    uint64_t kinds[4] = {};
    uint64_t lineBits[8] = {};
    uint64_t eventBits[2] = {};
    uint64_t i = 0;
    bool other = false;  // stopped in front of an item that is no data item
    while (i < count && !other) {
        const uint64_t blockEnd = i + std::min<uint64_t>(count - i, 255);
        uint64_t kindLanes = 0, bitLanes = 0;
        for (; i < blockEnd; ++i) {
            uint32_t item;  // header, value, 16-bit step: little-endian
            std::memcpy(&item, p + i * kShortItemSize, sizeof item);
            const uint32_t header = item & 0xFF;
            if (header < 0x80) {
                other = true;
                break;
            }
            running += item >> 16;
            // The 8-byte record as ChunkWriter::AppendShort lays it out.
            const uint64_t record = (item & 0xFFFF) | (running << 16);
            std::memcpy(out + i * kShortRecordSize, &record, sizeof record);
            kindLanes += kByHeader.lane[header];
            // The line bits a line change turns (none for other records),
            // each counted in its byte lane. Tables rather than tests keep
            // this free of branches, which the line would mispredict.
            const uint8_t changed = (lineState ^ (item >> 8)) & kByHeader.lineMask[header];
            lineState ^= changed;
            bitLanes += kSpreadBits[changed];
            if (header >= 0xE0) [[unlikely]] {  // an event record
                const uint8_t value = static_cast<uint8_t>(item >> 8);
                const uint8_t changedEvents = eventByte ^ value;
                eventBits[0] += (changedEvents & kEventSdBreak) ? 1 : 0;
                eventBits[1] += (changedEvents & kEventRdBreak) ? 1 : 0;
                eventByte = value;
            }
        }
        for (size_t k = 0; k < 4; ++k)
            kinds[k] += (kindLanes >> (16 * k)) & 0xFFFF;
        // Counter 0 is bit 7 (RS), counter 7 bit 0.
        for (size_t b = 0; b < 8; ++b)
            lineBits[b] += (bitLanes >> (8 * (7 - b))) & 0xFF;
    }
    if (i == 0) return 0;
    m_writer.Appended(i * kShortRecordSize);
    m_running = running;
    m_lineState = lineState;
    m_eventByte = eventByte;
    m_chunkRecords += static_cast<uint32_t>(i);
    m_totals.records += i;
    // A chunk's counters are 32-bit: a sweep never passes its FileRecords.
    auto add = [](uint32_t& chunk, uint64_t& total, uint64_t n) {
        chunk += static_cast<uint32_t>(n);
        total += n;
    };
    add(m_chunk.sdRecords, m_totals.kinds[0], kinds[0]);
    add(m_chunk.rdRecords, m_totals.kinds[1], kinds[1]);
    add(m_chunk.lineChanges, m_totals.kinds[2], kinds[2]);
    add(m_chunk.events, m_totals.kinds[3], kinds[3]);
    for (size_t b = 0; b < 8; ++b)
        add(m_chunk.lineBitChanges[b], m_totals.changes[b], lineBits[b]);
    for (size_t b = 0; b < 2; ++b)
        add(m_chunk.eventBitChanges[b], m_totals.changes[8 + b], eventBits[b]);
    // A chunk rotates right after its last record, as item by item.
    if (m_chunkRecords >= m_config.fileRecords) RotateIfFull();
    return i * kShortItemSize;
}

void StreamDecoder::HandleLineChange8(const uint8_t* raw, const StreamItem& item) {
    if (!m_started) {
        m_started = true;
        m_lineState = item.value;
        m_running = item.time;
        Write(raw, kWideItemSize);
        return;
    }
    if (DropAtLimit()) return;
    m_running = item.time;
    if (m_chunkRecords == 0) m_chunkStart = item.time;
    Write(raw, kWideItemSize);

    if (m_ring) {
        LiveRecord& live = m_ring->NextSlot();
        live.header = item.first;
        live.value = item.value;
        live.lineState = item.value;
        live.start = live.end = item.time;
        live.length = 1;
        m_ring->Advance();
    }

    Count(item.first, item.value);
    RotateIfFull();
}

void StreamDecoder::WriteFrameRecord(uint8_t* record, size_t dataLength, const FrameHeader& head) {
    EncodeFrameHeader(record, head);
    if (m_chunkRecords == 0) m_chunkStart = head.start;
    m_running = head.end;
    Write(record, kFrameHeaderSize + dataLength);

    if (m_ring) {
        LiveRecord& live = m_ring->NextSlot();
        live.header = head.header;
        live.value = dataLength ? record[kFrameHeaderSize] : 0;
        live.lineState = m_lineState;
        live.start = head.start;
        live.end = head.end;
        live.length = head.length;
        live.data.assign(record + kFrameHeaderSize, record + kFrameHeaderSize + dataLength);
        m_ring->Advance();
    }

    Count(head.header, 0);
    RotateIfFull();
}

void StreamDecoder::HandleFrame(const StreamItem& item) {
    // Only a line change starts a chunk of the 8-byte layout.
    if (!m_started) return;
    if (DropAtLimit()) return;
    uint8_t* data = m_assembly.get() + kFrameHeaderSize;
    if (item.first & kFlagContinuation) {
        if (m_pieces == 0) {
            m_assemblyHeader = item.first;
            m_assemblyStart = item.time;
            m_assembledData = 0;
        }
        // Pieces beyond 256 would overflow the 16-bit length: dropped.
        if (m_pieces < kMaxFramePieces) {
            std::memcpy(data + m_assembledData, item.data, item.dataLength);
            m_assembledData += item.dataLength;
            ++m_pieces;
        }
        return;
    }
    size_t total = item.dataLength;
    FrameHeader head{item.first, item.time, item.endTime, 0};
    if (m_pieces > 0) {
        // At most 256 pieces of 255 bytes plus 255: never beyond 65 535.
        std::memcpy(data + m_assembledData, item.data, item.dataLength);
        total = m_assembledData + item.dataLength;
        head.header = m_assemblyHeader;
        head.start = m_assemblyStart;
        m_pieces = 0;
        m_assembledData = 0;
    } else {
        std::memcpy(data, item.data, item.dataLength);
    }
    head.length = static_cast<uint16_t>(total);
    WriteFrameRecord(m_assembly.get(), total, head);
}

void StreamDecoder::AddTriggerEvent(uint8_t code) {
    if (code == kTriggerCodeBufferFull) {
        m_bufferFull = true;
        if (m_cmn) m_cmn->WriteLog("DBG", kLogSource, __LINE__, "SDRAM Buffer Full!!");
    }
    if (m_triggers.size() >= kMaxTriggerEvents) return;
    TriggerEvent ev;
    ev.chunk = m_table.CurrentSlot();
    SetDateField(ev.date, m_date);
    ev.time = m_running;
    ev.code = code;
    m_triggers.push_back(ev);
}

bool StreamDecoder::HandleControl(const StreamItem& item) {
    switch (item.type) {
        case ItemType::kTriggerStep:
            m_running += item.step;
            AddTriggerEvent(item.value);
            break;
        case ItemType::kTriggerTime:
            m_running = item.time;
            AddTriggerEvent(item.value);
            break;
        case ItemType::kNotice:
            Post(MainWindowMessage::kStopMonitoring, {});
            break;
        case ItemType::kDate: {
            // A full FIX run takes no new day: decoding stops in front of it.
            if (AtFixLimit()) return false;
            // A date that does not fit six digits cannot name a chunk.
            if (item.year > 99 || item.month > 99 || item.day > 99) break;
            if (m_chunkRecords > 0) {
                FinishChunk();
                OpenNextChunk();
            } else if (m_started) {
                // The chunk holds only its leading record: start it afresh so
                // that the new day's leading record is its first record.
                if (m_writer.OpenChunk() != 0) ReportWriteFailure();
            }
            char text[16];
            std::snprintf(text, sizeof text, "%02d%02d%02d", item.year % 100, item.month % 100,
                          item.day % 100);
            m_date = text;
            m_started = false;
            m_running = m_chunkStart = 0;
            m_dateSeen = true;
            break;
        }
        case ItemType::kTime:
            m_running = item.time;
            break;
        case ItemType::kPcTime: {
            const time_t t = static_cast<time_t>(item.seconds);
            struct tm local {};
            if (!localtime_r(&t, &local)) break;
            char text[32];
            std::snprintf(text, sizeof text, "%02d%02d%02d", (local.tm_year + 1900) % 100,
                          (local.tm_mon + 1) % 100, local.tm_mday % 100);
            m_date = text;
            m_running = FieldsToTicks(local.tm_hour, local.tm_min, local.tm_sec, 0, 0, 0);
            m_dateSeen = true;
            break;
        }
        case ItemType::kFiller:
            m_skip = item.fillerLength;
            break;
        default:
            break;
    }
    return true;
}

void StreamDecoder::Decode(ReceiveBuffer& buffer) {
    const uint8_t* p = buffer.Data();
    const size_t n = buffer.Fill();
    size_t pos = 0;
    StreamItem item;
    while (pos < n) {
        if (m_skip > 0) {
            // A filler's body may be longer than anything buffered: skip what
            // is there and the rest when it comes.
            const size_t k = static_cast<size_t>(std::min<uint64_t>(m_skip, n - pos));
            pos += k;
            m_skip -= k;
            continue;
        }
        const uint8_t b0 = p[pos];
        if (b0 >= 0x80 && m_layout == StreamLayout::kShort) {
            // The bulk of every ASYNC/LOGIC stream: kept free of the general parser.
            if (const size_t run = DecodeDataRun(p + pos, n - pos)) {
                pos += run;
                continue;
            }
            if (n - pos < kShortItemSize) break;
            HandleShortData(b0, p[pos + 1], ReadLe16(p + pos + 2));
            pos += kShortItemSize;
            continue;
        }
        const size_t size = ParseStreamItem(p + pos, n - pos, m_layout, item);
        if (size == 0) break;
        switch (item.type) {
            case ItemType::kLineChange:
                HandleLineChange8(p + pos, item);
                break;
            case ItemType::kFrame:
                HandleFrame(item);
                break;
            case ItemType::kEvent:  // SYNC/HDLC captures hold no event records
            case ItemType::kData:
            case ItemType::kUnknown:
                break;
            default:
                if (!HandleControl(item)) {
                    buffer.Consume(pos);
                    return;
                }
        }
        pos += size;
    }
    buffer.Consume(pos);
}

void StreamDecoder::Feed(ReceiveBuffer& buffer, std::span<const uint8_t> bytes) {
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t k = std::min(buffer.FreeSize(), bytes.size() - at);
        if (k == 0) break;  // decoding has stopped in front of a full buffer
        std::memcpy(buffer.FreeSpace(), bytes.data() + at, k);
        buffer.Commit(k);
        at += k;
        Decode(buffer);
    }
}

int StreamDecoder::FinishRun() {
    const int rc = m_writer.FlushAndClose(true);
    if (rc != 0) ReportWriteFailure();
    // A FIX run stopped at its limit already put its last chunk in the table.
    if (!AtFixLimit()) m_table.Add(ClosedChunkEntry());
    return rc;
}

}  // namespace qv
