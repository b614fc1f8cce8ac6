// The texts of a Monitor window row, one record per row: its time, running
// counters, error flags, channel and the data character, control-line states
// or break flags. The desktop window and `qvtool list` both fill rows here.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/CaptureRecord.h"
#include "capture/RecordTime.h"
#include "core/CodeTable.h"
#include "device/LiveRing.h"
#include "settings/FormatEntry.h"
#include "settings/TriggerSetting.h"

namespace qv {

class CaptureReader;

// The display names of a capture's lines (SD, RD, RS, ... OUT) from its
// display format rows: the RS-232C half when `line` is 0, else the other.
LineNames MonitorLineNames(const std::vector<FormatEntry>& rows, int line);

// "mp" for an MP bit; otherwise the parity/overrun/framing combination as
// "", "p", "o", "q", "f", "j", "i", "x".
std::string ErrorText(uint8_t header);
// "RS:1 CS:1 ER:1 DR:0 CD:0 CI:0 IN:0 OUT:0" (four lines unless `line` is 0);
// for LOGIC captures the SD and RD levels of the header come first.
std::string LineStateText(const LineNames& names, int line, bool logic, uint8_t lineState,
                          uint8_t header);
std::string EventText(uint8_t eventByte);

// A TR, SD or RD count as a cell shows it: right-aligned in 10 characters,
// longer counts in full.
std::string CounterCellText(uint64_t value);

enum MonitorColumn { kColDate, kColTr, kColSd, kColRd, kColErr, kColCh, kColData, kMonitorColumns };
using MonitorRow = std::array<std::string, kMonitorColumns>;

// What a row shows of one record, wherever the record comes from (a stored
// capture or a running monitor's newest records).
struct MonitorRowFacts {
    uint8_t header = 0;     // kind and error bits
    uint8_t lineState = 0;  // line state in force (line-change rows)
    uint8_t eventByte = 0;  // event rows
    DayTime time;           // the record's end time
    uint64_t tr = 0, sd = 0, rd = 0;
    std::string dataText;  // a data row's character in the chosen code
};
// The one layout of a Monitor row: which facts go to which cell by kind. The
// time becomes text here and nowhere else on the way to the screen.
void ComposeMonitorRow(const MonitorRowFacts& facts, const LineNames& names, int line,
                       Protocol protocol, MonitorRow& row);
// A live record's row. Its data cell shows the byte in hex: a character in
// the display code needs the shift state of every record before it, which a
// window of the newest records cannot know.
void ComposeLiveMonitorRow(const LiveRow& live, const LineNames& names, int line, Protocol protocol,
                           MonitorRow& row);

// Fills rows from a reader, keeping the running TR/SD/RD counts and the
// per-direction JIS7 shift state from one row to the next.
class MonitorRowFiller {
  public:
    MonitorRowFiller(const CodeTable& table, LineNames names, int line, Protocol protocol,
                     int code);
    // Starts the counters at the reader's current record.
    int Begin(const CaptureReader& file);
    // The row of the reader's current record; advances the counters.
    int Fill(const CaptureReader& file, MonitorRow& row);

  private:
    const CodeTable& m_table;
    LineNames m_names;
    int m_line;
    Protocol m_protocol;
    DirectionCodes m_codes;
    int m_code;
    uint64_t m_tr = 0, m_sd = 0, m_rd = 0;
    bool m_first = true;
};

}  // namespace qv
