// The main window as a new user meets it: placed on the screen it opens on
// and remembered, status panes that show whole texts, Qt's own buttons in
// Japanese, a monitoring window whose close box reads as unavailable, and a
// failed open that says which file and why.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "GuiSupport.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/ManualPath.h"
#include "app/QtPrompt.h"
#include "app/QtTranslations.h"
#include "app/WindowPlacement.h"
#include "app/WindowRegistry.h"
#include "capture/CaptureReader.h"
#include "device/UnitList.h"
#include "dialogs/AboutDialog.h"
#include "dialogs/FileBrowserDialog.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"
#include "views/MonitorWindow.h"

using namespace qv;
using qv::test::WhenShown;

namespace {

constexpr uint64_t kBase = 13ull * 360000000000ull;

std::string BuildCapture(const std::string& folder, int n, int32_t sdBaud) {
    std::filesystem::create_directories(folder);
    test::CaptureBuilder b(folder, kProtocolAsync);
    b.settings().SD_Baudrate = sdBaud;
    b.settings().RD_Baudrate = sdBaud;
    b.StartChunk("091205", 0xC0);
    for (int i = 0; i < n; ++i)
        b.Add(RecordKind::kSdData, 0x41, kBase + 100000ull * (i + 1));
    return b.Finish();
}

// Writes `program` into `bin` as a shell script running `body`: a stand-in
// for a desktop program the application starts, found first on the PATH.
bool WriteStandIn(const QString& bin, const QString& program, const QString& body) {
    QFile script(bin + "/" + program);
    if (!QDir().mkpath(bin) || !script.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    script.write(("#!/bin/sh\n" + body + "\n").toUtf8());
    script.close();
    return script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QLabel* PaneNamed(MainFrame& f, const QString& name) {
    for (auto* l : f.statusBar()->findChildren<QLabel*>())
        if (l->accessibleName() == name) return l;
    return nullptr;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::AppHome> m_home;

    // Six Monitor windows on `cap`, then a Dump and a Line window: eight,
    // the most the main window holds, of all three kinds.
    void OpenEightWindows(MainFrame& frame, const std::string& cap) {
        WindowRegistry& ctrl = *frame.Controller();
        for (int i = 0; i < 6; ++i)
            QVERIFY(ctrl.OpenCapture(cap) >= 0);
        frame.UpdateCommands();
        frame.Action(kCmdDumpWindow)->trigger();
        frame.Action(kCmdLineWindow)->trigger();
        QCOMPARE(test::OpenWindowCount(ctrl), 8);
        frame.UpdateCommands();
    }

  private slots:
    void init() { m_home = std::make_unique<test::AppHome>(); }
    void cleanup() { m_home.reset(); }

    void fitsTheScreenAndRemembersWhereItWas() {
        const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
        {
            MainFrame frame;
            frame.show();
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            // Even the preferred size gives way to a small screen.
            QVERIFY2(avail.contains(frame.frameGeometry()) || avail.contains(frame.geometry()),
                     qPrintable(QString("%1x%2 on %3x%4")
                                    .arg(frame.width())
                                    .arg(frame.height())
                                    .arg(avail.width())
                                    .arg(avail.height())));
            frame.setGeometry(avail.x() + 20, avail.y() + 30, 420, 330);
            QTRY_COMPARE(frame.geometry().size(), QSize(420, 330));
            frame.SavePlacement();
        }
        {
            MainFrame frame;
            QCOMPARE(frame.geometry(), QRect(avail.x() + 20, avail.y() + 30, 420, 330));
        }
        // A place saved on a larger screen is brought back into reach.
        std::ofstream(m_home->file("QV-ORT.conf"), std::ios::app)
            << "[MainWindow]\nGeometry=5000,4000,3000,2500\nMaximized=0\n";
        MainFrame frame;
        QVERIFY(avail.contains(frame.geometry()));
    }

    void placementFitsTheAvailableArea() {
        const QRect screen(0, 0, 960, 540);  // 1920 x 1080 at a scale factor of 2
        const QSize extra(16, 40);
        QRect r = FitToScreen(screen, std::nullopt, extra);
        QVERIFY(r.width() <= 960 - 16 && r.height() <= 540 - 40);
        QCOMPARE(r.center(), screen.center());
        // Room enough: the preferred size.
        QCOMPARE(FitToScreen(QRect(0, 0, 1920, 1080), std::nullopt, extra).size(), QSize(1100, 700));
        // A saved place that fits stays as it was.
        QCOMPARE(FitToScreen(QRect(0, 0, 1920, 1080), QRect(100, 50, 800, 600), extra),
                 QRect(100, 50, 800, 600));
        // Off the right and bottom edges: slid in; off the top-left: too.
        QRect slid = FitToScreen(QRect(0, 0, 1920, 1080), QRect(1500, 900, 800, 600), extra);
        QCOMPARE(slid.size(), QSize(800, 600));
        QVERIFY(slid.right() + extra.width() < 1920 && slid.bottom() + extra.height() < 1080);
        QCOMPARE(FitToScreen(QRect(0, 0, 1920, 1080), QRect(-300, -200, 800, 600), extra).topLeft(),
                 QPoint(0, 0));
        // A second screen to the right, with a panel at the top.
        QRect second(1920, 32, 1280, 992);
        QVERIFY(second.contains(FitToScreen(second, QRect(0, 0, 2000, 1500), extra)));
    }

    void statusPanesShowTheirWholeTexts() {
        test::TestServices env;
        test::ScriptedPrompt prompt;
        env.log.SetPrompt(&prompt);
        MainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        frame.Controller()->SetServices(&env.services);
        std::string path = BuildCapture(m_home->file("FAST"), 20, 12500000);
        QVERIFY(frame.Controller()->OpenCapture(path) >= 0);
        frame.UpdateCommands();
        for (const char* name : {"SD回線速度", "RD回線速度", "フレーム時刻"}) {
            QLabel* pane = PaneNamed(frame, QString::fromUtf8(name));
            QVERIFY(pane);
            const QString text = pane->text();
            QTRY_VERIFY2(
                pane->contentsRect().width() >= pane->fontMetrics().horizontalAdvance(text),
                qPrintable(name + QString(": ") + text));
        }
        QCOMPARE(PaneNamed(frame, "SD回線速度")->text(), QString("12,500,000bps"));
        frame.Controller()->CloseAllWindows();
    }

    void qtOwnButtonsSpeakJapanese() {
        QVERIFY2(InstallQtTranslations(*qApp, UiLanguage::kJapanese), "qtbase_ja.qm (qt6-translations-l10n) is missing");
        QtPrompt prompt;
        QStringList seen;
        // The user answers with the mouse on the real box.
        WhenShown<QMessageBox>([&](QMessageBox* box) {
            for (QAbstractButton* b : box->buttons())
                seen << b->text();
            QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
        });
        QCOMPARE(prompt.AskYesNo("モニタを開始しますか?"), false);
        QCOMPARE(seen.size(), 2);
        for (const QString& t : seen) {
            QVERIFY2(!t.contains("Yes") && !t.contains("No"), qPrintable(t));
            QVERIFY2(t.contains("はい") || t.contains("いいえ"), qPrintable(t));
        }
        // The other standard buttons and dialogs share the catalogue.
        QVERIFY(QCoreApplication::translate("QPlatformTheme", "Cancel") != "Cancel");
        QVERIFY(QCoreApplication::translate("QColorDialog", "Select Color") != "Select Color");
    }

    void monitoringWindowCloseBoxIsGreyed() {
        test::TestServices env;
        test::ScriptedPrompt prompt;
        env.log.SetPrompt(&prompt);
        MainFrame frame;
        frame.resize(900, 600);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        WindowRegistry& ctrl = *frame.Controller();
        ctrl.SetServices(&env.services);
        ctrl.SetMonitorFactory([] { return std::make_unique<test::FakeLiveMonitor>(); });
        std::string path = BuildCapture(m_home->file("PLAIN"), 20, 9600);
        const int fileSlot = ctrl.OpenCapture(path);
        QVERIFY(fileSlot >= 0);
        auto* fileFrame = static_cast<ChildFrame*>(ctrl.Slot(fileSlot).frame.data());
        // A capture window opens maximised in the main window.
        QVERIFY(fileFrame->isMaximized());
        QVERIFY(frame.windowFlags() & Qt::WindowMaximizeButtonHint);

        ctrl.StartMonitoring();
        const int slot = ctrl.CurrentSlot();
        ctrl.DeferredStart(slot);
        // The run holds the main window's size: no maximise box meanwhile.
        QVERIFY(!(frame.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(frame.isVisible());
        auto* live = static_cast<ChildFrame*>(ctrl.Slot(slot).frame.data());
        live->resize(fileFrame->size());
        QApplication::processEvents();
        QVERIFY(live->IsLocked());
        const QRect box = live->CloseBoxRect();
        QVERIFY(!box.isEmpty());
        // The locked close box looks unlike an active one, and its menu item
        // is disabled.
        const QImage locked = live->grab(box).toImage();
        const QImage active = fileFrame->grab(fileFrame->CloseBoxRect()).toImage();
        QVERIFY(locked != active);
        QVERIFY(live->CloseAction());
        QVERIFY(!live->CloseAction()->isEnabled());
        // A click on it changes nothing.
        QTest::mouseClick(live, Qt::LeftButton, {}, box.center());
        QApplication::processEvents();
        QCOMPARE(test::OpenWindowCount(ctrl), 2);

        ctrl.StopMonitoring();
        QApplication::processEvents();
        if (!ctrl.Slot(slot).Free()) {
            QVERIFY(!live->IsLocked());
            QVERIFY(live->CloseAction()->isEnabled());
        }
        QVERIFY(frame.windowFlags() & Qt::WindowMaximizeButtonHint);
        QVERIFY(frame.isVisible());
        ctrl.CloseAllWindows();
    }

    void failedOpenNamesThePathAndTheReason() {
        test::TestServices env;
        MainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QtPrompt prompt(&frame);
        env.log.SetPrompt(&prompt);
        frame.Controller()->SetServices(&env.services);

        struct Case {
            std::string path;
            QString reason;
        };
        std::string good = BuildCapture(m_home->file("GOOD"), 20, 9600);
        // A capture whose chunk file has gone.
        std::string noChunk = BuildCapture(m_home->file("NOCHUNK"), 20, 9600);
        for (auto& e : std::filesystem::directory_iterator(m_home->file("NOCHUNK")))
            if (e.path().extension() == ".qvd") std::filesystem::remove(e.path());
        // An index without chunk entries and no chunk file: an index alone.
        std::filesystem::create_directories(m_home->file("EMPTY"));
        std::ofstream(m_home->file("EMPTY/EMPTY.qvr")) << "[MonitorStatus]\nProtocol=ASYNC\n";
        const Case cases[] = {
            {m_home->file("nowhere/gone.qvr"), "ファイルがありません"},
            {noChunk, "データファイル"},
            {m_home->file("EMPTY/EMPTY.qvr"), "データファイル (.qvd) がなく、インデックスにも記録がありません"},
        };
        for (const Case& c : cases) {
            QString text;
            WhenShown<QMessageBox>([&](QMessageBox* box) {
                text = box->text();
                QTest::keyClick(box, Qt::Key_Return);
            });
            QVERIFY(frame.Controller()->OpenCapture(c.path) < 0);
            QVERIFY2(text.contains("ウィンドウオープンに失敗しました！"), qPrintable(text));
            QVERIFY2(text.contains(QString::fromStdString(c.path)), qPrintable(text));
            QVERIFY2(text.contains(c.reason), qPrintable(text));
        }
        QVERIFY(frame.Controller()->OpenCapture(good) >= 0);
        frame.Controller()->CloseAllWindows();
    }

    // Help -> Contents hands the manual to xdg-open. When nothing can show
    // it (xdg-open ends with a failure), the user is told where the file is;
    // when a viewer takes it, nothing is said.
    // Captures dropped on the window open, one window each; File -> recent
    // lists the ones opened last, most recent first, without those that are
    // gone, and opens one again.
    void droppedAndRecentCaptures() {
        test::TestServices env;
        test::ScriptedPrompt prompt;
        env.log.SetPrompt(&prompt);
        MainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        WindowRegistry& ctrl = *frame.Controller();
        ctrl.SetServices(&env.services);
        const std::string a = BuildCapture(m_home->file("CAPA"), 5, 9600);
        const std::string b = BuildCapture(m_home->file("CAPB"), 5, 9600);
        std::ofstream(m_home->file("notes.txt")) << "not a capture\n";

        auto drop = [&](const QList<QUrl>& urls) {
            QMimeData data;
            data.setUrls(urls);
            QDragEnterEvent enter(QPoint(40, 40), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(&frame, &enter);
            if (!enter.isAccepted()) return false;
            QDropEvent dropped(QPointF(40, 40), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(&frame, &dropped);
            return true;
        };
        QVERIFY(!drop({QUrl::fromLocalFile(QString::fromStdString(m_home->file("notes.txt")))}));
        // A capture's folder and another's index file.
        QVERIFY(drop({QUrl::fromLocalFile(QString::fromStdString(m_home->file("CAPA"))),
                      QUrl::fromLocalFile(QString::fromStdString(b)),
                      QUrl::fromLocalFile(QString::fromStdString(m_home->file("notes.txt")))}));
        QCOMPARE(test::OpenWindowCount(ctrl), 2);
        QCOMPARE(prompt.messages.size(), size_t{0});

        // The File menu as the user opens it, with Alt+F.
        bool pictured = false;
        auto recentItems = [&]() -> QStringList {
            QTest::keyClick(&frame, Qt::Key_F, Qt::AltModifier);
            QMenu* file = frame.menuBar()->actions().front()->menu();
            if (!QTest::qWaitFor([&] { return file->isVisible(); })) return {"(no File menu)"};
            QStringList items;
            QMenu* recentMenu = nullptr;
            for (QMenu* m : file->findChildren<QMenu*>())
                if (m->title() == "最近使ったキャプチャ(&R)") {
                    recentMenu = m;
                    for (QAction* item : m->actions())
                        items << item->text();
                }
            if (!pictured && recentMenu) {
                pictured = true;
                QTest::keyClick(file, Qt::Key_R);  // its own key opens the list
                if (QTest::qWaitFor([&] { return recentMenu->isVisible(); }))
                    test::Keep(&frame, "36-recent-captures", {file, recentMenu});
                recentMenu->close();
            }
            file->close();
            return items;
        };
        QCOMPARE(recentItems(), QStringList({"&1 " + QString::fromStdString(b),
                                             "&2 " + QString::fromStdString(a)}));
        std::filesystem::remove_all(m_home->file("CAPB"));
        QCOMPARE(recentItems(), QStringList({"&1 " + QString::fromStdString(a)}));
        // Chosen from the menu, it opens again (a window of its own).
        QMenu* recent = nullptr;
        for (QMenu* m : frame.findChildren<QMenu*>())
            if (m->title() == "最近使ったキャプチャ(&R)") recent = m;
        QVERIFY(recent);
        recent->actions().front()->trigger();
        QCOMPARE(test::OpenWindowCount(ctrl), 3);

        // Eight are kept, the newest first.
        for (int i = 0; i < 10; ++i) {
            std::ofstream(m_home->file("r" + std::to_string(i) + ".qvr")) << "x";
            QCOMPARE(env.conf.RememberCapture(m_home->file("r" + std::to_string(i) + ".qvr")), 0);
        }
        const std::vector<std::string> kept = env.conf.GetRecentCaptures();
        QCOMPARE(kept.size(), size_t{8});
        QCOMPARE(kept.front(), m_home->file("r9.qvr"));
        QCOMPARE(kept.back(), m_home->file("r2.qvr"));
    }

    // File -> Open's browser starts where it was left, not at the save folder.
    void openBrowserRemembersItsFolder() {
        test::TestServices env;
        MainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        frame.Controller()->SetServices(&env.services);
        std::filesystem::create_directories(m_home->file("elsewhere/deeper"));
        const std::string target = m_home->file("elsewhere/deeper");
        std::string startedAt;
        test::WhenShown<FileBrowserDialog>([&](FileBrowserDialog* d) {
            startedAt = d->CurrentFolder();
            d->PathField()->setFocus();
            d->PathField()->selectAll();
            QTest::keyClicks(d->PathField(), QString::fromStdString(target));
            QTest::keyClick(d->PathField(), Qt::Key_Return);
            QTest::keyClick(d, Qt::Key_Escape);
        });
        QCOMPARE(frame.Controller()->OpenCapture(""), 0);
        QCOMPARE(startedAt, env.conf.GetSaveDirectory());
        test::WhenShown<FileBrowserDialog>([&](FileBrowserDialog* d) {
            startedAt = d->CurrentFolder();
            d->reject();
        });
        QCOMPARE(frame.Controller()->OpenCapture(""), 0);
        QCOMPARE(startedAt, target);
    }

    // Help -> About names the licence and links the manual; the link opens
    // it as Help -> Contents does.
    void aboutLinksTheManual() {
        test::TestServices env;
        MainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        frame.Controller()->SetServices(&env.services);
        if (FindManual().empty()) std::ofstream(m_home->file("manual.pdf")) << "%PDF-1.4\n";
        const QString manual = QString::fromStdString(FindManual());
        const QString bin = QString::fromStdString(m_home->file("bin"));
        const QString given = QString::fromStdString(m_home->file("given.txt"));
        QVERIFY(WriteStandIn(bin, "xdg-open", QString("printf '%s' \"$1\" > '%1'").arg(given)));
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", (bin + ":").toUtf8() + oldPath);
        QString texts;
        WhenShown<AboutDialog>([&](AboutDialog* d) {
            for (QLabel* l : d->findChildren<QLabel*>())
                texts += l->text() + "\n";
            QLabel* link = d->ManualLink();
            // The link is the label's whole text: a click on its start hits it.
            QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(6, link->height() / 2));
            QTRY_VERIFY(QFile::exists(given));
            d->accept();
        });
        frame.Action(kCmdAbout)->trigger();
        qputenv("PATH", oldPath);
        QVERIFY2(texts.contains("GPL-3.0-or-later"), qPrintable(texts));
        QVERIFY2(texts.contains(manual.toHtmlEscaped()), qPrintable(texts));
        QFile seen(given);
        QVERIFY(seen.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(seen.readAll()), manual);
    }

    // The save dialog's "Wiresharkで開く" exports the range as pcapng, with
    // the payload chosen there, and hands the file to Wireshark; without
    // Wireshark the button is greyed and says why.
    void rangeOpensInWireshark() {
        test::TestServices env;
        MainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        WindowRegistry& ctrl = *frame.Controller();
        ctrl.SetServices(&env.services);
        QVERIFY(ctrl.OpenCapture(BuildCapture(m_home->file("CAPW"), 30, 9600)) >= 0);
        frame.UpdateCommands();
        const QString bin = QString::fromStdString(m_home->file("bin"));
        const QString given = QString::fromStdString(m_home->file("wireshark-args.txt"));
        QVERIFY(WriteStandIn(
            bin, "wireshark",
            QString("printf '%s\\n' \"$@\" > '%1.part'\nmv '%1.part' '%1'").arg(given)));
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", (bin + ":").toUtf8() + oldPath);

        WhenShown<FileBrowserDialog>([&](FileBrowserDialog* d) {
            QComboBox* payload = d->ChoiceBox("payload");
            QVERIFY(payload);
            payload->setCurrentIndex(payload->findData("modbus-rtu"));
            QVERIFY(d->WiresharkButton()->isEnabled());
            QTest::mouseClick(d->WiresharkButton(), Qt::LeftButton);
        });
        frame.Action(kCmdFileSave)->trigger();
        QTRY_VERIFY(QFile::exists(given));
        QFile args(given);
        QVERIFY(args.open(QIODevice::ReadOnly));
        const QString file = QString::fromUtf8(args.readAll()).trimmed();
        QVERIFY2(file.endsWith("CAPW.pcapng"), qPrintable(file));
        QFile pcapng(file);
        QVERIFY(pcapng.open(QIODevice::ReadOnly));
        QCOMPARE(pcapng.read(4), QByteArray("\x0a\x0d\x0d\x0a", 4));  // a section header

        // Without Wireshark on the path (the machine may have one).
        const QString none = QString::fromStdString(m_home->file("nowireshark"));
        QVERIFY(QDir().mkpath(none));
        qputenv("PATH", none.toUtf8());
        QString why;
        bool enabled = true;
        WhenShown<FileBrowserDialog>([&](FileBrowserDialog* d) {
            enabled = d->WiresharkButton()->isEnabled();
            why = d->WiresharkButton()->toolTip();
            d->reject();
        });
        frame.Action(kCmdFileSave)->trigger();
        qputenv("PATH", oldPath);
        QVERIFY(!enabled);
        QCOMPARE(why, QString("Wiresharkがインストールされていません"));
    }

    // Rows chosen in a Monitor window with a click and a Shift-click go to
    // Wireshark from the right-click menu, with the payload picked there:
    // the file it is handed is what qvtool writes for the same records.
    void selectionOpensInWireshark() {
        test::TestServices env;
        MainFrame frame;
        frame.resize(1000, 700);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        WindowRegistry& ctrl = *frame.Controller();
        ctrl.SetServices(&env.services);
        const std::string cap = BuildCapture(m_home->file("CAPS"), 30, 9600);
        const int slot = ctrl.OpenCapture(cap);
        QVERIFY(slot >= 0);
        auto* view = qobject_cast<MonitorWindow*>(ctrl.Slot(slot).view);
        QVERIFY(view);
        auto* grid = view->findChild<qv::MonitorGrid*>();
        QVERIFY(grid);
        const QString bin = QString::fromStdString(m_home->file("binsel"));
        const QString given = QString::fromStdString(m_home->file("selection-args.txt"));
        QVERIFY(WriteStandIn(
            bin, "wireshark",
            QString("printf '%s\n' \"$@\" > '%1.part'\nmv '%1.part' '%1'").arg(given)));
        const QByteArray oldPath = qgetenv("PATH");

        auto rowAt = [grid](int row) {
            return grid->visualRect(grid->model()->index(row, 0)).center();
        };
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rowAt(2));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, rowAt(6));
        QCOMPARE(view->SelectedRecords(), (std::optional<std::pair<uint64_t, uint64_t>>({2, 6})));
        QCOMPARE(grid->selectionModel()->selectedRows().size(), 5);

        // Without Wireshark the items are greyed and say why.
        const QString none = QString::fromStdString(m_home->file("nowireshark"));
        QVERIFY(QDir().mkpath(none));
        qputenv("PATH", none.toUtf8());
        frame.UpdateCommands();
        QVERIFY(!frame.Action(kCmdWiresharkModbus)->isEnabled());
        QCOMPARE(frame.Action(kCmdWiresharkModbus)->toolTip(),
                 QString("Wiresharkがインストールされていません"));

        // Right-click, W for the submenu, M for Modbus RTU, as a user types.
        qputenv("PATH", (bin + ":").toUtf8() + oldPath);
        QStringList menus;
        auto* keys = new QTimer(&frame);
        keys->setInterval(20);
        connect(keys, &QTimer::timeout, [&menus, &frame, keys] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu || menus.contains(menu->title())) return;
            menus << menu->title();
            if (menus.size() == 2)
                test::Keep(&frame, "36-selection-to-wireshark", {menu->parentWidget(), menu});
            QTest::keyClick(menu, menus.size() == 1 ? Qt::Key_W : Qt::Key_M);
            if (menus.size() == 2) keys->stop();
        });
        keys->start();
        QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, rowAt(4));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(given), 30000);
        qputenv("PATH", oldPath);
        QFile args(given);
        QVERIFY(args.open(QIODevice::ReadOnly));
        const QString file = QString::fromUtf8(args.readAll()).trimmed();
        QVERIFY2(file.endsWith("CAPS.pcapng"), qPrintable(file));
        // The selection stays as it was.
        QCOMPARE(view->SelectedRecords(), (std::optional<std::pair<uint64_t, uint64_t>>({2, 6})));

        CaptureReader reader(env.store, env.log);
        QCOMPARE(reader.Open(cap), 0);
        auto timeOf = [&reader](uint64_t record) {
            std::string text;
            uint64_t ticks = 0;
            if (reader.GoToFrame(record) != 0 || reader.GetEndTime(text, ticks) != 0)
                return QString();
            return QString::fromStdString(text);
        };
        const QString theirs = QString::fromStdString(m_home->file("TOOLSEL.pcapng"));
        QProcess tool;
        tool.start(QVTOOL_PATH, {"save", QString::fromStdString(cap), "--from", timeOf(2), "--to",
                                 timeOf(6), "--pcapng", theirs, "--payload", "modbus-rtu"});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0);
        QFile mine(file), their(theirs);
        QVERIFY(mine.open(QIODevice::ReadOnly) && their.open(QIODevice::ReadOnly));
        QByteArray expected = their.readAll();
        const QByteArray by = QByteArray("qvtool ") + QVORT_VERSION;
        QVERIFY(expected.contains(by));
        expected.replace(by, QByteArray("qv-ort ") + QVORT_VERSION);
        QVERIFY(mine.readAll() == expected);
    }

    // Window -> Cascade with eight windows of three kinds: all one size, at
    // least two thirds of the area each way, inside it, each visibly offset.
    void cascadeKeepsEveryWindowUsable() {
        test::TestServices env;
        MainFrame frame;
        frame.resize(1200, 760);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        WindowRegistry& ctrl = *frame.Controller();
        ctrl.SetServices(&env.services);
        const std::string cap = BuildCapture(m_home->file("CAPC"), 30, 9600);
        OpenEightWindows(frame, cap);
        if (QTest::currentTestFailed()) return;
        frame.Action(kCmdCascade)->trigger();
        QApplication::processEvents();
        test::Keep(&frame, "36-cascade");
        const QSize area = frame.MdiArea()->viewport()->size();
        const QList<QMdiSubWindow*> windows = frame.MdiArea()->subWindowList();
        QSet<int> corners;
        for (QMdiSubWindow* w : windows) {
            const QRect r = w->geometry();
            QVERIFY2(r.width() >= area.width() * 2 / 3 && r.height() >= area.height() * 2 / 3,
                     qPrintable(QString("%1: %2x%3 in %4x%5")
                                    .arg(w->windowTitle())
                                    .arg(r.width())
                                    .arg(r.height())
                                    .arg(area.width())
                                    .arg(area.height())));
            QVERIFY(QRect(QPoint(0, 0), area).contains(r));
            QCOMPARE(r.size(), windows.front()->geometry().size());
            corners.insert(r.x());
        }
        QCOMPARE(corners.size(), windows.size());
    }

    // Tile shares the area among the windows, each at least a third of it
    // each way and never below what its controls need (the Line window's
    // take more than a tile: it overlaps its neighbours instead of drawing
    // its controls over each other); the others neither overlap nor leave
    // gaps. The monitoring window, which may not be resized while it runs,
    // keeps its place.
    void tileKeepsEveryWindowUsableAndTheRunningOneInPlace() {
        test::TestServices env;
        MainFrame frame;
        frame.resize(1200, 760);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        WindowRegistry& ctrl = *frame.Controller();
        ctrl.SetServices(&env.services);
        ctrl.SetMonitorFactory([] { return std::make_unique<test::FakeLiveMonitor>(); });
        const std::string cap = BuildCapture(m_home->file("CAPT"), 30, 9600);
        OpenEightWindows(frame, cap);
        if (QTest::currentTestFailed()) return;
        frame.Action(kCmdTile)->trigger();
        QApplication::processEvents();
        const QSize area = frame.MdiArea()->viewport()->size();
        QList<QMdiSubWindow*> windows;
        for (QMdiSubWindow* w : frame.MdiArea()->subWindowList())
            if (w->isVisible()) windows << w;
        QMdiSubWindow* lineWindow = nullptr;
        for (QMdiSubWindow* w : windows) {
            const QRect r = w->geometry();
            QVERIFY2(!w->isMaximized() && r.width() >= area.width() / 3 - 1 &&
                         r.height() >= area.height() / 3 - 1 &&
                         r.width() >= w->minimumSizeHint().width() &&
                         r.height() >= w->minimumSizeHint().height() &&
                         QRect(QPoint(0, 0), area).contains(r),
                     qPrintable(QString("%1: %2x%3 in %4x%5")
                                    .arg(w->windowTitle())
                                    .arg(r.width())
                                    .arg(r.height())
                                    .arg(area.width())
                                    .arg(area.height())));
            if (w->windowTitle().endsWith("Line")) lineWindow = w;
        }
        QVERIFY(lineWindow);
        int covered = 0;
        for (QMdiSubWindow* w : windows) {
            if (w == lineWindow) continue;
            for (QMdiSubWindow* other : windows)
                if (other != w && other != lineWindow)
                    QVERIFY(!w->geometry().intersects(other->geometry()));
            covered += w->width() * w->height();
        }
        // All but the Line window's tile, the last.
        const QRect lineTile = TileRects(area, 8).back();
        QCOMPARE(covered + lineTile.width() * lineTile.height(), area.width() * area.height());

        // One window fewer, then a run: its window is left where it is.
        ctrl.CloseAllWindows();
        for (int i = 0; i < 2; ++i)
            QVERIFY(ctrl.OpenCapture(cap) >= 0);
        ctrl.StartMonitoring();
        const int slot = ctrl.CurrentSlot();
        ctrl.DeferredStart(slot);
        auto* live = static_cast<ChildFrame*>(ctrl.Slot(slot).frame.data());
        QVERIFY(live->IsLocked());
        const QRect kept = live->geometry();
        // From a capture's window: the running one offers only pause and stop.
        for (QMdiSubWindow* w : frame.MdiArea()->subWindowList())
            if (w != live && w->isVisible()) frame.MdiArea()->setActiveSubWindow(w);
        frame.UpdateCommands();
        QVERIFY(frame.Action(kCmdTile)->isEnabled());
        frame.Action(kCmdTile)->trigger();
        QApplication::processEvents();
        QCOMPARE(live->geometry(), kept);
        for (QMdiSubWindow* w : frame.MdiArea()->subWindowList())
            if (w != live && w->isVisible()) QCOMPARE(w->width(), area.width() / 2);
        ctrl.StopMonitoring();
        ctrl.CloseAllWindows();
    }

    void manualNobodyCanOpenIsNamedByItsPath() {
        test::TestServices env;
        MainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QtPrompt prompt(&frame);
        env.log.SetPrompt(&prompt);
        frame.Controller()->SetServices(&env.services);
        if (FindManual().empty()) std::ofstream(m_home->file("manual.pdf")) << "%PDF-1.4\n";
        const QString manual = QString::fromStdString(FindManual());
        QVERIFY(!manual.isEmpty());

        // Stand-ins for xdg-open, first on the PATH; each notes what it was given.
        const QString bin = QString::fromStdString(m_home->file("bin"));
        const QString given = QString::fromStdString(m_home->file("given.txt"));
        QVERIFY(QDir().mkpath(bin));
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", (bin + ":").toUtf8() + oldPath);
        struct Case {
            const char* exit;  // how the stand-in ends, as xdg-open does
            bool told;
        };
        const Case cases[] = {{"exit 3", true}, {"exit 4", true}, {"exit 0", false}};
        for (const Case& c : cases) {
            QFile::remove(given);
            QVERIFY(WriteStandIn(bin, "xdg-open",
                                 QString("printf '%s' \"$1\" > '%1'\n%2").arg(given, c.exit)));

            QString text;
            QTimer* watch = WhenShown<QMessageBox>([&](QMessageBox* box) {
                text = box->text();
                QTest::keyClick(box, Qt::Key_Return);
            });
            QAction* help = frame.Action(kCmdHelp);
            QVERIFY(help && help->isEnabled());
            help->trigger();
            // The stand-in has run and ended, and what it ended with was answered.
            QTRY_VERIFY(QFile::exists(given));
            QTRY_VERIFY(frame.findChildren<QProcess*>().isEmpty());
            QFile seen(given);
            QVERIFY(seen.open(QIODevice::ReadOnly));
            QCOMPARE(QString::fromUtf8(seen.readAll()), manual);
            if (c.told) {
                QVERIFY2(text.contains(manual), qPrintable(c.exit + QString(": ") + text));
            } else {
                QVERIFY2(text.isEmpty(), qPrintable(text));
                delete watch;
            }
        }
        qputenv("PATH", oldPath);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
