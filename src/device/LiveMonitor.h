// The front of a monitoring run as the windows see it: start, pause and stop,
// and read-only accessors of the live ring (the newest 200 records) and of the
// frozen ring a pause takes. The Monitor window reads a run only through this
// interface, so the window and the window controller can be driven by a
// scripted source in tests.
//
// Codes: 0 success; -7 while no run is going; -8 for a first row outside
// 0..199. All calls come from the thread that owns the windows; an
// implementation whose capture work runs on another thread takes its own lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/LiveRing.h"
#include "settings/StatusSet.h"

namespace qv {

inline constexpr int kLiveRingSlots = 200;

class ILiveMonitor {
  public:
    virtual ~ILiveMonitor() = default;

    // The run's start, pause and stop, with the monitoring run's codes. Start
    // while paused resumes the live display without a new capture.
    virtual int Start() = 0;
    virtual int Pause() = 0;
    // Stops and waits until the capture is finished on disk.
    virtual int Stop() = 0;
    // Stops and returns at once; the capture is finished on disk once
    // Finishing() is false. By default a Stop that finishes at once.
    virtual int BeginStop() { return Stop(); }
    virtual bool Finishing() const { return false; }
    // While finishing: how much of it is done, 0..1.
    virtual double FinishedFraction() const { return 1.0; }
    // The result of the last finish: 0, or the index's failure code.
    virtual int FinishCode() const { return 0; }

    // Records decoded so far; with `frozen`, the total at the last pause.
    virtual uint64_t GetRecordTotal(bool frozen) const = 0;
    // One of the fourteen chunk counters summed over the run (the fields 3..16
    // of a chunk entry; 3 SD records, 4 RD records). 0 without a run.
    virtual uint64_t GetCounterTotal(int counterField) const = 0;
    // True once the instrument reported its buffer full.
    virtual bool IsBufferFull() const = 0;
    // The instrument's overflows so far, and the time (10 ns ticks) the
    // records lost to them cover.
    virtual uint64_t GetOverflows() const { return 0; }
    virtual uint64_t GetGapTicks() const { return 0; }

    // Rows first..first+count-1 of the run's newest records (at most 200,
    // oldest first): of the live ring, or with `frozen` of the copy the last
    // pause took. The rows are copied whole in one go, so no row mixes two
    // records and no row is newer than a later one; fewer come where the
    // ring holds fewer.
    virtual int LiveRows(bool frozen, int first, int count, std::vector<LiveRow>& out) const = 0;

    // The index file name of the capture being written ("20240102030405.qvr")
    // and its full path, for reopening the capture after Stop.
    virtual int GetCaptureName(std::string& name) const = 0;
    virtual std::string GetIndexPath() const = 0;

    // The settings the run was started with (line, protocol, rates, display
    // table), as the run loaded them from the unit's own status file; false
    // until the run has started. Views take line names and protocol from here.
    virtual bool GetRunStatus(StatusSet& out) const = 0;
};

}  // namespace qv
