#include "app/WindowRegistry.h"

#include <QApplication>
#include <QColorDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "app/CaptureCommands.h"
#include "app/ChildFrame.h"
#include "capture/MarkList.h"
#include "app/SettingsCommandHandlers.h"
#include "capture/CaptureReader.h"
#include "core/AppContext.h"
#include "capture/OpenFailure.h"
#include "core/CaptureIndexText.h"
#include "core/Prompt.h"
#include "device/CaptureRecovery.h"
#include "device/LiveMonitor.h"
#include "device/MonitoringRun.h"
#include "device/UnitList.h"
#include "dialogs/CardRunDialog.h"
#include "dialogs/ClockDialog.h"
#include "dialogs/UnitInfoDialog.h"
#include "lineview/LineWindow.h"
#include "dialogs/UnitSelectDialog.h"
#include "settings/StatusFile.h"
#include "views/FileBrowserDialog.h"
#include "views/MonitorWindow.h"
#include "views/DumpWindow.h"

namespace qv {

namespace {

constexpr const char* kSource = "WindowRegistry";
constexpr const char* kMsgOpenFailed = "ウィンドウオープンに失敗しました！";
constexpr const char* kMsgNoData = "モニタデータがありません！";
constexpr const char* kAskRecover =
    "モニタが正常に終了していないデータです。チャンクファイルから復旧しますか?";
constexpr const char* kMsgNotConnected = "ＱＶ本体が接続されていません！";
constexpr const char* kMsgStartFailed = "モニタスタート出来ませんでした！";
constexpr const char* kMsgReadFailed = "モニタデータ読み込みに失敗しました！";
constexpr const char* kMsgNoDataAfterStop = "モニタデータがありませんでした！";

// Codes of a failed start that the user is told about specially.
constexpr int kErrNotConnected = -22;
constexpr int kErrParameters = -10;
constexpr int kErrNoRun = -7;

std::string Stem(const std::string& path) {
    return std::filesystem::path(path).stem().string();
}

int DateNumber(const std::string& text) {
    auto t = ParseRecordTime(text);
    return t ? std::atoi(t->date.c_str()) : -1;
}

// The first three characters of a line name (which may be Japanese).
std::string ShortLabel(const std::string& name) {
    return QString::fromStdString(name).left(3).toStdString();
}

}  // namespace

WindowRegistry::WindowRegistry(QMdiArea* area, QWidget* owner)
    : QObject(owner),
      m_area(area),
      m_owner(owner),
      m_commands(std::make_unique<CaptureCommands>(*this)) {}

WindowRegistry::~WindowRegistry() {
    for (int i = 0; i < kSlots; ++i)
        if (m_slots[i].monitor && m_state != kMonitorIdle) m_slots[i].monitor->Stop();
}

void WindowRegistry::Log(int line, const std::string& message, bool show) {
    if (m_cmn) m_cmn->WriteLog("ERR", kSource, line, message, show);
}

int WindowRegistry::FreeSlot() const {
    for (int i = 0; i < kSlots; ++i)
        if (m_slots[i].Free()) return i;
    return -1;
}

int WindowRegistry::OpenWindowCount() const {
    int n = 0;
    for (const auto& s : m_slots)
        n += s.Free() ? 0 : 1;
    return n;
}

int WindowRegistry::LiveSlot() const {
    for (int i = 0; i < kSlots; ++i)
        if (!m_slots[i].Free() && m_slots[i].monitor) return i;
    return -1;
}

void WindowRegistry::ReadStatusFileRows(std::vector<FormatEntry>& rows) const {
    StatusFile status;
    status.SetPath(WorkingStatusFilePath());
    status.ReadFormatTable(rows);
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

void WindowRegistry::ShowCurrentAt(const std::string& timeText, bool follow) {
    if (!ValidSlot(m_current) || !m_slots[m_current].reader) return;
    auto& s = m_slots[m_current];
    m_lastTime = timeText;
    ShowAtTime(m_current, timeText, s.reader.get());
    if (follow && m_sync) FollowOthers(m_current, timeText);
}

// --- windows ---------------------------------------------------------------

int WindowRegistry::OpenWindow(int kind, const std::string& path) {
    if (!m_cmn) return -15;
    int slot = FreeSlot();
    if (slot < 0) return -8;
    if (kind != kKindMonitorLive && path.empty()) return -15;
    // The Line and Dump windows are views of a stored capture.
    if (kind != kKindMonitorFile && kind != kKindMonitorLive && kind != kKindLine &&
        kind != kKindDump)
        return -14;

    WindowSlot fresh;
    if (kind != kKindMonitorLive) {
        // Every window has a reader of its own, so each keeps its position.
        fresh.reader = std::make_unique<CaptureReader>(*m_cmn);
        int rc = fresh.reader->Open(path);
        if (rc != 0) return rc;
        fresh.code = kind == kKindDump ? kDisplayAscii : kDisplayHex;
        fresh.path = path;
        fresh.reader->ReadFormatRows(fresh.rows);
    } else {
        if (!m_factory) return -21;
        fresh.monitor = m_factory();
        if (!fresh.monitor) return -21;
        fresh.code = kDisplayHex;
        ReadStatusFileRows(fresh.rows);
    }

    auto* frame = new ChildFrame(this);
    CaptureView* view = nullptr;
    if (kind == kKindLine)
        view = new LineWindow(*m_cmn);
    else if (kind == kKindDump)
        view = new DumpWindow(*m_cmn);
    else
        view = new MonitorWindow(*m_cmn);
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
    // A new window takes most of the area, leaving the others' title bars in
    // reach, so that windows followed side by side stay easy to pick.
    const QSize area = m_area->viewport()->size();
    sub->resize(std::max(480, area.width() * 3 / 4), std::max(320, area.height() * 3 / 4));
    sub->move(24 * slot, 24 * slot);  // cascaded by slot
    sub->show();
    view->SetWindowId(s.windowId, frame);
    view->SetFormatRows(&s.rows, false);
    view->SetCodes(s.direction, s.code);
    emit stateChanged();
    return slot;
}

void WindowRegistry::ConnectView(CaptureView* view) {
    connect(view, &CaptureView::activated, this, &WindowRegistry::OnActivated);
    connect(view, &CaptureView::frameReported, this,
            [this](int id, const QString& text) { OnFrameReport(id, text.toStdString()); });
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
    if (!m_cmn) return -15;
    std::string path = givenPath;
    if (path.empty()) {
        FileBrowserDialog dlg(FileBrowserDialog::kOpenMode, m_cmn->GetSaveDirectory(), m_owner);
        if (dlg.exec() != QDialog::Accepted) return 0;
        path = dlg.IndexPath();
    }
    // A capture whose run ended without Stop cannot be read until its
    // chunk files are recovered; the user decides.
    if (CaptureNeedsRecovery(path)) {
        IPrompt* prompt = m_cmn->GetPrompt();
        if (prompt && prompt->AskYesNo(kAskRecover)) {
            RecoveryResult result;
            if (RecoverCapture(path, result) != 0) prompt->ShowMessage(result.message);
        }
    }
    int slot = OpenWindow(kKindMonitorFile, path);
    if (slot < 0) {
        // Which file and why: the bare "failed" leaves the user guessing
        // between a typo, a missing chunk file and a damaged index.
        std::string reason = slot == -8 ? "開けるウィンドウは8つまでです"
                                        : CaptureOpenFailureReason(path, slot);
        Log(__LINE__, std::string(kMsgOpenFailed) + " " + path + ": " + reason, false);
        if (auto* p = m_cmn->GetPrompt())
            p->ShowMessage(std::string(kMsgOpenFailed) + "\n" + path + "\n" + reason);
        return slot;
    }
    if (m_slots[slot].reader->GetTotalRecords() == 0) {
        CloseSlot(slot);
        Log(__LINE__, kMsgNoData);
        return -12;
    }
    ShowFirstFrame(slot);
    return slot;
}

void WindowRegistry::ShowFirstFrame(int slot) {
    auto& s = m_slots[slot];
    std::string text;
    uint64_t ticks = 0;
    if (s.reader->GoToFrame(0) == 0 && s.reader->GetEndTime(text, ticks) == 0) {
        m_lastTime = text;
        ShowAtTime(slot, text, s.reader.get());
    }
}

void WindowRegistry::ShowAtTime(int slot, const std::string& timeText, CaptureReader* reader) {
    if (!ValidSlot(slot) || !m_slots[slot].view) return;
    if (m_cmn) m_cmn->WriteLog("DBG", kSource, __LINE__, timeText, false);
    auto& s = m_slots[slot];
    s.frameText = timeText;
    s.positioned = !timeText.empty();
    // The frame number of that record, where a search from the current
    // record starts; the view pages on with the reader afterwards.
    CursorPosition pos;
    if (auto when = ParseRecordTime(timeText); when && reader &&
        reader->GoToTime(when->date, when->ticks) == 0 && reader->GetCursor(pos) == 0)
        s.frameNumber = pos.frame;
    s.view->ShowAtTime(timeText, reader);
    emit stateChanged();
}

int WindowRegistry::OpenLineWindow() {
    if (!ValidSlot(m_current) || m_slots[m_current].path.empty()) return -15;
    const std::string path = m_slots[m_current].path;
    const std::string text = m_lastTime.empty() ? m_slots[m_current].frameText : m_lastTime;
    int slot = OpenWindow(kKindLine, path);
    if (slot < 0) {
        Log(__LINE__, kMsgOpenFailed);
        return slot;
    }
    ShowAtTime(slot, text, m_slots[slot].reader.get());
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
    auto& s = m_slots[slot];
    if (s.monitor && m_state != kMonitorIdle && slot == LiveSlot()) {
        // Closing the window of a run ends the run first, so the capture is
        // finished on disk rather than left with a chunk still open.
        s.monitor->Stop();
        m_state = kMonitorIdle;
        emit frameLockChanged(false);
    }
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
    m_pendingStart = -1;
    int live = LiveSlot();
    if (live >= 0) CloseSlot(live);
    for (int i = 0; i < kSlots; ++i)
        if (!m_slots[i].Free()) CloseSlot(i);
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

void WindowRegistry::OnFrameReport(int windowId, const std::string& timeText) {
    int slot = WindowIdSlot(windowId);
    if (!ValidSlot(slot) || m_slots[slot].Free()) return;
    auto& s = m_slots[slot];
    m_lastTime = timeText;
    if (timeText.empty()) {
        s.positioned = false;
        return;
    }
    s.positioned = true;
    auto when = ParseRecordTime(timeText);
    if (!m_sync || m_syncBlocked || !s.reader || !when) {
        CursorPosition pos;
        if (s.reader && s.reader->GetCursor(pos) == 0) s.frameNumber = pos.frame;
        s.frameText = timeText;
        emit stateChanged();
        return;
    }
    s.reader->GoToTime(when->date, when->ticks);
    CursorPosition pos;
    if (s.reader->GetCursor(pos) == 0) s.frameNumber = pos.frame;
    s.frameText = timeText;
    FollowOthers(slot, timeText);
    m_syncBlocked = true;
    QTimer::singleShot(kSyncIntervalMs, this, [this] { m_syncBlocked = false; });
    emit stateChanged();
}

// The other windows with a reader go to the same time, unless their capture
// lies days away from it.
void WindowRegistry::FollowOthers(int slot, const std::string& timeText) {
    auto when = ParseRecordTime(timeText);
    if (!when) return;
    int reportedDate = std::atoi(when->date.c_str());
    for (int i = 0; i < kSlots; ++i) {
        auto& o = m_slots[i];
        if (i == slot || o.Free() || !o.reader) continue;
        int date = DateNumber(o.frameText);
        if (date < 0 || std::abs(date - reportedDate) >= 2) continue;
        if (o.reader->GoToTime(when->date, when->ticks) != 0) continue;
        std::string text;
        uint64_t ticks = 0;
        if (o.reader->GetEndTime(text, ticks) != 0) continue;
        ShowAtTime(i, text, o.reader.get());
    }
}

void WindowRegistry::OnLiveRefreshed(int windowId) {
    int slot = WindowIdSlot(windowId);
    if (!ValidSlot(slot) || !m_slots[slot].monitor || m_state == kMonitorIdle) return;
    auto& m = *m_slots[slot].monitor;
    m_livePane2 = MonitorCountPaneText(m_sdLabel, m.GetCounterTotal(kCountSd), m_rdLabel,
                                       m.GetCounterTotal(kCountRd));
    m_livePane3 = m.IsBufferFull() ? "\tfull" : "\t   ";
    emit stateChanged();
}

void WindowRegistry::SwitchToWindow(int number) {
    if (m_state == kMonitorRunning) return;
    int slot = number - 1;
    if (!ValidSlot(slot) || m_slots[slot].Free()) return;
    m_current = slot;
    m_area->setActiveSubWindow(m_slots[slot].frame);
    emit stateChanged();
}

// --- monitoring ------------------------------------------------------------------

void WindowRegistry::LockMonitorFrame(int slot, bool lock) {
    if (ValidSlot(slot) && m_slots[slot].frame) m_slots[slot].frame->SetLocked(lock);
    emit frameLockChanged(lock);
}

void WindowRegistry::StartMonitoring() {
    if (!m_cmn || m_state == kMonitorRunning) return;
    int slot = -1;
    if (m_state == kMonitorPaused) {
        slot = LiveSlot();
        if (slot < 0) return;
    } else {
        StatusFile status;
        status.SetPath(WorkingStatusFilePath());
        MonitorSettings m;
        SamplingSettings s;
        SyncSetting sync = 0;
        status.ReadMonitorStatus(m, s, sync);
        m_cmn->LoadRegistrySettings();
        if (m.SaveDevice == kSaveDeviceCf) {
            // The unit stores this run on its own card: configure and start
            // it there; no window follows it.
            CardRunDialog dlg(*m_cmn, m_cmn->GetPrompt(), m_owner);
            dlg.exec();
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
    auto* run = dynamic_cast<MonitoringRun*>(&monitor);
    return run ? run->StartRetrieval() : kErrNoRun;
}

void WindowRegistry::StartRetrieval() {
    if (!m_cmn || m_state != kMonitorIdle) return;
    m_cmn->LoadRegistrySettings();
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
    if (rc != 0) {
        m_state = kMonitorIdle;
        CloseSlot(slot);
        emit frameLockChanged(false);
        if (rc == kErrNotConnected) {
            Log(__LINE__, kMsgNotConnected);
        } else if (rc == kErrParameters) {
            if (auto* p = m_cmn->GetPrompt())
                p->ShowMessage("パラメータ設定できませんでした(" + std::to_string(-rc) + ")");
        } else {
            Log(__LINE__, kMsgStartFailed);
        }
        emit stateChanged();
        return;
    }
    if (!m_pendingResume) m_slots[slot].view->SetMonitorState(1, m_slots[slot].monitor.get());
    StatusFile status;
    status.SetPath(WorkingStatusFilePath());
    MonitorSettings m;
    SamplingSettings s;
    SyncSetting sync = 0;
    status.ReadMonitorStatus(m, s, sync);
    std::vector<FormatEntry> rows;
    status.ReadFormatTable(rows);
    auto names = MonitorLineNames(rows, m.Line);
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
    QApplication::setOverrideCursor(Qt::WaitCursor);
    s.monitor->Stop();
    QApplication::restoreOverrideCursor();
    s.view->SetMonitorState(3, s.monitor.get());
    std::string path = s.monitor->GetIndexPath();
    auto reader = std::make_unique<CaptureReader>(*m_cmn);
    if (path.empty() || reader->Open(path) != 0) {
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
    s.view->SetWindowId(s.windowId, s.frame);
    s.view->SetFormatRows(&s.rows, false);
    ShowFirstFrame(slot);
    emit stateChanged();
}

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
        QColorDialog::getColor(QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF), m_owner);
    if (!chosen.isValid()) return;
    m_cmn->SetColor(which, RgbColour(chosen.red(), chosen.green(), chosen.blue()));
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
            if (ValidSlot(m_current) && m_slots[m_current].view)
                m_slots[m_current].view->Zoom(id == kCmdZoomIn ? 1 : 2);
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

// --- status bar --------------------------------------------------------------------------

StatusTexts WindowRegistry::StatusBarTexts() const {
    StatusTexts t = EmptyStatusTexts();
    if (!ValidSlot(m_current) || m_slots[m_current].Free()) return t;
    const auto& s = m_slots[m_current];
    SelectedUnit unit = GetSelectedUnit();
    t[1] = UnitPaneText(unit.serial, unit.name);
    double frequency = m_cmn ? m_cmn->GetFrequency() : 0;
    MonitorSettings m;
    SamplingSettings sampling;
    if (s.reader) {
        std::string text;
        uint64_t ticks = 0;
        if (s.reader->GetEndTime(text, ticks) == 0) t[2] = "\t" + text;
        uint8_t header = 0;
        t[3] = s.reader->GetHeaderByte(header) == 0 ? ErrorPaneText(header) : "\t   ";
        s.reader->GetMonitorSettings(m, sampling);
    } else {
        StatusFile status;
        status.SetPath(WorkingStatusFilePath());
        SyncSetting sync = 0;
        status.ReadMonitorStatus(m, sampling, sync);
        if (!m_livePane2.empty()) t[2] = m_livePane2;
        if (!m_livePane3.empty()) t[3] = m_livePane3;
    }
    FillSettingsPanes(t, m, frequency);
    return t;
}

}  // namespace qv
