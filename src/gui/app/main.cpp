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
    // The name, not the path it was started by, in usage lines.
    const std::string program = "qv-ort";
    const qv::UiLanguage language = qv::ChosenUiLanguage();
    if (qv::AsksForHelpOrVersion(ArgsOf(argc, argv))) {
        qv::StartupRequest r = qv::ParseStartupArgs(ArgsOf(argc, argv), language);
        std::fputs(r.action == qv::StartupRequest::kVersion ? qv::VersionText().c_str()
                                                            : qv::UsageText(program, language).c_str(),
                   stdout);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("qv-ort");
    QApplication::setApplicationDisplayName("QV-ORT");
    QApplication::setApplicationVersion(QVORT_VERSION);
    qv::InstallQtTranslations(app, language);

    // QApplication has taken its own options (-platform, -style, ...) out.
    std::vector<std::string> rest;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i)
        rest.push_back(args[i].toStdString());
    qv::StartupRequest request = qv::ParseStartupArgs(rest, language);
    if (request.action == qv::StartupRequest::kError) {
        // One usage line and a pointer to the help, so the error stays in view.
        std::fprintf(stderr, "%s: %s\n%s%s", program.c_str(), request.error.c_str(),
                     qv::UsageLine(program, language).c_str(),
                     qv::UsageHint(program, language).c_str());
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
