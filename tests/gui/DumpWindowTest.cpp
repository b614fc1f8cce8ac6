// The Dump window over real captures (its layout arithmetic is tested
// without a window, with the layout): DUAL interleaving in every display
// code, one-direction modes, scrolling, keys, clicks, the Edit pop-up, and
// synchronisation with a Monitor window through the window controller and
// the main frame's menus.
#include <algorithm>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <QToolBar>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "GuiSupport.h"
#include "app/MainFrame.h"
#include "app/WindowRegistry.h"
#include "capture/CaptureReader.h"
#include "present/DumpLayout.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"
#include "views/DumpWindow.h"
#include "views/MonitorWindow.h"

using namespace qv;

namespace {

constexpr uint64_t kBase = 13ull * 360000000000ull;  // 13:00 in ticks

// `n` records 1 ms apart from 13:00 on 5 December 2009, repeating SD, SD,
// RD, SD, line change: byte values count up from 0x30 by record.
std::string BuildCapture(const std::string& folder, int n) {
    std::filesystem::create_directories(folder);
    test::CaptureBuilder b(folder, kProtocolAsync);
    b.StartChunk("091205", 0xC0);
    uint8_t line = 0xC0;
    for (int i = 0; i < n; ++i) {
        const uint64_t t = kBase + 100000ull * (i + 1);
        const auto v = static_cast<uint8_t>(0x30 + i % 64);
        switch (i % 5) {
            case 2:
                b.Add(RecordKind::kRdData, v, t);
                break;
            case 4:
                line ^= 0x80;
                b.Add(RecordKind::kLineChange, line, t);
                break;
            default:
                b.Add(RecordKind::kSdData, v, t);
        }
    }
    return b.Finish();
}

DayTime TimeOfFrame(CaptureReader& f, uint64_t frame) {
    DayTime when;
    f.GoToFrame(frame);
    f.GetEndRecordTime(when);
    return when;
}

std::string Cell(const DumpWindow& v, int gridRow, int column) {
    return v.Model().CellText(gridRow, column).toStdString();
}

DumpWindow* DumpView(WindowRegistry& c, int slot) {
    return static_cast<DumpWindow*>(c.Slot(slot).view);
}
MonitorWindow* MonitorView(WindowRegistry& c, int slot) {
    return static_cast<MonitorWindow*>(c.Slot(slot).view);
}

}  // namespace

class DumpWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::AppHome> m_home;
    std::unique_ptr<test::TestServices> m_env;
    std::string m_small, m_large;

    std::unique_ptr<DumpWindow> MakeView(CaptureReader& reader, QSize size = {800, 400}) {
        auto v = std::make_unique<DumpWindow>(m_env->conf, m_env->log);
        v->resize(size);
        v->show();
        if (!QTest::qWaitForWindowExposed(v.get())) return nullptr;
        std::vector<FormatEntry> rows;
        reader.ReadFormatRows(rows);
        v->SetWindowId(0x0003, nullptr);
        v->SetFormatRows(&rows, false);
        v->SetCodes(kDumpDual, kDisplayAscii);
        v->SetReader(test::OwnReader(*m_env, reader));
        if (v->ShowAtTime(TimeOfFrame(reader, 1)) != 0) return nullptr;
        return v;
    }

    void ClickCell(DumpWindow& v, int gridRow, int column, Qt::MouseButton button = Qt::LeftButton) {
        QRect r = v.Grid()->visualRect(v.Model().index(DumpTableModel::ModelRowOf(gridRow), column));
        QTest::mouseClick(v.Grid()->viewport(), button, {}, r.center());
    }

  private slots:
    void initTestCase() {
        m_home = std::make_unique<test::AppHome>();
        // Odd rows pale red, even rows pale blue, the boundary black.
        std::ofstream(m_home->file("QV-ORT.conf"))
            << "[c]\ndco=" << 0xE0E0FF << "\ndce=" << 0xFFE0E0 << "\ndcs=0\n";
        m_env = std::make_unique<test::TestServices>();
        m_small = BuildCapture(m_home->file("SMALL"), 10);   // 8 bytes
        m_large = BuildCapture(m_home->file("LARGE"), 4003);  // 3203 bytes
    }

    void cleanupTestCase() {
        m_env.reset();
        m_home.reset();
    }

    // --- the window

    void dualModeInterleavesInEveryDisplayCode() {
        CaptureReader f(m_env->store, m_env->log);
        QCOMPARE(f.Open(m_small), 0);
        auto v = MakeView(f);
        QVERIFY(v);
        QCOMPARE(v->Caption(), QString("SMALL - Dump"));
        QVERIFY(v->Layout().BytesPerLine() >= 8);
        // SD 30, SD 31, RD 32, SD 33, (line change), SD 35, SD 36, RD 37, SD 38.
        const char* sd[] = {"30", "31", "", "33", "35", "36", "", "38"};
        const char* rd[] = {"", "", "32", "", "", "", "37", ""};
        for (int c = 0; c < 8; ++c) {
            QCOMPARE(Cell(*v, 1, c + 1), std::string(sd[c]));
            QCOMPARE(Cell(*v, 2, c + 1), std::string(rd[c]));
        }
        QCOMPARE(Cell(*v, 1, 0), std::string("SD"));
        QCOMPARE(Cell(*v, 2, 0), std::string("RD"));
        QCOMPARE(v->Model().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "LINE");
        QCOMPARE(v->Model().headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "0");
        const int chars = v->Layout().CharColumn();
        struct Case {
            int code;
            std::string sdText, rdText;
        };
        const Case cases[] = {
            {kDisplayHex, "０１  ３５６  ８", "    ２      ７  "},
            {kDisplayAscii, "０１  ３５６  ８", "    ２      ７  "},
            {kDisplayJis7, "０１  ３５６  ８", "    ２      ７  "},
            {kDisplayJis8, "０１  ３５６  ８", "    ２      ７  "},
            {kDisplayEbcdic, "      IRTRNB  SB", "    SY      ET  "},
            {kDisplayShiftJis, "013568", "27"},
        };
        for (const Case& c : cases) {
            v->SetCodes(kDumpDual, c.code);
            QCOMPARE(v->Code(), c.code);
            QCOMPARE(Cell(*v, 1, chars), c.sdText);
            QCOMPARE(Cell(*v, 2, chars), c.rdText);
            QCOMPARE(Cell(*v, 1, 4), std::string("33"));  // the cells stay hexadecimal
        }
        // The rows are painted in the conf file's colours.
        auto bg = [&](int gridRow) {
            return v->Model()
                .data(v->Model().index(DumpTableModel::ModelRowOf(gridRow), 1), Qt::BackgroundRole)
                .value<QColor>();
        };
        QCOMPARE(bg(1), QColor(0xFF, 0xE0, 0xE0));
        QCOMPARE(bg(2), QColor(0xE0, 0xE0, 0xFF));
        QCOMPARE(bg(3), QColor(0, 0, 0));
        // Everything fits on one page: nothing to scroll.
        QVERIFY(!v->ScrollBar()->isEnabled());
    }

    void rdModeShowsOnlyReceivedBytes() {
        CaptureReader f(m_env->store, m_env->log);
        QCOMPARE(f.Open(m_large), 0);
        auto v = MakeView(f);
        QVERIFY(v);
        v->SetCodes(kDumpRd, kDisplayHex);
        QCOMPARE(v->Mode(), int(kDumpRd));
        QVERIFY(!v->Page().empty());
        for (const DumpByte& b : v->Page())
            QVERIFY(!b.IsSd());
        // Every row names RD; no separator rows have height.
        const int perLine = v->Layout().BytesPerLine();
        QCOMPARE(Cell(*v, 1, 0), std::string("RD"));
        QCOMPARE(Cell(*v, 2, 0), std::string("RD"));
        QCOMPARE(v->Layout().RowTwips(3), 0);
        // The first RD bytes are records 2, 7, 12 ...: values 32, 37, 3C ...
        QCOMPARE(Cell(*v, 1, 1), std::string("32"));
        QCOMPARE(Cell(*v, 1, 2), std::string("37"));
        QCOMPARE(v->Page().size(), static_cast<size_t>(v->Layout().PageLines() * perLine));
        // All of the way to the end no SD byte comes up.
        QTest::keyClick(v->Grid(), Qt::Key_End);
        for (const DumpByte& b : v->Page())
            QVERIFY(!b.IsSd());
        QCOMPARE(v->Page().back().frame, uint64_t{4003 - 1});  // record 4002 is RD
    }

    void lastFullPageEndsWithTheLastPartLine() {
        CaptureReader f(m_env->store, m_env->log);
        QCOMPARE(f.Open(m_large), 0);
        auto v = MakeView(f);
        QVERIFY(v);
        const uint64_t perLine = v->Layout().BytesPerLine();
        const uint64_t total = 3203;  // 4003 records, 800 of them line changes
        const uint64_t lines = (total + perLine - 1) / perLine;
        QVERIFY(total % perLine != 0);
        QVERIFY(v->ScrollBar()->isEnabled());
        QCOMPARE(v->ScrollBar()->maximum(), static_cast<int>(lines - v->Layout().PageLines()));
        QTest::keyClick(v->Grid(), Qt::Key_End);
        QCOMPARE(v->PageLine(), lines - v->Layout().PageLines());
        QCOMPARE(v->Page().size(), static_cast<size_t>(total - v->PageLine() * perLine));
        QCOMPARE(*v->SelectedByte(), total - 1);
        QCOMPARE(v->ScrollBar()->value(), v->ScrollBar()->maximum());
        // The bar's own buttons can take the page no further.
        v->ScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(v->PageLine(), lines - v->Layout().PageLines());
        QTest::keyClick(v->Grid(), Qt::Key_Home);
        QCOMPARE(v->PageLine(), uint64_t{0});
        QCOMPARE(*v->SelectedByte(), uint64_t{0});
        v->ScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(v->PageLine(), static_cast<uint64_t>(v->Layout().PageLines()));
        v->ThumbReleased(3);
        QCOMPARE(v->PageLine(), uint64_t{3});
        // A narrower window lays out fewer columns and keeps the page's bytes.
        const uint64_t firstByte = v->PageLine() * perLine;
        v->resize(600, 400);
        QTRY_VERIFY(static_cast<uint64_t>(v->Layout().BytesPerLine()) < perLine);
        QVERIFY(v->PageLine() * v->Layout().BytesPerLine() <= firstByte);
        // Too narrow: the old layout stays.
        const DumpLayout before = v->Layout();
        v->resize(60, 400);
        QTRY_COMPARE(v->width(), std::max(60, v->minimumWidth()));
        QVERIFY(v->Layout() == before);
    }

    void clicksKeysAndWheelMoveTheSelection() {
        CaptureReader f(m_env->store, m_env->log);
        QCOMPARE(f.Open(m_large), 0);
        auto v = MakeView(f);
        QVERIFY(v);
        QSignalSpy reports(v.get(), &CaptureView::frameReported);
        // Shown at record 1's time: byte 1 selected, on the first page.
        QCOMPARE(*v->SelectedByte(), uint64_t{1});
        // The RD cell of column 3 holds record 2; the SD cell there is empty.
        ClickCell(*v, 1, 3);
        QCOMPARE(*v->SelectedByte(), uint64_t{1});
        QCOMPARE(reports.count(), 0);
        ClickCell(*v, 2, 3);
        QCOMPARE(*v->SelectedByte(), uint64_t{2});
        QCOMPARE(reports.count(), 1);
        QCOMPARE(test::ReportedText(reports.last()), test::Text(TimeOfFrame(f, 2)));
        CursorPosition pos;
        QCOMPARE(v->Reader()->GetCursor(pos), 0);
        QCOMPARE(pos.frame, uint64_t{2});  // the reader stands on the selection

        QTest::keyClick(v->Grid(), Qt::Key_Right);
        QCOMPARE(*v->SelectedByte(), uint64_t{3});
        QCOMPARE(test::ReportedText(reports.last()), test::Text(TimeOfFrame(f, 3)));
        QTest::keyClick(v->Grid(), Qt::Key_Left);
        QTest::keyClick(v->Grid(), Qt::Key_Left);
        QTest::keyClick(v->Grid(), Qt::Key_Left);
        QTest::keyClick(v->Grid(), Qt::Key_Left);  // stays on the first byte
        QCOMPARE(*v->SelectedByte(), uint64_t{0});
        const uint64_t perLine = v->Layout().BytesPerLine();
        const int lines = v->Layout().PageLines();
        // Down to the last line of the page, then once more: the page follows
        // by one line.
        for (int i = 0; i < lines - 1; ++i)
            QTest::keyClick(v->Grid(), Qt::Key_Down);
        QCOMPARE(v->PageLine(), uint64_t{0});
        QTest::keyClick(v->Grid(), Qt::Key_Down);
        QCOMPARE(v->PageLine(), uint64_t{1});
        QCOMPARE(*v->SelectedByte(), lines * perLine);
        QVERIFY(v->SelectedCell().gridRow > 0);
        QTest::keyClick(v->Grid(), Qt::Key_PageDown);
        QCOMPARE(v->PageLine(), uint64_t(1 + lines));
        QCOMPARE(*v->SelectedByte(), 2 * lines * perLine);
        QTest::keyClick(v->Grid(), Qt::Key_PageUp);
        QCOMPARE(v->PageLine(), uint64_t{1});

        // The wheel moves the page by three lines a notch and leaves the selection.
        const auto selected = v->SelectedByte();
        QWheelEvent down(QPointF(50, 50), v->Grid()->mapToGlobal(QPointF(50, 50)), {}, {0, -120},
                         Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(v->Grid()->viewport(), &down);
        QCOMPARE(v->PageLine(), uint64_t{4});
        QCOMPARE(v->SelectedByte(), selected);

        // Ctrl+3 asks for window 3, F1 for help, the right button for the
        // Edit pop-up.
        QSignalSpy switches(v.get(), &CaptureView::switchWindowRequested);
        QSignalSpy commands(v.get(), &CaptureView::commandRequested);
        std::vector<ViewPopup> popups;
        connect(v.get(), &CaptureView::popupRequested,
                [&](ViewPopup which, const QPoint&) { popups.push_back(which); });
        QTest::keyClick(v->Grid(), Qt::Key_3, Qt::ControlModifier);
        QCOMPARE(switches.count(), 1);
        QCOMPARE(switches.last().at(0).toInt(), 3);
        QTest::keyClick(v->Grid(), Qt::Key_F1);
        QCOMPARE(commands.last().at(0).toInt(), int(kCmdHelp));
        ClickCell(*v, 1, 1, Qt::RightButton);
        QCOMPARE(popups.size(), size_t{1});
        QVERIFY(popups.back() == ViewPopup::kEdit);
    }

    void switchingModesKeepsTheSelectedRecord() {
        CaptureReader f(m_env->store, m_env->log);
        QCOMPARE(f.Open(m_large), 0);
        auto v = MakeView(f);
        QVERIFY(v);
        v->ThumbReleased(20);
        const uint64_t perLine = v->Layout().BytesPerLine();
        // The first SD byte of the page.
        size_t i = 0;
        while (!v->Page()[i].IsSd())
            ++i;
        auto cell = v->Layout().CellOfPageIndex(static_cast<int>(i), true);
        QVERIFY(v->SelectCell(cell.gridRow, cell.column));
        const uint64_t frame = v->Page()[i].frame;
        v->SetCodes(kDumpSd, kDisplayAscii);
        QCOMPARE(v->Page()[*v->SelectedByte() - v->PageLine() * perLine].frame, frame);
        v->SetCodes(kDumpDual, kDisplayAscii);
        QCOMPARE(v->Page()[*v->SelectedByte() - v->PageLine() * perLine].frame, frame);
        QVERIFY(v->Layout().RowTwips(3) > 0);  // the separator is back
        // RD shows the next RD byte after it.
        v->SetCodes(kDumpRd, kDisplayAscii);
        const DumpByte& rd = v->Page()[*v->SelectedByte() - v->PageLine() * perLine];
        QVERIFY(!rd.IsSd());
        QVERIFY(rd.frame > frame && rd.frame <= frame + 5);
    }

    void aMissingReaderIsRefused() {
        DumpWindow v(m_env->conf, m_env->log);
        QCOMPARE(v.ShowAtTime(DayTime{91205, 10'000}), -15);
        CaptureReader f(m_env->store, m_env->log);
        QCOMPARE(f.Open(m_small), 0);
        v.SetReader(test::OwnReader(*m_env, f));
        QCOMPARE(v.ShowAtTime(std::nullopt), -11);
        QVERIFY(!v.SelectedByte());
    }

    // --- in the application

    void opensBesideTheMonitorWindowAndFollowsIt() {
        test::ScriptedPrompt prompt;
        m_env->log.SetPrompt(&prompt);
        auto frame = std::make_unique<MainFrame>();
        frame->resize(1200, 800);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        WindowRegistry& c = *frame->Controller();
        c.SetServices(&m_env->services);
        int mon = c.OpenCapture(m_large);
        QVERIFY(mon >= 0);
        frame->UpdateCommands();
        // The Monitor window offers the Dump window but no direction modes.
        QVERIFY(frame->Action(kCmdDumpWindow)->isEnabled());
        QVERIFY(!frame->Action(kCmdDual)->isEnabled());
        // Opened with the mouse from the tool bar's button.
        auto* bar = frame->findChild<QToolBar*>("MainToolBar");
        QVERIFY(bar);
        QWidget* button = bar->widgetForAction(frame->Action(kCmdDumpWindow));
        QVERIFY(button && button->isVisible() && button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(test::OpenWindowCount(c), 2);
        const int dump = c.CurrentSlot();
        QCOMPARE(WindowIdKind(c.Slot(dump).windowId), int(kKindDump));
        QCOMPARE(c.Slot(dump).code, int(kDisplayAscii));
        DumpWindow* d = DumpView(c, dump);
        QCOMPARE(d->Caption(), QString("LARGE - Dump"));
        QVERIFY(frame->Action(kCmdDual)->isChecked());
        QVERIFY(frame->Action(kCmdAscii)->isChecked());
        QVERIFY(!frame->Action(kCmdHex)->isEnabled());
        // F3 and Ctrl+F6 reach the Dump window through the menus.
        frame->Action(kCmdDirSd)->trigger();
        QCOMPARE(d->Mode(), int(kDumpSd));
        QVERIFY(frame->Action(kCmdDirSd)->isChecked());
        frame->Action(kCmdShiftJis)->trigger();
        QCOMPARE(d->Code(), int(kDisplayShiftJis));
        frame->Action(kCmdDual)->trigger();

        // With synchronised windows a click on a byte moves the Monitor window.
        c.SetSync(true);
        d->ThumbReleased(10);
        auto cell0 = d->Layout().CellOfPageIndex(0, d->Page()[0].IsSd());
        QVERIFY(d->SelectCell(cell0.gridRow, cell0.column));
        const uint64_t frameNo = d->Page()[0].frame;
        auto* m = MonitorView(c, mon);
        QCOMPARE(m->Page().selected, frameNo + 1);
        // And the Monitor window's selection moves the Dump window back, once
        // the interval that keeps windows from following too often is over.
        QTRY_VERIFY_WITH_TIMEOUT(!c.SyncHeld(), 30000);
        m->ThumbReleased(100);
        QVERIFY(m->SelectRow(0));  // record 100, an SD byte
        QCOMPARE(d->Page()[*d->SelectedByte() - d->PageLine() * d->Layout().BytesPerLine()].frame,
                 uint64_t{100});

        // The Edit pop-up on the right button is the real menu; its "最後へ"
        // takes the Dump window to its last page.
        c.SetSync(false);
        QString chosen;
        QTimer::singleShot(100, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            for (QAction* a : menu->actions())
                chosen += a->text() + "|";
            QAction* last = frame->Action(kCmdLast);
            menu->setActiveAction(last);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QRect cell = d->Grid()->visualRect(d->Model().index(0, 1));
        QTest::mouseClick(d->Grid()->viewport(), Qt::RightButton, {}, cell.center());
        QVERIFY(chosen.contains("最後へ(&B)"));
        QTRY_COMPARE(d->PageLine(), d->ScrollBar()->maximum() > 0
                                        ? static_cast<uint64_t>(d->ScrollBar()->maximum())
                                        : uint64_t{0});
        m_env->log.SetPrompt(nullptr);
    }
};

QTEST_MAIN(DumpWindowTest)
#include "DumpWindowTest.moc"
