// How qv-ort ends: --help and --version answer without a display; an unknown
// option is refused; a termination signal (a kill, Ctrl+C, a closed terminal)
// ends it in order, with the run stopped, the capture finished and the unit
// released, whether a modal dialog is open or a monitoring run is going.
#include <QAction>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <memory>

#include "GuiSupport.h"
#include "app/Application.h"
#include "app/MainFrame.h"
#include "app/SignalWatcher.h"
#include "app/WindowRegistry.h"
#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "device/LiveMonitor.h"
#include "device/UnitList.h"
#include "support/AppHome.h"
#include "support/Processes.h"

using namespace qv;

namespace {

struct Run {
    int exitCode = -1;
    bool crashed = true;
    QString out, err;
};

Run RunQvOrt(const QStringList& args, const QProcessEnvironment& env, int ms = 60000) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QVORT_PATH, args);
    Run r;
    if (!p.waitForFinished(ms)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// No display at all: a program that contacts the window system fails here.
QProcessEnvironment NoDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", "xcb");
    return env;
}

bool UnitMarkedSelected(const std::string& serial) {
    for (const auto& u : ReadUnitFile(UnitListPath()))
        if (u.serial == serial && (u.flags & kUnitSelected)) return true;
    return false;
}

}  // namespace

class ApplicationExitTest : public QObject {
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
            std::vector<std::string>{"--serial", "EXIT0001", "--source", "synth:5", "--rate",
                                     "max"},
            m_home->file("qvsim"));
        QVERIFY2(m_sim->Up(), m_sim->process().Err().c_str());
    }

    void cleanupTestCase() { m_sim.reset(); }

    void helpAndVersionNeedNoDisplay() {
        Run help = RunQvOrt({"--help"}, NoDisplay());
        QVERIFY(!help.crashed);
        QCOMPARE(help.exitCode, 0);
        QVERIFY2(help.out.contains("使い方") && help.out.contains("--version"), qPrintable(help.out));
        Run version = RunQvOrt({"-v"}, NoDisplay());
        QCOMPARE(version.exitCode, 0);
        QVERIFY2(version.out.startsWith("qv-ort " QVORT_VERSION), qPrintable(version.out));
        // Help wins wherever it stands on the line.
        QCOMPARE(RunQvOrt({"capture.qvr", "-h"}, NoDisplay()).exitCode, 0);
    }

    void unknownOptionsAreRefused() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        Run r = RunQvOrt({"--frobnicate"}, env);
        QVERIFY(!r.crashed);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("--frobnicate") && r.err.contains("使い方"), qPrintable(r.err));
    }

    void terminationWhileTheUnitDialogIsOpen() {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QVORT_HOME", home.path());
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QVORT_PATH, {});
        QVERIFY(p.waitForStarted());
        // The unit dialog's first scan writes the unit list: it is up.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(home.filePath("ActiveUnitInfo.txt")), 60000);
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 128 + SIGTERM);
    }

    // Last: the signal makes every event loop of this process leave.
    void terminationDuringARunFinishesTheCapture() {
        QVERIFY(test::RunQvtool({"units", "select", "EXIT0001"}));
        QVERIFY(test::RunQvtool({"settings", "check", "--yes"}));
        QVERIFY(UnitMarkedSelected("EXIT0001"));

        Application app;
        app.SetUnitChooser([](const SelectedUnit&) { return SelectedUnitFromFile(); });
        QCOMPARE(app.InitInstance({}), 0);
        SignalWatcher watcher;
        QVERIFY(watcher.IsWatching());
        connect(&watcher, &SignalWatcher::terminationRequested, this,
                [&app](int s) { app.EndBySignal(s); });

        WindowRegistry& ctrl = *app.Frame()->Controller();
        app.Frame()->Action(kCmdMonitorStart)->trigger();
        const int slot = ctrl.CurrentSlot();
        ctrl.DeferredStart(slot);
        ILiveMonitor* monitor = ctrl.Slot(slot).monitor.get();
        QVERIFY(monitor);
        QTRY_VERIFY_WITH_TIMEOUT(monitor->GetRecordTotal(false) > 1000, 60000);
        const std::string index = monitor->GetIndexPath();
        QVERIFY(!index.empty());

        ::raise(SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(app.EndRequested(), 10000);
        QCOMPARE(app.EndCode(), 128 + SIGTERM);
        app.ExitInstance();

        // The run was stopped: the capture reads back whole, and the unit is
        // no longer marked as in use.
        QCOMPARE(ctrl.GetMonitorState(), int(kMonitorIdle));
        SettingsStore store;
        Log log;
        CaptureReader file(store, log);
        QCOMPARE(file.Open(index), 0);
        QVERIFY(file.GetTotalRecords() > 1000);
        QVERIFY(!UnitMarkedSelected("EXIT0001"));
    }
};

QTEST_MAIN(ApplicationExitTest)
#include "ApplicationExitTest.moc"
