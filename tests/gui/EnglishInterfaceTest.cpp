// The English interface: chosen by QVORT_LANG=en (or a locale that is not
// Japanese), it shows the menus, status panes and first dialog in English and
// keeps the shortcuts the Japanese texts carry; the command line's help and
// errors follow the same choice. Japanese stays the source, untouched.
#include <QMenuBar>
#include <QProcess>
#include <QStatusBar>
#include <QtTest>

#include "app/MainFrame.h"
#include "app/QtTranslations.h"
#include "support/AppHome.h"

using namespace qv;

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
