#include "app/ManualOpener.h"

#include <QProcess>

namespace qv {

void ManualOpener::Open(const QString& path) {
    auto* opener = new QProcess(this);
    // Its complaints belong on the terminal the application was started from.
    opener->setProcessChannelMode(QProcess::ForwardedChannels);
    connect(opener, &QProcess::errorOccurred, this, [this, opener, path](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart) return;  // a crash is reported by finished
        emit failed(path);
        opener->deleteLater();
    });
    connect(opener, &QProcess::finished, this,
            [this, opener, path](int code, QProcess::ExitStatus status) {
                if (status != QProcess::NormalExit || code != 0) emit failed(path);
                opener->deleteLater();
            });
    opener->start("xdg-open", {path});
}

}  // namespace qv
