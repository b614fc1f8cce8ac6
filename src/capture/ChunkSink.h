// The file side of a capture: the decoded records go through the chunk
// writer into chunk files, a chunk rotates every FileRecords counted records
// (starting with a leading record that carries the line state), a new day
// starts a new chunk, and the ring table of chunk entries, the totals and the
// trigger events of the run are kept for the index. A FIX run keeps at most
// FrameMax records; a RING run overwrites its oldest chunk when the table is
// full. Write failures are reported as notices.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capture/CaptureGaps.h"
#include "capture/CaptureRecord.h"
#include "capture/ChunkTable.h"
#include "capture/DecodeSink.h"
#include "core/RunNotice.h"
#include "settings/MonitorSettings.h"

namespace qv {

class Log;
class ChunkWriter;

// A FIX run keeps at most this many records, whatever FrameMax says.
inline constexpr uint64_t kFixFrameMax = 2'000'000'000;

struct ChunkConfig {
    Protocol protocol = Protocol::kAsync;
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

class ChunkSink final : public DecodeSink {
  public:
    // `writer` must outlive the sink; `notices` and `log` may be null.
    ChunkSink(ChunkWriter& writer, RunNoticeSink* notices, Log* log = nullptr);

    // Clears the whole state for a new run and builds the chunk table.
    void Reset(const ChunkConfig& config);
    // Opens the first chunk of the run (slot 1) in the writer's folder. 0 or -1.
    int OpenFirstChunk();
    // Stop: closes the current chunk and adds its entry to the table (unless
    // a FIX run is at its limit). 0, or -1 when the close failed.
    int FinishRun();

    const ChunkConfig& Config() const { return m_config; }
    const CaptureTotals& Totals() const { return m_totals; }
    const ChunkTable& Table() const { return m_table; }
    const std::vector<TriggerEvent>& TriggerEvents() const { return m_triggers; }
    // Chunks opened in this run.
    uint64_t ChunksOpened() const { return m_chunksOpened; }
    // Counted records of the chunk being written and its entry so far.
    uint32_t ChunkRecords() const { return m_chunkRecords; }
    ChunkEntry CurrentChunkEntry() const;
    // Write failures reported during the run.
    uint64_t WriteFailures() const { return m_writeFailures; }
    // Writes what the chunk buffer holds to disk now (a failure is reported
    // as any write failure).
    void FlushBuffered();
    // The instrument's overflows and the time they lost.
    const CaptureGaps& Gaps() const { return m_gaps; }
    // The run ended at `yymmdd`, `ticks`: a gap still open ends there.
    void EndGaps(int yymmdd, uint64_t ticks) { m_gaps.End(yymmdd, ticks); }

    // DecodeSink
    bool Full() const override {
        return m_config.memory == kMemoryFix && m_totals.records >= m_config.frameMax;
    }
    bool TakesNewDay() const override { return !AtFixLimit(); }
    void NewDay(std::string_view yymmdd, bool started) override;
    void DateSet(std::string_view yymmdd) override { SetDate(yymmdd); }
    void LeadingRecord(const DecodedRecord& record) override;
    bool Record(const DecodedRecord& record) override;
    uint8_t* ShortRoom(uint64_t& records) override;
    bool ShortWritten(const ShortSweep& sweep) override;
    void BufferFull() override;
    void Trigger(uint8_t code, uint64_t time) override;

  private:
    void SetDate(std::string_view yymmdd);
    bool AtFixLimit() const {
        return m_config.memory == kMemoryFix && m_totals.records >= kFixFrameMax;
    }
    void Store(const DecodedRecord& record);
    void Count(uint8_t header, uint8_t lineAfter, uint8_t eventAfter);
    void Write(const uint8_t* bytes, size_t length);
    void ReportWriteFailure();
    void FinishChunk();
    // The entry of the chunk just closed. After a failed write it is counted
    // again from the file, so that it claims only the records the file holds
    // (the totals lose the difference).
    ChunkEntry ClosedChunkEntry();
    // Opens the chunk of the table's current slot and restarts its counters.
    int OpenSlotChunk();
    int OpenNextChunk();
    void RotateIfFull();

    ChunkWriter& m_writer;
    RunNoticeSink* m_notices;
    Log* m_log;
    ChunkConfig m_config;

    CaptureTotals m_totals;
    std::string m_date;         // YYMMDD of the records now arriving
    int m_dateNumber = 0;       // the same as a number
    uint64_t m_chunkStart = 0;  // time of the current chunk's first record
    uint8_t m_lineState = 0;    // as the decoder last told it
    uint8_t m_eventByte = 0;
    uint32_t m_chunkRecords = 0;
    ChunkEntry m_chunk;  // counters of the current chunk
    uint64_t m_chunksOpened = 0;
    uint64_t m_writeFailures = 0;
    uint64_t m_chunkFailuresBefore = 0;  // write failures before the current chunk
    uint8_t m_chunkEventBefore = 0;      // event byte in force when the chunk opened

    ChunkTable m_table;
    std::vector<TriggerEvent> m_triggers;
    CaptureGaps m_gaps;
};

}  // namespace qv
