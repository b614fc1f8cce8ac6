// The monitor object of a capture window that shows a running monitoring:
// it starts the capture thread, forwards the user's Start, Pause, Stop and
// card retrieval to it and answers the live views' questions. A run that no
// window shows (qvtool) keeps no live ring: its decoder fills none.
#pragma once

#include <memory>
#include <string>

#include "device/CaptureThread.h"
#include "device/LiveMonitor.h"

namespace qv {

class MonitoringRun : public ILiveMonitor {
  public:
    enum class View { kShown, kNotShown };
    MonitoringRun(SettingsStore& store, ViewConf& conf, Log& log, DeviceAccess& devices,
                  IPrompt* prompt, RunNoticeSink* notices, View view = View::kShown);
    ~MonitoringRun();

    int Start() override { return m_thread ? m_thread->Start() : kErrNotRunning; }
    int StartRetrieval() { return m_thread ? m_thread->StartRetrieval() : kErrNotRunning; }
    int Pause() override { return m_thread ? m_thread->Pause() : kErrNotRunning; }
    // Stops and waits until the capture is finished on disk.
    int Stop() override { return m_thread ? m_thread->Stop() : kErrNotRunning; }
    int BeginStop() override { return m_thread ? m_thread->BeginStop() : kErrNotRunning; }
    bool Finishing() const override { return m_thread && m_thread->Finishing(); }
    double FinishedFraction() const override;
    int FinishCode() const override { return m_thread ? m_thread->WaitFinished() : 0; }
    // Waits until the capture is finished; 0 or the index's failure code.
    int WaitFinished() { return m_thread ? m_thread->WaitFinished() : 0; }
    bool Running() const { return m_thread && m_thread->Running(); }
    bool Paused() const { return m_thread && m_thread->Paused(); }

    // The record total, or the total frozen at the last Pause for the paused view.
    uint64_t RecordTotal(bool paused = false) const {
        return m_thread ? m_thread->RecordTotal(paused) : 0;
    }
    // SD, RD, line changes, events, the eight line-bit changes and the two
    // event-bit changes, numbered as a chunk entry's fields 3..16.
    uint64_t Total(int field) const { return m_thread ? m_thread->Total(field) : 0; }
    bool BufferFull() const { return m_thread && m_thread->BufferFull(); }
    uint64_t Overflows() const { return m_thread ? m_thread->Overflows() : 0; }
    uint64_t GapTicks() const { return m_thread ? m_thread->GapTicks() : 0; }
    uint64_t BytesRead() const { return m_thread ? m_thread->BytesRead() : 0; }
    uint64_t WriteFailures() const { return m_thread ? m_thread->WriteFailures() : 0; }
    std::string CaptureFolder() const { return m_thread ? m_thread->CaptureFolder() : ""; }
    std::string IndexName() const { return m_thread ? m_thread->IndexName() : ""; }
    std::string ChunkName() const { return m_thread ? m_thread->ChunkName() : ""; }
    // The index path of the capture being written (or just finished).
    std::string IndexPath() const;

    // --- the live views' questions
    uint64_t GetRecordTotal(bool frozen) const override { return RecordTotal(frozen); }
    uint64_t GetCounterTotal(int field) const override { return Total(field); }
    bool IsBufferFull() const override { return BufferFull(); }
    uint64_t GetOverflows() const override { return Overflows(); }
    uint64_t GetGapTicks() const override { return GapTicks(); }
    int LiveRows(bool frozen, int first, int count, std::vector<LiveRow>& out) const override {
        if (!m_thread) {
            out.clear();
            return kErrNotRunning;
        }
        return m_thread->LiveRows(frozen, first, count, out);
    }
    int GetCaptureName(std::string& name) const override;
    std::string GetIndexPath() const override { return IndexPath(); }
    bool GetRunStatus(StatusSet& out) const override {
        return m_thread && m_thread->RunStatus(out);
    }

  private:
    std::unique_ptr<CaptureThread> m_thread;
};

}  // namespace qv
