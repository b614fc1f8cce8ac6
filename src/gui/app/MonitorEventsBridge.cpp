#include "app/MonitorEventsBridge.h"

#include <QMetaObject>

#include "app/MainFrame.h"
#include "app/WindowRegistry.h"

namespace qv {

void MonitorEventsBridge::PostToMainWindow(MainWindowMessage message, std::string_view text) {
    QPointer<MainFrame> frame = m_frame;
    if (!frame) return;
    QString copy = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QMetaObject::invokeMethod(
        frame,
        [frame, message, copy] {
            if (!frame) return;
            if (message == MainWindowMessage::kStopMonitoring)
                frame->Controller()->StopMonitoring();
            else
                frame->SetMessage(copy);
        },
        Qt::QueuedConnection);
}

}  // namespace qv
