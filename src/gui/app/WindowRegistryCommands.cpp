// The window registry: carrying out the menu, tool bar and pop-up commands.
#include "app/WindowRegistry.h"

#include <QColorDialog>
#include <QMdiArea>
#include <utility>

#include "app/CaptureCommands.h"
#include "app/ChildFrame.h"
#include "app/RegistryTexts.h"
#include "app/SettingsCommandHandlers.h"
#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/ViewConf.h"
#include "device/LiveRun.h"
#include "device/UnitList.h"
#include "dialogs/CardRunDialog.h"
#include "dialogs/ClockDialog.h"
#include "dialogs/UnitInfoDialog.h"
#include "dialogs/UnitSelectDialog.h"
#include "lineview/LineWindow.h"
#include "present/MarkList.h"
#include "views/DumpWindow.h"
#include "views/MonitorWindow.h"
#include "views/StoredColour.h"

namespace qv {

using namespace registry;

// --- commands ----------------------------------------------------------------------

CommandContext WindowRegistry::Context() const {
    CommandContext c;
    c.monitorState = m_monitoring->State();
    c.slotFree = FreeSlot() >= 0;
    c.unitSelected = !Unit().IsNone();
    c.syncOn = m_sync;
    if (ValidSlot(m_current) && m_slots[m_current].view) {
        const auto& s = m_slots[m_current];
        c.hasWindow = true;
        c.kind = WindowIdKind(s.windowId);
        c.direction = s.direction;
        c.code = s.code;
        c.hasFrames = s.reader && s.reader->GetTotalRecords() > 0;
        if (s.reader)
            for (const auto& m : ReadMarks(*s.reader))
                c.marks[static_cast<size_t>(m.number - 1)] = true;
    }
    return c;
}

void WindowRegistry::SetCode(int code) {
    if (!ValidSlot(m_current) || !m_slots[m_current].view) return;
    auto& s = m_slots[m_current];
    s.code = code;
    s.view->SetCodes(s.direction, code);
}

void WindowRegistry::SetDirection(int direction) {
    if (!ValidSlot(m_current) || !m_slots[m_current].view) return;
    auto& s = m_slots[m_current];
    s.direction = direction;
    s.view->SetCodes(direction, s.code);
}

void WindowRegistry::OpenDumpWindow() {
    if (!ValidSlot(m_current) || m_slots[m_current].path.empty()) return;
    const std::string path = m_slots[m_current].path;
    int slot = OpenWindow(kKindDump, path);
    if (slot < 0) {
        Log(__LINE__, kMsgOpenFailed);
        return;
    }
    ShowAtTime(slot, m_lastTime);
}

void WindowRegistry::PickColor(int id) {
    if (!m_services) return;
    ViewColor which = ViewColor::MonitorSd;
    switch (id) {
        case kCmdColorSd:
            which = ViewColor::MonitorSd;
            break;
        case kCmdColorRd:
            which = ViewColor::MonitorRd;
            break;
        case kCmdColorControl:
            which = ViewColor::MonitorControl;
            break;
        case kCmdColorOther:
            which = ViewColor::MonitorOther;
            break;
        case kCmdColorDumpOdd:
            which = ViewColor::DumpOdd;
            break;
        case kCmdColorDumpEven:
            which = ViewColor::DumpEven;
            break;
        default:
            which = ViewColor::DumpBoundary;
            break;
    }
    uint32_t c = m_services->conf.GetColor(which);
    QColor chosen = QColorDialog::getColor(ToQColor(c), m_owner);
    if (!chosen.isValid()) return;
    m_services->conf.SetColor(which, FromQColor(chosen));
    for (auto& s : m_slots)
        if (s.view) s.view->SetCodes(s.direction, s.code);
}

void WindowRegistry::MoveCurrentTo(bool last) {
    if (!ValidSlot(m_current)) return;
    auto& s = m_slots[m_current];
    if (!s.reader || s.reader->GetTotalRecords() == 0) return;
    if (s.reader->GoToFrame(last ? s.reader->GetTotalRecords() - 1 : 0) != 0) return;
    DayTime when;
    if (s.reader->GetEndRecordTime(when) != 0) return;
    m_lastTime = when;
    ShowAtTime(m_current, when);
}

void WindowRegistry::BuildHandlers() {
    auto& h = m_handlers;
    h[kCmdFileOpen] = [this] { OpenCapture(""); };
    h[kCmdFileClose] = [this] { CloseCurrent(); };
    h[kCmdAppExit] = [this] {
        if (m_monitoring->State() == kMonitorIdle) emit exitRequested();
    };
    h[kCmdFirst] = [this] { MoveCurrentTo(false); };
    h[kCmdLast] = [this] { MoveCurrentTo(true); };
    for (auto [id, code] : {std::pair{kCmdHex, kDisplayHex},
                            {kCmdAscii, kDisplayAscii},
                            {kCmdJis7, kDisplayJis7},
                            {kCmdJis8, kDisplayJis8},
                            {kCmdEbcdic, kDisplayEbcdic},
                            {kCmdShiftJis, kDisplayShiftJis}})
        h[id] = [this, code] { SetCode(code); };
    for (int id : {kCmdDual, kCmdDirSd, kCmdDirRd})
        h[id] = [this, id] { SetDirection(id - kCmdDual); };
    h[kCmdZoomIn] = [this] { ZoomCurrent(1); };
    h[kCmdZoomOut] = [this] { ZoomCurrent(2); };
    h[kCmdDumpWindow] = [this] { OpenDumpWindow(); };
    h[kCmdLineWindow] = [this] { OpenLineWindow(); };
    h[kCmdCardRetrieve] = [this] { StartRetrieval(); };
    for (int id : {kCmdColorSd, kCmdColorRd, kCmdColorControl, kCmdColorOther, kCmdColorDumpOdd,
                   kCmdColorDumpEven, kCmdColorDumpBoundary})
        h[id] = [this, id] { PickColor(id); };
    h[kCmdSelectUnit] = [this] {
        if (m_monitoring->State() != kMonitorIdle || !m_services) return;
        UnitSelectDialog dlg(m_services->devices, Prompt(), m_owner);
        dlg.exec();
        m_services->devices.Select(dlg.Selected());
    };
    h[kCmdMonitorStart] = [this] { StartMonitoring(); };
    h[kCmdMonitorPause] = [this] { PauseMonitoring(); };
    h[kCmdMonitorStop] = [this] { StopMonitoring(); };
    h[kCmdUnitStatus] = [this] {
        if (!m_services) return;
        // The dialog follows the run: it reads the instrument again when a
        // run starts or ends while it is open.
        UnitInfoDialog::Run(m_services->devices, Prompt(), m_owner, [this](UnitInfoDialog& dlg) {
            connect(this, &WindowRegistry::runStateChanged, &dlg, [&dlg] { dlg.ReadRows(); });
        });
    };
    h[kCmdUnitClock] = [this] {
        if (m_services) ClockDialog::Run(m_services->devices, Prompt(), m_owner);
    };
    h[kCmdSync] = [this] { m_sync = !m_sync; };
    h[kCmdCascade] = [this] { m_area->cascadeSubWindows(); };
    h[kCmdTile] = [this] { m_area->tileSubWindows(); };
    h[kCmdHelp] = [this] { emit helpRequested(); };
    h[kCmdMonitorParams] = [this] {
        if (m_monitoring->State() == kMonitorIdle) RunMonitorParams(*this);
    };
    h[kCmdDisplayFormat] = [this] { RunDisplayFormat(*this); };
    h[kCmdProperty] = [this] { RunProperties(*this); };
    // The commands on the current window's capture.
    CaptureCommands& c = *m_commands;
    h[kCmdSearch] = [&c] { c.Search(); };
    h[kCmdFrameJump] = [&c] { c.FrameJump(); };
    h[kCmdTriggerJump] = [&c] { c.TriggerJump(); };
    h[kCmdFileSave] = [&c] { c.Save(); };
    h[kCmdPrint] = [&c] { c.Print(); };
    for (int n = 1; n <= kMarkCount; ++n) {
        h[MarkSetCommand(n)] = [&c, n] { c.SetMark(n); };
        h[MarkJumpCommand(n)] = [&c, n] { c.JumpToMark(n); };
    }
}

std::function<void()> WindowRegistry::Handler(int id) {
    if (m_handlers.empty()) BuildHandlers();
    auto it = m_handlers.find(id);
    if (it == m_handlers.end()) return [] {};
    std::function<void()> run = it->second;
    // Whatever a command did, the menus and status bar look again.
    return [this, run = std::move(run)] {
        run();
        emit stateChanged();
    };
}

void WindowRegistry::Execute(int id) {
    Handler(id)();
}

}  // namespace qv
