// A new user's first run: with the emulated instrument and a fresh
// application folder, the parameter dialog sets 115,200 bit/s, 7 data bits,
// even parity and a trigger that starts storing when SD sends "41 42"; the
// run then stores nothing before that string and everything after it.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <fstream>
#include <functional>
#include <memory>

#include "GuiSupport.h"
#include "app/MainFrame.h"
#include "app/MonitorEventsBridge.h"
#include "app/WindowRegistry.h"
#include "capture/CaptureFrame.h"
#include "capture/CaptureReader.h"
#include "device/LiveRun.h"
#include "device/UnitList.h"
#include "dialogs/ConditionDialog.h"
#include "dialogs/MonitorParamsDialog.h"
#include "dialogs/StringInputDialog.h"
#include "dialogs/TriggerDialog.h"
#include "dialogs/TriggerListDialog.h"
#include "settings/StatusFile.h"
#include "support/AppHome.h"
#include "support/Processes.h"

using namespace qv;
using qv::test::WhenShown;

namespace {

QPushButton* Button(QWidget* dialog, const QString& text) {
    for (auto* b : dialog->findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

void Click(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton);
}

// An item view takes a double-click only on the item its press chose.
void DoubleClick(QAbstractItemView* view, QPoint at) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

}  // namespace

class TriggeredRunTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::AppHome> m_home;
    std::unique_ptr<test::TempDir> m_sims;
    std::unique_ptr<test::SimUnit> m_sim;

  private slots:
    void initTestCase() {
        m_home = std::make_unique<test::AppHome>();
        m_sims = std::make_unique<test::TempDir>();
        // SD sends "0", "41 42 43" and "44"; RD answers in between.
        std::string script = m_sims->file("line.txt");
        std::ofstream(script) << "1000 SD \"0\"\n"
                                 "2000 RD 06\n"
                                 "3000 SD 41 42 43\n"
                                 "4000 RD 15\n"
                                 "5000 SD 44\n";
        qputenv("QVORT_SIM_DIR", QByteArray::fromStdString(m_sims->path()));
        m_sim = std::make_unique<test::SimUnit>(
            QVSIM_PATH, m_home->path(), m_sims->path(),
            std::vector<std::string>{"--serial", "TRIG0001", "--source", "replay:" + script},
            m_home->file("qvsim"));
        QVERIFY2(m_sim->Up(), m_sim->process().Err().c_str());
        QVERIFY(test::RunQvtool({"units", "select", "TRIG0001"}));
    }

    void cleanupTestCase() { m_sim.reset(); }

    void parametersAndTriggerFromTheDialogDriveTheRun() {
        test::TestServices env;
        env.devices.Select(SelectedUnitFromFile());
        env.store.Load();
        test::ScriptedPrompt prompt;
        env.log.SetPrompt(&prompt);
        MainFrame frame;
        frame.resize(1000, 700);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        WindowRegistry& ctrl = *frame.Controller();
        ctrl.SetServices(&env.services);

        // "モニタパラメータ設定" from the menu, on the unit's own status file.
        WhenShown<MonitorParamsDialog>([](MonitorParamsDialog* dlg) {
            QLineEdit* sd = dlg->SdSpeedBox()->lineEdit();
            sd->selectAll();
            QTest::keyClicks(sd, "115,200");
            dlg->RdSpeedBox()->setCurrentIndex(0);
            dlg->DataBitsBox()->setCurrentIndex(dlg->DataBitsBox()->findText("7ビット"));
            dlg->ParityBox()->setCurrentIndex(dlg->ParityBox()->findText("EVEN"));
            WhenShown<TriggerListDialog>([](TriggerListDialog* list) {
                WhenShown<TriggerDialog>([](TriggerDialog* trg) {
                    Click(trg->EnableBox());
                    trg->CategoryBox()->setCurrentIndex(0);  // 文字列指定: SD文字列1 first
                    WhenShown<ConditionDialog>([](ConditionDialog* cond) {
                        test::ClickCheckBox(cond->TakePartBox());
                        WhenShown<StringInputDialog>([](StringInputDialog* s) {
                            QTest::keyClicks(s->Field(), "AB");
                            Click(Button(s, "OK"));
                        });
                        cond->GridMenu()->actions().at(0)->trigger();
                        Click(Button(cond, "OK"));
                    });
                    trg->List()->setCurrentItem(trg->List()->topLevelItem(0));
                    Click(trg->DetailButton());
                    trg->Action1Box()->setCurrentIndex(
                        trg->Action1Box()->findText(QString::fromStdString(
                            *ActionLabel(kActionStartStoring, kNoOption, UiLanguage::kJapanese))));
                    Click(Button(trg, "OK"));
                });
                QListWidgetItem* first = list->List()->item(0);
                DoubleClick(list->List(), list->List()->visualItemRect(first).center());
                Click(Button(list, "OK"));
            });
            Click(dlg->TriggerButton());
            Click(dlg->OkButton());  // trigger 1 stores: no question
        });
        frame.Action(kCmdMonitorParams)->trigger();

        SelectedUnit unit = env.devices.Selected();
        StatusSet saved;
        StatusFile file;
        file.SetPath(UnitStatusFilePath(unit.vendorId, unit.productId, unit.serial));
        LoadStatusSet(file, saved, 0);
        QCOMPARE(saved.status.monitor.SD_Baudrate, 115200.0);
        QCOMPARE(saved.status.monitor.DataLen, uint8_t{7});
        QCOMPARE(saved.status.monitor.Parity, uint8_t{2});
        QVERIFY(StartsStoring(saved.triggers[0]));

        MonitorEventsBridge events(&frame);
        LiveRun* monitor = nullptr;
        ctrl.SetMonitorFactory([&]() -> std::unique_ptr<ILiveMonitor> {
            auto m = std::make_unique<LiveRun>(
                env.store, env.log, env.devices,
                LiveRunRequest{env.conf.GetSaveDirectory(), &prompt, &events});
            monitor = m.get();
            return m;
        });
        frame.Action(kCmdMonitorStart)->trigger();
        const int slot = ctrl.CurrentSlot();
        ctrl.DeferredStart(slot);
        QVERIFY(monitor);
        QVERIFY2(monitor->Running(), prompt.messages.empty() ? "" : prompt.messages.back().c_str());
        // The script ends 5 ms into the run; "44" is its last character.
        QTRY_VERIFY_WITH_TIMEOUT(monitor->GetCounterTotal(3) >= 3, 20000);
        frame.Action(kCmdMonitorStop)->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(ctrl.Slot(slot).reader, 60000);
        CaptureReader* reader = ctrl.Slot(slot).reader.get();
        QVERIFY(reader);

        // Nothing before the string was stored: the SD data starts with the
        // character that completed "41 42", and RD's earlier 06 is missing.
        std::vector<uint8_t> sd, rd;
        QCOMPARE(reader->GoToFrame(0), 0);
        do {
            CaptureFrame f;
            QCOMPARE(reader->GetFrame(f), 0);
            if (f.Kind() == RecordKind::kSdData) sd.push_back(f.Value());
            if (f.Kind() == RecordKind::kRdData) rd.push_back(f.Value());
        } while (reader->NextRecord() == 0);
        QCOMPARE(sd, (std::vector<uint8_t>{0x42, 0x43, 0x44}));
        QCOMPARE(rd, (std::vector<uint8_t>{0x15}));
    }
};

QTEST_MAIN(TriggeredRunTest)
#include "TriggeredRunTest.moc"
