// The Line window through the real widgets: opened from the menu command on
// a Monitor window's capture, zoomed by the command, Ctrl+wheel and the
// division list, scrolled by buttons and keys, cursors placed with the mouse,
// the Edit pop-up answered inside its own event loop, and the synchronised
// Monitor window following a reload.
#include <QAction>
#include <QComboBox>
#include <QMdiArea>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QWheelEvent>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "GuiSupport.h"
#include "app/MainFrame.h"
#include "app/WindowRegistry.h"
#include "lineview/LineChartCanvas.h"
#include "lineview/LineWindow.h"
#include "present/ChartScale.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"
#include "views/MonitorWindow.h"

using namespace qv;

namespace {

constexpr uint64_t kBase = 13ull * 360000000000ull;  // 13:00
constexpr uint64_t kMs = 100'000;                      // ticks

// Requests and responses at 115200 bit/s: RS rises, CS answers, SD sends
// "Q1" + CR, then RD answers "OK" + CR 2 ms later; RS and CS fall. One
// exchange every 20 ms, 400 of them.
std::string BuildExchanges(const std::string& folder) {
    std::filesystem::create_directories(folder);
    test::CaptureBuilder b(folder, kProtocolAsync);
    b.settings().SD_Baudrate = 115200;
    b.settings().RD_Baudrate = 115200;
    b.StartChunk("091205", 0x00);
    const uint64_t ch = 8'681;  // about 10 bits at 115200 bit/s
    for (int i = 0; i < 400; ++i) {
        uint64_t t = kBase + 20 * kMs * static_cast<uint64_t>(i + 1);
        b.Add(RecordKind::kLineChange, 0x80, t);
        b.Add(RecordKind::kLineChange, 0xC0, t + 10'000);
        t += 20'000;
        for (uint8_t c : {uint8_t{'Q'}, uint8_t{'1'}, uint8_t{'\r'}})
            b.Add(RecordKind::kSdData, c, t += ch);
        t += 2 * kMs;
        for (uint8_t c : {uint8_t{'O'}, uint8_t{'K'}, uint8_t{'\r'}})
            b.Add(RecordKind::kRdData, c, t += ch);
        b.Add(RecordKind::kLineChange, 0x00, t + 10'000);
    }
    return b.Finish();
}

}  // namespace

class LineWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::AppHome> m_home;
    std::unique_ptr<test::TestServices> m_env;
    std::unique_ptr<MainFrame> m_frame;
    std::string m_capture;

    WindowRegistry& Ctrl() { return *m_frame->Controller(); }
    LineWindow* OpenLine() {
        if (Ctrl().OpenCapture(m_capture) < 0) return nullptr;
        m_frame->UpdateCommands();
        QAction* open = m_frame->Action(kCmdLineWindow);
        if (!open || !open->isEnabled()) return nullptr;
        open->trigger();
        const int slot = Ctrl().CurrentSlot();
        if (WindowIdKind(Ctrl().Slot(slot).windowId) != kKindLine) return nullptr;
        auto* w = static_cast<LineWindow*>(Ctrl().Slot(slot).view);
        w->Canvas()->setFocus();
        return w;
    }

  private slots:
    void initTestCase() {
        m_home = std::make_unique<test::AppHome>();
        m_capture = BuildExchanges(m_home->file("PLC"));
    }

    void init() {
        m_env = std::make_unique<test::TestServices>();
        m_frame = std::make_unique<MainFrame>();
        m_frame->resize(1400, 900);
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
        m_frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
        Ctrl().SetServices(&m_env->services);
    }

    void cleanup() {
        m_frame.reset();
        m_env.reset();
    }

    void opensFromTheMonitorWindowWithItsCommands() {
        // No Line window without a capture window.
        QVERIFY(!m_frame->Action(kCmdLineWindow)->isEnabled());
        LineWindow* w = OpenLine();
        QVERIFY(w);
        QCOMPARE(test::OpenWindowCount(Ctrl()), 2);
        QCOMPARE(w->Caption(), QString("PLC - Line"));
        QVERIFY(w->Model().Loaded());
        // 100 records each side of the first frame: from the first record.
        QCOMPARE(w->Model().Data().firstFrame, uint64_t{0});
        QCOMPARE(w->Model().Data().recordTimes.size(), size_t{100});
        // The list offers "%s/Div" items up to the one that covers the span.
        QVERIFY(w->DivisionList()->count() > 3);
        QCOMPARE(w->DivisionList()->itemText(0), QString("10ns/Div"));
        QCOMPARE(w->DivisionList()->currentIndex(), w->Model().Viewport().Division());
        // Fitted to the 50 records each side of the frame (about 100 ms):
        // "20ms", the frame five divisions from the left edge.
        QCOMPARE(w->DivisionList()->currentText(), QString("20ms/Div"));
        QVERIFY(w->FieldText("左端").startsWith("09/12/05 12:59:59 920m"));
        QVERIFY(!w->FieldText("X - Y").isEmpty());

        // In a Line window: zoom yes; mark setting, directions, codes and
        // another Line window no.
        m_frame->UpdateCommands();
        QVERIFY(m_frame->Action(kCmdZoomIn)->isEnabled());
        QVERIFY(m_frame->Action(kCmdZoomOut)->isEnabled());
        QVERIFY(!m_frame->Action(kCmdLineWindow)->isEnabled());
        QVERIFY(!m_frame->Action(kCmdHex)->isEnabled());
        QVERIFY(!m_frame->Action(kCmdAscii)->isEnabled());

        // Zoom by the command, Ctrl+wheel and the list.
        const int fitted = w->Model().Viewport().Division();
        m_frame->Action(kCmdZoomIn)->trigger();
        QCOMPARE(w->Model().Viewport().Division(), fitted - 1);
        QCOMPARE(w->DivisionList()->currentIndex(), fitted - 1);
        QWheelEvent wheel(QPointF(300, 100), w->Canvas()->mapToGlobal(QPointF(300, 100)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w->Canvas(), &wheel);
        QCOMPARE(w->Model().Viewport().Division(), fitted);
        w->DivisionList()->setCurrentIndex(2);
        QCOMPARE(w->Model().Viewport().Division(), 2);
        QTRY_VERIFY(w->Canvas()->hasFocus());  // the list gives the focus back
        for (int i = 0; i < 5; ++i)
            m_frame->Action(kCmdZoomIn)->trigger();
        QCOMPARE(w->Model().Viewport().Division(), 0);  // stops at "10ns"

        m_frame->Action(kCmdFileClose)->trigger();
        QCOMPARE(test::OpenWindowCount(Ctrl()), 1);
    }

    void scrollsByButtonsAndKeysAndSwitchesLayouts() {
        LineWindow* w = OpenLine();
        QVERIFY(w);
        const auto& v = w->Model().Viewport();
        const double left = v.Left(), d = v.PerDivision();
        const QString before = w->FieldText("左端");
        QTest::keyClick(w->Canvas(), Qt::Key_Right);
        QCOMPARE(v.Left(), left + d / 10);
        QVERIFY(w->FieldText("左端") != before);
        QTest::mouseClick(w->Button(">>"), Qt::LeftButton);
        QCOMPARE(v.Left(), left + d / 10 + 9 * d);
        QTest::mouseClick(w->Button("<"), Qt::LeftButton);
        QCOMPARE(v.Left(), left + d / 10 + 8 * d);
        // "|<" and ">|" do nothing.
        const double now = v.Left();
        QTest::mouseClick(w->Button("|<"), Qt::LeftButton);
        QTest::mouseClick(w->Button(">|"), Qt::LeftButton);
        QCOMPARE(v.Left(), now);
        // Paging forward ends once the right edge is past the loaded span.
        for (int i = 0; i < 1000 && v.Right() <= v.SpanEnd(); ++i)
            QTest::mouseClick(w->Button(">>"), Qt::LeftButton);
        const double last = v.Left();
        QTest::mouseClick(w->Button(">>"), Qt::LeftButton);
        QCOMPARE(v.Left(), last);

        QVERIFY(!w->ControlsOnTop());
        QTest::keyClick(w->Canvas(), Qt::Key_Insert);
        QVERIFY(w->ControlsOnTop());
        QTRY_VERIFY(w->DivisionList()->mapTo(w, QPoint()).y() < w->Canvas()->mapTo(w, QPoint()).y());
        QTest::keyClick(w->Canvas(), Qt::Key_Insert);
        QVERIFY(!w->ControlsOnTop());

        // Shift+Right reloads around a centre 50 divisions on (queued); with
        // the windows synchronised the Monitor window follows.
        Ctrl().SetSync(true);
        const uint64_t frame = w->Model().Data().frame;
        auto* monitor = static_cast<MonitorWindow*>(Ctrl().Slot(0).view);
        const auto monitorPage = monitor->Page().start;
        QTest::keyClick(w->Canvas(), Qt::Key_Right, Qt::ShiftModifier);
        QTRY_VERIFY(w->Model().Data().frame > frame);
        QTRY_VERIFY(monitor->Page().start != monitorPage);
    }

    void drawsGeneratedTrafficWithHandshakes() {
        // A capture made as a user makes one: qvtool gen-stream, then decode.
        const std::string index = test::DecodeCapture(m_home->file("GEN"), "ASYNC", 3000);
        QVERIFY(!index.empty());
        const std::string exchanges = m_capture;
        m_capture = index;
        LineWindow* w = OpenLine();
        m_capture = exchanges;
        QVERIFY(w);
        const auto& d = w->Model().Data();
        QVERIFY(!d.traces[kChartTraceSd].times.empty());
        QVERIFY(!d.traces[kChartTraceRd].times.empty());
        QVERIFY(!d.labels.empty());
        bool stepped = false;
        for (int i = kChartFirstControlTrace; i < kChartTraceCount; ++i)
            stepped |= !d.traces[static_cast<size_t>(i)].times.empty();
        QVERIFY(stepped);
        // Zoomed all the way out the paint stays within a few points per
        // pixel column and trace, whatever was loaded.
        while (w->Model().Viewport().Division() + 1 < w->DivisionList()->count())
            w->Zoom(2);
        w->Canvas()->grab();
        const size_t columns = static_cast<size_t>(w->Canvas()->PlotRect().width()) + 1;
        QVERIFY(w->Canvas()->LastPointCount() > 0);
        QVERIFY(w->Canvas()->LastPointCount() <= 3 * columns * kChartTraceCount + 2 * kChartTraceCount);
    }

    void cursorsMeasureTheTurnaroundAndThePopupOpens() {
        LineWindow* w = OpenLine();
        QVERIFY(w);
        LineChartCanvas* canvas = w->Canvas();
        // Zoom to the first exchange: 500 us per division.
        w->DivisionList()->setCurrentIndex(14);
        QCOMPARE(w->DivisionList()->currentText(), QString("500us/Div"));
        const auto& view = w->Model().Viewport();
        const auto& rd = w->Model().Data().traces[kChartTraceRd];
        const auto& sd = w->Model().Data().traces[kChartTraceSd];
        QVERIFY(sd.times.size() >= 6 && rd.times.size() >= 2);
        const double requestEnd = sd.times[5];   // stop of the CR
        const double responseStart = rd.times[0];
        QVERIFY(requestEnd > view.Left() && responseStart < view.Right());

        // X (active) on the request's last byte, then Y on the response's
        // first: clicks a pixel off still catch the edges.
        // Each click is on the row of the line it measures.
        const int sdY = canvas->RowCentreY(kChartTraceSd), rdY = canvas->RowCentreY(kChartTraceRd);
        QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(canvas->XAtTime(requestEnd) + 1, sdY));
        QCOMPARE(w->Model().CursorTime(ChartCursor::kX), requestEnd);
        QTest::mouseClick(w->Button("Y"), Qt::LeftButton);
        QVERIFY(w->Button("Y")->isChecked());
        QVERIFY(!w->Button("X")->isChecked());
        QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(canvas->XAtTime(responseStart) - 1, rdY));
        QCOMPARE(w->Model().CursorTime(ChartCursor::kY), responseStart);
        // The response came about 2 ms after the request ended: Y is later,
        // so "X - Y" is negative.
        const QString diff = w->FieldText("X - Y");
        QVERIFY2(diff.startsWith("- 00:00:00 00"), qPrintable(diff));
        QCOMPARE(QString::fromStdString(CursorDifferenceText(requestEnd, responseStart)), diff);
        QVERIFY(w->FieldText("Y").startsWith("09/12/05 13:00:00 02"));

        // The right button opens the Edit pop-up with the zoom commands; it
        // runs its own event loop until closed.
        QStringList seen;
        QTimer::singleShot(200, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* a : menu->actions())
                    seen << a->text();
                menu->close();
            }
        });
        QTest::mouseClick(canvas, Qt::RightButton, {}, QPoint(200, 40));
        // The Edit pop-up of the command table opens on the chart.
        QVERIFY(seen.contains(QString::fromUtf8("先頭へ(&T)")) || !seen.isEmpty());
        // The cursors stayed where they were.
        QCOMPARE(w->Model().CursorTime(ChartCursor::kY), responseStart);
    }
};

QTEST_MAIN(LineWindowTest)
#include "LineWindowTest.moc"
