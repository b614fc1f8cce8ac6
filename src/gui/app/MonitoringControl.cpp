#include "app/MonitoringControl.h"

#include <QApplication>
#include <QTimer>

#include "app/ChildFrame.h"
#include "app/RegistryTexts.h"
#include "app/SettingsCommandHandlers.h"
#include "app/StatusPanes.h"
#include "app/WindowRegistry.h"
#include "core/Prompt.h"
#include "core/SettingsStore.h"
#include "device/LiveMonitor.h"
#include "device/LiveRun.h"
#include "device/UnitList.h"
#include "dialogs/CardRunDialog.h"
#include "present/MonitorRows.h"
#include "settings/StatusFile.h"
#include "views/CaptureView.h"

namespace qv {

using namespace registry;

MonitoringControl::MonitoringControl(WindowRegistry& windows)
    : QObject(&windows), m_windows(windows) {}

std::unique_ptr<ILiveMonitor> MonitoringControl::MakeMonitor() const {
    return m_factory ? m_factory() : nullptr;
}

void MonitoringControl::LockFrame(int slot, bool lock) {
    if (WindowRegistry::ValidSlot(slot) && m_windows.Slot(slot).frame)
        m_windows.Slot(slot).frame->SetLocked(lock);
    emit m_windows.frameLockChanged(lock);
}

void MonitoringControl::Start() {
    AppServices* services = m_windows.Services();
    // The next run waits until the last one's capture is finished.
    if (!services || m_state == kMonitorRunning || Finishing()) return;
    int slot = -1;
    if (m_state == kMonitorPaused) {
        slot = m_windows.LiveSlot();
        if (slot < 0) return;
    } else {
        // The settings the run is about to start from, in the file the
        // parameter dialog saved them to.
        const HomeSettings home = ReadSettingsHome(m_windows.Unit());
        services->store.Load();
        if (home.monitor.SaveDevice == kSaveDeviceCf) {
            // The unit stores this run on its own card: configure and start
            // it there; no window follows it.
            CardRunDialog dlg(services->devices, services->log, m_windows.Prompt(),
                              m_windows.Owner());
            dlg.exec();
            emit m_windows.runStateChanged();
            emit m_windows.stateChanged();
            return;
        }
        slot = m_windows.OpenWindow(kKindMonitorLive, "");
        if (slot < 0) {
            if (WindowRegistry::ValidSlot(slot)) m_windows.CloseSlot(slot);
            m_windows.Log(__LINE__, kMsgOpenFailed);
            return;
        }
    }
    const bool resume = m_state == kMonitorPaused;
    m_state = kMonitorRunning;
    m_countPane.clear();
    m_overflowPane.clear();
    LockFrame(slot, true);
    // A resumed run is running already; a new one is shown to its window only
    // once its start has finished, so that no view polls a run while the
    // start still asks the user something.
    const WindowRegistry::WindowSlot& w = m_windows.Slot(slot);
    w.view->SetMonitorState(1, resume ? w.monitor.get() : nullptr);
    m_pendingStart = slot;
    m_retrieval = false;
    m_pendingResume = resume;
    QTimer::singleShot(kDeferredStartMs, this, [this, slot] { DeferredStart(slot); });
    emit m_windows.stateChanged();
}

int MonitoringControl::StartCardRetrieval(ILiveMonitor& monitor) {
    if (m_retrievalStarter) return m_retrievalStarter(monitor);
    // Only a run on an instrument can bring back its card.
    auto* run = dynamic_cast<LiveRun*>(&monitor);
    return run ? run->StartRetrieval() : kErrNoRun;
}

void MonitoringControl::StartRetrieval() {
    AppServices* services = m_windows.Services();
    if (!services || m_state != kMonitorIdle || Finishing()) return;
    services->store.Load();
    int slot = m_windows.OpenWindow(kKindMonitorLive, "");
    if (slot < 0) {
        m_windows.Log(__LINE__, kMsgOpenFailed);
        return;
    }
    m_state = kMonitorRunning;
    m_countPane.clear();
    m_overflowPane.clear();
    LockFrame(slot, true);
    // As with a new run, the window polls only once the start has finished.
    m_windows.Slot(slot).view->SetMonitorState(1, nullptr);
    m_pendingStart = slot;
    m_pendingResume = false;
    m_retrieval = true;
    QTimer::singleShot(kDeferredRetrievalMs, this, [this, slot] { DeferredStart(slot); });
    emit m_windows.stateChanged();
}

void MonitoringControl::DeferredStart(int slot) {
    // One start per request, whether the timer or a caller runs it first.
    if (slot != m_pendingStart) return;
    m_pendingStart = -1;
    if (!WindowRegistry::ValidSlot(slot) || !m_windows.Slot(slot).monitor ||
        m_state != kMonitorRunning)
        return;
    ILiveMonitor& monitor = *m_windows.Slot(slot).monitor;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    int rc = m_retrieval ? StartCardRetrieval(monitor) : monitor.Start();
    m_retrieval = false;
    QApplication::restoreOverrideCursor();
    emit m_windows.runStateChanged();
    if (rc != 0) {
        m_state = kMonitorIdle;
        m_windows.CloseSlot(slot);
        emit m_windows.frameLockChanged(false);
        if (rc == kErrNotConnected) {
            m_windows.Log(__LINE__, kMsgNotConnected);
        } else if (rc == kErrParameters) {
            if (auto* p = m_windows.Prompt())
                p->ShowMessage(
                    QCoreApplication::translate("qv::WindowRegistry", kMsgParametersRefused)
                        .arg(-rc)
                        .toStdString());
        } else {
            m_windows.Log(__LINE__, kMsgStartFailed);
        }
        emit m_windows.stateChanged();
        return;
    }
    // The window and the status bar name the lines as the run's own settings
    // do, whatever the status files on disk say by now.
    StatusSet run;
    if (monitor.GetRunStatus(run)) m_windows.AdoptRunFormatRows(slot, run);
    if (!m_pendingResume) m_windows.Slot(slot).view->SetMonitorState(1, &monitor);
    auto names = MonitorLineNames(m_windows.Slot(slot).rows, run.status.monitor.Line);
    m_sdLabel = ShortLabel(names[0]);
    m_rdLabel = ShortLabel(names[1]);
    emit m_windows.stateChanged();
}

void MonitoringControl::Pause() {
    if (m_state != kMonitorRunning) return;
    int slot = m_windows.LiveSlot();
    if (slot < 0) return;
    m_state = kMonitorPaused;
    const WindowRegistry::WindowSlot& w = m_windows.Slot(slot);
    w.monitor->Pause();
    w.view->SetMonitorState(2, w.monitor.get());
    emit m_windows.stateChanged();
}

void MonitoringControl::Stop() {
    if (m_state == kMonitorIdle) return;
    int slot = m_windows.LiveSlot();
    LockFrame(slot, false);
    m_state = kMonitorIdle;
    if (slot < 0) return;
    const WindowRegistry::WindowSlot& w = m_windows.Slot(slot);
    // Returns at once: writing what was read, naming the chunks and writing
    // the index go on off this thread, however slow the disk.
    w.monitor->BeginStop();
    w.view->SetMonitorState(3, w.monitor.get());
    m_finishingSlot = slot;
    PollFinishing();
    emit m_windows.stateChanged();
}

void MonitoringControl::PollFinishing() {
    const int slot = m_finishingSlot;
    if (!WindowRegistry::ValidSlot(slot) || !m_windows.Slot(slot).monitor) {
        // The window was closed meanwhile; closing it waited for the capture.
        m_finishingSlot = -1;
        emit m_windows.messageChanged(QString());
        return;
    }
    const ILiveMonitor& m = *m_windows.Slot(slot).monitor;
    if (m.Finishing()) {
        emit m_windows.messageChanged(
            QCoreApplication::translate("qv::WindowRegistry", kMsgFinishing)
                .arg(static_cast<int>(100 * m.FinishedFraction())));
        QTimer::singleShot(100, this, [this] { PollFinishing(); });
        return;
    }
    m_finishingSlot = -1;
    emit m_windows.messageChanged(QString());
    emit m_windows.runStateChanged();  // the unit is free again
    const uint64_t overflows = m.GetOverflows(), gapTicks = m.GetGapTicks();
    m_windows.ShowFinishedCapture(slot);
    // A capture with gaps is never taken for a whole one.
    if (overflows > 0)
        if (auto* p = m_windows.Prompt())
            p->ShowMessage(QCoreApplication::translate("qv::WindowRegistry", kMsgRecordedWithGaps)
                               .arg(overflows)
                               .arg(static_cast<double>(gapTicks) / 1e8, 0, 'f', 3)
                               .toStdString());
    emit m_windows.stateChanged();
}

void MonitoringControl::WindowClosing(int slot) {
    if (!m_windows.Slot(slot).monitor || m_state == kMonitorIdle || slot != m_windows.LiveSlot())
        return;
    m_windows.Slot(slot).monitor->Stop();
    m_state = kMonitorIdle;
    emit m_windows.frameLockChanged(false);
    emit m_windows.runStateChanged();
}

void MonitoringControl::LiveRefreshed(int slot) {
    if (!WindowRegistry::ValidSlot(slot) || !m_windows.Slot(slot).monitor ||
        m_state == kMonitorIdle)
        return;
    const ILiveMonitor& m = *m_windows.Slot(slot).monitor;
    m_countPane = MonitorCountPaneText(m_sdLabel, m.GetCounterTotal(kCountSd), m_rdLabel,
                                       m.GetCounterTotal(kCountRd));
    // The overflows so far: the records they lost are missing from the capture.
    const uint64_t overflows = m.GetOverflows();
    m_overflowPane = overflows > 0      ? "\tfull " + std::to_string(overflows)
                     : m.IsBufferFull() ? "\tfull"
                                        : "\t   ";
    emit m_windows.stateChanged();
}

}  // namespace qv
