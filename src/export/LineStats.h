// Timing statistics of a capture's traffic, gathered in one pass: per
// direction the bytes, the messages (by MessageSplitter), the distributions
// of message length, idle gap and turnaround, the character rate and the line
// errors by kind; for the control lines the number of changes of each.
#pragma once

#include <array>
#include <cstdint>

#include "export/Distribution.h"
#include "export/MessageSplitter.h"

namespace qv {

struct DirectionStats {
    uint64_t bytes = 0;
    uint64_t messages = 0;
    Distribution lengths;     // bytes per message
    Distribution gaps;        // idle ticks before each message, after any message
    Distribution turnaround;  // ticks from the other direction's message to this one's answer
    uint64_t parity = 0, framing = 0, overrun = 0, fcs = 0, abort = 0;
    uint64_t breaks = 0;  // breaks that began
};

class LineStats : private IMessageSink {
  public:
    LineStats(Protocol protocol, const AsyncCharTiming& timing, const MessageRule& rule);

    bool CanSplit() const { return m_splitter.CanSplit(); }
    int64_t Threshold(int dir) const { return m_splitter.Threshold(dir); }
    void Add(const WalkRecord& r);
    // Records the index counts but no file holds.
    void AddMissing(uint64_t records) { m_missing += records; }
    void Finish();

    const DirectionStats& Direction(int dir) const { return m_dir[dir]; }
    // Changes of each control line, [0] RS (bit 7) .. [7] Ext OUT (bit 0).
    const std::array<uint64_t, 8>& LineChanges() const { return m_lineChanges; }
    uint64_t Records() const { return m_records; }
    uint64_t Missing() const { return m_missing; }
    // Line ticks of the first record's start and the last record's end.
    int64_t First() const { return m_first; }
    int64_t Last() const { return m_last; }
    // Characters per second of the direction over the whole span.
    double CharRate(int dir) const;

  private:
    void OnMessage(const Message& m) override;

    Protocol m_protocol;
    MessageSplitter m_splitter;
    std::array<DirectionStats, 2> m_dir;
    std::array<uint64_t, 8> m_lineChanges{};
    uint64_t m_records = 0, m_missing = 0;
    int64_t m_first = 0, m_last = 0;
    bool m_haveLine = false;
    uint8_t m_line = 0, m_event = 0;
};

}  // namespace qv
