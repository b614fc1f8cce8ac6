// Carries the notices of a monitoring run from its capture thread to the
// main window: they are queued, so they reach the window's thread and the
// capture thread never waits for, or touches, a widget.
#pragma once

#include <QPointer>

#include "app/MainFrame.h"
#include "core/RunNotice.h"

namespace qv {

class MonitorEventsBridge : public RunNoticeSink {
  public:
    explicit MonitorEventsBridge(MainFrame* frame) : m_frame(frame) {}
    void OnNotice(RunNotice notice) override;

  private:
    QPointer<MainFrame> m_frame;
};

}  // namespace qv
