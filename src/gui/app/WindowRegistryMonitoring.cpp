// The window registry: starting, pausing and stopping a monitoring run and
// bringing back the card's run, each through its window.
#include "app/WindowRegistry.h"

#include <QApplication>
#include <QTimer>

#include "app/CaptureCommands.h"
#include "app/ChildFrame.h"
#include "app/RegistryTexts.h"
#include "app/SettingsCommandHandlers.h"
#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/Prompt.h"
#include "core/SettingsStore.h"
#include "core/ViewConf.h"
#include "device/LiveMonitor.h"
#include "device/LiveRun.h"
#include "device/UnitList.h"
#include "dialogs/CardRunDialog.h"
#include "dialogs/UnitInfoDialog.h"
#include "lineview/LineWindow.h"
#include "present/MarkList.h"
#include "settings/StatusFile.h"
#include "views/DumpWindow.h"
#include "dialogs/FileBrowserDialog.h"
#include "views/MonitorWindow.h"

namespace qv {

using namespace registry;

// --- monitoring ------------------------------------------------------------------

void WindowRegistry::LockMonitorFrame(int slot, bool lock) {
    if (ValidSlot(slot) && m_slots[slot].frame) m_slots[slot].frame->SetLocked(lock);
    emit frameLockChanged(lock);
}

void WindowRegistry::StartMonitoring() {
    // The next run waits until the last one's capture is finished.
    if (!m_services || m_state == kMonitorRunning || Finishing()) return;
    int slot = -1;
    if (m_state == kMonitorPaused) {
        slot = LiveSlot();
        if (slot < 0) return;
    } else {
        // The settings the run is about to start from, in the file the
        // parameter dialog saved them to.
        const HomeSettings home = ReadSettingsHome(Unit());
        m_services->store.Load();
        if (home.monitor.SaveDevice == kSaveDeviceCf) {
            // The unit stores this run on its own card: configure and start
            // it there; no window follows it.
            CardRunDialog dlg(m_services->devices, m_services->log, Prompt(), m_owner);
            dlg.exec();
            emit runStateChanged();
            emit stateChanged();
            return;
        }
        slot = OpenWindow(kKindMonitorLive, "");
        if (slot < 0) {
            if (ValidSlot(slot)) CloseSlot(slot);
            Log(__LINE__, kMsgOpenFailed);
            return;
        }
    }
    const bool resume = m_state == kMonitorPaused;
    m_state = kMonitorRunning;
    m_livePane2.clear();
    m_livePane3.clear();
    LockMonitorFrame(slot, true);
    // A resumed run is running already; a new one is shown to its window only
    // once its start has finished, so that no view polls a run while the
    // start still asks the user something.
    m_slots[slot].view->SetMonitorState(1, resume ? m_slots[slot].monitor.get() : nullptr);
    m_pendingStart = slot;
    m_retrieval = false;
    m_pendingResume = resume;
    QTimer::singleShot(kDeferredStartMs, this, [this, slot] { DeferredStart(slot); });
    emit stateChanged();
}

int WindowRegistry::StartCardRetrieval(ILiveMonitor& monitor) {
    if (m_retrievalStarter) return m_retrievalStarter(monitor);
    // Only a run on an instrument can bring back its card.
    auto* run = dynamic_cast<LiveRun*>(&monitor);
    return run ? run->StartRetrieval() : kErrNoRun;
}

void WindowRegistry::StartRetrieval() {
    if (!m_services || m_state != kMonitorIdle || Finishing()) return;
    m_services->store.Load();
    int slot = OpenWindow(kKindMonitorLive, "");
    if (slot < 0) {
        Log(__LINE__, kMsgOpenFailed);
        return;
    }
    m_state = kMonitorRunning;
    m_livePane2.clear();
    m_livePane3.clear();
    LockMonitorFrame(slot, true);
    // As with a new run, the window polls only once the start has finished.
    m_slots[slot].view->SetMonitorState(1, nullptr);
    m_pendingStart = slot;
    m_pendingResume = false;
    m_retrieval = true;
    QTimer::singleShot(kDeferredRetrievalMs, this, [this, slot] { DeferredStart(slot); });
    emit stateChanged();
}

void WindowRegistry::DeferredStart(int slot) {
    // One start per request, whether the timer or a caller runs it first.
    if (slot != m_pendingStart) return;
    m_pendingStart = -1;
    if (!ValidSlot(slot) || !m_slots[slot].monitor || m_state != kMonitorRunning) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    int rc = m_retrieval ? StartCardRetrieval(*m_slots[slot].monitor) : m_slots[slot].monitor->Start();
    m_retrieval = false;
    QApplication::restoreOverrideCursor();
    emit runStateChanged();
    if (rc != 0) {
        m_state = kMonitorIdle;
        CloseSlot(slot);
        emit frameLockChanged(false);
        if (rc == kErrNotConnected) {
            Log(__LINE__, kMsgNotConnected);
        } else if (rc == kErrParameters) {
            if (auto* p = Prompt())
                p->ShowMessage(
                    QCoreApplication::translate("qv::WindowRegistry", kMsgParametersRefused)
                        .arg(-rc)
                        .toStdString());
        } else {
            Log(__LINE__, kMsgStartFailed);
        }
        emit stateChanged();
        return;
    }
    // The window and the status bar name the lines as the run's own settings
    // do, whatever the status files on disk say by now.
    WindowSlot& w = m_slots[slot];
    StatusSet run;
    if (w.monitor->GetRunStatus(run)) {
        w.rows.assign(run.format.begin(), run.format.end());
        w.view->SetFormatRows(&w.rows, false);
    }
    if (!m_pendingResume) w.view->SetMonitorState(1, w.monitor.get());
    auto names = MonitorLineNames(w.rows, run.status.monitor.Line);
    m_sdLabel = ShortLabel(names[0]);
    m_rdLabel = ShortLabel(names[1]);
    emit stateChanged();
}

void WindowRegistry::PauseMonitoring() {
    if (m_state != kMonitorRunning) return;
    int slot = LiveSlot();
    if (slot < 0) return;
    m_state = kMonitorPaused;
    m_slots[slot].monitor->Pause();
    m_slots[slot].view->SetMonitorState(2, m_slots[slot].monitor.get());
    emit stateChanged();
}

void WindowRegistry::StopMonitoring() {
    if (m_state == kMonitorIdle) return;
    int slot = LiveSlot();
    LockMonitorFrame(slot, false);
    m_state = kMonitorIdle;
    if (slot < 0) return;
    auto& s = m_slots[slot];
    // Returns at once: writing what was read, naming the chunks and writing
    // the index go on off this thread, however slow the disk.
    s.monitor->BeginStop();
    s.view->SetMonitorState(3, s.monitor.get());
    m_finishingSlot = slot;
    PollFinishing();
    emit stateChanged();
}

void WindowRegistry::PollFinishing() {
    const int slot = m_finishingSlot;
    if (!ValidSlot(slot) || !m_slots[slot].monitor) {
        // The window was closed meanwhile; closing it waited for the capture.
        m_finishingSlot = -1;
        emit messageChanged(QString());
        return;
    }
    const ILiveMonitor& m = *m_slots[slot].monitor;
    if (m.Finishing()) {
        emit messageChanged(QCoreApplication::translate("qv::WindowRegistry", kMsgFinishing)
                                .arg(static_cast<int>(100 * m.FinishedFraction())));
        QTimer::singleShot(100, this, [this] { PollFinishing(); });
        return;
    }
    m_finishingSlot = -1;
    emit messageChanged(QString());
    emit runStateChanged();  // the unit is free again
    const uint64_t overflows = m.GetOverflows(), gapTicks = m.GetGapTicks();
    ShowFinishedCapture(slot);
    // A capture with gaps is never taken for a whole one.
    if (overflows > 0)
        if (auto* p = Prompt())
            p->ShowMessage(QCoreApplication::translate("qv::WindowRegistry", kMsgRecordedWithGaps)
                               .arg(overflows)
                               .arg(static_cast<double>(gapTicks) / 1e8, 0, 'f', 3)
                               .toStdString());
    emit stateChanged();
}

void WindowRegistry::ShowFinishedCapture(int slot) {
    auto& s = m_slots[slot];
    std::string path = s.monitor->GetIndexPath();
    int rc = -1;
    auto reader = path.empty() ? nullptr : OpenReader(path, rc);
    auto viewReader = reader ? OpenReader(path, rc) : nullptr;
    if (!viewReader) {
        CloseSlot(slot);
        Log(__LINE__, kMsgReadFailed);
        return;
    }
    if (reader->GetTotalRecords() == 0) {
        CloseSlot(slot);
        Log(__LINE__, kMsgNoDataAfterStop);
        return;
    }
    s.monitor.reset();
    s.reader = std::move(reader);
    s.path = path;
    s.rows.clear();
    s.reader->ReadFormatRows(s.rows);
    s.windowId = MakeWindowId(slot, kKindMonitorFile);
    s.frame->setWindowTitle(QString::fromStdString(Stem(path) + "-Monitor"));
    s.view->SetReader(std::move(viewReader));
    s.view->SetWindowId(s.windowId, s.frame);
    s.view->SetFormatRows(&s.rows, false);
    ShowFirstFrame(slot);
}

}  // namespace qv
