// What the windows read of a running capture, kept apart from the capture
// itself: the writing thread decodes and writes under no lock the windows
// take, and after each block publishes the totals (atomics) and the newest
// records (a copy of the live ring behind a small lock of its own). A window
// thus never waits behind the disk; what it sees lags the decoding by at
// most one block.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "device/LiveRing.h"

namespace qv {

class CaptureSession;
class Log;

class RunSnapshot {
  public:
    // A new run: nothing seen yet; `ring`: the run keeps the newest records.
    void Clear(bool ring);
    // The writing thread: the session's totals, gaps and newest records now.
    void Publish(const CaptureSession& session);

    // Any thread.
    uint64_t Records() const { return m_totals[0].load(std::memory_order_relaxed); }
    // SD, RD, line changes, events, the eight line-bit changes and the two
    // event-bit changes, numbered as a chunk entry's fields 3..16; 0 for others.
    uint64_t Total(int field) const;
    bool BufferFull() const { return m_bufferFull.load(std::memory_order_relaxed); }
    // The instrument's overflows so far and the time the ended gaps cover
    // (ticks of 10 ns).
    uint64_t Overflows() const { return m_overflows.load(std::memory_order_relaxed); }
    uint64_t GapTicks() const { return m_gapTicks.load(std::memory_order_relaxed); }
    // Chunk writes that failed (their records are lost).
    uint64_t WriteFailures() const { return m_writeFailures.load(std::memory_order_relaxed); }

    // Pause: keeps the newest records and the record total as they are now.
    void Freeze();
    uint64_t FrozenTotal() const { return m_frozenTotal.load(std::memory_order_relaxed); }
    // Rows first..first+count-1 of the newest records (oldest first), of the
    // live ring or of the frozen one; -8 for a `first` outside 0..199 or a
    // run that keeps no ring. A time that cannot be dated is logged on `log`.
    int Rows(bool frozen, int first, int count, std::vector<LiveRow>& out, Log& log) const;

  private:
    static constexpr int kTotals = 15;  // records, 4 kinds, 10 changes
    std::array<std::atomic<uint64_t>, kTotals> m_totals{};
    std::atomic<bool> m_bufferFull{false};
    std::atomic<uint64_t> m_overflows{0}, m_gapTicks{0}, m_writeFailures{0}, m_frozenTotal{0};

    mutable std::mutex m_ringMutex;  // the ring copy
    bool m_hasRing = false;
    LiveRing m_ring;
};

}  // namespace qv
