// The jumps of the Edit menu that need more than one reader call: the five
// marks (set, list, jump) and the trigger records of a capture with the
// texts the trigger jump dialog shows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "capture/CaptureRecord.h"

namespace qv {

class CaptureReader;

inline constexpr int kMarkCount = 5;

struct MarkInfo {
    int number = 0;        // 1..5
    uint32_t chunk = 0;    // chunk file holding the marked record
    std::string timeText;  // record time text of the marked record
    int kind = 0;          // signal code of the record's kind
    std::string comment;
};

// Marks the reader's current record as mark n; its end-time text becomes the
// comment. 0, -8 for a number outside 1..5 or no current record, -1 when the
// index cannot be written.
int SetMarkHere(CaptureReader& file, int n);
// The marks that are set, in number order.
std::vector<MarkInfo> ReadMarks(CaptureReader& file);
// Moves the reader to mark n's record time. -8 for a number outside 1..5,
// -1 when the mark is not set, else the code of the move.
int JumpToMark(CaptureReader& file, int n);

// One entry of the capture's trigger record list.
struct TriggerRecordInfo {
    int number = 0;  // key in the index, from 1
    TriggerEvent event;
    // "YY/MM/DD  hh:mm:ss mmmmuuunnnn": the list line of the jump dialog.
    std::string listText;
};

// Trigger records 1, 2, ... up to the first missing or unreadable one.
std::vector<TriggerRecordInfo> ReadTriggerRecords(const std::string& indexPath);
// The trigger's settings as text (the trigger summary, from the capture's own
// trigger and display settings); empty for a code that names no trigger
// (the memory-overflow code 255 included).
std::string TriggerRecordDescription(const std::string& indexPath, int code);
// The jump dialog's title for a selected entry: "トリガジャンプ - トリガ%d".
std::string TriggerJumpTitle(int code);
// Moves the reader to the trigger record's date and time.
int JumpToTrigger(CaptureReader& file, const TriggerRecordInfo& record);

}  // namespace qv
