// Carries the reports of a monitoring run from its capture thread to the
// main window: they are queued, so they reach the window's thread and the
// capture thread never waits for, or touches, a widget.
#pragma once

#include <QPointer>

#include "app/MainFrame.h"
#include "device/StreamDecoder.h"

namespace qv {

class MonitorEventsBridge : public IMonitorEvents {
  public:
    explicit MonitorEventsBridge(MainFrame* frame) : m_frame(frame) {}
    void PostToMainWindow(MainWindowMessage message, std::string_view text) override;

  private:
    QPointer<MainFrame> m_frame;
};

}  // namespace qv
