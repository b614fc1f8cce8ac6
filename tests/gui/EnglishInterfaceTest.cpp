// The English interface: chosen by QVORT_LANG=en (or a locale that is not
// Japanese), it shows the menus, status panes, every dialog and window in
// English and keeps the shortcuts the Japanese texts carry; the core's
// messages and the command line's help and errors follow the same choice.
// Japanese stays the source, untouched.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>
#include <functional>
#include <memory>

#include "EveryDialog.h"
#include "GuiSupport.h"
#include "app/CommandTable.h"
#include "app/MainFrame.h"
#include "app/QtTranslations.h"
#include "app/WindowRegistry.h"
#include "capture/OpenFailure.h"
#include "core/MessageText.h"
#include "dialogs/MonitorParamsDialog.h"
#include "dialogs/SaveProgressDialog.h"
#include "dialogs/UnitInfoDialog.h"
#include "export/ExportRegistry.h"
#include "support/AppHome.h"
#include "support/Processes.h"

using namespace qv;
using qv::test::WhenShown;

namespace {

struct Run {
    int code;
    QString out, err;
};

Run QvOrt(const QStringList& args, const QString& lang) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QVORT_LANG", lang);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(QVORT_PATH, args);
    if (!p.waitForFinished(30000)) return {-1, {}, {}};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// Kana, kanji, CJK punctuation and full-width forms: what an English
// interface must not show.
bool HasJapanese(const QString& text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3000 && u <= 0x30FF) || (u >= 0x4E00 && u <= 0x9FFF) ||
            (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}

// Every cell of a model, children of tree rows included.
void WalkModel(const QAbstractItemModel* m, const QModelIndex& parent,
               const std::function<void(const QString&)>& see) {
    for (int r = 0; r < m->rowCount(parent); ++r)
        for (int c = 0; c < m->columnCount(parent); ++c) {
            const QModelIndex i = m->index(r, c, parent);
            see(m->data(i, Qt::DisplayRole).toString());
            see(m->data(i, Qt::ToolTipRole).toString());
            if (c == 0) WalkModel(m, i, see);
        }
}

// Every text of `root` and its children a user reads: window titles,
// labels, buttons, group boxes, tabs, column headers, menu items, tool tips,
// combo entries and the cells of lists, trees and tables; each with the
// widget's class, for the failure message.
QStringList JapaneseTexts(QWidget* root) {
    QStringList found;
    auto check = [&found](const QObject* w, const QString& text) {
        if (HasJapanese(text)) found << QString("%1: %2").arg(w->metaObject()->className(), text);
    };
    QList<QWidget*> all = root->findChildren<QWidget*>();
    all.prepend(root);
    for (QWidget* w : all) {
        if (w->isWindow()) check(w, w->windowTitle());
        check(w, w->toolTip());
        if (auto* l = qobject_cast<QLabel*>(w)) check(l, l->text());
        if (auto* b = qobject_cast<QAbstractButton*>(w)) check(b, b->text());
        if (auto* g = qobject_cast<QGroupBox*>(w)) check(g, g->title());
        if (auto* t = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < t->count(); ++i) check(t, t->tabText(i));
        if (auto* h = qobject_cast<QHeaderView*>(w); h && h->model())
            for (int i = 0; i < h->count(); ++i)
                check(h, h->model()->headerData(i, h->orientation()).toString());
        for (QAction* a : w->actions()) check(w, a->text());
        if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i) check(c, c->itemText(i));
        // Bytes as a code table shows them (the dump, the code picker's
        // characters) are data in any language, not the interface's words.
        const bool showsBytes =
            w->inherits("qv::DumpGrid") ||
            (w->parentWidget() && w->parentWidget()->inherits("qv::DumpGrid")) ||
            (w->window() && w->window()->inherits("qv::CodePickDialog") &&
             qobject_cast<QListWidget*>(w));
        if (auto* v = qobject_cast<QAbstractItemView*>(w); v && v->model() && !showsBytes)
            WalkModel(v->model(), {}, [&](const QString& t) { check(v, t); });
    }
    return found;
}

#define VERIFY_ENGLISH(widget)                                                  \
    do {                                                                        \
        const QStringList japanese = JapaneseTexts(widget);                     \
        QVERIFY2(japanese.isEmpty(), qPrintable(#widget ": " + japanese.join(" | "))); \
    } while (false)

QAction* ActionNamed(QWidget* w, const QString& text) {
    for (QAction* a : w->findChildren<QAction*>())
        if (a->text() == text) return a;
    return nullptr;
}

}  // namespace

class EnglishInterfaceTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QVERIFY2(InstallQtTranslations(*qApp, UiLanguage::kEnglish),
                 "the English catalogue is not built into the program");
    }

    void menusAndPanesSpeakEnglish() {
        test::AppHome home;
        MainFrame frame;
        QStringList titles;
        for (QAction* a : frame.menuBar()->actions())
            titles << a->text();
        QCOMPARE(titles, QStringList({"&File", "&Edit", "&View", "&Monitor", "&Unit", "&Window",
                                      "&Help"}));
        // The shortcut travels inside the text, so a translation that lost
        // it would lose the key.
        QAction* open = ActionNamed(&frame, "&Open...\tCtrl+O");
        QVERIFY(open);
        QCOMPARE(open->shortcut(), QKeySequence("Ctrl+O"));
        QCOMPARE(open->toolTip(), QString("&Open"));
        QAction* find = ActionNamed(&frame, "&Find...\tCtrl+F");
        QVERIFY(find);
        QCOMPARE(find->shortcut(), QKeySequence("Ctrl+F"));
        // The mark items, whose texts are made when the menus are refreshed.
        QVERIFY(ActionNamed(&frame, "Mark 1"));
        bool pane = false;
        for (auto* l : frame.statusBar()->findChildren<QWidget*>())
            pane = pane || l->accessibleName() == "SD line speed";
        QVERIFY(pane);
        QCOMPARE(QCoreApplication::translate("qv::UnitSelectDialog", "モニタ機器選択"),
                 QString("Select unit"));
    }

    void everyDialogAndWindowSpeaksEnglish() {
        QStringList japanese;
        test::VisitEveryDialog([&japanese](QWidget& w, const QString& name) {
            for (const QString& t : JapaneseTexts(&w))
                japanese << name + ": " + t;
            if (name == "properties") test::Keep(&w, "35-english-properties");
            if (name == "trigger") test::Keep(&w, "33-english-trigger");
        });
        QVERIFY2(japanese.isEmpty(), qPrintable(japanese.join(" | ")));

        // A finished save says what its count counts: a pcapng file holds
        // packets, not the capture's records.
        test::AppHome home;
        const std::string cap = test::DecodeCapture(home.file("CAP"), "ASYNC", 300);
        QVERIFY(!cap.empty());
        ExportRequest request;
        request.source = cap;
        request.destination = home.file("OUT");
        SaveProgressDialog saving(*FindExportFormat("csv"), request);
        QVERIFY(!HasJapanese(saving.OutcomeText()));
        request.destination = home.file("out.pcapng");
        SaveProgressDialog pcapng(*FindExportFormat("pcapng"), request);
        pcapng.exec();
        QVERIFY2(pcapng.OutcomeText().endsWith(" packets)"), qPrintable(pcapng.OutcomeText()));
    }

    // The core's messages: English on screen, Japanese in logs and for
    // callers that ask for it.
    void coreMessagesFollowTheChoice() {
        QCOMPARE(MessageLanguage(), UiLanguage::kEnglish);
        QCOMPARE(QString(MessageText(MessageId::kNotConnected)), QString("No unit is connected"));
        QCOMPARE(QString(MessageText(MessageId::kNotConnected, UiLanguage::kJapanese)),
                 QString("QVが接続されていません"));
        test::ScriptedPrompt prompt;
        DeviceAccess devices;
        UnitInfoDialog::Run(devices, &prompt, nullptr);
        QCOMPARE(prompt.messages.back(), std::string("No unit is connected"));
        QCOMPARE(CaptureOpenFailureReason("/nonexistent/x.qvr", -1), std::string("No such file"));
        QCOMPARE(CaptureOpenFailureReason("/nonexistent/x.qvr", -1, UiLanguage::kJapanese),
                 std::string("ファイルがありません"));
    }

    // The main window with a capture and its Dump window, in English. With
    // QVORT_SCREENSHOTS set (scripts/screenshots.sh) it is kept as a picture.
    void mainWindowWithACaptureSpeaksEnglish() {
        test::AppHome home;
        test::TestServices env;
        test::ScriptedPrompt prompt;
        env.log.SetPrompt(&prompt);
        MainFrame frame;
        frame.resize(1200, 760);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        WindowRegistry& ctrl = *frame.Controller();
        ctrl.SetServices(&env.services);
        const std::string cap = test::DecodeCapture(home.file("CAP"), "ASYNC", 2000);
        QVERIFY(!cap.empty());
        QVERIFY(ctrl.OpenCapture(cap) >= 0);
        frame.UpdateCommands();
        frame.Action(kCmdDumpWindow)->trigger();
        QCOMPARE(test::OpenWindowCount(ctrl), 2);
        frame.MdiArea()->tileSubWindows();
        frame.UpdateCommands();
        QApplication::processEvents();
        VERIFY_ENGLISH(&frame);
        test::Keep(&frame, "31-english-main-and-dump");
    }

    // What a user meets with a unit attached: the unit information of a real
    // (emulated) unit, the parameters dialog's reasons for a value it refuses
    // and its question when no trigger stores.
    void withAUnitEveryTextIsEnglish() {
        test::AppHome home;
        test::TempDir sims;
        qputenv("QVORT_SIM_DIR", QByteArray::fromStdString(sims.path()));
        test::SimUnit sim(QVSIM_PATH, home.path(), sims.path(), {"--serial", "ENGL0001"},
                          home.file("qvsim"));
        QVERIFY2(sim.Up(), sim.process().Err().c_str());
        QVERIFY(test::RunQvtool({"units", "select", "ENGL0001"}));
        QVERIFY(test::RunQvtool({"config", "set", "Directory", QString::fromStdString(home.path())}));
        test::TestServices env;
        env.store.Load();
        env.devices.Select(SelectedUnitFromFile());
        test::ScriptedPrompt prompt;

        // The plain rows, then the extended ones a capital D brings.
        QStringList japanese;
        int rows = 0, extendedRows = 0;
        WhenShown<UnitInfoDialog>([&](UnitInfoDialog* d) {
            japanese = JapaneseTexts(d);
            rows = d->List()->topLevelItemCount();
            test::Keep(d, "34-english-unit-information");
            QTest::keyClick(d, 'D');
            japanese += JapaneseTexts(d);
            extendedRows = d->List()->topLevelItemCount();
            d->reject();
        });
        UnitInfoDialog::Run(env.devices, &prompt, nullptr);
        QVERIFY2(rows > 5 && extendedRows > rows,
                 qPrintable(QString("%1 rows, %2 extended").arg(rows).arg(extendedRows)));
        QVERIFY2(japanese.isEmpty(), qPrintable(japanese.join(" | ")));
        QCOMPARE(prompt.messages.size(), size_t{0});

        MonitorParamsDialog params(env.store, env.conf, SettingsHome(env.devices.Selected()));
        params.show();
        QVERIFY(QTest::qWaitForWindowExposed(&params));
        params.SdSpeedBox()->lineEdit()->setText("99,999,999");
        QTest::mouseClick(params.OkButton(), Qt::LeftButton);
        QVERIFY(params.isVisible());  // refused, with its reason on show
        VERIFY_ENGLISH(&params);
        test::Keep(&params, "32-english-parameters");
        params.SdSpeedBox()->lineEdit()->setText("9,600");
        QString question;
        WhenShown<QMessageBox>([&](QMessageBox* box) {
            question = box->windowTitle() + " " + box->text() + " " + JapaneseTexts(box).join(" ");
            box->reject();
        });
        QTest::mouseClick(params.OkButton(), Qt::LeftButton);
        QVERIFY2(!question.isEmpty(), "no question about the trigger that stores");
        QVERIFY2(!HasJapanese(question), qPrintable(question));
    }

    void commandLineFollowsTheChoice() {
        Run en = QvOrt({"--help"}, "en");
        QCOMPARE(en.code, 0);
        QVERIFY2(en.out.startsWith("Usage: qv-ort [OPTIONS] [CAPTURE.qvr]\n"), qPrintable(en.out));
        Run ja = QvOrt({"--help"}, "ja");
        QCOMPARE(ja.code, 0);
        QVERIFY2(ja.out.startsWith("使い方: qv-ort [オプション] [キャプチャ.qvr]\n"),
                 qPrintable(ja.out));

        // An argument error: the reason, one usage line and the way to the
        // help, not the whole help.
        Run bad = QvOrt({"--bogus"}, "en");
        QCOMPARE(bad.code, 2);
        // (Qt may warn before it, about the environment.)
        QVERIFY2(bad.err.endsWith("qv-ort: unknown option: --bogus\n"
                                  "Usage: qv-ort [OPTIONS] [CAPTURE.qvr]\n"
                                  "Try 'qv-ort --help' for more information.\n"),
                 qPrintable(bad.err));
        Run badJa = QvOrt({"a.qvr", "b.qvr"}, "ja");
        QCOMPARE(badJa.code, 2);
        QVERIFY2(badJa.err.contains("qv-ort: 開けるキャプチャは一つだけです: b.qvr\n使い方: "),
                 qPrintable(badJa.err));
    }
};

QTEST_MAIN(EnglishInterfaceTest)
#include "EnglishInterfaceTest.moc"
