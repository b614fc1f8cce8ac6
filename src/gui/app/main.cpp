// qv-ort: the desktop application of the serial line monitor.
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/QtTranslations.h"
#include "app/SignalWatcher.h"

namespace {

std::vector<std::string> ArgsOf(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace

int main(int argc, char** argv) {
    // Help and version are answered before the window system is contacted,
    // so they work without a display.
    const std::string program = argc > 0 ? argv[0] : "qv-ort";
    if (qv::AsksForHelpOrVersion(ArgsOf(argc, argv))) {
        qv::StartupRequest r = qv::ParseStartupArgs(ArgsOf(argc, argv));
        std::fputs(r.action == qv::StartupRequest::kVersion ? qv::VersionText().c_str()
                                                            : qv::UsageText(program).c_str(),
                   stdout);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("qv-ort");
    QApplication::setApplicationDisplayName("QV-ORT");
    QApplication::setApplicationVersion(QVORT_VERSION);
    qv::InstallQtTranslations(app);

    // QApplication has taken its own options (-platform, -style, ...) out.
    std::vector<std::string> rest;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i)
        rest.push_back(args[i].toStdString());
    qv::StartupRequest request = qv::ParseStartupArgs(rest);
    if (request.action == qv::StartupRequest::kError) {
        std::fprintf(stderr, "%s: %s\n%s", program.c_str(), request.error.c_str(),
                     qv::UsageText(program).c_str());
        return 2;
    }

    qv::Application qvApp;
    qv::SignalWatcher watcher;
    QObject::connect(&watcher, &qv::SignalWatcher::terminationRequested, &app,
                     [&qvApp](int signalNumber) { qvApp.EndBySignal(signalNumber); });
    QStringList files;
    if (!request.captureFile.empty()) files << QString::fromStdString(request.captureFile);
    if (qvApp.InitInstance(files) != 0) return 1;
    int rc = qvApp.EndRequested() ? qvApp.EndCode() : app.exec();
    qvApp.ExitInstance();
    return rc;
}
