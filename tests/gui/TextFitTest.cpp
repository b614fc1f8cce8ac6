// No text is cut off: every dialog and capture window, in Japanese and in
// English, with the desktop's font and with one twice as large (a 200 %
// desktop whose scaling enlarges the fonts), shows each label, button, title,
// entry, field, column title and cell whole.
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QTranslator>
#include <QtTest>

#include "EveryDialog.h"
#include "GuiSupport.h"
#include "TextFit.h"
#include "app/CommandTable.h"
#include "app/MainFrame.h"
#include "app/QtTranslations.h"
#include "app/WindowRegistry.h"
#include "dialogs/MonitorParamsDialog.h"
#include "dialogs/ReasonLabel.h"

using namespace qv;

namespace {

void UseLanguage(UiLanguage language) {
    for (QTranslator* t : qApp->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
    InstallQtTranslations(*qApp, language);
}

// The interface language and font size of one row.
struct Look {
    Look(const QString& language, int scale) : m_font(QApplication::font()) {
        UseLanguage(language == "en" ? UiLanguage::kEnglish : UiLanguage::kJapanese);
        QFont big = m_font;
        big.setPointSizeF(m_font.pointSizeF() * scale);
        QApplication::setFont(big);
    }
    ~Look() {
        QApplication::setFont(m_font);
        UseLanguage(UiLanguage::kJapanese);
    }
    QFont m_font;
};

// Each cut text on a line of its own (a failure message is cut short).
void Report(const QStringList& clipped) {
    for (const QString& c : clipped)
        qInfo().noquote() << c;
    QVERIFY2(clipped.isEmpty(), qPrintable(QString("%1 texts cut off").arg(clipped.size())));
}

void Looks() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("scale");
    QTest::newRow("ja") << "ja" << 1;
    QTest::newRow("en") << "en" << 1;
    QTest::newRow("ja-200") << "ja" << 2;
    QTest::newRow("en-200") << "en" << 2;
}

}  // namespace

class TextFitTest : public QObject {
    Q_OBJECT

  private slots:
    void everyDialogShowsItsTextsWhole_data() { Looks(); }
    void everyDialogShowsItsTextsWhole() {
        QFETCH(QString, language);
        QFETCH(int, scale);
        Look look(language, scale);
        QStringList clipped;
        test::VisitEveryDialog([&clipped](QWidget& w, const QString& name) {
            for (const QString& c : test::ClippedTexts(&w))
                clipped << name + ": " + c;
        });
        Report(clipped);
    }

    // The capture windows as they open on a capture, each maximised in the
    // main window as a user reads it.
    void captureWindowsShowTheirTextsWhole_data() { Looks(); }
    void captureWindowsShowTheirTextsWhole() {
        QFETCH(QString, language);
        QFETCH(int, scale);
        Look look(language, scale);
        test::AppHome home;
        test::TestServices env;
        env.store.Load();
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
        frame.UpdateCommands();
        frame.Action(kCmdLineWindow)->trigger();
        QCOMPARE(test::OpenWindowCount(ctrl), 3);
        QStringList clipped;
        for (QMdiSubWindow* sub : frame.MdiArea()->subWindowList()) {
            sub->showMaximized();
            QApplication::processEvents();
            for (const QString& c : test::ClippedTexts(sub->widget(), 60))
                clipped << sub->windowTitle() + ": " + c;
        }
        for (const QString& c : test::ClippedTexts(frame.statusBar()))
            clipped << "status: " + c;
        Report(clipped);
    }

    // A refused value's reason appears under the fields without moving them
    // or the buttons, and without resizing the dialog.
    void aReasonLineMovesNothing() {
        test::AppHome home;
        test::TestServices env;
        env.store.Load();
        MonitorParamsDialog params(env.store, env.conf, home.file("QvStatus.qvs"));
        params.show();
        QVERIFY(QTest::qWaitForWindowExposed(&params));
        auto places = [&params] {
            QMap<QString, QRect> at;
            for (QWidget* w : params.findChildren<QWidget*>())
                if (w->isVisible() && !qobject_cast<ReasonLabel*>(w))
                    at[QString("%1 %2 ").arg(w->metaObject()->className(), w->objectName()) +
                       QString::number(reinterpret_cast<quintptr>(w))] =
                        QRect(w->mapTo(&params, QPoint(0, 0)), w->size());
            return at;
        };
        // The layouts settle after the first show, group boxes' last.
        for (int i = 0; i < 3; ++i) {
            QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QApplication::processEvents();
        }
        const auto before = places();
        const QSize size = params.size();
        params.SdSpeedBox()->lineEdit()->setText("99,999,999");
        QTest::mouseClick(params.OkButton(), Qt::LeftButton);
        QVERIFY(params.isVisible());
        ReasonLabel* reason = params.findChild<ReasonLabel*>();
        QVERIFY(reason && reason->isVisible() && !reason->text().isEmpty());
        QApplication::processEvents();
        QVERIFY(std::abs(params.height() - size.height()) <= 3);
        const auto after = places();
        // (A fallback font's metrics may nudge a field by a pixel or two; a
        // line of reason is some 20.)
        auto near = [](const QRect& a, const QRect& b) {
            return std::abs(a.x() - b.x()) <= 3 && std::abs(a.y() - b.y()) <= 3 &&
                   std::abs(a.width() - b.width()) <= 3 && std::abs(a.height() - b.height()) <= 3;
        };
        for (auto it = before.begin(); it != before.end(); ++it)
            QVERIFY2(near(after.value(it.key()), it.value()),
                     qPrintable(QString("%1: %2,%3 %4x%5 -> %6,%7 %8x%9")
                                    .arg(it.key())
                                    .arg(it.value().x())
                                    .arg(it.value().y())
                                    .arg(it.value().width())
                                    .arg(it.value().height())
                                    .arg(after.value(it.key()).x())
                                    .arg(after.value(it.key()).y())
                                    .arg(after.value(it.key()).width())
                                    .arg(after.value(it.key()).height())));
    }
};

QTEST_MAIN(TextFitTest)
#include "TextFitTest.moc"
