// Every question and message of a monitoring start, asked with the real
// message boxes while the Monitor window of the run is open: the emulated
// instrument (qvsim) is a separate process, the user answers with the mouse
// from a timer, and the box's own event loop keeps the window's one-second
// live timer running meanwhile. The application must stay responsive: the
// run is read while the box is open, the answer is taken, and the run
// starts (or closes its window) as the answer says.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QtTest>
#include <deque>
#include <memory>

#include "GuiSupport.h"
#include "app/MainFrame.h"
#include "app/MonitorEventsBridge.h"
#include "app/QtPrompt.h"
#include "app/WindowRegistry.h"
#include "capture/CaptureReader.h"
#include "core/IniFile.h"
#include "device/DeviceCommand.h"
#include "device/LiveRun.h"
#include "device/RunPrecheck.h"
#include "device/UnitList.h"
#include "device/UsbDevice.h"
#include "settings/MonitorSettings.h"
#include "settings/StatusFile.h"
#include "support/AppHome.h"
#include "views/MonitorWindow.h"

using namespace qv;

namespace {

constexpr const char* kStartFailed = "モニタスタート出来ませんでした！";
constexpr const char* kClockDiffers = "QVの時計とパソコンの時計がずれています。";

// Answers the message boxes as they come, each with the button the script
// names, clicked with the mouse. Before it answers, it waits long enough for
// the live timer of an open Monitor window to fire, and reads the run the
// way a view does: with a lock held by the start, either would hang.
class BoxAnswerer : public QObject {
  public:
    struct Answer {
        QString expected;  // a part of the box's text
        QMessageBox::StandardButton button;
    };

    explicit BoxAnswerer(std::deque<Answer> script) : m_script(std::move(script)) {
        connect(&m_poll, &QTimer::timeout, this, [this] { Poll(); });
        m_poll.start(50);
    }

    std::function<void()> readRun;  // the view's questions to the run
    QStringList seen;
    int answeredWhileTimerRan = 0;

    bool Done() const { return m_script.empty(); }

  private:
    void Poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || m_script.empty()) {
            m_since.invalidate();
            return;
        }
        if (!m_since.isValid()) {
            m_since.start();
            return;
        }
        // Past one live interval of the Monitor window.
        if (m_since.elapsed() < MonitorWindow::kLiveIntervalMs + 300) return;
        if (readRun) readRun();
        const Answer a = m_script.front();
        m_script.pop_front();
        seen << box->text();
        if (!box->text().contains(a.expected)) qWarning() << "unexpected box" << box->text();
        ++answeredWhileTimerRan;
        m_since.invalidate();
        QAbstractButton* b = box->button(a.button);
        if (!b) {
            qWarning() << "no such button on" << box->text();
            box->reject();
            return;
        }
        QTest::mouseClick(b, Qt::LeftButton);
    }

    std::deque<Answer> m_script;
    QTimer m_poll;
    QElapsedTimer m_since;
};

}  // namespace

class StartQuestionsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::AppHome> m_home;
    std::unique_ptr<test::TempDir> m_sims;
    std::unique_ptr<QProcess> m_sim;

    // Plugs an emulated instrument with these options and selects it; with
    // `storing`, its status gets a trigger that starts storing.
    bool Plug(const QString& serial, const QStringList& options, bool storing) {
        Unplug();
        m_sim = std::make_unique<QProcess>();
        m_sim->start(
            QVSIM_PATH,
            QStringList{"--serial", serial, "--source", "synth:3", "--rate", "max"} + options);
        if (!m_sim->waitForStarted()) return false;
        QDir dir(QString::fromStdString(m_sims->path()));
        QElapsedTimer t;
        t.start();
        while (dir.entryList({"*" + serial + ".sock"}, QDir::System).isEmpty()) {
            if (t.elapsed() > 20000) return false;
            QTest::qWait(50);
        }
        if (!test::RunQvtool({"units", "select", serial})) return false;
        if (storing && !test::RunQvtool({"settings", "check", "--yes"})) return false;
        return true;
    }

    void Unplug() {
        if (!m_sim) return;
        m_sim->terminate();
        m_sim->waitForFinished(20000);
        m_sim.reset();
    }

    // The application as the program builds it, with the real message boxes.
    struct App {
        test::TestServices env;
        MainFrame frame;
        QtPrompt prompt{&frame};
        MonitorEventsBridge events{&frame};
        LiveRun* run = nullptr;

        App() {
            env.devices.Select(SelectedUnitFromFile());
            env.log.SetPrompt(&prompt);
            frame.resize(1000, 700);
            frame.show();
            Ctrl().SetServices(&env.services);
            Ctrl().SetMonitorFactory([this]() -> std::unique_ptr<ILiveMonitor> {
                auto m = std::make_unique<LiveRun>(
                    env.store, env.log, env.devices,
                    LiveRunRequest{env.conf.GetSaveDirectory(), &prompt, &events});
                run = m.get();
                return m;
            });
            // The frame was built before its services named a unit.
            frame.UpdateCommands();
        }
        WindowRegistry& Ctrl() { return *frame.Controller(); }
    };

    // Presses "モニタスタート" and lets the answerer take every box; true
    // once the script is used up and the start has returned.
    static bool PressStart(App& app, BoxAnswerer& answerer) {
        answerer.readRun = [&app] {
            // A failed start has closed its window, and the run with it.
            if (!app.run || app.Ctrl().GetMonitorState() == kMonitorIdle) return;
            app.run->GetRecordTotal(false);
            std::vector<LiveRow> rows;
            app.run->LiveRows(false, 0, kLiveRingSlots, rows);
            app.run->BytesRead();
        };
        app.frame.Action(kCmdMonitorStart)->trigger();
        QElapsedTimer t;
        t.start();
        // The start is deferred until the window has been drawn; it is over
        // when no box is open any more and the script is used up.
        for (;;) {
            const bool settled =
                app.Ctrl().GetMonitorState() == kMonitorIdle || (app.run && app.run->Running());
            if (answerer.Done() && !QApplication::activeModalWidget() && settled) break;
            if (t.elapsed() > 60000) return false;
            QTest::qWait(50);
        }
        return true;
    }

    // The run shows live rows, stops, and its window shows the capture.
    static void ExpectLiveThenStored(App& app) {
        const int slot = app.Ctrl().CurrentSlot();
        QVERIFY(app.run && app.run->Running());
        auto* v = static_cast<MonitorWindow*>(app.Ctrl().Slot(slot).view);
        QCOMPARE(v->GetMode(), MonitorWindow::kLive);
        QTRY_VERIFY_WITH_TIMEOUT(
            !v->Model().CellText(v->PageRows() - 1, kColTr).trimmed().isEmpty(), 60000);
        app.frame.Action(kCmdMonitorStop)->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(app.Ctrl().Slot(slot).reader, 60000);
        QCOMPARE(v->GetMode(), MonitorWindow::kFile);
        QVERIFY(app.Ctrl().Slot(slot).reader->GetTotalRecords() > 0);
    }

  private slots:
    void initTestCase() {
        m_home = std::make_unique<test::AppHome>();
        m_sims = std::make_unique<test::TempDir>();
        qputenv("QVORT_SIM_DIR", QByteArray::fromStdString(m_sims->path()));
    }

    void cleanupTestCase() { Unplug(); }

    // A fresh status has no trigger that starts storing: the start asks.
    void noStoringTriggerAnsweredYesStartsTheRun() {
        QVERIFY(Plug("QSTORE01", {}, false));
        App app;
        BoxAnswerer answerer({{"蓄積開始", QMessageBox::Yes}});
        QVERIFY(PressStart(app, answerer));
        QCOMPARE(answerer.answeredWhileTimerRan, 1);
        QCOMPARE(app.Ctrl().GetMonitorState(), kMonitorRunning);
        QVERIFY(app.run->Running());
        auto* v = static_cast<MonitorWindow*>(app.Ctrl().Slot(app.Ctrl().CurrentSlot()).view);
        QCOMPARE(v->GetMode(), MonitorWindow::kLive);
        // Nothing was stored, which Stop says in a box of its own.
        BoxAnswerer after({{"", QMessageBox::Ok}});
        app.frame.Action(kCmdMonitorStop)->trigger();
        QCOMPARE(app.Ctrl().GetMonitorState(), kMonitorIdle);
        QTRY_VERIFY_WITH_TIMEOUT(after.Done(), 60000);
    }

    // Declined, the start fails with its message and the window goes away.
    void noStoringTriggerAnsweredNoClosesTheWindow() {
        QVERIFY(Plug("QSTORE02", {}, false));
        App app;
        BoxAnswerer answerer({{"蓄積開始", QMessageBox::No}, {kStartFailed, QMessageBox::Ok}});
        QVERIFY(PressStart(app, answerer));
        QTRY_COMPARE(app.Ctrl().GetMonitorState(), kMonitorIdle);
        QCOMPARE(answerer.seen.size(), 2);
        QCOMPARE(test::OpenWindowCount(app.Ctrl()), 0);
        QVERIFY(app.frame.Action(kCmdMonitorStart)->isEnabled());
    }

    // The instrument's clock is an hour ahead: the start asks to set it.
    void clockQuestionAnsweredNoStartsTheRun() {
        QVERIFY(Plug("QCLOCK01", {"--clock-offset", "3600"}, true));
        App app;
        BoxAnswerer answerer({{kClockDiffers, QMessageBox::No}});
        QVERIFY(PressStart(app, answerer));
        QCOMPARE(answerer.answeredWhileTimerRan, 1);
        ExpectLiveThenStored(app);
    }

    // The instrument is monitoring already: the start asks to stop it first.
    void stopTheInstrumentQuestionAnsweredYesStartsTheRun() {
        QVERIFY(Plug("QBUSY001", {}, true));
        {
            DeviceAccess devices;
            auto device = devices.CreateDevice();
            QVERIFY(device);
            QVERIFY(FindUnit(*device, SelectedUnitFromFile().Identity(), true));
            DeviceCommand cmd(device);
            QCOMPARE(cmd.StartToComputer(), 0);
            device->Close();
        }
        App app;
        BoxAnswerer answerer({{"モニタを停止しますか", QMessageBox::Yes}});
        QVERIFY(PressStart(app, answerer));
        QCOMPARE(answerer.answeredWhileTimerRan, 1);
        ExpectLiveThenStored(app);
    }

    // A message raised inside the start (settings the instrument cannot take),
    // then the start's own failure message.
    void messagesInsideTheStartAreShownAndTheWindowCloses() {
        QVERIFY(Plug("QBADPAR1", {}, true));
        const SelectedUnit unit = SelectedUnitFromFile();
        IniFile status;
        QCOMPARE(status.Open(UnitStatusFilePath(unit.vendorId, unit.productId, unit.serial)), 0);
        QCOMPARE(status.WriteString(kRegistInfoSection, "SaveDevice", "7"), 0);
        App app;
        BoxAnswerer answerer(
            {{QString::fromUtf8(MessageText(MessageId::kBadMonitorParameter)), QMessageBox::Ok},
             {kStartFailed, QMessageBox::Ok}});
        QVERIFY(PressStart(app, answerer));
        QTRY_COMPARE(app.Ctrl().GetMonitorState(), kMonitorIdle);
        QCOMPARE(answerer.seen.size(), 2);
        QCOMPARE(test::OpenWindowCount(app.Ctrl()), 0);
    }
};

QTEST_MAIN(StartQuestionsTest)
#include "StartQuestionsTest.moc"
