#include "device/StreamDecoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/TimeText.h"

namespace qv {

namespace {

// A frame record's header plus the most data its 16-bit length can hold.
constexpr size_t kAssemblySize = kFrameHeaderSize + kMaxFrameData;

}  // namespace

void ReceiveBuffer::Consume(size_t n) {
    if (n >= m_fill) {
        m_fill = 0;
        return;
    }
    std::memmove(m_bytes.get(), m_bytes.get() + n, m_fill - n);
    m_fill -= n;
}

StreamDecoder::StreamDecoder(DecodeSink& capture, RunNoticeSink* notices)
    : m_capture(capture), m_notices(notices), m_assembly(new uint8_t[kAssemblySize]) {
    Reset(Protocol::kAsync);
}

StreamDecoder::~StreamDecoder() = default;

void StreamDecoder::Reset(Protocol protocol) {
    m_layout = StreamLayoutFor(protocol);
    m_date.clear();
    m_bufferFull = m_started = m_dateSeen = m_limitReported = false;
    m_running = 0;
    m_lineState = m_eventByte = 0;
    m_skip = 0;
    m_droppedAtLimit = 0;
    m_full = false;
    m_room = nullptr;
    m_roomLeft = 0;
    m_sweep = ShortSweep{};
    m_assembledData = m_pieces = 0;
    m_assemblyHeader = 0;
    m_assemblyStart = 0;
}

void StreamDecoder::Track(uint8_t header, uint8_t value) {
    switch (HeaderKind(header)) {
        case RecordKind::kLineChange:
            m_lineState = value;
            break;
        case RecordKind::kEvent:
            m_eventByte = value;
            break;
        default:
            break;
    }
}

bool StreamDecoder::DropAtLimit() {
    if (!m_full) return false;
    // One report is enough; the main window shows it until the run stops.
    if (!m_limitReported) {
        m_limitReported = true;
        Notify(RunNotice::kCaptureFull);
    }
    ++m_droppedAtLimit;
    return true;
}

// Inlined into Decode: it runs once per item of every ASYNC/LOGIC stream.
[[gnu::always_inline]] inline void StreamDecoder::HandleShortData(uint8_t header, uint8_t value,
                                                                   uint16_t step) {
    DecodedRecord record;
    record.header = header;
    record.value = value;
    if (!m_started) [[unlikely]] {
        // Data before the first date has no day to belong to.
        if (!m_dateSeen) return;
        // The chunk's leading record: stored as received at the running time
        // (its step is not added) and not counted.
        m_started = true;
        m_lineState = HeaderKind(header) == RecordKind::kLineChange ? value : 0;
        record.start = record.end = m_running;
        record.lineState = m_lineState;
        record.eventByte = m_eventByte;
        Capture().LeadingRecord(record);
        return;
    }
    if (DropAtLimit()) [[unlikely]]
        return;
    m_running += step;
    Track(header, value);
    record.start = record.end = m_running;
    record.lineState = m_lineState;
    record.eventByte = m_eventByte;
    Emit(record);
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

void StreamDecoder::FlushSweep() {
    m_roomLeft = 0;
    if (m_sweep.records == 0) return;
    m_sweep.stored = m_room;
    m_sweep.lineState = m_lineState;
    m_sweep.eventByte = m_eventByte;
    // The live sink first, as for single records: it numbers the records
    // from the capture's totals before they count them.
    if (m_live) m_live->ShortWritten(m_sweep);
    m_full = m_capture.ShortWritten(m_sweep);
    m_sweep = ShortSweep{};
}

size_t StreamDecoder::DecodeDataRun(const uint8_t* p, size_t n) {
    if constexpr (std::endian::native != std::endian::little) return 0;
    // The item-by-item path takes the first record of a run and of a day;
    // the capture says how many records it takes in place (none for the
    // first record of a chunk).
    if (!m_started) return 0;
    if (m_roomLeft == 0) {
        m_room = m_capture.ShortRoom(m_roomLeft);
        if (m_roomLeft == 0) return 0;
    }
    if (m_sweep.records == 0) m_sweep.lineBefore = m_lineState;
    const uint64_t room = m_roomLeft;
    uint8_t* out = m_room + m_sweep.records * kShortRecordSize;
    const uint8_t* in = p;
    const uint8_t* const inEnd = p + n;

    // The counters stay in registers for the sweep and are added once. The
    // kinds and the line bits vary from record to record as the line does,
    // so they are counted without branches, in lanes of one register each:
    // four 16-bit lanes of kind counts, eight byte lanes of line-bit changes
    // (lane n for bit n), emptied every 255 records before a lane can wrap.
    // A time item between data items only sets the running time, so the
    // sweep takes it too rather than end there: on a quiet line one comes
    // every few characters.
    uint64_t running = m_running;
    uint8_t lineState = m_lineState, eventByte = m_eventByte;
    uint64_t kinds[4] = {};
    uint64_t lineBits[8] = {};
    uint64_t eventBits[2] = {};
    uint64_t i = 0;      // records written
    bool other = false;  // stopped in front of an item the sweep does not take
    while (i < room && !other) {
        const uint64_t blockEnd = i + std::min<uint64_t>(room - i, 255);
        uint64_t kindLanes = 0, bitLanes = 0;
        while (i < blockEnd) {
            // Records that fit both the block and the bytes left, so that the
            // loop below checks neither; a time item among them ends it early.
            const uint64_t stop =
                i + std::min<uint64_t>(blockEnd - i,
                                       static_cast<uint64_t>(inEnd - in) / kShortItemSize);
            for (; i < stop; ++i) {
                uint32_t item;  // header, value, 16-bit step: little-endian
                std::memcpy(&item, in, sizeof item);
                const uint32_t header = item & 0xFF;
                if (header < 0x80) break;
                in += kShortItemSize;
                running += item >> 16;
                // The 8-byte short record: header, value, 48-bit time.
                const uint64_t record = (item & 0xFFFF) | (running << 16);
                std::memcpy(out + i * kShortRecordSize, &record, sizeof record);
                kindLanes += kByHeader.lane[header];
                // The line bits a line change turns (none for other records),
                // each counted in its byte lane. Tables and a select rather
                // than tests keep this free of branches, which the line would
                // mispredict.
                const uint8_t value = static_cast<uint8_t>(item >> 8);
                const uint8_t lineMask = kByHeader.lineMask[header];
                const uint8_t changed = (lineState ^ value) & lineMask;
                lineState = lineMask ? value : lineState;
                bitLanes += kSpreadBits[changed];
                if (header >= 0xE0) [[unlikely]] {  // an event record
                    const uint8_t changedEvents = eventByte ^ value;
                    eventBits[0] += (changedEvents & kEventSdBreak) ? 1 : 0;
                    eventBits[1] += (changedEvents & kEventRdBreak) ? 1 : 0;
                    eventByte = value;
                }
            }
            if (i == blockEnd) break;
            // In front of an item that is no data item, or of too few bytes.
            if (inEnd - in >= static_cast<ptrdiff_t>(kWideItemSize) && in[0] == kItemTime) {
                running = ReadLe48(in + 2);
                in += kWideItemSize;
                continue;
            }
            other = true;
            break;
        }
        for (size_t k = 0; k < 4; ++k)
            kinds[k] += (kindLanes >> (16 * k)) & 0xFFFF;
        // Counter 0 is bit 7 (RS), counter 7 bit 0.
        for (size_t b = 0; b < 8; ++b)
            lineBits[b] += (bitLanes >> (8 * (7 - b))) & 0xFF;
    }
    if (in == p) return 0;
    m_running = running;
    m_lineState = lineState;
    m_eventByte = eventByte;
    m_sweep.records += i;
    for (size_t k = 0; k < 4; ++k)
        m_sweep.kinds[k] += kinds[k];
    for (size_t b = 0; b < 8; ++b)
        m_sweep.lineBits[b] += lineBits[b];
    for (size_t b = 0; b < 2; ++b)
        m_sweep.eventBits[b] += eventBits[b];
    m_roomLeft -= i;
    // A used-up room may end the chunk: it rotates right after its last
    // record, as item by item.
    if (m_roomLeft == 0) FlushSweep();
    return static_cast<size_t>(in - p);
}

void StreamDecoder::HandleLineChange8(const uint8_t* raw, const StreamItem& item) {
    DecodedRecord record;
    record.header = item.first;
    record.value = item.value;
    record.start = record.end = item.time;
    record.stored = raw;
    record.storedSize = kWideItemSize;
    if (!m_started) {
        m_started = true;
        m_lineState = item.value;
        m_running = item.time;
        record.lineState = m_lineState;
        record.eventByte = m_eventByte;
        Capture().LeadingRecord(record);
        return;
    }
    if (DropAtLimit()) return;
    m_running = item.time;
    Track(item.first, item.value);
    record.lineState = m_lineState;
    record.eventByte = m_eventByte;
    Emit(record);
}

void StreamDecoder::EmitFrameRecord(uint8_t* stored, size_t dataLength, const FrameHeader& head) {
    EncodeFrameHeader(stored, head);
    m_running = head.end;
    DecodedRecord record;
    record.header = head.header;
    record.value = dataLength ? stored[kFrameHeaderSize] : 0;
    record.start = head.start;
    record.end = head.end;
    record.length = head.length;
    record.data = stored + kFrameHeaderSize;
    record.stored = stored;
    record.storedSize = kFrameHeaderSize + dataLength;
    // A frame changes no line; its count goes as a record without a value.
    Track(head.header, 0);
    record.lineState = m_lineState;
    record.eventByte = m_eventByte;
    Emit(record);
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
    EmitFrameRecord(m_assembly.get(), total, head);
}

void StreamDecoder::Trigger(uint8_t code) {
    if (code == kTriggerCodeBufferFull) {
        m_bufferFull = true;
        if (m_live) m_live->BufferFull();
        Capture().BufferFull();
    }
    if (m_live) m_live->Trigger(code, m_running);
    Capture().Trigger(code, m_running);
}

bool StreamDecoder::HandleControl(const StreamItem& item) {
    switch (item.type) {
        case ItemType::kTriggerStep:
            m_running += item.step;
            Trigger(item.value);
            break;
        case ItemType::kTriggerTime:
            m_running = item.time;
            Trigger(item.value);
            break;
        case ItemType::kNotice:
            Notify(RunNotice::kStop);
            break;
        case ItemType::kDate: {
            // A full FIX run takes no new day: decoding stops in front of it.
            if (!Capture().TakesNewDay()) return false;
            // A date that does not fit six digits cannot name a chunk.
            if (item.year > 99 || item.month > 99 || item.day > 99) break;
            char text[16];
            std::snprintf(text, sizeof text, "%02d%02d%02d", item.year % 100, item.month % 100,
                          item.day % 100);
            if (m_live) m_live->NewDay(text, m_started);
            m_capture.NewDay(text, m_started);
            m_full = m_capture.Full();
            m_date = text;
            m_started = false;
            m_running = 0;
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
            if (m_live) m_live->DateSet(m_date);
            Capture().DateSet(m_date);
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
    buffer.Consume(Decode(buffer.Data(), buffer.Fill()));
}

size_t StreamDecoder::Decode(const uint8_t* bytes, size_t n) {
    // The capture may have changed between reads (a new run, a FinishRun).
    m_full = m_capture.Full();
    const size_t taken = DecodeItems(bytes, n);
    // Whatever was decoded has reached the capture when Decode returns.
    FlushSweep();
    return taken;
}

size_t StreamDecoder::DecodeItems(const uint8_t* p, size_t n) {
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
                if (!HandleControl(item)) return pos;
        }
        pos += size;
    }
    return pos;
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

}  // namespace qv
