// The window controller: owns the eight capture window slots, opens and
// closes the windows, positions them at record times, keeps
// synchronised windows together and fills the status bar. The course of a
// monitoring run through its window is the MonitoringControl's, which the
// registry owns. The main frame forwards every command to it.
#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/AppServices.h"
#include "app/CommandTable.h"
#include "app/MonitoringControl.h"
#include "app/StatusPanes.h"
#include "app/WindowCommands.h"
#include "app/WindowSlots.h"
#include "capture/RecordTime.h"
#include "device/DeviceAccess.h"
#include "settings/FormatEntry.h"

class QMdiArea;
class QMdiSubWindow;
class QWidget;

namespace qv {

class CaptureCommands;
class CaptureView;
class ChildFrame;
class IPrompt;
class CaptureReader;
class ILiveMonitor;
struct StatusSet;

class WindowRegistry : public QObject {
    Q_OBJECT
  public:
    static constexpr int kSlots = WindowSlots::kCount;
    static constexpr int kNoSlot = WindowSlots::kNone;
    // Synchronised windows follow a report at most this often (ms).
    static constexpr int kSyncIntervalMs = 500;

    using WindowSlot = qv::WindowSlot;

    WindowRegistry(QMdiArea* area, QWidget* owner);
    ~WindowRegistry() override;

    // The services arrive after the frame exists (start-up order).
    void SetServices(AppServices* services) { m_services = services; }
    AppServices* Services() const { return m_services; }
    // The prompt that answers the user's questions; null without services.
    IPrompt* Prompt() const;
    // The unit the user selected; none without services.
    SelectedUnit Unit() const;
    // The window the controller's dialogs belong to.
    QWidget* Owner() const { return m_owner; }
    // The course of the monitoring run through the windows.
    MonitoringControl& Monitoring() { return *m_monitoring; }
    const MonitoringControl& Monitoring() const { return *m_monitoring; }
    void SetMonitorFactory(MonitoringControl::MonitorFactory factory) {
        m_monitoring->SetMonitorFactory(std::move(factory));
    }
    void SetRetrievalStarter(MonitoringControl::RetrievalStarter starter) {
        m_monitoring->SetRetrievalStarter(std::move(starter));
    }

    // --- windows
    static constexpr int kNoSlotFree = -8;
    // The slot opened (0..7), or -8 (kNoSlotFree) no slot free, -15 missing path or common
    // services, -14 a kind this program has no window for, -21 no monitor
    // object, or the reader's Open code.
    int OpenWindow(int kind, const std::string& path);
    // Opens a capture in a new Monitor window; an empty path asks with the
    // capture file browser. The slot, or a negative code (logged).
    int OpenCapture(const std::string& path);
    void CloseCurrent();
    // Opens a Line window on the current window's capture at the last time
    // shown; the slot, or a negative code (logged).
    int OpenLineWindow();
    // 1 zoom in, 2 zoom out, in the current window.
    void ZoomCurrent(int direction);
    void CloseSlot(int slot);
    // Closes every window; a running or paused monitoring is stopped first,
    // so that its capture is finished on disk.
    void CloseAllWindows();
    // Positions the slot's window on the record at this time.
    void ShowAtTime(int slot, const std::optional<DayTime>& when);
    // Every window on a stored capture re-reads its capture's display table
    // and redraws with it (after the table was edited).
    void ReloadFormatRows();

    // --- reports of the windows
    void OnActivated(int windowId);
    void OnFrameReport(int windowId, const DayTime& when);
    void OnSubWindowActivated(QMdiSubWindow* frame);
    void OnLiveRefreshed(int windowId);
    // Ctrl+1..Ctrl+8: activates window n (1-based) unless monitoring runs.
    void SwitchToWindow(int number);
    // A child frame's close box.
    void RequestClose(ChildFrame* frame);

    // --- monitoring (the MonitoringControl's, named here for the frame's commands)
    void StartMonitoring() { m_monitoring->Start(); }
    void PauseMonitoring() { m_monitoring->Pause(); }
    void StopMonitoring() { m_monitoring->Stop(); }
    bool Finishing() const { return m_monitoring->Finishing(); }
    void StartRetrieval() { m_monitoring->StartRetrieval(); }
    void DeferredStart(int slot) { m_monitoring->DeferredStart(slot); }
    int GetMonitorState() const { return m_monitoring->State(); }

    // --- for the monitoring control and the commands
    bool SlotFree() const { return FreeSlot() >= 0; }
    // The record time last shown or reported (the next Dump or Line window's).
    std::optional<DayTime> LastTime() const { return m_lastTime; }
    QMdiArea* Area() const { return m_area; }
    WindowSlot& Slot(int i) { return m_slots[i]; }
    static bool ValidSlot(int slot) { return WindowSlots::Valid(slot); }
    // The slot of the window a run goes on; -1 without one.
    int LiveSlot() const;
    // The run's window takes the display table the run started with.
    void AdoptRunFormatRows(int slot, const StatusSet& run);
    // The finished capture of a stopped run, shown in its window.
    void ShowFinishedCapture(int slot);
    // Logs a failure and, with `show`, tells the user.
    void Log(int line, const std::string& message, bool show = true);

    // --- commands
    CommandContext Context() const { return m_windowCommands->Context(); }
    // The handler of command `id` (a menu, tool bar or pop-up entry); it
    // ends by signalling stateChanged. Execute runs it at once.
    std::function<void()> Handler(int id) { return m_windowCommands->Handler(id); }
    void Execute(int id) { Handler(id)(); }
    void SetSync(bool on) { m_sync = on; }
    bool Sync() const { return m_sync; }
    // True for kSyncIntervalMs after windows followed a report: a report
    // now moves only its own window.
    bool SyncHeld() const { return m_syncBlocked; }

    // --- status bar
    StatusTexts StatusBarTexts() const;

    // --- inspection
    int CurrentSlot() const { return m_current; }
    const WindowSlot& Slot(int i) const { return m_slots[i]; }
    const std::vector<FormatEntry>& CurrentFormatRows() const;
    // The names of the current capture's marks 1..5; empty for a mark not set.
    std::array<std::string, 5> CurrentMarkNames() const;
    // The current window's reader; null without one.
    CaptureReader* CurrentReader() const;
    // Shows the current window at a record time; with `follow`, the other
    // windows come along when synchronised windows are on.
    void ShowCurrentAt(const DayTime& when, bool follow);

  signals:
    // Something the menus, tool bar or status bar show may have changed.
    void stateChanged();
    // Lock (true) or unlock the main frame while monitoring runs.
    void frameLockChanged(bool locked);
    // A run (or a card run) was started on the instrument or ended: what the
    // instrument reports of its state may have changed.
    void runStateChanged();
    void helpRequested();
    void exitRequested();
    // The commands a view's pop-up menu should offer, at a screen position.
    void popupMenuRequested(qv::PopupMenu which, const QPoint& globalPos);
    // A text for the message pane (empty: clear it).
    void messageChanged(const QString& text);

  private:
    int FreeSlot() const;
    void ConnectView(CaptureView* view);
    void ShowFirstFrame(int slot);
    void ReadStatusFileRows(std::vector<FormatEntry>& rows) const;
    // A reader of the capture at `path`, or null with the reader's Open code.
    std::unique_ptr<CaptureReader> OpenReader(const std::string& path, int& rc) const;
    void FollowOthers(int slot, const DayTime& when);

    QMdiArea* m_area;
    QWidget* m_owner;
    AppServices* m_services = nullptr;
    WindowSlots m_slots;
    int m_current = kNoSlot;
    bool m_sync = false;
    bool m_syncBlocked = false;
    std::unique_ptr<WindowCommands> m_windowCommands;
    MonitoringControl* m_monitoring;  // a child of the registry
    std::optional<DayTime> m_lastTime;
};

}  // namespace qv
