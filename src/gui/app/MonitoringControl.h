// The course of a monitoring run through the windows: starting it in a new
// Monitor window (a short while after the window is drawn), pausing,
// resuming and stopping it, bringing back the card's run, finishing a
// stopped run's capture off the user-interface thread and then showing it,
// and the status bar's live counts. The window registry owns the windows;
// this owns the run's state.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "app/CommandTable.h"

namespace qv {

class ILiveMonitor;
class WindowRegistry;

class MonitoringControl : public QObject {
    Q_OBJECT
  public:
    // The run starts this long after its window is open (ms), so that the
    // window is drawn before the instrument is talked to.
    static constexpr int kDeferredStartMs = 200;
    static constexpr int kDeferredRetrievalMs = 400;

    using MonitorFactory = std::function<std::unique_ptr<ILiveMonitor>()>;
    using RetrievalStarter = std::function<int(ILiveMonitor&)>;

    explicit MonitoringControl(WindowRegistry& windows);

    // How a monitor object is made for a run; none by default.
    void SetMonitorFactory(MonitorFactory factory) { m_factory = std::move(factory); }
    // How a monitor object starts bringing back the card; by default the
    // live run's own retrieval.
    void SetRetrievalStarter(RetrievalStarter starter) { m_retrievalStarter = std::move(starter); }
    // A monitor object for a new run's window; null without a factory.
    std::unique_ptr<ILiveMonitor> MakeMonitor() const;

    void Start();
    void Pause();
    // Stops the run at once; its capture is finished on disk off this
    // thread, the message pane saying so, and then shown in the same window.
    void Stop();
    // Brings back the run stored on the instrument's card through a
    // monitoring window, as a run whose source is the card.
    void StartRetrieval();
    // The start of the run in `slot`'s window, once its delay has passed.
    void DeferredStart(int slot);
    int State() const { return m_state; }
    // Whether a stopped run's capture is still being finished.
    bool Finishing() const { return m_finishingSlot >= 0; }

    // The window of the run in `slot` closes: the run ends first, so that
    // its capture is finished on disk rather than left with a chunk open.
    void WindowClosing(int slot);
    // Every window closes: a start still waiting is dropped.
    void DropPendingStart() { m_pendingStart = -1; }
    // The run's window refreshed its rows: the status bar's counts follow.
    void LiveRefreshed(int slot);
    // The status bar's count and overflow panes while a run goes on (empty
    // before the first refresh).
    const std::string& CountPane() const { return m_countPane; }
    const std::string& OverflowPane() const { return m_overflowPane; }

  private:
    void LockFrame(int slot, bool lock);
    int StartCardRetrieval(ILiveMonitor& monitor);
    // Looks again, every 100 ms, whether the stopped run's capture is finished.
    void PollFinishing();

    WindowRegistry& m_windows;
    MonitorFactory m_factory;
    RetrievalStarter m_retrievalStarter;
    int m_state = kMonitorIdle;
    int m_pendingStart = -1;       // the slot whose deferred start is due
    bool m_pendingResume = false;  // ... and whether it resumes a paused run
    bool m_retrieval = false;      // ... and whether it brings back the card's run
    int m_finishingSlot = -1;      // the stopped run whose capture is being finished
    std::string m_sdLabel = "SD", m_rdLabel = "RD";
    std::string m_countPane, m_overflowPane;
};

}  // namespace qv
