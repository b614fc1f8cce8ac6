// Turns line events into the instrument's capture stream, the way the
// instrument reports them: a date item at the start and at every midnight,
// each followed by a line change that becomes the chunk's leading record;
// 16-bit steps where the gap allows and a full-time item where it does not;
// trigger event items; SYNC/HDLC frames over 255 bytes as continuation pieces.
#pragma once

#include <cstdint>
#include <vector>

#include "device/StreamItem.h"
#include "traffic/LineTraffic.h"

namespace qv::sim {

// A calendar day; year is the full year (2000..2099).
struct StreamDate {
    int year = 2024, month = 1, day = 1;
};

// The day after `d` in the Gregorian calendar.
StreamDate NextDay(const StreamDate& d);

class StreamEncoder {
  public:
    StreamEncoder(int protocol, const StreamDate& firstDay);

    // The opening: the first day's date item, the time of the first event and
    // the current line state as the first chunk's leading record. `ticks` is
    // counted from midnight of the first day.
    void Begin(std::vector<uint8_t>& out, uint64_t ticks, uint8_t lineState);

    // Appends the items of one event (after any date items its time calls for).
    void Add(std::vector<uint8_t>& out, const LineEvent& ev);

    // Items the decoder skips or acts on outside the record flow.
    void AddFiller(std::vector<uint8_t>& out, uint32_t length);
    void AddNotice(std::vector<uint8_t>& out);

    StreamLayout Layout() const { return m_layout; }
    // The day of the items appended last.
    const StreamDate& Day() const { return m_day; }
    // Data, line-change and event items written, leading records included.
    uint64_t DataItems() const { return m_dataItems; }

  private:
    // Emits date items until `absTicks` lies within the current day.
    void CrossMidnight(std::vector<uint8_t>& out, uint64_t absTicks);
    void AppendDate(std::vector<uint8_t>& out);
    // 4-byte layout: the step to reach `tod`, with a time item first when the
    // gap does not fit 16 bits (or runs backwards).
    uint16_t StepTo(std::vector<uint8_t>& out, uint64_t tod);
    void AddFrame(std::vector<uint8_t>& out, const LineEvent& ev);

    int m_protocol;
    StreamLayout m_layout;
    StreamDate m_day;
    uint64_t m_dayStart = 0;  // absolute ticks of the current day's midnight
    uint64_t m_running = 0;   // running time as the decoder will see it, ticks of day
    uint8_t m_lineState = 0;
    uint64_t m_dataItems = 0;
};

}  // namespace qv::sim
