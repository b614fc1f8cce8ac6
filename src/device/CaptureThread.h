// The capture thread of a monitoring run. It owns the run's RunControl and
// calls its read step every 50 ms while the run is active, so that reading
// the instrument, decoding and writing never wait for the user interface.
// Start, Pause and Stop come from the user-interface thread; the live
// accessors may be called from any thread while the capture goes on, also
// while a start waits for the user's answer.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/MonitorRows.h"
#include "device/LiveRing.h"
#include "device/RunControl.h"

namespace qv {

class CaptureThread {
  public:
    static constexpr int kStepMs = 50;

    // `liveRing`: a view shows the run's newest records (LiveRows).
    CaptureThread(SettingsStore& store, ViewConf& conf, Log& log, DeviceAccess& devices,
                  IPrompt* prompt, RunNoticeSink* notices, bool liveRing);
    ~CaptureThread();  // stops a run still going, then ends the thread

    // Resumes a paused run, else starts one.
    int Start();
    int StartRetrieval();
    int Pause();
    int Stop();
    bool Paused() const { return m_paused; }
    bool Running() const;

    // Totals of the run (0 without one): records, and the kind and change
    // counters numbered like a chunk entry's fields 3..16.
    uint64_t RecordTotal(bool frozen) const;
    uint64_t Total(int field) const;
    bool BufferFull() const;
    uint64_t BytesRead() const;
    // Chunk writes of the run that failed (their records are lost).
    uint64_t WriteFailures() const;
    // Rows first..first+count-1 of the newest records (at most 200, oldest
    // first) of the live ring, or of the frozen one the last pause took, all
    // copied under one hold of the state lock; fewer where the ring holds
    // fewer. -7 without a run; -8 without a live ring or for a `first`
    // outside 0..199.
    int LiveRows(bool frozen, int first, int count, std::vector<LiveRow>& out) const;
    // The settings the run started with; false before a run has begun.
    bool RunStatus(StatusSet& out) const;
    std::string CaptureFolder() const;
    std::string IndexName() const;
    std::string ChunkName() const;

  private:
    void Loop();
    void Started(int rc);

    Log& m_log;
    std::unique_ptr<RunControl> m_wnd;
    mutable std::mutex m_stepMutex;   // one read step, or one Start/Pause/Stop
    mutable std::mutex m_stateMutex;  // what the accessors read
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    std::atomic<bool> m_quit{false};
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_starting{false};  // a Start is asking or setting up
    std::atomic<bool> m_stopWhileStarting{false};
    std::thread m_thread;
};

}  // namespace qv
