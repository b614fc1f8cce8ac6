// The window registry: carrying out the menu, tool bar and pop-up commands.
#include "app/WindowRegistry.h"

#include <QColorDialog>
#include <QMdiArea>

#include "app/CaptureCommands.h"
#include "app/ChildFrame.h"
#include "app/RegistryTexts.h"
#include "app/SettingsCommandHandlers.h"
#include "capture/CaptureReader.h"
#include "capture/MarkList.h"
#include "core/AppContext.h"
#include "device/MonitoringRun.h"
#include "device/UnitList.h"
#include "dialogs/CardRunDialog.h"
#include "dialogs/ClockDialog.h"
#include "dialogs/UnitInfoDialog.h"
#include "dialogs/UnitSelectDialog.h"
#include "lineview/LineWindow.h"
#include "views/DumpWindow.h"
#include "views/MonitorWindow.h"
#include "views/StoredColour.h"

namespace qv {

using namespace registry;

// --- commands ----------------------------------------------------------------------

CommandContext WindowRegistry::Context() const {
    CommandContext c;
    c.monitorState = m_state;
    c.slotFree = FreeSlot() >= 0;
    c.unitSelected = !GetSelectedUnit().IsNone();
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
    ShowAtTime(slot, m_lastTime, m_slots[slot].reader.get());
}

void WindowRegistry::PickColor(int id) {
    if (!m_cmn) return;
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
    uint32_t c = m_cmn->GetColor(which);
    QColor chosen =
        QColorDialog::getColor(ToQColor(c), m_owner);
    if (!chosen.isValid()) return;
    m_cmn->SetColor(which, FromQColor(chosen));
    for (auto& s : m_slots)
        if (s.view) s.view->SetCodes(s.direction, s.code);
}

void WindowRegistry::MoveCurrentTo(bool last) {
    if (!ValidSlot(m_current)) return;
    auto& s = m_slots[m_current];
    if (!s.reader || s.reader->GetTotalRecords() == 0) return;
    if (s.reader->GoToFrame(last ? s.reader->GetTotalRecords() - 1 : 0) != 0) return;
    std::string text;
    uint64_t ticks = 0;
    if (s.reader->GetEndTime(text, ticks) != 0) return;
    m_lastTime = text;
    ShowAtTime(m_current, text, s.reader.get());
}

void WindowRegistry::Execute(int id) {
    switch (id) {
        case kCmdFileOpen:
            OpenCapture("");
            break;
        case kCmdFileClose:
            CloseCurrent();
            break;
        case kCmdAppExit:
            if (m_state == kMonitorIdle) emit exitRequested();
            break;
        case kCmdFirst:
            MoveCurrentTo(false);
            break;
        case kCmdLast:
            MoveCurrentTo(true);
            break;
        case kCmdHex:
            SetCode(kDisplayHex);
            break;
        case kCmdAscii:
            SetCode(kDisplayAscii);
            break;
        case kCmdJis7:
            SetCode(kDisplayJis7);
            break;
        case kCmdJis8:
            SetCode(kDisplayJis8);
            break;
        case kCmdEbcdic:
            SetCode(kDisplayEbcdic);
            break;
        case kCmdShiftJis:
            SetCode(kDisplayShiftJis);
            break;
        case kCmdDual:
        case kCmdDirSd:
        case kCmdDirRd:
            SetDirection(id - kCmdDual);
            break;
        case kCmdZoomIn:
        case kCmdZoomOut:
            ZoomCurrent(id == kCmdZoomIn ? 1 : 2);
            break;
        case kCmdDumpWindow:
            OpenDumpWindow();
            break;
        case kCmdLineWindow:
            OpenLineWindow();
            break;
        case kCmdCardRetrieve:
            StartRetrieval();
            break;
        case kCmdColorSd:
        case kCmdColorRd:
        case kCmdColorControl:
        case kCmdColorOther:
        case kCmdColorDumpOdd:
        case kCmdColorDumpEven:
        case kCmdColorDumpBoundary:
            PickColor(id);
            break;
        case kCmdSelectUnit: {
            if (m_state != kMonitorIdle) break;
            UnitSelectDialog dlg(GetSelectedUnit(), m_cmn ? m_cmn->GetPrompt() : nullptr, m_owner);
            dlg.exec();
            SetSelectedUnit(dlg.Selected());
            break;
        }
        case kCmdMonitorStart:
            StartMonitoring();
            break;
        case kCmdMonitorPause:
            PauseMonitoring();
            break;
        case kCmdMonitorStop:
            StopMonitoring();
            break;
        case kCmdUnitStatus:
            UnitInfoDialog::Run(GetSelectedUnit(), m_cmn ? m_cmn->GetPrompt() : nullptr, m_owner);
            break;
        case kCmdUnitClock:
            ClockDialog::Run(GetSelectedUnit(), m_cmn ? m_cmn->GetPrompt() : nullptr, m_owner);
            break;
        case kCmdSync:
            m_sync = !m_sync;
            break;
        case kCmdCascade:
            m_area->cascadeSubWindows();
            break;
        case kCmdTile:
            m_area->tileSubWindows();
            break;
        case kCmdHelp:
            emit helpRequested();
            break;
        case kCmdMonitorParams:
            if (m_state == kMonitorIdle) RunMonitorParams(*this);
            break;
        case kCmdDisplayFormat:
            RunDisplayFormat(*this);
            break;
        case kCmdProperty:
            RunProperties(*this);
            break;
        default:
            m_commands->Execute(id);
            break;
    }
    emit stateChanged();
}

}  // namespace qv
