#include "app/MonitorEventsBridge.h"

#include <QMetaObject>

#include "app/MainFrame.h"
#include "app/WindowRegistry.h"

namespace qv {

void MonitorEventsBridge::OnNotice(RunNotice notice) {
    QPointer<MainFrame> frame = m_frame;
    if (!frame) return;
    const std::string_view text = RunNoticeText(notice);
    QString copy = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QMetaObject::invokeMethod(
        frame,
        [frame, notice, copy] {
            if (!frame) return;
            if (notice == RunNotice::kStop)
                frame->Controller()->StopMonitoring();
            else
                frame->SetMessage(copy);
        },
        Qt::QueuedConnection);
}

}  // namespace qv
