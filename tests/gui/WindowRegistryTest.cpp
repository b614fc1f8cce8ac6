// The application shell: start-up and exit order, the window controller's
// slots, synchronised windows, the command enabling as the menus show it,
// the status bar, and monitoring start, pause, resume and stop over a
// scripted live source.
#include <QAbstractButton>
#include <QAction>
#include <QMdiArea>
#include <QMessageBox>
#include <QScrollBar>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "GuiSupport.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/Application.h"
#include "app/QtPrompt.h"
#include "app/WindowRegistry.h"
#include "capture/CaptureReader.h"
#include "core/IniFile.h"
#include "device/UnitList.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"
#include "views/MonitorWindow.h"

using namespace qv;

namespace {

constexpr uint64_t kBase = 13ull * 360000000000ull;

// A capture of `n` SD records 1 ms apart from 13:00 on 5 December 2009.
std::string BuildCapture(const std::string& folder, int n, uint64_t offset = 0) {
    std::filesystem::create_directories(folder);
    test::CaptureBuilder b(folder, kProtocolAsync);
    b.StartChunk("091205", 0xC0);
    for (int i = 0; i < n; ++i)
        b.Add(RecordKind::kSdData, static_cast<uint8_t>(0x30 + i % 10),
              kBase + offset + 100000ull * (i + 1));
    return b.Finish();
}

MonitorWindow* MonitorView(WindowRegistry& c, int slot) {
    return static_cast<MonitorWindow*>(c.Slot(slot).view);
}

}  // namespace

class WindowRegistryTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::AppHome> m_home;
    std::unique_ptr<test::TestServices> m_env;
    std::unique_ptr<MainFrame> m_frame;
    test::ScriptedPrompt m_prompt;
    std::string m_capA, m_capB;

    WindowRegistry& Ctrl() { return *m_frame->Controller(); }

  private slots:
    // A capture whose run was killed: opening it offers recovery in a real
    // message box; No leaves it as it is (the open then fails and says so),
    // Yes makes every record its chunk file holds readable.
    void openingAKilledCaptureOffersRecovery() {
        const std::string folder = m_home->file("KILLED");
        const std::string index = BuildCapture(folder, 120);
        // What a killed run leaves: the chunk under its temporary name and
        // no entry for it in the index.
        std::filesystem::rename(folder + "/000000001.qvd", folder + "/t000000001.qvd");
        IniFile ini;
        ini.SetPath(index);
        ini.DeleteKey("DataFile", "1");
        QtPrompt prompt(m_frame.get());
        m_env->log.SetPrompt(&prompt);

        QString asked, told;
        test::WhenShown<QMessageBox>([&](QMessageBox* box) {
            asked = box->text();
            QAbstractButton* no = box->button(QMessageBox::No);
            QVERIFY(no && box->button(QMessageBox::Yes));
            test::WhenShown<QMessageBox>([&](QMessageBox* failure) {
                told = failure->text();
                QTest::keyClick(failure, Qt::Key_Return);
            });
            QTest::mouseClick(no, Qt::LeftButton);
        });
        QVERIFY(Ctrl().OpenCapture(index) < 0);
        QVERIFY2(asked.contains(QString::fromUtf8("復旧しますか")), qPrintable(asked));
        QVERIFY2(told.contains(QString::fromUtf8("ウィンドウオープンに失敗しました")), qPrintable(told));
        QVERIFY(std::filesystem::exists(folder + "/t000000001.qvd"));
        QVERIFY(!std::filesystem::exists(folder + "/000000001.qvd"));

        asked.clear();
        test::WhenShown<QMessageBox>([&](QMessageBox* box) {
            asked = box->text();
            QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
        });
        const int slot = Ctrl().OpenCapture(index);
        QVERIFY2(asked.contains(QString::fromUtf8("復旧しますか")), qPrintable(asked));
        QVERIFY(slot >= 0);
        QCOMPARE(Ctrl().Slot(slot).reader->GetTotalRecords(), uint64_t{120});
        QVERIFY(std::filesystem::exists(folder + "/000000001.qvd"));
        // Recovered once, the capture opens without a question.
        m_env->log.SetPrompt(&m_prompt);
        Ctrl().CloseAllWindows();
        QVERIFY(Ctrl().OpenCapture(index) >= 0);
        QVERIFY(m_prompt.questions.empty());
    }

    void initTestCase() {
        m_home = std::make_unique<test::AppHome>();
        m_capA = BuildCapture(m_home->file("CAPA"), 300);
        m_capB = BuildCapture(m_home->file("CAPB"), 300, 50);
    }

    void init() {
        m_prompt = {};
        m_env = std::make_unique<test::TestServices>();
        m_env->log.SetPrompt(&m_prompt);
        m_frame = std::make_unique<MainFrame>();
        m_frame->resize(1000, 700);
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
        Ctrl().SetServices(&m_env->services);
        m_env->devices.Select({});
    }

    void cleanup() {
        m_frame.reset();
        m_env.reset();
    }

    void startUpOpensTheCommandLineCaptureAfterTheUnitChoice() {
        cleanup();
        // The unit list has this program's unit marked in use.
        std::ofstream(m_home->file("ActiveUnitInfo.txt"))
            << "0008,14d2,0010,A0000001,bench\n0000,14d2,0011,      42,\n";
        Application app;
        int windowsWhenAsked = -1;
        app.SetUnitChooser([&](const SelectedUnit&) {
            windowsWhenAsked = test::OpenWindowCount(*app.Frame()->Controller());
            return SelectedUnit{0x14D2, 0x10, "A0000001", "bench"};
        });
        QCOMPARE(app.InitInstance({QString::fromStdString(m_capA)}), 0);
        QCOMPARE(windowsWhenAsked, 0);
        QVERIFY(std::filesystem::exists(m_home->file("QvStatus.qvs")));
        auto& c = *app.Frame()->Controller();
        QCOMPARE(test::OpenWindowCount(c), 1);
        QCOMPARE(WindowIdKind(c.Slot(0).windowId), int(kKindMonitorFile));
        QCOMPARE(MonitorView(c, 0)->Caption(), QString("CAPA - Monitor"));
        QCOMPARE(app.StartupFile(), m_capA);
        // The unit pane names the chosen unit.
        QCOMPARE(app.Frame()->PaneText(1), QString("[ bench ]"));
        app.Frame()->close();
        QCOMPARE(app.ExitInstance(), 0);
        auto units = ReadUnitFile(m_home->file("ActiveUnitInfo.txt"));
        QCOMPARE(units.size(), size_t{2});
        QCOMPARE(units[0].flags & kUnitSelected, 0u);
        QCOMPARE(units[1].serial, std::string("42"));
        init();
    }

    void menusFollowTheCommandTable() {
        // No window: only opening, the settings and the device commands; the
        // device commands need a unit.
        QVERIFY(m_frame->Action(kCmdFileOpen)->isEnabled());
        QVERIFY(!m_frame->Action(kCmdFileClose)->isEnabled());
        QVERIFY(!m_frame->Action(kCmdMonitorStart)->isEnabled());
        QVERIFY(!m_frame->Action(kCmdUnitStatus)->isEnabled());
        QVERIFY(!m_frame->Action(kCmdUnitClock)->isEnabled());
        QVERIFY(m_frame->Action(kCmdSelectUnit)->isEnabled());
        QVERIFY(!m_frame->Action(kCmdModeSet));  // never offered
        QCOMPARE(m_frame->Action(kCmdFileOpen)->text(), QString("ファイルを開く(&O)...\tCtrl+O"));
        m_env->devices.Select({0x14D2, 0x10, "A0000001", ""});
        m_frame->UpdateCommands();
        QVERIFY(m_frame->Action(kCmdMonitorStart)->isEnabled());
        QVERIFY(m_frame->Action(kCmdUnitStatus)->isEnabled());
        QCOMPARE(m_frame->PaneText(1), QString("-"));  // no capture window: all panes "-"

        QVERIFY(Ctrl().OpenCapture(m_capA) >= 0);
        QVERIFY(m_frame->Action(kCmdFileClose)->isEnabled());
        QVERIFY(m_frame->Action(kCmdHex)->isChecked());
        QVERIFY(!m_frame->Action(kCmdMonitorStop)->isEnabled());
        QVERIFY(!m_frame->Action(kCmdMonitorPause)->isEnabled());
        m_frame->Action(kCmdAscii)->trigger();
        QVERIFY(m_frame->Action(kCmdAscii)->isChecked());
        QVERIFY(!m_frame->Action(kCmdHex)->isChecked());
        QCOMPARE(Ctrl().Slot(0).code, int(kDisplayAscii));
        // Synchronised windows toggle on each use.
        m_frame->Action(kCmdSync)->trigger();
        QVERIFY(Ctrl().Context().syncOn);
        m_frame->Action(kCmdSync)->trigger();
        QVERIFY(!Ctrl().Context().syncOn);
        // Status panes of a stored capture.
        QCOMPARE(m_frame->PaneText(1), QString("[ A0000001 ]"));
        QVERIFY(m_frame->PaneText(2).startsWith("09/12/05 13:00:00"));
        QCOMPARE(m_frame->PaneText(4), QString("9,600bps"));
        QCOMPARE(m_frame->PaneText(6), QString("8,NON"));
        QCOMPARE(m_frame->PaneText(7), QString("232"));
        m_frame->Action(kCmdLast)->trigger();
        QCOMPARE(MonitorView(Ctrl(), 0)->Page().start,
                 300 - static_cast<uint64_t>(MonitorView(Ctrl(), 0)->PageRows()));
        m_frame->Action(kCmdFirst)->trigger();
        QCOMPARE(MonitorView(Ctrl(), 0)->Page().start, uint64_t{0});
        m_frame->Action(kCmdFileClose)->trigger();
        QCOMPARE(test::OpenWindowCount(Ctrl()), 0);
        QVERIFY(!m_frame->Action(kCmdFileClose)->isEnabled());
    }

    void aNinthWindowIsRefused() {
        m_env->devices.Select({0x14D2, 0x10, "A0000001", ""});
        for (int i = 0; i < WindowRegistry::kSlots; ++i)
            QCOMPARE(Ctrl().OpenCapture(m_capA), i);
        m_frame->UpdateCommands();
        QVERIFY(!m_frame->Action(kCmdMonitorStart)->isEnabled());
        QCOMPARE(Ctrl().OpenWindow(kKindMonitorFile, m_capA), -8);
        QCOMPARE(Ctrl().OpenCapture(m_capA), -8);
        QVERIFY(m_prompt.messages.back().starts_with("ウィンドウオープンに失敗しました！"));
        QCOMPARE(test::OpenWindowCount(Ctrl()), 8);
        // A freed slot is used again.
        Ctrl().CloseSlot(3);
        QCOMPARE(Ctrl().OpenCapture(m_capB), 3);
    }

    void openFailuresAreReported() {
        QCOMPARE(Ctrl().OpenWindow(kKindMonitorFile, ""), -15);
        QVERIFY(Ctrl().OpenCapture(m_home->file("nothing/nothing.qvr")) < 0);
        QVERIFY(m_prompt.messages.back().starts_with("ウィンドウオープンに失敗しました！"));
        QCOMPARE(test::OpenWindowCount(Ctrl()), 0);
        // A capture without records is closed again.
        std::string empty = BuildCapture(m_home->file("EMPTY"), 0);
        QVERIFY(Ctrl().OpenCapture(empty) < 0);
        QCOMPARE(m_prompt.messages.back(), std::string("モニタデータがありません！"));
        QCOMPARE(test::OpenWindowCount(Ctrl()), 0);
    }

    void synchronisedWindowsFollowASelection() {
        int a = Ctrl().OpenCapture(m_capA);
        int b = Ctrl().OpenCapture(m_capB);
        QVERIFY(a >= 0 && b >= 0);
        auto* va = MonitorView(Ctrl(), a);
        auto* vb = MonitorView(Ctrl(), b);
        // Without the flag nobody follows.
        QVERIFY(va->SelectRow(5));
        QCOMPARE(vb->Page().start, uint64_t{0});

        Ctrl().SetSync(true);
        va->ThumbReleased(100);
        QVERIFY(va->SelectRow(2));  // record 103 of A, 13:00:00.103
        // B's records lie 500 ns later; a time between two records settles on
        // the earlier one, frame 101.
        QCOMPARE(vb->Page().start, uint64_t{101});
        QCOMPARE(vb->Page().selected, uint64_t{102});
        QVERIFY(test::Text(Ctrl().Slot(a).frameTime).rfind("09/12/05 13:00:00 103m", 0) == 0);
        // Within 500 ms of a synchronisation further reports do not move B.
        QVERIFY(va->SelectRow(0));
        QCOMPARE(vb->Page().start, uint64_t{101});
    }

    void commandsReadingTheCaptureLeaveTheWindowWhereItIs() {
        int a = Ctrl().OpenCapture(m_capA);
        QVERIFY(a >= 0);
        auto* va = MonitorView(Ctrl(), a);
        va->ThumbReleased(100);
        QVERIFY(va->SelectRow(2));  // record 103, 13:00:00.103
        const QString shown = QString::fromStdString(Ctrl().StatusBarTexts()[2]);
        QVERIFY(shown.contains("09/12/05 13:00:00 103m"));
        // A command that reads the capture elsewhere (a mark list, a print
        // range, a search start) moves only its own reader.
        CaptureReader* commands = Ctrl().CurrentReader();
        QCOMPARE(commands->GoToFrame(commands->GetTotalRecords() - 1), 0);
        QCOMPARE(QString::fromStdString(Ctrl().StatusBarTexts()[2]), shown);
        CursorPosition pos;
        QCOMPARE(va->Reader()->GetCursor(pos), 0);
        QCOMPARE(pos.frame, uint64_t{102});
    }

    void liveMonitoringShowsPausesResumesAndStops() {
        m_env->devices.Select({0x14D2, 0x10, "A0000001", ""});
        auto* fake = new test::FakeLiveMonitor;
        fake->indexPath = m_capB;
        int stops = 0;
        fake->stopCount = &stops;
        fake->runStatus.status.monitor.DataLen = 7;
        Ctrl().SetMonitorFactory([fake] { return std::unique_ptr<ILiveMonitor>(fake); });
        Ctrl().StartMonitoring();
        QCOMPARE(Ctrl().GetMonitorState(), int(kMonitorRunning));
        int slot = Ctrl().CurrentSlot();
        QCOMPARE(WindowIdKind(Ctrl().Slot(slot).windowId), int(kKindMonitorLive));
        QVERIFY(m_frame->IsLocked());
        QVERIFY(static_cast<ChildFrame*>(Ctrl().Slot(slot).frame.data())->IsLocked());
        QVERIFY(m_frame->Action(kCmdMonitorStop)->isEnabled());
        QVERIFY(m_frame->Action(kCmdMonitorPause)->isEnabled());
        QVERIFY(!m_frame->Action(kCmdFileOpen)->isEnabled());
        // The run starts later, once.
        QCOMPARE(fake->starts, 0);
        Ctrl().DeferredStart(slot);
        Ctrl().DeferredStart(slot);
        QCOMPARE(fake->starts, 1);
        // The status bar shows the settings the run started with, whatever
        // the working status file says (8 data bits by default).
        QVERIFY(Ctrl().StatusBarTexts()[6].starts_with("\t7,"));

        auto* v = MonitorView(Ctrl(), slot);
        QCOMPARE(v->GetMode(), MonitorWindow::kLive);
        QCOMPARE(v->Caption(), QString("20091205134512 - Monitoring"));
        const int rows = v->PageRows();
        QVERIFY(rows > 5 && rows < 200);
        fake->AddRecords(5);
        v->RefreshLive();
        QCOMPARE(v->Model().CellText(4, kColTr), QString("%1").arg(5, 10));
        QVERIFY(v->Model().CellText(5, kColDate).isEmpty());
        QCOMPARE(v->Model().CellText(0, kColData), QString("00"));  // raw bytes while live
        // 250 records: the newest page, read across the ring's wrap.
        fake->AddRecords(245);
        v->RefreshLive();
        QCOMPARE(v->Model().CellText(rows - 1, kColTr), QString("%1").arg(250, 10));
        QCOMPARE(v->Model().CellText(0, kColTr), QString("%1").arg(250 - rows + 1, 10));
        QVERIFY(m_frame->PaneText(2).startsWith("SD=00000000"));
        // Nothing can be selected while live.
        QVERIFY(!v->SelectRow(0));

        // Scrolling up while live asks for a pause.
        v->LineUp();
        QCOMPARE(Ctrl().GetMonitorState(), int(kMonitorPaused));
        QCOMPARE(fake->pauses, 1);
        v->RunPauseTimer();
        QCOMPARE(v->GetMode(), MonitorWindow::kPaused);
        QCOMPARE(v->SnapshotCount(), 200);
        QCOMPARE(v->Model().CellText(rows - 1, kColTr), QString("%1").arg(250, 10));
        QVERIFY(v->ScrollBar()->isEnabled());
        QTest::keyClick(v->Grid(), Qt::Key_Home);
        QCOMPARE(v->Model().CellText(0, kColTr), QString("%1").arg(51, 10));
        // Records keep coming; the snapshot stays.
        fake->AddRecords(10);
        QCOMPARE(v->Model().CellText(0, kColTr), QString("%1").arg(51, 10));
        // A paused run resumes from its own window.
        m_frame->UpdateCommands();
        QVERIFY(m_frame->Action(kCmdMonitorStart)->isEnabled());
        QVERIFY(!m_frame->Action(kCmdMonitorPause)->isEnabled());
        m_frame->Action(kCmdMonitorStart)->trigger();
        QCOMPARE(Ctrl().GetMonitorState(), int(kMonitorRunning));
        QCOMPARE(v->GetMode(), MonitorWindow::kLive);
        Ctrl().DeferredStart(slot);
        QCOMPARE(fake->starts, 2);
        QCOMPARE(v->Model().CellText(rows - 1, kColTr), QString("%1").arg(260, 10));

        // Exit is refused while monitoring.
        QVERIFY(!m_frame->close());
        QVERIFY(m_frame->Action(kCmdMonitorStop)->isEnabled());
        m_frame->Action(kCmdMonitorStop)->trigger();
        QCOMPARE(stops, 1);  // the window dropped the monitor object after the stop
        QCOMPARE(Ctrl().GetMonitorState(), int(kMonitorIdle));
        QVERIFY(!m_frame->IsLocked());
        // The capture the run wrote reopens in the same window.
        QCOMPARE(Ctrl().CurrentSlot(), slot);
        QCOMPARE(WindowIdKind(Ctrl().Slot(slot).windowId), int(kKindMonitorFile));
        QCOMPARE(v->GetMode(), MonitorWindow::kFile);
        QCOMPARE(v->Caption(), QString("CAPB - Monitor"));
        QCOMPARE(v->Model().CellText(0, kColTr), QString("%1").arg(1, 10));
        QVERIFY(Ctrl().Slot(slot).reader);
    }

    // Stop returns at once: while the run's capture is finished the window
    // waits and the message pane says so; then the capture shows, and the
    // gaps the instrument's overflows left, shown in the status bar during
    // the run, are told in a message.
    void aStopReturnsAtOnceAndTellsTheGapsOnceTheCaptureIsFinished() {
        m_env->devices.Select({0x14D2, 0x10, "A0000001", ""});
        m_env->log.SetPrompt(&m_prompt);
        m_prompt.messages.clear();
        auto* fake = new test::FakeLiveMonitor;
        fake->indexPath = m_capB;
        bool finishing = false;
        fake->finishing = &finishing;
        fake->overflows = 2;
        fake->gapTicks = 150'000'000;  // 1.5 s
        Ctrl().SetMonitorFactory([fake] { return std::unique_ptr<ILiveMonitor>(fake); });
        Ctrl().StartMonitoring();
        const int slot = Ctrl().CurrentSlot();
        Ctrl().DeferredStart(slot);
        fake->AddRecords(20);
        Ctrl().OnLiveRefreshed(Ctrl().Slot(slot).windowId);
        QCOMPARE(QString::fromStdString(Ctrl().StatusBarTexts()[3]), QString("\tfull 2"));

        m_frame->Action(kCmdMonitorStop)->trigger();
        QCOMPARE(Ctrl().GetMonitorState(), int(kMonitorIdle));
        QVERIFY(!m_frame->IsLocked());
        QVERIFY(Ctrl().Finishing());
        QVERIFY(m_frame->PaneText(0).contains("25%"));
        QCOMPARE(WindowIdKind(Ctrl().Slot(slot).windowId), int(kKindMonitorLive));
        // No new run while the last one's capture is being finished.
        Ctrl().StartMonitoring();
        QCOMPARE(Ctrl().GetMonitorState(), int(kMonitorIdle));
        QVERIFY(m_prompt.messages.empty());

        finishing = false;
        QTRY_COMPARE(WindowIdKind(Ctrl().Slot(slot).windowId), int(kKindMonitorFile));
        QVERIFY(!Ctrl().Finishing());
        QVERIFY(m_frame->PaneText(0).isEmpty());
        QCOMPARE(m_prompt.messages.size(), size_t{1});
        const QString told = QString::fromStdString(m_prompt.messages[0]);
        QVERIFY2(told.contains(QString::fromUtf8("2か所")) && told.contains("1.500"), qPrintable(told));
        Ctrl().CloseAllWindows();
    }

    void aFailedStartClosesTheWindowAndUnlocksTheFrame() {
        auto* fake = new test::FakeLiveMonitor;
        fake->startCode = -22;
        Ctrl().SetMonitorFactory([fake] { return std::unique_ptr<ILiveMonitor>(fake); });
        Ctrl().StartMonitoring();
        QVERIFY(m_frame->IsLocked());
        int slot = Ctrl().CurrentSlot();
        Ctrl().DeferredStart(slot);
        QCOMPARE(Ctrl().GetMonitorState(), int(kMonitorIdle));
        QCOMPARE(test::OpenWindowCount(Ctrl()), 0);
        QVERIFY(!m_frame->IsLocked());
        QCOMPARE(m_frame->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        QCOMPARE(m_prompt.messages.back(), std::string("ＱＶ本体が接続されていません！"));

        // Without a way to make a monitor object the window is refused.
        Ctrl().SetMonitorFactory({});
        Ctrl().StartMonitoring();
        QCOMPARE(Ctrl().GetMonitorState(), int(kMonitorIdle));
        QCOMPARE(m_prompt.messages.back(), std::string("ウィンドウオープンに失敗しました！"));
    }
};

QTEST_MAIN(WindowRegistryTest)
#include "WindowRegistryTest.moc"
