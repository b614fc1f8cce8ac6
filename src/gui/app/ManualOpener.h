// Opens the user manual with the desktop's PDF viewer through xdg-open, and
// tells when nothing could open it. xdg-open reports that only through its
// exit status (no viewer for PDF, no desktop to ask), so its end is waited
// for without blocking the window; it may run as long as the viewer does.
#pragma once

#include <QObject>
#include <QString>

namespace qv {

class ManualOpener : public QObject {
    Q_OBJECT
  public:
    explicit ManualOpener(QObject* parent = nullptr) : QObject(parent) {}

    // Starts the viewer on `path`; failed(path) follows when xdg-open is
    // missing, crashes or ends with a failure.
    void Open(const QString& path);

  signals:
    void failed(const QString& path);
};

}  // namespace qv
