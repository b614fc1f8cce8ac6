// The capture index (.qvr): the settings a capture was made with (the status
// sections, shared with status files), its start and end time, one entry per
// chunk file, the record total, the filter flag, the five marks and the
// trigger events of the run. One operation per index entry; every one
// returns 0 or -1 unless it says otherwise.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "capture/CaptureIndexText.h"
#include "capture/CaptureRecord.h"
#include "settings/StatusFile.h"

namespace qv {

class CaptureIndex : public StatusFile {
  public:
    static constexpr std::string_view kDataFile = "DataFile";
    static constexpr std::string_view kMark = "Mark";
    static constexpr std::string_view kTriggerRecord = "TriggerRecord";
    static constexpr std::string_view kFormat = "Format";
    static constexpr int kIndexFormatRows = 30;
    static constexpr int kMarks = 5;

    // An index on a full disk is written in place rather than not at all:
    // without its chunk entries no record of the capture could be read.
    CaptureIndex() { SetInPlaceFallback(true); }

    // -1, nothing created, unless the path contains ".qvr"; a missing index is
    // created as the empty skeleton.
    int OpenIndex(const std::string& path);
    // The empty index: the status sections, then DataFile, Mark, Format
    // ("1" to "30"), SyncRecord and TriggerRecord, every value empty, lines
    // ending in CR LF.
    int CreateNew() override;

    // DataFile FrameNum: the capture's record total; absent reads as 0.
    int WriteFrameNum(uint64_t total);
    uint64_t ReadFrameNum();

    // DataFile key n (from 1). A start time over 24 h is written as 0.
    int WriteChunkEntry(const ChunkEntry& entry, uint64_t n);
    // -1 when the key is absent, -2 when it is empty or has not exactly 15
    // commas.
    int ReadChunkEntry(uint64_t n, ChunkEntry& entry);

    // DataFile StartTime / EndTime: date text and time of day (10 ns ticks);
    // a time over 24 h is not written (-1).
    int WriteStartTime(std::string_view date, uint64_t ticks);
    int ReadStartTime(IndexTime& time);
    // The zone the capture's wall-clock times were recorded in ("Asia/Tokyo"),
    // a key that readers not knowing it pass over. -1 when it has none.
    int WriteTimeZone(std::string_view name);
    int ReadTimeZone(std::string& name);
    int WriteEndTime(std::string_view date, uint64_t ticks);
    int ReadEndTime(IndexTime& time);

    // DataFile FilterFlg: "ON" for 1, "OFF" for anything else. Reading gives 1
    // for "ON" and -1 for anything else.
    int WriteFilterFlag(int on);
    int ReadFilterFlag();

    // Mark "M1".."M5"; any other number -1 without touching the index.
    int WriteMark(const CaptureMark& mark, int n);
    int ReadMark(int n, CaptureMark& mark);
    // The marked record's date (6 characters) and time; -1 for another
    // number or an absent mark.
    int MarkPosition(int n, std::string& date, uint64_t& time);

    // TriggerRecord key n (from 1). Reading gives -1 when the key is absent
    // (the list ends there), -2 when its value does not parse.
    int WriteTriggerRecord(const TriggerEvent& event, int n);
    int ReadTriggerRecord(int n, TriggerEvent& event);

    // Sum over the chunk entries from key "1" up to the first absent one:
    // selector 1 all records, 2 SD, 3 RD, 4 line changes, 5 events; other
    // selectors add 0.
    uint64_t CounterTotal(int selector);
    // All fourteen counters summed in 64 bits, and the chunk entries read.
    struct Totals {
        uint64_t chunks = 0;
        uint64_t records = 0;
        uint64_t sd = 0, rd = 0, lineChanges = 0, events = 0;
        uint64_t lineBitChanges[8] = {};
        uint64_t eventBitChanges[2] = {};
    };
    Totals ChunkTotals();

  private:
    int WriteTime(std::string_view key, std::string_view date, uint64_t ticks);
    int ReadTime(std::string_view key, IndexTime& time);
};

}  // namespace qv
