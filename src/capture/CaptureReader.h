// Reader of a stored capture: an index file (.qvr) and its numbered chunk
// files (.qvd). It never loads a whole capture: it keeps one table entry per
// chunk, from the index, and the records of two consecutive chunks (a pair).
// Every movement places a cursor inside the pair and loads another pair when
// the wanted record lies elsewhere; the chunk counters let totals, frame
// location and type searches skip whole chunks unread.
//
// Codes: 0 success, else a ReaderCode. A failed movement leaves the cursor
// on the record it was on. One thread at a time; workers open their own.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/CaptureFrame.h"
#include "capture/CaptureIndex.h"
#include "capture/CaptureIndexText.h"
#include "capture/CaptureRecord.h"
#include "capture/ChunkData.h"
#include "capture/RecordStart.h"
#include "capture/RecordTime.h"
#include "core/IniFile.h"
#include "settings/FormatEntry.h"
#include "settings/MonitorSettings.h"
#include "settings/TriggerSetting.h"

namespace qv {

class Log;
class SettingsStore;

// Counters of a chunk entry, numbered as its fields 3 to 16.
enum ChunkCounter : int {
    kCountSd = 3,
    kCountRd = 4,
    kCountLineChanges = 5,
    kCountEvents = 6,
    kCountBit7Changes = 7,  // RS; fields 8..14 are bits 6..0
    kCountEventBit7Changes = 15,
    kCountEventBit6Changes = 16,
};
uint32_t ChunkCounterValue(const ChunkEntry& e, int field);

// Jump types of the type searches.
enum JumpType : int {
    kJumpSd = 2,
    kJumpRd = 3,
    kJumpLineBit7 = 4,  // 4..11: line-state bit 7 (RS) .. bit 0 (Ext OUT) changed
    kJumpEventBit7 = 12,
    kJumpEventBit6 = 13,
    kJumpLineChange = 14,
    kJumpEvent = 15,
    kJumpData = 16,
};

struct KindOrdinals {
    uint64_t sd = 0, rd = 0, lineChanges = 0, events = 0;
};

struct CursorPosition {
    uint64_t frame = 0;  // 0-based ordinal in the capture
    uint32_t chunk = 0;  // 1-based
    uint32_t index = 0;  // 0-based in the chunk
};

class CaptureReader {
  public:
    // `store` gives the clock frequency (character times when no baud rate
    // is set; reloaded at each Open); both must outlive the reader.
    CaptureReader(SettingsStore& store, Log& log);

    int Open(const std::string& indexPath);
    Protocol GetProtocol() const { return m_protocol; }
    const std::string& GetFileName() const { return m_fileName; }
    // The capture folder, ending in "/".
    const std::string& GetFolder() const { return m_folder; }
    const std::string& GetIndexPath() const { return m_indexPath; }
    // The zone the capture was recorded in; empty when its index names none.
    std::string GetTimeZone();

    uint32_t GetChunkCount() const { return static_cast<uint32_t>(m_chunks.size()); }
    // The path of chunk file `chunk` (1-based).
    std::string ChunkPath(uint32_t chunk) const;
    // The latest chunk that could not be read (0: none) and its code, so that
    // a failure can name the file.
    uint32_t GetFailedChunk() const { return m_failedChunk; }
    // The number of the index's chunk entry the chunk table stopped at
    // because it does not parse (0: none); the capture is read up to the
    // chunk before it.
    uint64_t GetMalformedEntry() const { return m_malformedEntry; }
    int GetFailedCode() const { return m_failedCode; }
    // The first record (0-based) of chunk `chunk` and the records it counts.
    uint64_t ChunkFirstFrame(uint32_t chunk) const { return m_chunkStart[chunk - 1]; }
    // The entry of chunk `chunk` (1-based) and its start as a record time text.
    int GetChunkInfo(uint32_t chunk, std::string& startText, ChunkEntry& entry) const;
    // The capture's StartTime / EndTime from the index, as record time texts.
    int GetCaptureStartText(std::string& text);
    int GetCaptureEndText(std::string& text);

    uint64_t GetTotalRecords() const { return m_chunkStart.empty() ? 0 : m_chunkStart.back(); }
    uint64_t GetTotal(int counterField) const;
    int GetKindOrdinals(KindOrdinals& out) const;

    // --- the current record
    bool HasRecord() const { return m_cursor < PairCount(); }
    // Inline, with GetFrame: long reads call both for every record.
    int GetCursor(CursorPosition& pos) const {
        if (!HasRecord()) return kQvrNoRecord;
        pos = {m_pairBase + m_cursor, SlotChunkNumber(m_cursor), SlotIndex(m_cursor)};
        return kQvrOk;
    }
    int GetHeaderByte(uint8_t& out) const;
    int GetLineState(uint8_t& out) const;
    // ASYNC event records only; -14 for other protocols, 0 for other kinds.
    int GetEventByte(uint8_t& out) const;
    // Record time text and tick value (ASYNC data: the start is the stamp
    // less the character time, and may fall on the previous day).
    int GetStartTime(std::string& text, uint64_t& ticks) const;
    int GetEndTime(std::string& text, uint64_t& ticks) const;
    int GetEndTimeShifted(uint64_t offset, std::string& text) const;
    // The end time as a value: exactly the time GetEndTime's text spells.
    int GetEndRecordTime(DayTime& out) const;
    // The same start and end as dates and times of day, without making texts:
    // for callers that read thousands of records at a time.
    int GetDayTimes(DayTime& start, DayTime& end) const;
    uint32_t GetDataLength() const;
    // Copies the record's data or its raw bytes (header + payload).
    int GetData(std::vector<uint8_t>& out) const;
    int GetRawRecord(std::vector<uint8_t>& out) const;
    int GetFrame(CaptureFrame& out) const {
        if (!HasRecord()) return kQvrNoRecord;
        out.Assign(m_protocol, SlotRecord(m_cursor), SlotLineState(m_cursor));
        return kQvrOk;
    }

    // --- movement
    int GoToFrame(uint64_t frame);
    int GoToChunkRecord(uint32_t chunk, uint32_t index);
    int GoToTime(const DayTime& when);
    // Moving within the loaded pair of chunks is the step of every record of
    // a long read, so that much is kept inline.
    int NextRecord() {
        // 64-bit: the cursor of no record (all ones) must not wrap to 0.
        if (m_cursor + uint64_t{1} < PairCount()) {
            ++m_cursor;
            return kQvrOk;
        }
        return NextRecordAcrossChunks();
    }
    int PrevRecord();
    // The n-th (0-based) data record of direction 1 SD, 2 RD, else either.
    int GoToNthOfDirection(uint64_t n, int direction);
    // The next / previous record of a jump type; -12 when there is none. A
    // chunk that may hold one and cannot be read ends the search with the
    // load's code, the cursor where it was.
    int NextOfType(int jumpType);
    int PrevOfType(int jumpType);

    // --- marks M1..M5 of the index
    // The mark's chunk, its record time text, its record kind (signal code)
    // and comment; -1 when the mark is absent or unreadable, -8 for a number
    // outside 1..5.
    int ReadMark(int n, uint32_t& chunk, std::string& timeText, int& kind, std::string& comment);
    // Marks the current record; the comment replaces the old one unless null.
    int SetMark(int n, const std::string* comment);

    // --- the capture's display format rows and monitor settings
    int ReadFormatRow(int n, FormatEntry& row);
    // All rows present (up to 30); 0 if at least one was read, else -1.
    int ReadFormatRows(std::vector<FormatEntry>& rows);
    int WriteFormatRows(const std::vector<FormatEntry>& rows);
    int GetMonitorSettings(MonitorSettings& m, SamplingSettings& s) const;
    // The triggers 1..5 the capture was made with, as its index keeps them.
    void ReadTriggers(std::array<TriggerSetting, kTriggerCount>& out) const;

    const AsyncCharTiming& GetCharTiming() const { return m_timing; }

  private:
    struct Saved {
        uint32_t pairFirst = 0;
        uint32_t cursor = UINT32_MAX;
    };

    uint32_t PairCount() const { return m_pair[0].Count() + m_pair[1].Count(); }
    const ChunkData& SlotChunk(uint32_t slot) const {
        return slot < m_pair[0].Count() ? m_pair[0] : m_pair[1];
    }
    uint32_t SlotIndex(uint32_t slot) const {
        return slot < m_pair[0].Count() ? slot : slot - m_pair[0].Count();
    }
    const uint8_t* SlotRecord(uint32_t slot) const {
        return SlotChunk(slot).Record(SlotIndex(slot));
    }
    uint8_t SlotLineState(uint32_t slot) const {
        return SlotChunk(slot).LineState(SlotIndex(slot));
    }
    uint32_t SlotChunkNumber(uint32_t slot) const { return SlotChunk(slot).Number(); }
    uint64_t SlotEndTicks(uint32_t slot) const;
    // The first slot of chunk `chunk` in the loaded pair.
    uint32_t FirstSlotOf(uint32_t chunk) const {
        return chunk == m_pair[0].Number() ? 0 : m_pair[0].Count();
    }

    int NextRecordAcrossChunks();
    // The date and time of day of a record time (with the day moved when it
    // runs past midnight); logs a date that is no calendar date.
    DayTime LoggedDayTime(uint32_t slot, int64_t ticks) const;
    int LoadPair(uint32_t first);
    int Bring(size_t which, uint32_t number);
    Saved Save() const { return {m_pair[0].Number(), m_cursor}; }
    void Restore(const Saved& s);
    // The 1-based chunk that holds frame f, or 0.
    uint32_t ChunkOfFrame(uint64_t f) const;
    int DateNumber(uint32_t chunk) const;
    bool SlotMatches(uint32_t slot, int jumpType, uint8_t startLine, uint8_t startEvent) const;
    uint8_t SlotEventByte(uint32_t slot) const;
    int TimeText(uint32_t slot, int64_t ticks, std::string& text, uint64_t& adjusted) const;
    DayTime SlotDayTime(uint32_t slot, int64_t ticks) const;
    int ReadIndexTime(bool end, std::string& text);

    SettingsStore& m_store;
    Log& m_log;
    Protocol m_protocol = Protocol::kAsync;
    uint32_t m_cursor = 0;
    uint64_t m_pairBase = 0;  // frame number of slot 0
    std::string m_indexPath, m_fileName, m_folder;
    AsyncCharTiming m_timing;
    RecordStart m_starts;  // when a record began, from the two above
    MonitorSettings m_settings;
    SamplingSettings m_sampling;
    CaptureIndex m_index;
    std::vector<ChunkEntry> m_chunks;
    std::vector<uint64_t> m_chunkStart;  // [i]: records in chunks 1..i; size chunks + 1
    std::vector<std::array<uint64_t, 4>> m_kindStart;  // [i]: records of each kind in chunks 1..i
    std::array<uint64_t, 14> m_totals{};               // the counters 3..16 over all chunks
    std::array<ChunkData, 2> m_pair;
    std::array<ChunkData, 2> m_spare;  // chunks read before, kept for a return
    size_t m_nextSpare = 0;
    uint32_t m_failedChunk = 0;
    int m_failedCode = kQvrOk;
    uint64_t m_malformedEntry = 0;
};

}  // namespace qv
