// What every capture window (Monitor, Dump, Line) offers the window
// controller, and what it reports back. The controller calls these in the
// order the windows expect (window id, display format, then a time to show);
// the views answer with signals.
#pragma once

#include <QMetaType>
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "capture/CaptureReader.h"
#include "capture/RecordTime.h"
#include "settings/FormatEntry.h"

class QMdiSubWindow;

namespace qv {

class ILiveMonitor;

// Which pop-up menu a view asks for.
enum class ViewPopup { kEdit, kWindows };

class CaptureView : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;

    // The window id and the frame the view lives in.
    virtual void SetWindowId(int id, QMdiSubWindow* frame) {
        m_windowId = id;
        m_frame = frame;
        emit activated(id);
    }
    int WindowId() const { return m_windowId; }
    QMdiSubWindow* Frame() const { return m_frame; }

    // Hands the view a reader of its own on the capture it shows, replacing
    // any before. Only the view moves it: commands, searches, saves and the
    // other windows work with readers of their own.
    void SetReader(std::unique_ptr<CaptureReader> reader) {
        DropReader();
        m_file = std::move(reader);
    }
    // The view's reader, to read where it stands; null without one.
    const CaptureReader* Reader() const { return m_file.get(); }
    // Positions the view on the record at this record time of its reader
    // (none: the view takes up its reader but stays where it is). 0, -15
    // without a reader, -11 without a time, or the reader's failure code.
    virtual int ShowAtTime(const std::optional<DayTime>& when) = 0;
    // 1 zoom in, 2 zoom out.
    virtual void Zoom(int) {}
    // Direction mode (0 DUAL, 1 SD, 2 RD) and display code; also sent when the
    // colours changed.
    virtual void SetCodes(int direction, int code) = 0;
    // The display format rows of the capture (null: re-read them from the
    // capture), and whether to redraw.
    virtual void SetFormatRows(const std::vector<FormatEntry>* rows, bool redraw) = 0;
    // 1 start or resume live display, 2 pause toggle, 3 stop.
    virtual void SetMonitorState(int, ILiveMonitor*) {}
    // The records selected (first and last, 0-based), for a view that
    // selects records.
    virtual std::optional<std::pair<uint64_t, uint64_t>> SelectedRecords() const { return {}; }

  signals:
    // The view got the focus (or its id).
    void activated(int windowId);
    // The view's current record changed: its record time.
    void frameReported(int windowId, qv::DayTime when);
    // Ctrl+1..Ctrl+8.
    void switchWindowRequested(int number, int windowId);
    // A live refresh happened; the status bar counters may follow.
    void liveRefreshed(int windowId);
    // A command the view cannot carry out itself (pause, help, ...).
    void commandRequested(int commandId);
    void popupRequested(qv::ViewPopup which, const QPoint& globalPos);

  protected:
    CaptureReader* OwnReader() const { return m_file.get(); }
    // Forgets whatever refers to the reader about to be replaced.
    virtual void DropReader() {}

    int m_windowId = 0;
    QMdiSubWindow* m_frame = nullptr;

  private:
    std::unique_ptr<CaptureReader> m_file;
};

}  // namespace qv

Q_DECLARE_METATYPE(qv::DayTime)
