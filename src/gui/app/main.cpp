// qv-ort: the desktop application of the serial line monitor.
#include <QApplication>

#include "app/Application.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("qv-ort");
    QApplication::setApplicationDisplayName("QV-ORT");
    QApplication::setApplicationVersion(QVORT_VERSION);

    qv::Application qvApp;
    QStringList args = QApplication::arguments();
    args.removeFirst();
    if (qvApp.InitInstance(args) != 0) return 1;
    int rc = app.exec();
    qvApp.ExitInstance();
    return rc;
}
