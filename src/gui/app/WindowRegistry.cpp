// The window registry: its slots, and opening, positioning and closing windows.
#include "app/WindowRegistry.h"

#include <filesystem>

#include <QMdiArea>
#include <QMdiSubWindow>

#include "app/CaptureCommands.h"
#include "app/ChildFrame.h"
#include "app/RegistryTexts.h"
#include "app/SettingsCommandHandlers.h"
#include "capture/CaptureIndexText.h"
#include "capture/CaptureReader.h"
#include "capture/CaptureRecovery.h"
#include "capture/OpenFailure.h"
#include "capture/RecordTime.h"
#include "core/Log.h"
#include "core/Prompt.h"
#include "core/SettingsStore.h"
#include "core/ViewConf.h"
#include "device/LiveMonitor.h"
#include "device/LiveRun.h"
#include "device/UnitList.h"
#include "dialogs/CardRunDialog.h"
#include "dialogs/ClockDialog.h"
#include "dialogs/FileBrowserDialog.h"
#include "dialogs/UnitInfoDialog.h"
#include "dialogs/UnitSelectDialog.h"
#include "lineview/LineWindow.h"
#include "present/MarkList.h"
#include "settings/StatusFile.h"
#include "views/DumpWindow.h"
#include "views/MonitorWindow.h"

namespace qv {

using namespace registry;

WindowRegistry::WindowRegistry(QMdiArea* area, QWidget* owner)
    : QObject(owner),
      m_area(area),
      m_owner(owner),
      m_windowCommands(std::make_unique<WindowCommands>(*this)),
      m_monitoring(new MonitoringControl(*this)) {}

WindowRegistry::~WindowRegistry() {
    for (int i = 0; i < kSlots; ++i)
        if (m_slots[i].monitor && m_monitoring->State() != kMonitorIdle) m_slots[i].monitor->Stop();
}

IPrompt* WindowRegistry::Prompt() const {
    return m_services ? m_services->log.GetPrompt() : nullptr;
}

SelectedUnit WindowRegistry::Unit() const {
    return m_services ? m_services->devices.Selected() : SelectedUnit{};
}

void WindowRegistry::Log(int line, const std::string& message, bool show) {
    if (!m_services) return;
    m_services->log.Write("ERR", kSource, line, message, false);
    if (IPrompt* p = show ? Prompt() : nullptr) p->ShowMessage(Shown(message.c_str()));
}

int WindowRegistry::FreeSlot() const {
    return m_slots.FirstFree();
}

int WindowRegistry::LiveSlot() const {
    return m_slots.Live();
}

void WindowRegistry::ReadStatusFileRows(std::vector<FormatEntry>& rows) const {
    StatusFile status;
    status.SetPath(SettingsHome(Unit()));
    status.ReadFormatTable(rows);
}

std::unique_ptr<CaptureReader> WindowRegistry::OpenReader(const std::string& path, int& rc) const {
    auto reader = std::make_unique<CaptureReader>(m_services->store, m_services->log);
    rc = reader->Open(path);
    if (rc != 0) reader.reset();
    return reader;
}

const std::vector<FormatEntry>& WindowRegistry::CurrentFormatRows() const {
    static const std::vector<FormatEntry> kNone;
    return ValidSlot(m_current) ? m_slots[m_current].rows : kNone;
}

std::array<std::string, 5> WindowRegistry::CurrentMarkNames() const {
    std::array<std::string, 5> names;
    if (CaptureReader* reader = CurrentReader())
        for (const auto& m : ReadMarks(*reader))
            names[static_cast<size_t>(m.number - 1)] = m.comment.empty() ? m.timeText : m.comment;
    return names;
}

CaptureReader* WindowRegistry::CurrentReader() const {
    return ValidSlot(m_current) ? m_slots[m_current].reader.get() : nullptr;
}

void WindowRegistry::ShowCurrentAt(const DayTime& when, bool follow) {
    if (!ValidSlot(m_current) || !m_slots[m_current].reader) return;
    m_lastTime = when;
    ShowAtTime(m_current, when);
    if (follow && m_sync) FollowOthers(m_current, when);
}

// --- windows ---------------------------------------------------------------

int WindowRegistry::OpenWindow(int kind, const std::string& path) {
    if (!m_services) return -15;
    int slot = FreeSlot();
    if (slot < 0) return -8;
    if (kind != kKindMonitorLive && path.empty()) return -15;
    // The Line and Dump windows are views of a stored capture.
    if (kind != kKindMonitorFile && kind != kKindMonitorLive && kind != kKindLine &&
        kind != kKindDump)
        return -14;

    WindowSlot fresh;
    std::unique_ptr<CaptureReader> viewReader;
    if (kind != kKindMonitorLive) {
        // The commands and the view each have a reader of their own, so that
        // neither moves the other's position.
        int rc = 0;
        fresh.reader = OpenReader(path, rc);
        if (fresh.reader) viewReader = OpenReader(path, rc);
        if (!viewReader) return rc;
        fresh.code = kind == kKindDump ? kDisplayAscii : kDisplayHex;
        fresh.path = path;
        fresh.reader->ReadFormatRows(fresh.rows);
    } else {
        fresh.monitor = m_monitoring->MakeMonitor();
        if (!fresh.monitor) return -21;
        fresh.code = kDisplayHex;
        ReadStatusFileRows(fresh.rows);
    }

    auto* frame = new ChildFrame(this);
    CaptureView* view = nullptr;
    if (kind == kKindLine)
        view = new LineWindow(m_services->conf, m_services->log);
    else if (kind == kKindDump)
        view = new DumpWindow(m_services->conf, m_services->log);
    else
        view = new MonitorWindow(m_services->conf, m_services->log);
    frame->setWidget(view);
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    fresh.frame = frame;
    fresh.view = view;
    fresh.windowId = MakeWindowId(slot, kind);
    m_slots[slot] = std::move(fresh);
    m_current = slot;
    auto& s = m_slots[slot];
    if (kind == kKindMonitorFile)
        frame->setWindowTitle(QString::fromStdString(Stem(path) + "-Monitor"));
    else if (kind == kKindDump)
        frame->setWindowTitle(QString::fromStdString(Stem(path) + "-Dump"));
    else if (kind == kKindLine)
        frame->setWindowTitle(QString::fromStdString(Stem(path) + "-Line"));

    ConnectView(view);
    QMdiSubWindow* sub = m_area->addSubWindow(frame);
    // A new window opens maximised, the whole area for its capture; restored,
    // it takes most of the area, leaving the others' title bars in reach.
    const QSize area = m_area->viewport()->size();
    sub->resize(std::max(480, area.width() * 3 / 4), std::max(320, area.height() * 3 / 4));
    sub->move(24 * slot, 24 * slot);  // cascaded by slot
    sub->showMaximized();
    if (viewReader) view->SetReader(std::move(viewReader));
    view->SetWindowId(s.windowId, frame);
    view->SetFormatRows(&s.rows, false);
    view->SetCodes(s.direction, s.code);
    emit stateChanged();
    return slot;
}

void WindowRegistry::ConnectView(CaptureView* view) {
    connect(view, &CaptureView::activated, this, &WindowRegistry::OnActivated);
    connect(view, &CaptureView::frameReported, this,
            &WindowRegistry::OnFrameReport);
    connect(view, &CaptureView::switchWindowRequested, this,
            [this](int n, int) { SwitchToWindow(n); });
    connect(view, &CaptureView::liveRefreshed, this, &WindowRegistry::OnLiveRefreshed);
    connect(view, &CaptureView::commandRequested, this, [this](int id) {
        if (id == kCmdHelp)
            emit helpRequested();
        else if (EvaluateCommand(id, Context()).enabled)
            Execute(id);
    });
    connect(view, &CaptureView::popupRequested, this, [this](ViewPopup which, const QPoint& pos) {
        emit popupMenuRequested(which == ViewPopup::kEdit ? PopupMenu::kEdit : PopupMenu::kWindows,
                                pos);
    });
}

int WindowRegistry::OpenCapture(const std::string& givenPath) {
    if (!m_services) return -15;
    std::string path = givenPath;
    if (path.empty()) {
        FileBrowserDialog dlg(FileBrowserDialog::kOpenMode,
                              m_services->conf.GetBrowserFolder("Open"), m_owner);
        dlg.SetRecent(m_services->conf.GetRecentCaptures());
        const int answer = dlg.exec();
        m_services->conf.SetBrowserFolder("Open", dlg.CurrentFolder());
        if (answer != QDialog::Accepted) return 0;
        path = dlg.IndexPath();
    }
    // A capture whose run ended without Stop cannot be read until its
    // chunk files are recovered; the user decides.
    if (CaptureNeedsRecovery(path)) {
        IPrompt* prompt = Prompt();
        if (prompt && prompt->AskYesNo(Shown(kAskRecover))) {
            RecoveryResult result;
            if (RecoverCapture(path, result) != 0) prompt->ShowMessage(result.message);
        }
    }
    int slot = OpenWindow(kKindMonitorFile, path);
    if (slot < 0) {
        // Which file and why: the bare "failed" leaves the user guessing
        // between a typo, a missing chunk file and a damaged index.
        const std::string reason =
            slot == -8 ? kMsgTooManyWindows
                       : CaptureOpenFailureReason(path, slot, UiLanguage::kJapanese);
        Log(__LINE__, std::string(kMsgOpenFailed) + " " + path + ": " + reason, false);
        const std::string shown =
            slot == -8 ? Shown(kMsgTooManyWindows) : CaptureOpenFailureReason(path, slot);
        if (auto* p = Prompt()) p->ShowMessage(Shown(kMsgOpenFailed) + "\n" + path + "\n" + shown);
        return slot;
    }
    if (m_slots[slot].reader->GetTotalRecords() == 0) {
        CloseSlot(slot);
        Log(__LINE__, kMsgNoData);
        return -12;
    }
    ShowFirstFrame(slot);
    // For File -> recent captures, whatever the way it was opened by.
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(m_slots[slot].reader->GetIndexPath(), ec);
    m_services->conf.RememberCapture(ec ? m_slots[slot].reader->GetIndexPath() : absolute.string());
    return slot;
}

void WindowRegistry::ShowFirstFrame(int slot) {
    auto& s = m_slots[slot];
    DayTime when;
    if (s.reader->GoToFrame(0) == 0 && s.reader->GetEndRecordTime(when) == 0) {
        m_lastTime = when;
        ShowAtTime(slot, when);
    }
}

void WindowRegistry::ShowAtTime(int slot, const std::optional<DayTime>& when) {
    if (!ValidSlot(slot) || !m_slots[slot].view) return;
    if (m_services)
        m_services->log.Write("DBG", kSource, __LINE__, when ? FormatRecordTimeText(*when) : "",
                              false);
    auto& s = m_slots[slot];
    s.frameTime = when;
    // The frame number of that record, where a search from the current
    // record starts; the view finds the record again with its own reader.
    CursorPosition pos;
    if (when && s.reader && s.reader->GoToTime(*when) == 0 && s.reader->GetCursor(pos) == 0)
        s.frameNumber = pos.frame;
    s.view->ShowAtTime(when);
    emit stateChanged();
}

int WindowRegistry::OpenLineWindow() {
    if (!ValidSlot(m_current) || m_slots[m_current].path.empty()) return -15;
    const std::string path = m_slots[m_current].path;
    const std::optional<DayTime> when = m_lastTime ? m_lastTime : m_slots[m_current].frameTime;
    int slot = OpenWindow(kKindLine, path);
    if (slot < 0) {
        Log(__LINE__, kMsgOpenFailed);
        return slot;
    }
    ShowAtTime(slot, when);
    return slot;
}

void WindowRegistry::ZoomCurrent(int direction) {
    if (ValidSlot(m_current) && m_slots[m_current].view) m_slots[m_current].view->Zoom(direction);
}

void WindowRegistry::ReloadFormatRows() {
    for (auto& s : m_slots) {
        if (s.Free() || !s.reader || !s.view) continue;
        s.rows.clear();
        s.reader->ReadFormatRows(s.rows);
        s.view->SetFormatRows(&s.rows, true);
    }
    emit stateChanged();
}

void WindowRegistry::CloseSlot(int slot) {
    if (!ValidSlot(slot)) return;
    m_monitoring->WindowClosing(slot);
    auto& s = m_slots[slot];
    if (s.frame) {
        s.frame->disconnect(this);
        if (s.view) s.view->disconnect(this);
        ChildFrame* frame = s.frame;
        m_area->removeSubWindow(frame);
        s.frame = nullptr;
        frame->CloseForGood();
        delete frame;
    }
    s = WindowSlot{};
    if (m_current == slot) m_current = kNoSlot;
    // The area activates another window, which becomes current.
    OnSubWindowActivated(m_area->activeSubWindow());
    emit stateChanged();
}

void WindowRegistry::CloseAllWindows() {
    m_monitoring->DropPendingStart();
    int live = LiveSlot();
    if (live >= 0) CloseSlot(live);
    for (int i = 0; i < kSlots; ++i)
        if (!m_slots[i].Free()) CloseSlot(i);
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

void WindowRegistry::AdoptRunFormatRows(int slot, const StatusSet& run) {
    WindowSlot& w = m_slots[slot];
    w.rows.assign(run.format.begin(), run.format.end());
    w.view->SetFormatRows(&w.rows, false);
}

void WindowRegistry::CloseCurrent() {
    if (ValidSlot(m_current)) CloseSlot(m_current);
}

void WindowRegistry::RequestClose(ChildFrame* frame) {
    for (int i = 0; i < kSlots; ++i) {
        if (m_slots[i].frame == frame) {
            m_current = i;
            CloseCurrent();
            return;
        }
    }
}

}  // namespace qv
