// The last 200 records a monitoring run decoded, for the live Monitor window,
// and the copy of them taken at Pause. Each slot keeps a count triple: the
// record total when the record was decoded and, for SD or RD data of a 4-byte
// layout run, the SD or RD total then.
//
// Slots are reused in place; only a frame longer than any the slot held
// before grows its data buffer, so steady decoding allocates nothing.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "capture/RecordTime.h"

namespace qv {

struct LiveRecord {
    uint8_t header = 0;
    uint8_t lineState = 0;      // line state in force for this record
    uint64_t start = 0;         // 10 ns ticks; a short record's time stamp
    uint64_t end = 0;           // 10 ns ticks; equal to start for short records
    uint16_t length = 0;        // data bytes: 1 for short records
    uint8_t value = 0;          // short records: data, line state or event byte
    int date = 0;               // YYMMDD of the day `start` and `end` count from
    std::vector<uint8_t> data;  // frame records: `length` bytes
};

// One of a running monitor's newest records, whole, as values.
struct LiveRow {
    uint8_t header = 0;  // kind and error bits
    // The record's one byte: the data character (a frame's first byte), the
    // new line state, the event byte, or a LOGIC sample's line state.
    uint8_t value = 0;
    DayTime time;                     // the record's end time
    uint64_t tr = 0, sd = 0, rd = 0;  // 1-based ordinals among all, SD and RD records
    friend bool operator==(const LiveRow&, const LiveRow&) = default;
};

struct CountTriple {
    uint64_t records = 0;
    uint64_t sd = 0;
    uint64_t rd = 0;
};

class LiveRing {
  public:
    static constexpr int kSlots = 200;

    void Clear();

    // The slot the next record goes to; Advance moves on after it is filled.
    LiveRecord& NextSlot() { return m_live[m_pos]; }
    CountTriple& NextTriple() { return m_liveCounts[m_pos]; }
    void Advance() {
        if (++m_pos == kSlots) m_pos = 0;
        ++m_seen;
    }
    // Counts `n` records that were decoded but are not kept: older than the
    // newest kSlots that follow them.
    void Skip(uint64_t n) {
        m_pos = static_cast<int>((static_cast<uint64_t>(m_pos) + n % kSlots) % kSlots);
        m_seen += n;
    }
    int Position() const { return m_pos; }
    uint64_t Seen() const { return m_seen; }

    // Copies the live ring into the frozen one, oldest first.
    void Freeze();
    // Makes this live ring the same as `from`'s, copying only the slots
    // written since the last time (all of them after a Clear of either).
    void TakeNewest(const LiveRing& from);

    // Records the live ring holds now, or the frozen one took: at most kSlots.
    int Count(bool frozen) const;
    // The ring slot of the i-th oldest of those records; -1 outside 0..Count-1.
    int SlotOfOldest(int i, bool frozen) const;

    // Slot i (0..199) of the live or frozen ring; nullptr outside the range.
    const LiveRecord* At(int i, bool frozen) const;
    const CountTriple* TripleAt(int i, bool frozen) const;

  private:
    std::array<LiveRecord, kSlots> m_live{};
    std::array<CountTriple, kSlots> m_liveCounts{};
    std::array<LiveRecord, kSlots> m_frozen{};
    std::array<CountTriple, kSlots> m_frozenCounts{};
    int m_pos = 0;
    uint64_t m_seen = 0;
    int m_frozenCount = 0;
};

}  // namespace qv
