// The capture file browser and the unit dialogs. The unit dialogs talk to
// emulated instruments served in-process on sockets in a temporary folder.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include <QMessageBox>
#include <QScopeGuard>

#include "GuiSupport.h"
#include "app/CommandTable.h"
#include "app/MainFrame.h"
#include "app/QtPrompt.h"
#include "app/WindowRegistry.h"
#include "device/DeviceCommand.h"
#include "device/DeviceStatus.h"
#include "device/SimSocketBackend.h"
#include "device/UnitList.h"
#include "device/UsbDevice.h"
#include "dialogs/MasterSlaveDialog.h"
#include "dialogs/ClockDialog.h"
#include "dialogs/UnitSelectDialog.h"
#include "dialogs/UnitInfoDialog.h"
#include "sim/SimInstrument.h"
#include "sim/SimServer.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"
#include "dialogs/FileBrowserDialog.h"

using namespace qv;

namespace {

sim::SimConfig Config(uint16_t product, const std::string& serial) {
    sim::SimConfig c;
    c.productId = product;
    c.serial = serial;
    c.cardBlocks = sim::CardMemory::kDataFirstBlock + 256;
    return c;
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::AppHome> m_home;
    std::unique_ptr<test::TempDir> m_simDir;
    std::unique_ptr<sim::SimInstrument> m_a, m_b;
    std::unique_ptr<sim::SimServer> m_sa, m_sb;
    test::ScriptedPrompt m_prompt;
    std::unique_ptr<DeviceAccess> m_devices;  // the emulated units of this test only

    std::shared_ptr<UsbDevice> OpenUnit(const std::string& serial) {
        StatusOpen o = OpenForStatus(*m_devices, StatusUse::kUnitInfo,
                                     UnitIdentity{kQvVendorId, kProductQvS1, serial});
        return o.message.empty() ? o.device : nullptr;
    }

  private slots:
    void initTestCase() {
        m_home = std::make_unique<test::AppHome>();
        m_simDir = std::make_unique<test::TempDir>();
        std::string folder = m_simDir->path();
        m_devices = std::make_unique<DeviceAccess>([folder] {
            std::vector<std::unique_ptr<IDeviceBackend>> b;
            b.push_back(std::make_unique<SimSocketBackend>(folder));
            return b;
        });
        m_a = std::make_unique<sim::SimInstrument>(Config(kProductQvS1, "A0000001"));
        m_b = std::make_unique<sim::SimInstrument>(Config(kProductQvSz2, "42"));
        m_sa = std::make_unique<sim::SimServer>(*m_a, folder);
        m_sb = std::make_unique<sim::SimServer>(*m_b, folder);
        std::string err;
        QVERIFY2(m_sa->Plug(err), err.c_str());
        QVERIFY2(m_sb->Plug(err), err.c_str());
    }

    void cleanupTestCase() {
        m_devices.reset();
        m_sa.reset();
        m_sb.reset();
        m_a.reset();
        m_b.reset();
    }

    void init() {
        m_prompt = {};
        m_devices->Select({});
        std::filesystem::remove(m_home->file("ActiveUnitInfo.txt"));
    }

    // --- capture file browser

    void browserListsCapturesAndPlainFolders() {
        test::TempDir dir;
        std::filesystem::create_directories(dir.file("CAP1"));
        std::filesystem::create_directories(dir.file("plain"));
        test::CaptureBuilder b(dir.file("CAP1"), kProtocolAsync);
        b.StartChunk("091205", 0);
        uint64_t t = 13ull * 360000000000ull + 45 * 6000000000ull + 12 * 100000000ull + 12345;
        b.Add(RecordKind::kSdData, 0x41, t);
        b.Add(RecordKind::kRdData, 0x42, t + 1000);
        b.Finish();

        FileBrowserDialog dlg(FileBrowserDialog::kOpenMode, dir.path());
        QCOMPARE(dlg.windowTitle(), QString("ファイルを開く"));
        QVERIFY(!dlg.CsvBox()->isVisibleTo(&dlg));
        QVERIFY(dlg.VolumeTexts().contains("[-/-]"));
        const auto& e = dlg.Entries();
        QCOMPARE(e.size(), size_t{3});
        QCOMPARE(e[0].name, std::string(".."));
        QCOMPARE(e[1].name, std::string("CAP1"));
        QVERIFY(e[1].capture);
        QCOMPARE(e[1].frames, uint64_t{2});
        QCOMPARE(e[1].startText, std::string("09/12/05 13:45:12"));
        QCOMPARE(dlg.List()->topLevelItem(1)->text(2), QString("09/12/05 13:45:12"));
        QVERIFY(!e[2].capture);
        QVERIFY(dlg.List()->topLevelItem(2)->text(1).isEmpty());

        QVERIFY(!dlg.OkButton()->isEnabled());
        dlg.ClickEntry(1);
        QCOMPARE(dlg.PathField()->text().toStdString(), dir.file("CAP1"));
        QCOMPARE(dlg.NameField()->text(), QString("CAP1"));
        QVERIFY(dlg.OkButton()->isEnabled());
        // A plain folder clears the name, so OK cannot join it to CAP1's name.
        dlg.ClickEntry(2);
        QVERIFY(dlg.NameField()->text().isEmpty());
        QVERIFY(!dlg.OkButton()->isEnabled());
        dlg.DoubleClickEntry(1);  // a capture: accepted at once
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.IndexPath(), dir.file("CAP1") + "/CAP1.qvr");
        QCOMPARE(dlg.Folder(), dir.path());

        // Double-clicking a plain folder enters it; up goes back.
        FileBrowserDialog again(FileBrowserDialog::kOpenMode, dir.path());
        again.DoubleClickEntry(2);
        QCOMPARE(again.CurrentFolder(), dir.file("plain"));
        QCOMPARE(again.Entries().size(), size_t{1});  // only ".."
        QVERIFY(again.GoUp());
        QCOMPARE(again.CurrentFolder(), dir.path());
        again.SetDetailView(false);
        QVERIFY(again.List()->isColumnHidden(1));
    }

    // A path typed and confirmed with Enter: a folder is listed and the
    // dialog stays; in open mode a capture's .qvr is opened. A recent
    // capture chosen from its box is opened with OK.
    void browserGoesWhereItIsToldAndOffersRecentCaptures() {
        test::TempDir dir;
        std::filesystem::create_directories(dir.file("deep/CAP1"));
        test::CaptureBuilder b(dir.file("deep/CAP1"), kProtocolAsync);
        b.StartChunk("091205", 0);
        b.Add(RecordKind::kSdData, 0x41, 1000);
        const std::string index = b.Finish();
        auto typeAndEnter = [](QLineEdit* field, const std::string& text) {
            field->setFocus();
            field->selectAll();
            QTest::keyClicks(field, QString::fromStdString(text));
            QTest::keyClick(field, Qt::Key_Return);
        };
        for (auto mode : {FileBrowserDialog::kOpenMode, FileBrowserDialog::kSaveMode,
                          FileBrowserDialog::kFolderMode}) {
            FileBrowserDialog dlg(mode, dir.path());
            dlg.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dlg));
            typeAndEnter(dlg.PathField(), dir.file("deep"));
            QCOMPARE(dlg.CurrentFolder(), dir.file("deep"));
            QVERIFY(dlg.isVisible());
            QCOMPARE(dlg.Entries().size(), size_t{2});  // "..", CAP1
        }
        FileBrowserDialog open(FileBrowserDialog::kOpenMode, dir.path());
        open.show();
        QVERIFY(QTest::qWaitForWindowExposed(&open));
        typeAndEnter(open.PathField(), index);
        QCOMPARE(open.result(), int(QDialog::Accepted));
        QCOMPARE(open.IndexPath(), index);

        FileBrowserDialog recent(FileBrowserDialog::kOpenMode, "/");
        recent.SetRecent({index});
        recent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&recent));
        recent.RecentBox()->setFocus();
        QTest::keyClick(recent.RecentBox(), Qt::Key_Down);
        QVERIFY(recent.OkButton()->isEnabled());
        QTest::mouseClick(recent.OkButton(), Qt::LeftButton);
        QCOMPARE(recent.result(), int(QDialog::Accepted));
        QCOMPARE(recent.IndexPath(), index);
    }

    void folderModeAcceptsOnlyExistingFolders() {
        test::TempDir dir;
        FileBrowserDialog dlg(FileBrowserDialog::kFolderMode, dir.path());
        QCOMPARE(dlg.windowTitle(), QString("フォルダの選択"));
        QVERIFY(!dlg.NameField()->isVisibleTo(&dlg));
        QVERIFY(dlg.CsvBox()->isVisibleTo(&dlg));
        dlg.PathField()->setText(QString::fromStdString(dir.file("missing")));
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Rejected));  // stays open
        dlg.PathField()->setText("/");
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.Folder(), std::string("/"));
        FileBrowserDialog sub(FileBrowserDialog::kFolderMode, dir.path());
        sub.PathField()->setText(QString::fromStdString(dir.path() + "/"));
        sub.accept();
        QCOMPARE(sub.Folder(), dir.path());
    }

    // --- unit selection

    void unitDialogSelectsAndReleases() {
        UnitSelectDialog dlg(*m_devices, &m_prompt);
        QCOMPARE(dlg.windowTitle(), QString("モニタ機器選択"));
        QCOMPARE(dlg.Rows().size(), size_t{2});
        QVERIFY(!dlg.ApplyButton()->isEnabled());
        int row = dlg.Rows()[0].serial == "A0000001" ? 0 : 1;
        QCOMPARE(dlg.List()->topLevelItem(row)->text(3), QString(" ○"));
        dlg.ChooseRow(row);
        QCOMPARE(dlg.ApplyButton()->text(), QString("決定"));
        dlg.Apply();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.Selected().serial, std::string("A0000001"));
        QVERIFY(std::filesystem::exists(m_home->file("ActiveUnitInfo.txt")));

        // Choosing the selected unit offers to release it, and releases it.
        m_devices->Select(dlg.Selected());
        UnitSelectDialog again(*m_devices, &m_prompt);
        QCOMPARE(again.List()->topLevelItem(row)->text(4), QString(" ◎"));
        again.ChooseRow(row);
        QCOMPARE(again.ApplyButton()->text(), QString("解除"));
        again.Apply();
        QVERIFY(again.Selected().IsNone());
        QCOMPARE(again.result(), int(QDialog::Rejected));  // a release leaves it open
    }

    void unitDialogShowsUnitsThisUserMayNotOpen() {
        sim::SimConfig cfg = Config(kProductQvS1, "DENIED01");
        cfg.accessDenied = true;
        sim::SimInstrument denied(cfg);
        sim::SimServer server(denied, m_simDir->path());
        std::string err;
        QVERIFY2(server.Plug(err), err.c_str());

        UnitSelectDialog dlg(*m_devices, &m_prompt);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.Rows().size(), size_t{3});
        int row = -1;
        for (size_t i = 0; i < dlg.Rows().size(); ++i)
            if (dlg.Rows()[i].serial == "DENIED01") row = static_cast<int>(i);
        QVERIFY(row >= 0);
        QCOMPARE(dlg.List()->topLevelItem(row)->text(3), QString(" ×"));
        QVERIFY(dlg.AccessHint()->isVisible());
        QVERIFY(dlg.AccessHint()->text().contains("udev"));
        QVERIFY(dlg.AccessHint()->text().contains("plugdev"));
        // Chosen with the mouse, it cannot be selected.
        QTreeWidget* view = dlg.List();
        QRect r = view->visualItemRect(view->topLevelItem(row));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(view->currentItem(), view->topLevelItem(row));
        QVERIFY(!dlg.ApplyButton()->isEnabled());
        QTest::keyClick(&dlg, Qt::Key_Return);
        QVERIFY(dlg.Selected().IsNone());
        QVERIFY(dlg.isVisible());

        // With permission (here: the unit gone), the advice goes too.
        server.Unplug();
        dlg.Reload();
        QVERIFY(!dlg.AccessHint()->isVisible());
        QCOMPARE(dlg.Rows().size(), size_t{2});
    }

    void unitDialogHidesDetachedUnitsAndAsksForUnitsInUse() {
        // A unit selected by another copy but detached now, and an attached
        // unit another copy has selected.
        std::ofstream(m_home->file("ActiveUnitInfo.txt"))
            << "0008,14d2,0010,DETACHED,old\n0008,14d2,0011,      42,bench\n";
        UnitSelectDialog dlg(*m_devices, &m_prompt);
        QCOMPARE(dlg.Rows().size(), size_t{2});  // the two attached units
        for (const auto& r : dlg.Rows())
            QVERIFY(r.serial != "DETACHED");
        dlg.AllButton()->setChecked(true);
        QCOMPARE(dlg.Rows().size(), size_t{3});
        dlg.AttachedOnlyButton()->setChecked(true);
        int row = dlg.Rows()[0].serial == "42" ? 0 : 1;
        QCOMPARE(dlg.List()->topLevelItem(row)->text(4), QString(" ○"));
        dlg.ChooseRow(row);
        m_prompt.answers = {false};
        dlg.Apply();
        QCOMPARE(m_prompt.questions.size(), size_t{1});
        QVERIFY(dlg.Selected().IsNone());
        // Renaming keeps the list in the file.
        dlg.ChooseRow(row);
        dlg.Rename("rack 2");
        auto units = ReadUnitFile(m_home->file("ActiveUnitInfo.txt"));
        bool renamed = false;
        for (const auto& u : units)
            renamed |= u.serial == "42" && u.name == "rack 2";
        QVERIFY(renamed);
    }

    // --- unit information, clock, master/slave

    void unitInformationShowsRowsAndTheExtendedView() {
        auto dev = OpenUnit("A0000001");
        QVERIFY(dev);
        UnitInfoDialog dlg(dev, &m_prompt);
        QVERIFY(dlg.ReadRows());
        QCOMPARE(dlg.List()->topLevelItemCount(), 10);
        QCOMPARE(dlg.List()->topLevelItem(0)->text(0), QString("ステータス"));
        QCOMPARE(dlg.List()->topLevelItem(0)->text(1), QString("停止中"));
        // Lower-case d does nothing; capital D extends the view.
        QTest::keyClick(&dlg, 'd');
        QVERIFY(!dlg.Extended());
        QTest::keyClick(&dlg, 'D');
        QVERIFY(dlg.Extended());
        QCOMPARE(dlg.windowTitle(), QString("本体情報 [拡張] "));
        QVERIFY(dlg.List()->topLevelItemCount() > 10);
        QCOMPARE(dlg.List()->topLevelItem(13)->text(1), QString("1.11"));

        // Without a selected unit the dialogs only tell why.
        UnitInfoDialog::Run(*m_devices, &m_prompt, nullptr);
        QCOMPARE(m_prompt.messages.back(), std::string("QVが接続されていません"));
        ClockDialog::Run(*m_devices, &m_prompt, nullptr);
        QCOMPARE(m_prompt.messages.back(), std::string("時刻情報取得できませんでした"));
    }

    void clockDialogSetsTheInstrumentClock() {
        auto dev = OpenUnit("A0000001");
        QVERIFY(dev);
        ClockDialog dlg(dev, &m_prompt);
        QVERIFY(dlg.ReadClock());
        QCOMPARE(dlg.TimePicker()->displayFormat(), QString("HH:mm:ss"));
        dlg.DatePicker()->setDate(QDate(2030, 1, 2));
        dlg.TimePicker()->setTime(QTime(3, 4, 5));
        QCOMPARE(dlg.SetClock(), 0);
        DeviceCommand cmd(dev);
        uint32_t monitoring = 0, clock = 0;
        QCOMPARE(cmd.ReadClocks(monitoring, clock), 0);
        QCOMPARE(ClockText(clock).substr(0, 16), std::string("2030/01/02 03:04"));
        // The computer's clock: the pickers are disabled.
        dlg.PcClockBox()->setChecked(true);
        QVERIFY(!dlg.DatePicker()->isEnabled());
        QCOMPARE(dlg.SetClock(), 0);
        QCOMPARE(cmd.ReadClocks(monitoring, clock), 0);
        QVERIFY(std::llabs(int64_t(clock) - int64_t(std::time(nullptr))) < 5);
    }

    // A date past what the instrument's 32-bit clock holds is refused in a
    // message box that names the range; the clock keeps its time and the
    // dialog stays open for another date.
    void clockDialogRefusesDatesTheClockCannotHold() {
        auto dev = OpenUnit("A0000001");
        QVERIFY(dev);
        DeviceCommand cmd(dev);
        QCOMPARE(cmd.SetClock(*ParseClockText("2030/01/02 03:04:05")), 0);
        QtPrompt prompt;
        ClockDialog dlg(dev, &prompt);
        QVERIFY(dlg.ReadClock());
        dlg.show();
        dlg.DatePicker()->setDate(QDate(2110, 1, 1));
        QCOMPARE(dlg.DatePicker()->date(), QDate(2110, 1, 1));
        QString text;
        test::WhenShown<QMessageBox>([&](QMessageBox* box) {
            text = box->text();
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        });
        for (auto* b : dlg.findChildren<QPushButton*>())
            if (b->text() == "設定") QTest::mouseClick(b, Qt::LeftButton);
        QVERIFY2(text.contains(QString::fromStdString(ClockText(UINT32_MAX))), qPrintable(text));
        QVERIFY(dlg.isVisible());
        uint32_t monitoring = 0, clock = 0;
        QCOMPARE(cmd.ReadClocks(monitoring, clock), 0);
        QCOMPARE(ClockText(clock).substr(0, 10), std::string("2030/01/02"));
    }

    // The state shown follows the instrument: after "モニタ停止", and when
    // the application's run starts or ends while the dialog is open.
    void unitInformationFollowsTheRun() {
        auto dev = OpenUnit("A0000001");
        QVERIFY(dev);
        DeviceCommand cmd(dev);
        QCOMPARE(cmd.StartToComputer(), 0);
        UnitInfoDialog dlg(dev, &m_prompt);
        QVERIFY(dlg.ReadRows());
        dlg.show();
        QVERIFY(dlg.List()->topLevelItem(0)->text(1).startsWith("モニタ中"));
        for (auto* b : dlg.findChildren<QPushButton*>())
            if (b->text() == "モニタ停止") QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(dlg.List()->topLevelItem(0)->text(1), QString("停止中"));
        dlg.close();

        // Through the application: a run of the selected unit starts and
        // stops while the dialog is open.
        test::TestServices env;
        AppServices services{env.store, env.conf, env.log, *m_devices};
        m_devices->Select({kQvVendorId, kProductQvS1, "A0000001", ""});
        MainFrame frame;
        frame.show();
        WindowRegistry& ctrl = *frame.Controller();
        ctrl.SetServices(&services);
        ctrl.SetMonitorFactory([&]() -> std::unique_ptr<ILiveMonitor> {
            // The run the instrument sees: it starts and stops the unit.
            struct Run : test::FakeLiveMonitor {
                DeviceCommand* unit;
                int Start() override { return unit->StartToComputer() != 0 ? -1 : FakeLiveMonitor::Start(); }
                int Stop() override {
                    unit->Stop();
                    return FakeLiveMonitor::Stop();
                }
            };
            auto r = std::make_unique<Run>();
            r->unit = &cmd;
            return r;
        });
        QStringList shown;
        test::WhenShown<UnitInfoDialog>([&](UnitInfoDialog* info) {
            auto close = qScopeGuard([info] { info->reject(); });
            auto state = [info] { return info->List()->topLevelItem(0)->text(1); };
            shown << state();
            ctrl.StartMonitoring();  // the run starts once its window is drawn
            QTRY_COMPARE_WITH_TIMEOUT(state(), QString("モニタ中（トリガ待ち）"), 30000);
            shown << state();
            ctrl.StopMonitoring();
            shown << state();
        });
        ctrl.Execute(kCmdUnitStatus);
        QCOMPARE(shown, QStringList({"停止中", "モニタ中（トリガ待ち）", "停止中"}));
        ctrl.CloseAllWindows();
        ctrl.SetServices(nullptr);
        m_devices->Select({});
    }

    void modeDialogRefusesWhileMonitoring() {
        auto dev = OpenUnit("A0000001");
        QVERIFY(dev);
        MasterSlaveDialog dlg(dev, &m_prompt);
        QVERIFY(dlg.Prepare());
        QCOMPARE(dlg.ModeList()->currentIndex(), 0);  // slave
        DeviceCommand cmd(dev);
        QCOMPARE(cmd.StartToComputer(), 0);
        MasterSlaveDialog busy(dev, &m_prompt);
        QVERIFY(!busy.Prepare());
        QCOMPARE(m_prompt.messages.back(), std::string("モニタ中のため設定を変更できません"));
        QCOMPARE(cmd.Stop(), 0);
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
