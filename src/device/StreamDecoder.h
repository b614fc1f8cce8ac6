// The capture stream decoder of a monitoring run. It takes the bytes read from
// the instrument, turns every item into a capture record, writes the records
// into chunk files through the chunk writer, rotates chunks every FileRecords
// records, keeps the ring table of chunk entries, the totals and the trigger
// events of the run. The records also go to the live ring of the last 200
// records, but only when a view watches the run (KeepLiveRing): an offline
// decode or a run nobody shows spends nothing on it.
//
// Items may arrive split at any byte: Decode consumes every complete item at
// the front of the receive buffer and leaves an incomplete one there for the
// next read. Reports for the main window go through IMonitorEvents.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/CaptureRecord.h"
#include "device/LiveRing.h"
#include "capture/ChunkTable.h"
#include "device/StreamItem.h"
#include "settings/MonitorSettings.h"

namespace qv {

class ChunkWriter;
class AppContext;

// Reports of the monitoring run to the main window, which the window system
// delivers as posted messages.
enum class MainWindowMessage : int {
    kStopMonitoring = 1126,  // the instrument sent its notice item
    kStatusText = 1235,      // a text for the status bar
};

// A FIX run reached its frame limit.
inline constexpr std::string_view kTextCaptureFull = "モニタデータがＦＩＸになりました";
// A chunk write failed.
inline constexpr std::string_view kTextWriteFailed = "モニタデータ書込みに失敗しました！";

class IMonitorEvents {
  public:
    virtual ~IMonitorEvents() = default;
    // `text` is empty for kStopMonitoring.
    virtual void PostToMainWindow(MainWindowMessage message, std::string_view text) = 0;
};

// A FIX run keeps at most this many records, whatever FrameMax says.
inline constexpr uint64_t kFixFrameMax = 2'000'000'000;

struct DecoderConfig {
    int protocol = kProtocolAsync;
    int memory = kMemoryFix;
    uint64_t frameMax = kFixFrameMax;  // records the run may keep
    uint64_t fileRecords = 50000;      // counted records per chunk
};

// Totals of the run; in RING mode those of the chunks still kept.
struct CaptureTotals {
    uint64_t records = 0;
    uint64_t kinds[4] = {};  // SD, RD, line changes, events
    // Line-state bit 7..0 changes, then event bit 7 and bit 6 changes.
    uint64_t changes[10] = {};
};

// Bytes read from the instrument and not yet decoded: room for one 1 MiB
// status-driven read on top of whatever incomplete item waits at the front.
class ReceiveBuffer {
  public:
    static constexpr size_t kSize = 33'554'944;  // 32 MiB + 512

    ReceiveBuffer() : m_bytes(new uint8_t[kSize]) {}
    uint8_t* FreeSpace() { return m_bytes.get() + m_fill; }
    size_t FreeSize() const { return kSize - m_fill; }
    // Counts `n` bytes just read into FreeSpace.
    void Commit(size_t n) { m_fill += n < FreeSize() ? n : FreeSize(); }
    const uint8_t* Data() const { return m_bytes.get(); }
    size_t Fill() const { return m_fill; }
    // Drops `n` decoded bytes from the front, moving the rest down.
    void Consume(size_t n);
    void Clear() { m_fill = 0; }

  private:
    std::unique_ptr<uint8_t[]> m_bytes;
    size_t m_fill = 0;
};

class StreamDecoder {
  public:
    static constexpr const char* kLogSource = "MonitorWnd";

    // `writer` must outlive the decoder; `events` and `cmn` may be null.
    StreamDecoder(ChunkWriter& writer, IMonitorEvents* events, AppContext* cmn = nullptr);
    ~StreamDecoder();
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    // Clears the whole state for a new run and builds the chunk table.
    void Reset(const DecoderConfig& config);
    // Whether decoded records also go to the live ring, for a view that
    // shows the run as it goes. Off until asked for; Reset keeps the choice.
    void KeepLiveRing(bool keep);

    // Opens the first chunk of the run (slot 1) in the writer's folder. 0 or -1.
    int OpenFirstChunk();

    // Decodes every complete item at the front of the buffer and removes it.
    void Decode(ReceiveBuffer& buffer);
    // Convenience for tools and tests: appends the bytes to the buffer,
    // decoding whenever it fills, then decodes.
    void Feed(ReceiveBuffer& buffer, std::span<const uint8_t> bytes);

    // Stop, the file side: closes the current chunk and adds its entry to the
    // table (unless a FIX run is at its limit). 0, or -1 when the close failed.
    int FinishRun();

    // --- state read by the run and its views
    const DecoderConfig& Config() const { return m_config; }
    const CaptureTotals& Totals() const { return m_totals; }
    const ChunkTable& Table() const { return m_table; }
    const std::vector<TriggerEvent>& TriggerEvents() const { return m_triggers; }
    // The live ring; null unless KeepLiveRing asked for it.
    const LiveRing* Ring() const { return m_ring.get(); }
    LiveRing* Ring() { return m_ring.get(); }
    const std::string& DateText() const { return m_date; }
    bool BufferFull() const { return m_bufferFull; }
    bool DateSeen() const { return m_dateSeen; }
    bool Started() const { return m_started; }
    uint64_t RunningTime() const { return m_running; }
    uint8_t LineState() const { return m_lineState; }
    // Chunks opened in this run.
    uint64_t ChunksOpened() const { return m_chunksOpened; }
    // Counted records of the chunk being written and its entry so far.
    uint32_t ChunkRecords() const { return m_chunkRecords; }
    ChunkEntry CurrentChunkEntry() const;
    // Write failures reported during the run.
    uint64_t WriteFailures() const { return m_writeFailures; }
    // Data items dropped because a FIX run was full.
    uint64_t DroppedAtLimit() const { return m_droppedAtLimit; }

  private:
    bool AtFixLimit() const {
        return m_config.memory == kMemoryFix && m_totals.records >= kFixFrameMax;
    }
    // A FIX run at its frame limit drops the record (true).
    bool DropAtLimit();
    // Returns false when decoding must stop in front of this item.
    bool HandleControl(const StreamItem& item);
    void HandleShortData(uint8_t header, uint8_t value, uint16_t step);
    // Decodes the data items at `p` (n bytes) in one sweep while nothing
    // else needs doing; returns the bytes it took (whole items, maybe none).
    size_t DecodeDataRun(const uint8_t* p, size_t n);
    void HandleLineChange8(const uint8_t* raw, const StreamItem& item);
    void HandleFrame(const StreamItem& item);
    void WriteFrameRecord(uint8_t* record, size_t dataLength, const FrameHeader& head);
    void AddTriggerEvent(uint8_t code);
    void Count(uint8_t header, uint8_t value);
    void Write(const uint8_t* bytes, size_t length);
    void ReportWriteFailure();
    void FinishChunk();
    // The entry of the chunk just closed. After a failed write it is counted
    // again from the file, so that it claims only the records the file holds
    // (the totals lose the difference).
    ChunkEntry ClosedChunkEntry();
    void ChunkOpened();
    int OpenNextChunk();
    void RotateIfFull();
    void Post(MainWindowMessage message, std::string_view text);

    ChunkWriter& m_writer;
    IMonitorEvents* m_events;
    AppContext* m_cmn;
    DecoderConfig m_config;
    StreamLayout m_layout = StreamLayout::kShort;

    CaptureTotals m_totals;
    std::string m_date;  // YYMMDD of the records now arriving
    bool m_bufferFull = false;
    bool m_started = false;
    bool m_dateSeen = false;
    bool m_limitReported = false;
    uint64_t m_running = 0;     // 10 ns ticks since midnight
    uint64_t m_chunkStart = 0;  // time of the current chunk's first record
    uint8_t m_lineState = 0;
    uint8_t m_eventByte = 0;
    uint32_t m_chunkRecords = 0;
    ChunkEntry m_chunk;  // counters of the current chunk
    uint64_t m_chunksOpened = 0;
    uint64_t m_skip = 0;  // filler bytes still to skip
    uint64_t m_writeFailures = 0;
    uint64_t m_chunkFailuresBefore = 0;  // write failures before the current chunk
    uint8_t m_chunkEventBefore = 0;      // event byte in force when the chunk opened
    uint64_t m_droppedAtLimit = 0;

    // Frame assembly: a 16-byte frame record header followed by the data.
    std::unique_ptr<uint8_t[]> m_assembly;
    size_t m_assembledData = 0;
    size_t m_pieces = 0;
    uint8_t m_assemblyHeader = 0;
    uint64_t m_assemblyStart = 0;

    ChunkTable m_table;
    std::unique_ptr<LiveRing> m_ring;  // only while a view watches
    std::vector<TriggerEvent> m_triggers;
};

}  // namespace qv
