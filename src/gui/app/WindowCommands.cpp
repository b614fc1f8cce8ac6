// The window registry: carrying out the menu, tool bar and pop-up commands.
#include "app/WindowCommands.h"

#include <QColorDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <utility>

#include "app/CaptureCommands.h"
#include "app/ChildFrame.h"
#include "app/RegistryTexts.h"
#include "app/SettingsCommandHandlers.h"
#include "app/WindowPlacement.h"
#include "app/WindowRegistry.h"
#include "capture/CaptureReader.h"
#include "common/Wireshark.h"
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

WindowCommands::WindowCommands(WindowRegistry& windows)
    : m_windows(windows), m_capture(std::make_unique<CaptureCommands>(windows)) {}

WindowCommands::~WindowCommands() = default;

WindowSlot* WindowCommands::Current() const {
    const int slot = m_windows.CurrentSlot();
    return WindowRegistry::ValidSlot(slot) ? &m_windows.Slot(slot) : nullptr;
}

CommandContext WindowCommands::Context() const {
    CommandContext c;
    c.monitorState = m_windows.GetMonitorState();
    c.slotFree = m_windows.SlotFree();
    c.unitSelected = !m_windows.Unit().IsNone();
    c.syncOn = m_windows.Sync();
    c.wiresharkInstalled = !WiresharkProgram().isEmpty();
    if (const WindowSlot* s = Current(); s && s->view) {
        c.hasWindow = true;
        c.kind = WindowIdKind(s->windowId);
        c.direction = s->direction;
        c.code = s->code;
        c.hasFrames = s->reader && s->reader->GetTotalRecords() > 0;
        if (s->reader)
            for (const auto& m : ReadMarks(*s->reader))
                c.marks[static_cast<size_t>(m.number - 1)] = true;
    }
    return c;
}

void WindowCommands::SetCode(int code) {
    WindowSlot* s = Current();
    if (!s || !s->view) return;
    s->code = code;
    s->view->SetCodes(s->direction, code);
}

void WindowCommands::SetDirection(int direction) {
    WindowSlot* s = Current();
    if (!s || !s->view) return;
    s->direction = direction;
    s->view->SetCodes(direction, s->code);
}

void WindowCommands::OpenDumpWindow() {
    const WindowSlot* s = Current();
    if (!s || s->path.empty()) return;
    const std::string path = s->path;
    int slot = m_windows.OpenWindow(kKindDump, path);
    if (slot < 0) {
        m_windows.Log(__LINE__, kMsgOpenFailed);
        return;
    }
    m_windows.ShowAtTime(slot, m_windows.LastTime());
}

void WindowCommands::PickColor(int id) {
    AppServices* services = m_windows.Services();
    if (!services) return;
    static constexpr std::pair<int, ViewColor> kColors[] = {
        {kCmdColorSd, ViewColor::MonitorSd},           {kCmdColorRd, ViewColor::MonitorRd},
        {kCmdColorControl, ViewColor::MonitorControl}, {kCmdColorOther, ViewColor::MonitorOther},
        {kCmdColorDumpOdd, ViewColor::DumpOdd},        {kCmdColorDumpEven, ViewColor::DumpEven}};
    ViewColor which = ViewColor::DumpBoundary;
    for (const auto& [command, colour] : kColors)
        if (command == id) which = colour;
    uint32_t c = services->conf.GetColor(which);
    QColor chosen = QColorDialog::getColor(ToQColor(c), m_windows.Owner());
    if (!chosen.isValid()) return;
    services->conf.SetColor(which, FromQColor(chosen));
    for (int i = 0; i < WindowRegistry::kSlots; ++i)
        if (WindowSlot& s = m_windows.Slot(i); s.view) s.view->SetCodes(s.direction, s.code);
}

void WindowCommands::MoveCurrentTo(bool last) {
    const WindowSlot* s = Current();
    if (!s || !s->reader || s->reader->GetTotalRecords() == 0) return;
    if (s->reader->GoToFrame(last ? s->reader->GetTotalRecords() - 1 : 0) != 0) return;
    DayTime when;
    if (s->reader->GetEndRecordTime(when) != 0) return;
    m_windows.ShowCurrentAt(when, false);
}

void WindowCommands::Build() {
    auto& h = m_handlers;
    h[kCmdFileOpen] = [this] { m_windows.OpenCapture(""); };
    h[kCmdFileClose] = [this] { m_windows.CloseCurrent(); };
    h[kCmdAppExit] = [this] {
        if (m_windows.GetMonitorState() == kMonitorIdle) emit m_windows.exitRequested();
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
    h[kCmdZoomIn] = [this] { m_windows.ZoomCurrent(1); };
    h[kCmdZoomOut] = [this] { m_windows.ZoomCurrent(2); };
    h[kCmdDumpWindow] = [this] { OpenDumpWindow(); };
    h[kCmdLineWindow] = [this] { m_windows.OpenLineWindow(); };
    h[kCmdCardRetrieve] = [this] { m_windows.StartRetrieval(); };
    for (int id : {kCmdColorSd, kCmdColorRd, kCmdColorControl, kCmdColorOther, kCmdColorDumpOdd,
                   kCmdColorDumpEven, kCmdColorDumpBoundary})
        h[id] = [this, id] { PickColor(id); };
    h[kCmdSelectUnit] = [this] {
        AppServices* services = m_windows.Services();
        if (m_windows.GetMonitorState() != kMonitorIdle || !services) return;
        UnitSelectDialog dlg(services->devices, m_windows.Prompt(), m_windows.Owner());
        dlg.exec();
        services->devices.Select(dlg.Selected());
    };
    h[kCmdMonitorStart] = [this] { m_windows.StartMonitoring(); };
    h[kCmdMonitorPause] = [this] { m_windows.PauseMonitoring(); };
    h[kCmdMonitorStop] = [this] { m_windows.StopMonitoring(); };
    h[kCmdUnitStatus] = [this] {
        if (!m_windows.Services()) return;
        // The dialog follows the run: it reads the instrument again when a
        // run starts or ends while it is open.
        UnitInfoDialog::Run(m_windows.Services()->devices, m_windows.Prompt(), m_windows.Owner(),
                            [this](UnitInfoDialog& dlg) {
                                QObject::connect(&m_windows, &WindowRegistry::runStateChanged, &dlg,
                                                 [&dlg] { dlg.ReadRows(); });
                            });
    };
    h[kCmdUnitClock] = [this] {
        if (AppServices* services = m_windows.Services())
            ClockDialog::Run(services->devices, m_windows.Prompt(), m_windows.Owner());
    };
    h[kCmdSync] = [this] { m_windows.SetSync(!m_windows.Sync()); };
    h[kCmdCascade] = [this] {
        // Qt's own cascade sizes each window by its own hint, leaving small
        // Monitor windows under large Line windows; these are all one size.
        QMdiArea* area = m_windows.Area();
        QList<QMdiSubWindow*> windows;
        for (QMdiSubWindow* w : area->subWindowList(QMdiArea::StackingOrder))
            if (w->isVisible()) windows << w;  // closed windows are kept hidden
        const std::vector<QRect> rects =
            CascadeRects(area->viewport()->size(), static_cast<int>(windows.size()));
        for (int i = 0; i < windows.size(); ++i) {
            if (windows[i]->isMinimized() || windows[i]->isMaximized()) windows[i]->showNormal();
            windows[i]->setGeometry(rects[static_cast<size_t>(i)]);
            windows[i]->raise();
        }
    };
    h[kCmdTile] = [this] {
        // The monitoring window, which may not be resized while it runs,
        // keeps its place; the others share the area.
        QMdiArea* area = m_windows.Area();
        QList<QMdiSubWindow*> windows;
        for (QMdiSubWindow* w : area->subWindowList(QMdiArea::CreationOrder)) {
            auto* frame = qobject_cast<ChildFrame*>(w);
            if (w->isVisible() && !(frame && frame->IsLocked())) windows << w;
        }
        const QSize room = area->viewport()->size();
        const std::vector<QRect> rects = TileRects(room, static_cast<int>(windows.size()));
        for (int i = 0; i < windows.size(); ++i) {
            if (windows[i]->isMinimized() || windows[i]->isMaximized()) windows[i]->showNormal();
            // A window whose controls need more than its tile (the Line
            // window's) takes what it needs, overlapping its neighbours,
            // rather than draw its controls over each other.
            windows[i]->setGeometry(
                FitTile(rects[static_cast<size_t>(i)], windows[i]->minimumSizeHint(), room));
        }
    };
    h[kCmdHelp] = [this] { emit m_windows.helpRequested(); };
    h[kCmdMonitorParams] = [this] {
        if (m_windows.GetMonitorState() == kMonitorIdle) RunMonitorParams(m_windows);
    };
    h[kCmdDisplayFormat] = [this] { RunDisplayFormat(m_windows); };
    h[kCmdProperty] = [this] { RunProperties(m_windows); };
    // The commands on the current window's capture.
    CaptureCommands& c = *m_capture;
    h[kCmdSearch] = [&c] { c.Search(); };
    h[kCmdFrameJump] = [&c] { c.FrameJump(); };
    h[kCmdTriggerJump] = [&c] { c.TriggerJump(); };
    h[kCmdFileSave] = [&c] { c.Save(); };
    h[kCmdWiresharkRaw] = [&c] { c.SelectionToWireshark("none"); };
    h[kCmdWiresharkModbus] = [&c] { c.SelectionToWireshark("modbus-rtu"); };
    h[kCmdWiresharkDnp3] = [&c] { c.SelectionToWireshark("dnp3"); };
    h[kCmdPrint] = [&c] { c.Print(); };
    for (int n = 1; n <= kMarkCount; ++n) {
        h[MarkSetCommand(n)] = [&c, n] { c.SetMark(n); };
        h[MarkJumpCommand(n)] = [&c, n] { c.JumpToMark(n); };
    }
}

std::function<void()> WindowCommands::Handler(int id) {
    if (m_handlers.empty()) Build();
    auto it = m_handlers.find(id);
    if (it == m_handlers.end()) return [] {};
    std::function<void()> run = it->second;
    // Whatever a command did, the menus and status bar look again.
    return [this, run = std::move(run)] {
        run();
        emit m_windows.stateChanged();
    };
}

}  // namespace qv
