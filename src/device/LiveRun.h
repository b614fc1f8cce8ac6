// One monitoring run, whole: its run control, the capture thread that reads
// the instrument, the writing thread that decodes and writes the chunk
// files, and the locks between them. The capture thread calls the run
// control's read step every 50 ms while the run is active; the two threads
// meet only at a BlockQueue, so reading the instrument never waits for the
// disk, and the windows read a RunSnapshot (atomic totals, a live ring under
// its own small lock), so they never wait for either. Start, Pause and Stop
// come from the user-interface thread and return at once (a start's
// questions aside); the live accessors may be called from any thread while
// the capture goes on, also while a start waits for the user's answer.
//
// The caller says what the run is for in a LiveRunRequest: the folder the
// capture goes to, who answers a start's questions, who hears the run's
// notices, and whether a window shows it. A run that no window shows
// (qvtool) keeps no live ring: its decoder fills none.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/LiveStream.h"
#include "device/BlockQueue.h"
#include "device/LiveMonitor.h"
#include "device/LiveRing.h"
#include "device/RunControl.h"
#include "device/RunSnapshot.h"

namespace qv {

struct LiveRunRequest {
    std::string saveFolder;            // the capture's folder is made in it
    IPrompt* prompt = nullptr;         // answers a start's questions; null: every one No
    RunNoticeSink* notices = nullptr;  // the decoder's reports to the main window
    bool shown = true;                 // a window shows the run's newest records
    LiveStream* stream = nullptr;      // also takes the records (not when shown)
};

class LiveRun : public ILiveMonitor {
  public:
    static constexpr int kStepMs = 50;

    // `store` gives FrameMax and the clock, `log` takes the failures,
    // `devices` the unit to open (taken at each start).
    LiveRun(SettingsStore& store, Log& log, DeviceAccess& devices, LiveRunRequest request);
    ~LiveRun() override;  // stops a run still going and waits until it is finished

    // Resumes a paused run, else starts one (-18 while the last one finishes).
    int Start() override;
    int StartRetrieval();
    int Pause() override;
    // Ends the run: the instrument stops and the reading ends at once, then
    // the writing thread writes what was read and finishes the capture
    // (last chunk, final names, index) while Finishing() is true. Returns 0
    // at once.
    int BeginStop() override;
    // Stop and wait until the capture is finished: 0, or the index's failure code.
    int Stop() override;
    bool Finishing() const override { return m_finishing; }
    // While finishing: how much of it is done, 0..1.
    double FinishedFraction() const override;
    // Waits until no capture is finishing; the code of the last finish.
    int WaitFinished() const;
    int FinishCode() const override { return WaitFinished(); }
    // While finishing: bytes read and still to be written, and how many
    // there were when the reading ended.
    uint64_t BytesToWrite() const { return m_queue.QueuedBytes(); }
    uint64_t BytesToWriteAtStop() const { return m_bytesAtStop; }
    bool Paused() const { return m_paused; }
    bool Running() const;

    // Totals of the run (0 without one): records, and the kind and change
    // counters numbered like a chunk entry's fields 3..16.
    uint64_t RecordTotal(bool frozen = false) const;
    uint64_t Total(int field) const { return m_snapshot.Total(field); }
    bool BufferFull() const { return m_snapshot.BufferFull(); }
    // The instrument's overflows and the time their gaps cover (10 ns ticks).
    uint64_t Overflows() const { return m_snapshot.Overflows(); }
    uint64_t GapTicks() const { return m_snapshot.GapTicks(); }
    uint64_t BytesRead() const { return m_wnd->BytesRead(); }
    // Chunk writes of the run that failed (their records are lost).
    uint64_t WriteFailures() const { return m_snapshot.WriteFailures(); }
    // Rows first..first+count-1 of the newest records (at most 200, oldest
    // first) of the live ring, or of the frozen one the last pause took, all
    // copied in one go; fewer where the ring holds fewer. -7 without a run;
    // -8 without a live ring or for a `first` outside 0..199.
    int LiveRows(bool frozen, int first, int count, std::vector<LiveRow>& out) const override;
    // The settings the run started with; false before a run has begun.
    bool RunStatus(StatusSet& out) const;
    std::string CaptureFolder() const;
    std::string IndexName() const;
    std::string ChunkName() const;
    // The index path of the capture being written (or just finished).
    std::string IndexPath() const;

    // --- the live views' questions
    uint64_t GetRecordTotal(bool frozen) const override { return RecordTotal(frozen); }
    uint64_t GetCounterTotal(int field) const override { return Total(field); }
    bool IsBufferFull() const override { return BufferFull(); }
    uint64_t GetOverflows() const override { return Overflows(); }
    uint64_t GetGapTicks() const override { return GapTicks(); }
    int GetCaptureName(std::string& name) const override;
    std::string GetIndexPath() const override { return IndexPath(); }
    bool GetRunStatus(StatusSet& out) const override { return RunStatus(out); }

  private:
    void ReadLoop();
    void WriteLoop();
    // Passes the reads' news to the stream, ticks it, and asks for the read
    // it waits for. On the writing thread.
    void TickStream(LiveStream& stream);
    void Started(int rc);
    // Readies the queue and the snapshot for a new run.
    void Prepare();

    Log& m_log;
    std::unique_ptr<RunControl> m_wnd;
    BlockQueue m_queue;
    RunSnapshot m_snapshot;
    mutable std::mutex m_stateMutex;  // the session and its names, swapped at a start
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    // A read the stream asked for before the step's end (under m_wakeMutex),
    // and the last time it asked (the writing thread's).
    std::chrono::steady_clock::time_point m_readSoon = std::chrono::steady_clock::time_point::max();
    std::chrono::steady_clock::time_point m_readAsked{};
    std::atomic<bool> m_quit{false};
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_starting{false};  // a Start is asking or setting up
    std::atomic<bool> m_stopWhileStarting{false};
    std::atomic<bool> m_stopAsked{false};  // for the capture thread
    std::atomic<bool> m_finishing{false};
    std::atomic<uint64_t> m_bytesAtStop{0};
    std::time_t m_stopClock = 0;  // set by the capture thread before the queue closes
    mutable std::mutex m_finishMutex;
    mutable std::condition_variable m_finished;
    int m_finishCode = 0;
    std::thread m_reader, m_writer;
};

}  // namespace qv
