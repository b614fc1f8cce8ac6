// How the desktop application behaves while a search walks a huge capture
// without finding anything: the longest gap of the event loop (a window
// repaints only between events), the longest time between two progress
// texts, and how long the cancel takes. Not a test: run it on a capture made
// by bench/make_capture.sh:
//   QT_QPA_PLATFORM=offscreen search_responsiveness INDEX [SECONDS] [idle]
// "idle" measures the same loop without a search, the machine's own noise.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/CodeTable.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "dialogs/SearchDialog.h"

using namespace qv;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s INDEX [SECONDS]\n", argv[0]);
        return 2;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    const bool idle = argc > 3 && std::string(argv[3]) == "idle";
    SettingsStore store;
    Log log;
    SearchDialog::Setup setup;
    setup.indexPath = argv[1];
    SearchDialog dlg(setup, DisplayCodeTable(), nullptr);
    dlg.show();
    // Sixteen bytes in a row that the generated traffic never carries.
    for (int i = 0; i < 16; ++i)
        dlg.SetPatternByte(true, i, static_cast<uint8_t>(0xF0 + i));
    dlg.StartList()->setCurrentIndex(SearchDialog::kFromFirst);

    QElapsedTimer clock;
    qint64 lastTick = 0, worstTick = 0, lastProgress = -1, worstProgress = 0, firstProgress = -1;
    QString lastText;
    int progressTexts = 0;
    QTimer tick;
    tick.setInterval(10);
    qint64 searchEnd = -1;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        // Only while the search runs: its ending shows a message box.
        if (searchEnd >= 0) return;
        if (!idle && !dlg.Searching()) {
            searchEnd = now;
            return;
        }
        worstTick = std::max(worstTick, now - lastTick);
        lastTick = now;
        dlg.update();  // a repaint request each tick, as a live window makes
        const QString text = dlg.StatusLabel()->text();
        if (text != lastText && !text.isEmpty()) {
            if (firstProgress < 0) firstProgress = now;
            if (lastProgress >= 0) worstProgress = std::max(worstProgress, now - lastProgress);
            lastProgress = now;
            lastText = text;
            ++progressTexts;
        }
    });
    qint64 cancelMs = -1;
    bool endedByItself = false;
    QObject::connect(&dlg, &SearchDialog::searchEnded, [&] { endedByItself = cancelMs < 0; });
    // The message at the ending is answered at once.
    QTimer answer;
    answer.setInterval(50);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* w = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            if (w != &dlg) w->accept();
    });
    answer.start();
    QTimer::singleShot(seconds * 1000, [&] {
        if (dlg.Searching()) {
            QElapsedTimer c;
            c.start();
            dlg.StopSearch();
            cancelMs = c.elapsed();
        }
        // exit(), not quit(): quit asks the windows to close first.
        app.exit(0);
    });
    clock.start();
    tick.start();
    if (!idle) dlg.StartSearch(SearchDirection::kForward);
    app.exec();
    std::printf("ran %.1f s%s; last progress text %s\n",
                (searchEnd >= 0 ? searchEnd : clock.elapsed()) / 1000.0,
                endedByItself || searchEnd >= 0 ? " (the search ended by itself)" : "",
                lastText.toUtf8().constData());
    std::printf("longest event-loop gap: %lld ms (10 ms timer)\n", static_cast<long long>(worstTick));
    std::printf("progress texts: %d, first after %lld ms, longest gap %lld ms\n", progressTexts,
                static_cast<long long>(firstProgress), static_cast<long long>(worstProgress));
    std::printf("cancel took: %lld ms\n", static_cast<long long>(cancelMs));
    return 0;
}
