// The Monitor window of a real monitoring run: the emulated instrument (qvsim,
// a separate process) streams synthetic traffic, the window shows the newest
// rows, pauses and resumes, and after Stop shows the capture the run wrote.
#include <QAction>
#include <QtTest>
#include <memory>

#include "GuiSupport.h"
#include "app/MainFrame.h"
#include "app/MonitorEventsBridge.h"
#include "app/WindowRegistry.h"
#include "capture/CaptureReader.h"
#include "device/LiveRun.h"
#include "device/UnitList.h"
#include "present/MonitorRows.h"
#include "support/AppHome.h"
#include "support/Processes.h"
#include "views/MonitorWindow.h"

using namespace qv;

class LiveRunTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::AppHome> m_home;
    std::unique_ptr<test::TempDir> m_sims;
    std::unique_ptr<test::SimUnit> m_sim;

  private slots:
    void initTestCase() {
        m_home = std::make_unique<test::AppHome>();
        m_sims = std::make_unique<test::TempDir>();
        qputenv("QVORT_SIM_DIR", QByteArray::fromStdString(m_sims->path()));
        m_sim = std::make_unique<test::SimUnit>(
            QVSIM_PATH, m_home->path(), m_sims->path(),
            std::vector<std::string>{"--serial", "LIVE0001", "--source", "synth:3", "--rate",
                                     "max"},
            m_home->file("qvsim"));
        QVERIFY2(m_sim->Up(), m_sim->process().Err().c_str());
        QVERIFY(test::RunQvtool({"units", "select", "LIVE0001"}));
        QVERIFY(test::RunQvtool({"settings", "check", "--yes"}));
    }

    void cleanupTestCase() { m_sim.reset(); }

    void liveRowsPauseResumeAndTheStoredCapture() {
        test::TestServices env;
        env.devices.Select(SelectedUnitFromFile());
        test::ScriptedPrompt prompt;
        env.log.SetPrompt(&prompt);
        MainFrame frame;
        frame.resize(1000, 700);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        WindowRegistry& ctrl = *frame.Controller();
        ctrl.SetServices(&env.services);
        MonitorEventsBridge events(&frame);
        LiveRun* monitor = nullptr;
        ctrl.SetMonitorFactory([&]() -> std::unique_ptr<ILiveMonitor> {
            auto m = std::make_unique<LiveRun>(
                env.store, env.log, env.devices,
                LiveRunRequest{env.conf.GetSaveDirectory(), &prompt, &events});
            monitor = m.get();
            return m;
        });

        ctrl.StartMonitoring();
        const int slot = ctrl.CurrentSlot();
        ctrl.DeferredStart(slot);
        QVERIFY(monitor);
        QVERIFY(monitor->Running());
        auto* v = static_cast<MonitorWindow*>(ctrl.Slot(slot).view);
        QCOMPARE(v->GetMode(), MonitorWindow::kLive);
        QTRY_VERIFY_WITH_TIMEOUT(monitor->GetRecordTotal(false) > 1000, 60000);

        // The newest records, the last row carrying the run's count at that moment.
        v->RefreshLive();
        const int rows = v->PageRows();  // after the refresh: wider counters may shorten the page
        QCOMPARE(v->Model().rowCount(), rows);
        const uint64_t shown = v->Model().CellText(rows - 1, kColTr).trimmed().toULongLong();
        QVERIFY(shown >= 1000);
        QVERIFY(v->Model().CellText(rows - 1, kColDate).size() == 30);
        QCOMPARE(v->Model().CellText(0, kColTr).trimmed().toULongLong(), shown - rows + 1);

        // Pause freezes the rows while the capture goes on.
        frame.Action(kCmdMonitorPause)->trigger();
        v->RunPauseTimer();
        QCOMPARE(v->GetMode(), MonitorWindow::kPaused);
        const QString top = v->Model().CellText(0, kColTr);
        const uint64_t frozen = monitor->GetRecordTotal(true);
        QTRY_VERIFY_WITH_TIMEOUT(monitor->GetRecordTotal(false) > frozen + 1000, 60000);
        QCOMPARE(v->Model().CellText(0, kColTr), top);
        // The paused page, kept to compare with the stored capture.
        std::vector<QStringList> livePage;
        for (int r = 0; r < v->PageRows(); ++r) {
            QStringList cells;
            for (int c = 0; c < kMonitorColumns; ++c) cells << v->Model().CellText(r, c);
            livePage.push_back(cells);
        }

        // Resume, then stop: the same window shows the capture the run wrote.
        frame.Action(kCmdMonitorStart)->trigger();
        ctrl.DeferredStart(slot);
        QCOMPARE(v->GetMode(), MonitorWindow::kLive);
        frame.Action(kCmdMonitorStop)->trigger();
        // Stop returns at once; the capture is finished off the window's thread.
        QTRY_VERIFY_WITH_TIMEOUT(ctrl.Slot(slot).reader, 60000);
        QCOMPARE(v->GetMode(), MonitorWindow::kFile);
        CaptureReader* reader = ctrl.Slot(slot).reader.get();
        QVERIFY(reader);
        QVERIFY(reader->GetTotalRecords() > frozen + 1000);
        QCOMPARE(v->Model().CellText(0, kColTr).trimmed(), QString("1"));

        // A record reads the same live and stored: every cell of the paused
        // page equals the stored capture's row of the same number (the
        // window's code is HEX, which live rows always show).
        const uint64_t firstLive = livePage.front()[kColTr].trimmed().toULongLong();
        QVERIFY(firstLive >= 1);
        MonitorRowFiller filler(DisplayCodeTable(), MonitorLineNames({}, 0), 0, Protocol::kAsync,
                                kDisplayHex);
        QCOMPARE(reader->GoToFrame(firstLive - 1), 0);
        QCOMPARE(filler.Begin(*reader), 0);
        for (size_t i = 0; i < livePage.size(); ++i) {
            if (i > 0) QCOMPARE(reader->NextRecord(), 0);
            MonitorRow stored;
            QCOMPARE(filler.Fill(*reader, stored), 0);
            for (int c = 0; c < kMonitorColumns; ++c)
                QCOMPARE(QString::fromStdString(stored[c]), livePage[i][c]);
        }
    }
};

QTEST_MAIN(LiveRunTest)
#include "LiveRunTest.moc"
