// The window registry: what its windows report (activation, the record shown,
// live refreshes), keeping synchronised windows together, and the status bar.
#include "app/WindowRegistry.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>

#include "app/CaptureCommands.h"
#include "app/ChildFrame.h"
#include "app/RegistryTexts.h"
#include "app/SettingsCommandHandlers.h"
#include "capture/CaptureIndexText.h"
#include "capture/CaptureReader.h"
#include "capture/RecordTime.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/ViewConf.h"
#include "device/LiveMonitor.h"
#include "device/LiveRun.h"
#include "device/UnitList.h"
#include "lineview/LineWindow.h"
#include "settings/StatusFile.h"
#include "settings/StatusSet.h"
#include "views/DumpWindow.h"
#include "views/MonitorWindow.h"

namespace qv {

using namespace registry;

// --- reports -------------------------------------------------------------------

void WindowRegistry::OnActivated(int windowId) {
    int slot = WindowIdSlot(windowId);
    if (!ValidSlot(slot) || m_slots[slot].windowId != windowId) return;
    m_current = slot;
    emit stateChanged();
}

void WindowRegistry::OnSubWindowActivated(QMdiSubWindow* frame) {
    if (!frame) return;
    for (int i = 0; i < kSlots; ++i) {
        if (m_slots[i].frame == frame) {
            m_current = i;
            emit stateChanged();
            return;
        }
    }
}

void WindowRegistry::OnFrameReport(int windowId, const DayTime& when) {
    int slot = WindowIdSlot(windowId);
    if (!ValidSlot(slot) || m_slots[slot].Free()) return;
    auto& s = m_slots[slot];
    m_lastTime = when;
    // The window's second reader stands on the reported record, whether or
    // not the windows are synchronised: marks, the search start and the
    // status bar take the window's record from it.
    if (s.reader) {
        s.reader->GoToTime(when);
        CursorPosition pos;
        if (s.reader->GetCursor(pos) == 0) s.frameNumber = pos.frame;
    }
    s.frameTime = when;
    if (m_sync && !m_syncBlocked && s.reader) {
        FollowOthers(slot, when);
        m_syncBlocked = true;
        QTimer::singleShot(kSyncIntervalMs, this, [this] { m_syncBlocked = false; });
    }
    emit stateChanged();
}

// The other windows with a reader go to the same time, unless their capture
// lies days away from it (or they were never positioned).
void WindowRegistry::FollowOthers(int slot, const DayTime& when) {
    for (int i = 0; i < kSlots; ++i) {
        auto& o = m_slots[i];
        if (i == slot || o.Free() || !o.reader || !o.frameTime) continue;
        // Date numbers YYMMDD: "two apart" is counted on the number, as the
        // windows always have.
        if (std::abs(o.frameTime->date - when.date) >= 2) continue;
        if (o.reader->GoToTime(when) != 0) continue;
        DayTime reached;
        if (o.reader->GetEndRecordTime(reached) != 0) continue;
        ShowAtTime(i, reached);
    }
}

void WindowRegistry::OnLiveRefreshed(int windowId) {
    m_monitoring->LiveRefreshed(WindowIdSlot(windowId));
}

void WindowRegistry::SwitchToWindow(int number) {
    if (m_monitoring->State() == kMonitorRunning) return;
    int slot = number - 1;
    if (!ValidSlot(slot) || m_slots[slot].Free()) return;
    m_current = slot;
    m_area->setActiveSubWindow(m_slots[slot].frame);
    emit stateChanged();
}

// --- status bar --------------------------------------------------------------------------

StatusTexts WindowRegistry::StatusBarTexts() const {
    StatusTexts t = EmptyStatusTexts();
    if (!ValidSlot(m_current) || m_slots[m_current].Free()) return t;
    const auto& s = m_slots[m_current];
    SelectedUnit unit = Unit();
    t[1] = UnitPaneText(unit.serial, unit.name);
    double frequency = m_services ? m_services->store.GetFrequency() : 0;
    MonitorSettings m;
    SamplingSettings sampling;
    if (s.reader) {
        // The record the window itself stands on.
        const CaptureReader* shown = s.view && s.view->Reader() ? s.view->Reader() : s.reader.get();
        std::string text;
        uint64_t ticks = 0;
        if (shown->GetEndTime(text, ticks) == 0) t[2] = "\t" + text;
        uint8_t header = 0;
        t[3] = shown->GetHeaderByte(header) == 0 ? ErrorPaneText(header) : "\t   ";
        s.reader->GetMonitorSettings(m, sampling);
    } else if (StatusSet run; s.monitor && s.monitor->GetRunStatus(run)) {
        // A run shows the settings it was started with, whatever the status
        // files on disk say by now.
        m = run.status.monitor;
        sampling = run.status.sampling;
        if (!m_monitoring->CountPane().empty()) t[2] = m_monitoring->CountPane();
        if (!m_monitoring->OverflowPane().empty()) t[3] = m_monitoring->OverflowPane();
    } else {
        // Before the run has started: the settings it is about to use.
        const HomeSettings home = ReadSettingsHome(Unit());
        m = home.monitor;
        sampling = home.sampling;
        if (!m_monitoring->CountPane().empty()) t[2] = m_monitoring->CountPane();
        if (!m_monitoring->OverflowPane().empty()) t[3] = m_monitoring->OverflowPane();
    }
    FillSettingsPanes(t, m, frequency);
    return t;
}

}  // namespace qv
