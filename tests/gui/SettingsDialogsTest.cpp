// The settings dialogs driven through their widgets: what they save is the
// same file qvtool's settings commands make from the same change, Cancel
// leaves every file alone, and typed values out of range are refused where
// they are typed. Nested dialogs and message boxes are answered by timers.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimeEdit>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>

#include "GuiSupport.h"
#include "app/MainFrame.h"
#include "app/SettingsCommandHandlers.h"
#include "app/WindowRegistry.h"
#include "capture/CaptureIndexText.h"
#include "capture/CaptureReader.h"
#include "capture/RecordTime.h"
#include "core/CodeTable.h"
#include "core/FileUtil.h"
#include "core/TimeText.h"
#include "device/UnitList.h"
#include "dialogs/CapturePropertiesDialog.h"
#include "dialogs/CodePickDialog.h"
#include "dialogs/ConditionDialog.h"
#include "dialogs/DisplayFormatDialog.h"
#include "dialogs/LineSelectDialog.h"
#include "dialogs/MonitorParamsDialog.h"
#include "dialogs/StringInputDialog.h"
#include "dialogs/TimeEntryDialog.h"
#include "dialogs/TriggerDialog.h"
#include "dialogs/TriggerListDialog.h"
#include "settings/EditorRules.h"
#include "settings/StatusFile.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"

using namespace qv;
using qv::test::WhenShown;

namespace {

// Answers the next message box with `button`, noting its title and text.
QTimer* Answer(QMessageBox::StandardButton button, QString* title = nullptr,
               QString* text = nullptr) {
    return WhenShown<QMessageBox>([=](QMessageBox* box) {
        if (title) *title = box->windowTitle();
        if (text) *text = box->text();
        QTest::mouseClick(box->button(button), Qt::LeftButton);
    });
}

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

void Choose(QComboBox* box, const QString& text) {
    int i = box->findText(text);
    QVERIFY2(i >= 0, qPrintable(text));
    box->setCurrentIndex(i);
}

void TypeInto(QLineEdit* field, const QString& text) {
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

void TypeInto(QSpinBox* box, const QString& text) {
    TypeInto(box->findChild<QLineEdit*>(), text);
}

std::string Bytes(const std::string& path) {
    return ReadWholeFile(path).value_or("<missing>");
}

// The first line in which two files differ, or "" when they are the same.
// With `sameTimes`, the shared trigger times (Time1..Time4, preset with the
// clock when a file brings none) count as equal: two writers a second apart
// may differ there.
QString FirstDifference(const std::string& a, const std::string& b, bool sameTimes = false) {
    QStringList la = QString::fromStdString(Bytes(a)).split('\n');
    QStringList lb = QString::fromStdString(Bytes(b)).split('\n');
    static const QRegularExpression time("^Time[1-4]=");
    for (int i = 0; i < std::max(la.size(), lb.size()); ++i) {
        QString x = i < la.size() ? la[i] : "<end>", y = i < lb.size() ? lb[i] : "<end>";
        if (sameTimes && x.contains(time) && y.contains(time) && x.left(6) == y.left(6)) continue;
        if (x != y) return QString("line %1: %2 | %3").arg(i + 1).arg(x, y);
    }
    return {};
}

// Every file under a folder with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        if (e.is_regular_file()) out[e.path().string()] = Bytes(e.path().string());
    return out;
}

StatusSet Load(const std::string& path) {
    StatusSet set;
    StatusFile file;
    file.SetPath(path);
    LoadStatusSet(file, set, 0);
    return set;
}

}  // namespace

class SettingsDialogsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::AppHome> m_home;
    std::unique_ptr<test::TestServices> m_env;

    std::string Working() const { return m_home->file("QvStatus.qvs"); }
    // A copy of the working file that qvtool edits for comparison.
    std::string Twin() const { return m_home->file("twin.qvs"); }
    void MakeTwin() {
        std::filesystem::copy_file(Working(), Twin(),
                                   std::filesystem::copy_options::overwrite_existing);
    }
    bool Qvtool(QStringList args) {
        args.insert(2, "--file");
        args.insert(3, QString::fromStdString(Twin()));
        return test::RunQvtool(args);
    }

  private slots:
    void init() {
        m_home = std::make_unique<test::AppHome>();
        // As at start-up: the settings store and the working file exist. The
        // trigger times are set, so files saved at different moments agree.
        m_env = std::make_unique<test::TestServices>();
        m_env->store.Load();
        m_env->devices.Select({});
        QVERIFY(test::RunQvtool({"settings", "trigger", "1", "--time", "Time1=2020-01-01 00:00:00",
                                 "--time", "Time2=2020-01-02 00:00:00", "--time",
                                 "Time3=2020-01-03 00:00:00", "--time",
                                 "Time4=2020-01-04 00:00:00"}));
        MakeTwin();
    }

    void cleanup() {
        m_env.reset();
        m_home.reset();
    }

    // --- モニタパラメータ設定

    void parametersSaveTheSameFileAsQvtoolSet() {
        MonitorParamsDialog dlg(m_env->store, m_env->conf, Working());
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QString("モニタパラメータ設定"));
        QCOMPARE(dlg.LineButton()->text(), QString("ライン選択"));
        QCOMPARE(dlg.SdSpeedLabel()->text(), QString("SD"));
        QCOMPARE(dlg.RdSpeedBox()->itemText(0), QString("(SDと同じ)"));
        QLineEdit* sd = dlg.SdSpeedBox()->lineEdit();
        TypeInto(sd, "115,200x");  // letters are swallowed as typed
        QCOMPARE(sd->text(), QString("115,200"));
        dlg.RdSpeedBox()->setCurrentIndex(0);
        Choose(dlg.DataBitsBox(), "7ビット");
        Choose(dlg.ParityBox(), "EVEN");
        test::Keep(&dlg, "21-monitor-parameters");

        // No trigger stores: the question offers to insert one; No saves as is.
        QString title, text;
        Answer(QMessageBox::No, &title, &text);
        Click(dlg.OkButton());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(title, QString("QV-ORT"));
        QCOMPARE(text.toStdString(), std::string(TriggerCheckYesNoText()));

        QVERIFY(Qvtool({"settings", "set", "SD_Baudrate=115200", "RD_Baudrate=SD", "DataLen=7",
                        "Parity=EVEN"}));
        QCOMPARE(FirstDifference(Working(), Twin()), QString());
        StatusSet saved = Load(Working());
        QCOMPARE(saved.status.monitor.RD_Baudrate, 115200.0);
    }

    // The selected unit's own file names that unit in [RegistInfo] once saved,
    // though the file held nothing there before.
    void parametersNameTheSelectedUnitInItsOwnFile() {
        const SelectedUnit unit{0x14D2, 0x11, "SZ000042", "bench"};
        const std::string path = UnitStatusFilePath(unit.vendorId, unit.productId, unit.serial);
        std::filesystem::copy_file(Working(), path,
                                   std::filesystem::copy_options::overwrite_existing);
        MonitorParamsDialog dlg(m_env->store, m_env->conf, path, unit);
        dlg.show();
        Answer(QMessageBox::No);
        Click(dlg.OkButton());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        const std::string text = Bytes(path);
        QVERIFY2(text.find("Product=QV-SZ2\r\n") != std::string::npos, text.c_str());
        QVERIFY2(text.find("SerialNumber=SZ000042\r\n") != std::string::npos, text.c_str());
        QVERIFY2(text.find("Alias=bench\r\n") != std::string::npos, text.c_str());
    }

    // A stored RS-530 line is shown as RS-422/485/530 and saved unchanged,
    // with a rate RS-232 could not carry.
    void anRs530LineKeepsItsCodeAndRates() {
        QVERIFY(Qvtool({"settings", "set", "Line=530", "SD_Baudrate=3000000", "RD_Baudrate=SD"}));
        std::filesystem::copy_file(Twin(), Working(),
                                   std::filesystem::copy_options::overwrite_existing);
        MonitorParamsDialog dlg(m_env->store, m_env->conf, Working());
        dlg.show();
        QCOMPARE(dlg.LineBox()->currentText(), QString("RS-422/485/530"));
        QCOMPARE(dlg.SdSpeedBox()->currentText(), QString("3,000,000"));
        Answer(QMessageBox::No);
        Click(dlg.OkButton());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        StatusSet saved = Load(Working());
        QCOMPARE(int(saved.status.monitor.Line), int(kLineRs530));
        QCOMPARE(saved.status.monitor.SD_Baudrate, 3000000.0);
    }

    void typedValuesOutOfRangeAreRefusedWhereTyped() {
        std::string before = Bytes(Working());
        MonitorParamsDialog dlg(m_env->store, m_env->conf, Working());
        dlg.show();
        // A rate RS-232 cannot carry is refused, not lowered.
        TypeInto(dlg.RdSpeedBox()->lineEdit(), "2,000,000");
        Click(dlg.OkButton());
        QVERIFY(dlg.isVisible());
        QVERIFY(dlg.Reason().contains("1,500,000"));
        QCOMPARE(Bytes(Working()), before);
        // The other line type carries it.
        Choose(dlg.LineBox(), "RS-422/485/530");
        QCOMPARE(dlg.SdSpeedLabel()->text(), QString("TxD"));
        TypeInto(dlg.RdSpeedBox()->lineEdit(), "2,000,000");
        QVERIFY(dlg.Reason().isEmpty());

        // The frame limit is editable for RING on the computer only.
        Choose(dlg.MemoryBox(), "FIX");
        QVERIFY(!dlg.FrameLimitField()->isEnabled());
        Choose(dlg.MemoryBox(), "RING");
        QVERIFY(dlg.FrameLimitField()->isEnabled());
        TypeInto(dlg.FrameLimitField(), "0.5");
        Click(dlg.OkButton());
        QVERIFY(dlg.isVisible());
        QVERIFY(dlg.Reason().contains("最大フレーム数"));
        Choose(dlg.SaveDeviceBox(), "CF");
        QVERIFY(!dlg.FolderField()->isVisibleTo(&dlg));
        QVERIFY(!dlg.FrameLimitField()->isEnabled());
        Choose(dlg.SaveDeviceBox(), "PC");
        TypeInto(dlg.FrameLimitField(), "3");
        QVERIFY(dlg.Reason().isEmpty());

        Answer(QMessageBox::No);
        Click(dlg.OkButton());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(m_env->store.GetFrameMax(), uint64_t{50'000});
        StatusSet saved = Load(Working());
        QCOMPARE(saved.status.monitor.Line, uint8_t{kLineRs422});
        QCOMPARE(saved.status.monitor.RD_Baudrate, 2'000'000.0);
        QCOMPARE(saved.status.monitor.Memory, uint8_t{kMemoryRing});
    }

    void logicKeepsTheCharacterFormat() {
        QVERIFY(test::RunQvtool({"settings", "set", "DataLen=6", "Parity=ODD", "SD_Baudrate=300"}));
        MonitorParamsDialog dlg(m_env->store, m_env->conf, Working());
        dlg.show();
        Choose(dlg.ProtocolBox(), "LOGIC");
        QVERIFY(!dlg.DataBitsBox()->isEnabled());
        QCOMPARE(dlg.DataBitsBox()->count(), 0);
        Answer(QMessageBox::No);
        Click(dlg.OkButton());
        StatusSet saved = Load(Working());
        QCOMPARE(saved.status.monitor.Protocol, uint8_t{kProtocolLogic});
        QCOMPARE(saved.status.monitor.DataLen, uint8_t{6});
        QCOMPARE(saved.status.monitor.Parity, uint8_t{1});
        QCOMPARE(saved.status.monitor.SD_Baudrate, 300.0);
    }

    void cancelLeavesEveryFileUnchanged() {
        auto before = Snapshot(m_home->path());
        MonitorParamsDialog dlg(m_env->store, m_env->conf, Working());
        dlg.show();
        TypeInto(dlg.SdSpeedBox()->lineEdit(), "300");
        Choose(dlg.LineBox(), "RS-422/485/530");
        TypeInto(dlg.FolderField(), "/tmp");
        // Editors opened and confirmed change only the dialog's copy.
        WhenShown<TriggerListDialog>([](TriggerListDialog* t) {
            Answer(QMessageBox::Ok);
            Click(t->ClearButton());
            Click(Button(t, "OK"));
        });
        Click(dlg.TriggerButton());
        WhenShown<LineSelectDialog>([](LineSelectDialog* l) {
            Click(l->LineBox(kRS));
            Click(Button(l, "OK"));
        });
        Click(dlg.LineButton());
        Click(Button(&dlg, "キャンセル"));
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QVERIFY(Snapshot(m_home->path()) == before);
    }

    void importOfACaptureIndexTakesItsSettings() {
        std::string folder = m_home->file("20091205134512");
        std::filesystem::create_directories(folder);
        test::CaptureBuilder b(folder, kProtocolAsync);
        b.settings().Line = kLineRs422;
        b.settings().SD_Baudrate = 19200;
        b.settings().RD_Baudrate = 38400;
        b.settings().DataLen = 7;
        b.settings().Parity = 2;
        b.settings().Memory = kMemoryRing;
        b.StartChunk("091205", 0);
        b.Add(RecordKind::kSdData, 0x41, 1000);
        std::string index = b.Finish();

        MonitorParamsDialog dlg(m_env->store, m_env->conf, Working());
        dlg.show();
        // The file classes take only lower-case extensions.
        std::string upper = m_home->file("COPY.QVR");
        std::filesystem::copy_file(index, upper);
        QVERIFY(!dlg.Import(upper));
        QCOMPARE(dlg.LineBox()->currentText(), QString("RS-232"));
        QVERIFY(dlg.Import(index));
        QCOMPARE(dlg.LineBox()->currentText(), QString("RS-422/485/530"));
        QCOMPARE(dlg.SdSpeedBox()->currentText(), QString("19,200"));
        QCOMPARE(dlg.RdSpeedBox()->currentText(), QString("38,400"));
        QCOMPARE(dlg.DataBitsBox()->currentText(), QString("7ビット"));
        QCOMPARE(dlg.ParityBox()->currentText(), QString("EVEN"));
        QCOMPARE(dlg.SdSpeedLabel()->text(), QString("TxD"));
        Answer(QMessageBox::No);
        Click(dlg.OkButton());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));

        QVERIFY(Qvtool({"settings", "import", QString::fromStdString(index)}));
        QCOMPARE(FirstDifference(Working(), Twin(), true), QString());
    }

    void exportWritesTheDialogsCopy() {
        MonitorParamsDialog dlg(m_env->store, m_env->conf, Working());
        TypeInto(dlg.SdSpeedBox()->lineEdit(), "4,800");
        std::string out = m_home->file("out.qvs");
        QVERIFY(dlg.Export(out));
        QCOMPARE(Load(out).status.monitor.SD_Baudrate, 4800.0);
        QCOMPARE(Load(Working()).status.monitor.SD_Baudrate, 9600.0);  // not saved yet
    }

    // --- the trigger check on OK

    void triggerCheckAsksOkCancelWhenNothingCanBeInserted() {
        for (QString n : {"1", "2", "3", "4", "5"})
            QVERIFY(test::RunQvtool({"settings", "trigger", n, "--enable"}));
        std::string before = Bytes(Working());
        MonitorParamsDialog dlg(m_env->store, m_env->conf, Working());
        dlg.show();
        QString title, text;
        Answer(QMessageBox::Cancel, &title, &text);
        Click(dlg.OkButton());
        QCOMPARE(title, QString("QV_ORT"));
        QCOMPARE(text.toStdString(), std::string(TriggerCheckOkCancelText()));
        QVERIFY(dlg.isVisible());  // Cancel keeps the dialog and its edits
        QCOMPARE(Bytes(Working()), before);
        Answer(QMessageBox::Ok);
        Click(dlg.OkButton());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        StatusSet saved = Load(Working());
        for (const auto& t : saved.triggers)
            QVERIFY(!StartsStoring(t));
    }

    void triggerCheckYesInsertsWhatQvtoolCheckYesInserts() {
        MonitorParamsDialog dlg(m_env->store, m_env->conf, Working());
        dlg.show();
        Answer(QMessageBox::Yes);
        Click(dlg.OkButton());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(Qvtool({"settings", "check", "--yes"}));
        QCOMPARE(FirstDifference(Working(), Twin()), QString());
        StatusSet saved = Load(Working());
        QVERIFY(StartsStoring(saved.triggers[4]));
        QCOMPARE(saved.triggers[4].times[3], 1u);  // the latest time not after now
    }

    void triggerCheckPassesWithoutAQuestion() {
        QVERIFY(
            test::RunQvtool({"settings", "trigger", "2", "--enable", "--on", "SD=HIGH", "--action1",
                             QString::fromStdString(*ActionLabel(kActionStartStoring, kNoOption,
                                                                 UiLanguage::kJapanese))}));
        MonitorParamsDialog dlg(m_env->store, m_env->conf, Working());
        dlg.show();
        bool asked = false;
        QPointer<QTimer> guard = WhenShown<QMessageBox>([&](QMessageBox* box) {
            asked = true;
            box->reject();
        });
        Click(dlg.OkButton());
        delete guard.data();
        QVERIFY(!asked);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }

    // --- the trigger editors

    void triggerMadeInTheEditorsMatchesQvtoolTrigger() {
        MonitorParamsDialog dlg(m_env->store, m_env->conf, Working());
        dlg.show();
        QString summary;
        WhenShown<TriggerListDialog>([&](TriggerListDialog* list) {
            QCOMPARE(list->List()->count(), 5);
            QCOMPARE(list->List()->item(0)->text(), QString("トリガ1"));
            WhenShown<TriggerDialog>([&](TriggerDialog* trg) {
                QCOMPARE(trg->EnableBox()->text(), QString("トリガ 1 設定"));
                Click(trg->EnableBox());
                Choose(trg->CategoryBox(), "文字列指定");
                QCOMPARE(trg->List()->topLevelItem(0)->text(0), QString("SD文字列1"));
                WhenShown<ConditionDialog>([&](ConditionDialog* cond) {
                    test::ClickCheckBox(cond->TakePartBox());
                    WhenShown<StringInputDialog>([](StringInputDialog* s) {
                        QTest::keyClicks(s->Field(), "AB");
                        QTest::keyClick(s->Field(), Qt::Key_Return);
                    });
                    cond->GridMenu()->actions().at(0)->trigger();  // 文字列入力...
                    QCOMPARE(cond->Grid()->item(1, 0)->text(), QString("41"));
                    std::string_view b = CodeTable().CellText('B', kDisplayAscii);
                    QCOMPARE(cond->Grid()->item(2, 1)->text(),
                             QString::fromUtf8(b.data(), int(b.size())).trimmed());
                    QVERIFY(cond->Grid()->item(1, 2)->text().isEmpty());
                    test::Keep(cond, "24-trigger-string");
                    Click(Button(cond, "OK"));
                });
                trg->List()->setCurrentItem(trg->List()->topLevelItem(0));
                Click(trg->DetailButton());
                QCOMPARE(trg->List()->topLevelItem(0)->text(1),
                         QString("41 42 ") + QString(14 * 3, ' '));
                trg->Action1Box()->setCurrentIndex(
                    int(ActionIndex(kActionStartStoring, kNoOption)));
                test::Keep(trg, "23-trigger");
                Click(Button(trg, "OK"));
            });
            QListWidgetItem* first = list->List()->item(0);
            DoubleClick(list->List(), list->List()->visualItemRect(first).center());
            QCOMPARE(first->checkState(), Qt::Checked);
            summary = list->Summary()->toPlainText();
            test::Keep(list, "22-trigger-list");
            Click(Button(list, "OK"));
        });
        Click(dlg.TriggerButton());
        QVERIFY(summary.contains("上記条件をすべて満たしたときに"));
        QVERIFY(summary.contains("SD文字列1") || summary.contains("SD 文字列1"));
        Click(dlg.OkButton());  // trigger 1 stores: no question
        QCOMPARE(dlg.result(), int(QDialog::Accepted));

        QVERIFY(Qvtool({"settings", "trigger", "1", "--enable", "--on", "SDStr1", "--string",
                        "SDStr1=41 42", "--action1",
                        QString::fromStdString(
                            *ActionLabel(kActionStartStoring, kNoOption, UiLanguage::kJapanese))}));
        QCOMPARE(FirstDifference(Working(), Twin()), QString());
    }

    void conditionEditorsSetStatesScopesAndCounts() {
        TriggerSetting t;
        TriggerOption o;
        o.scopes[0].fill(kScopeEnd);
        // A line condition: HIGH.
        ConditionDialog line(ConditionKind::Level, {ConditionGroup::Line, 2}, "RS", t, o);
        line.show();
        test::ClickCheckBox(line.TakePartBox());
        Click(line.SecondStateButton());
        Click(Button(&line, "OK"));
        QCOMPARE(line.Trigger().lines[2], 1u);
        QCOMPARE(line.Trigger().lineStates[2], kLevelHigh);

        // A counter out of range is refused with its reason.
        ConditionDialog count(ConditionKind::Count, {ConditionGroup::Count, 1}, "カウンタ2", t, o);
        count.show();
        TypeInto(count.CountBox(), "1000000001");
        Click(Button(&count, "OK"));
        QVERIFY(count.isVisible());
        QVERIFY(count.Reason().contains("1,000,000,000"));
        TypeInto(count.CountBox(), "1000");
        Click(Button(&count, "OK"));
        QCOMPARE(count.result(), int(QDialog::Accepted));
        QCOMPARE(count.Option().counts[1], 1000);

        // "それ以外" on byte 2 of SD string 1, and a byte from the code list.
        ConditionDialog str(ConditionKind::String, {ConditionGroup::SdString, 0}, "SD文字列1", t,
                            o);
        str.show();
        str.Grid()->setCurrentCell(1, 1);
        for (QAction* a : str.GridMenu()->actions())
            if (a->text() == "それ以外") a->trigger();
        QCOMPARE(str.Grid()->item(0, 1)->text(), QString("×"));
        QCOMPARE(str.Grid()->item(1, 0)->text(), QString("**"));
        WhenShown<CodePickDialog>([](CodePickDialog* pick) {
            QCOMPARE(pick->List()->count(), 256);
            QCOMPARE(pick->List()->item(0x41)->text().left(2), QString("41"));
            pick->List()->scrollToItem(pick->List()->item(0x5A));
            DoubleClick(pick->List(), pick->List()->visualItemRect(pick->List()->item(0x5A)).center());
        });
        QVERIFY(str.PickCode());
        QCOMPARE(str.Grid()->item(1, 1)->text(), QString("5A"));
        QCOMPARE(str.Grid()->item(0, 1)->text(), QString("×"));  // the rule stays
        Click(Button(&str, "OK"));
        QCOMPARE(str.Option().scopes[0][1], uint8_t{kScopeNot});
        QCOMPARE(str.Option().strings[0][1], uint8_t{0x5A});
        QCOMPARE(PatternLength(str.Option().scopes[0]), 2);

        // An empty string asks before it clears; more than 16 bytes is refused.
        StringInputDialog in;
        in.show();
        TypeInto(in.Field(), QString(17, 'x'));
        Click(Button(&in, "OK"));
        QVERIFY(in.isVisible());
        QVERIFY(in.Reason().contains("16"));
        TypeInto(in.Field(), "");
        QString text;
        Answer(QMessageBox::Cancel, nullptr, &text);
        Click(Button(&in, "OK"));
        QCOMPARE(text, QString("文字が入力されていません。\n初期化を行いますか？"));
        QVERIFY(in.isVisible());
    }

    void triggerListCancelOfOneTriggerKeepsItAndClearAsks() {
        std::array<TriggerSetting, kTriggerCount> ts{};
        ts[2].enabled = 1;
        ts[2].sdError = 1;
        TriggerListDialog list(ts, TriggerOption{}, DefaultLineNames());
        list.show();
        list.List()->item(0)->setCheckState(Qt::Checked);
        WhenShown<TriggerDialog>([](TriggerDialog* trg) {
            Click(trg->EnableBox());
            Click(Button(trg, "キャンセル"));
        });
        QVERIFY(!list.EditTrigger(2));
        QCOMPARE(list.Triggers()[2], ts[2]);
        QCOMPARE(list.Triggers()[0].enabled, 1u);  // the check mark still applies
        QString text;
        Answer(QMessageBox::Cancel, nullptr, &text);
        Click(list.ClearButton());
        QCOMPARE(text, QString("すべてのトリガ設定を初期化しますか？"));
        QCOMPARE(list.Triggers()[2], ts[2]);
        Answer(QMessageBox::Ok);
        Click(list.ClearButton());
        for (const auto& t : list.Triggers())
            QCOMPARE(t, TriggerSetting{});
    }

    // --- モニタラインの選択

    void lineSelectionShowsCyclesInUnitsAndReadsThemBack() {
        SamplingSettings s;
        s.cycles = {5, 1'234, 150'000, 200'000'000, 10, 10, 10, 10, 0, 10};
        LineSelectDialog dlg(kLineTypeRs232, s, DefaultFormatTable());
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QString("モニタラインの選択"));
        QCOMPARE(dlg.LineBox(kSD)->text(), QString("L1:  SD"));
        QCOMPARE(dlg.LineBox(kExtOut)->text(), QString("L10: OUT"));
        QCOMPARE(dlg.ValueBox(kSD)->value(), 10);
        QCOMPARE(dlg.UnitBox(kSD)->currentText(), QString("ns"));
        QCOMPARE(dlg.ValueBox(kRD)->value(), 1230);
        QCOMPARE(dlg.UnitBox(kRS)->currentText(), QString("us"));
        QCOMPARE(dlg.ValueBox(kRS)->value(), 150);
        QCOMPARE(dlg.UnitBox(kCS)->currentText(), QString("ms"));
        QVERIFY(!dlg.LineBox(kExtIn)->isChecked());
        QVERIFY(!dlg.ValueBox(kExtIn)->isVisibleTo(&dlg));
        // 200 ms is past what the unit takes: refused until corrected.
        Click(Button(&dlg, "OK"));
        QVERIFY(dlg.isVisible());
        QVERIFY(dlg.Reason().contains("1～10"));
        TypeInto(dlg.ValueBox(kCS), "50");
        Click(Button(&dlg, "OK"));
        QVERIFY(dlg.isVisible());
        TypeInto(dlg.ValueBox(kCS), "5");
        QVERIFY(dlg.Reason().isEmpty());
        Click(dlg.LineBox(kSD));  // unchecked: not recorded
        Click(dlg.LineBox(kExtIn));
        QVERIFY(dlg.ValueBox(kExtIn)->isVisibleTo(&dlg));
        Choose(dlg.UnitBox(kExtIn), "us");
        TypeInto(dlg.ValueBox(kExtIn), "20");
        test::Keep(&dlg, "25-line-selection");
        Click(Button(&dlg, "OK"));
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        SamplingSettings out = dlg.Sampling();
        QCOMPARE(out.SDEnable, 0u);
        QCOMPARE(out.cycles[kSD], 0u);
        QCOMPARE(out.RDEnable, 1u);
        QCOMPARE(out.cycles[kRD], 1230u);
        QCOMPARE(out.cycles[kRS], 150'000u);
        QCOMPARE(out.cycles[kCS], 5'000'000u);
        QCOMPARE(out.cycles[kExtIn], 20'000u);

        // On RS-422/485/530 the lines ER, DR, CD and CI do not exist.
        LineSelectDialog other(kLineTypeRs422, s, DefaultFormatTable());
        QCOMPARE(other.LineBox(kSD)->text(), QString("L1:  TxD"));
        QVERIFY(!other.LineBox(kER)->isEnabled());
        QVERIFY(other.LineBox(kER)->text().isEmpty());
        TypeInto(other.ValueBox(kCS), "5");
        other.accept();
        for (int l : {kER, kDR, kCD, kCI})
            QCOMPARE(other.Sampling().cycles[static_cast<size_t>(l)], 0u);
    }

    void lineSelectionReachesTheStatusFile() {
        MonitorParamsDialog dlg(m_env->store, m_env->conf, Working());
        dlg.show();
        WhenShown<LineSelectDialog>([](LineSelectDialog* l) {
            Click(l->LineBox(kCI));  // CI not recorded
            Choose(l->UnitBox(kRS), "us");
            TypeInto(l->ValueBox(kRS), "100");
            Click(Button(l, "OK"));
        });
        Click(dlg.LineButton());
        Answer(QMessageBox::No);
        Click(dlg.OkButton());
        QVERIFY(Qvtool({"settings", "set", "CISamplingCycle=0", "RSSamplingCycle=100000"}));
        QCOMPARE(FirstDifference(Working(), Twin()), QString());
    }

    // --- 表示設定

    void displaySettingsListOnlySampledLinesAndKeepOrder() {
        SamplingSettings s;  // every line sampled
        FormatTable table = DefaultFormatTable();
        DisplayFormatDialog dlg(FormatHalfOf(table, kLineTypeRs422), s, kLineTypeRs422);
        dlg.show();
        QStringList names;
        for (int i = 0; i < dlg.List()->topLevelItemCount(); ++i)
            names << dlg.List()->topLevelItem(i)->text(1);
        QCOMPARE(names, QStringList({"TxD", "RxD", "RTS", "CTS", "EI", "EO"}));
        QCOMPARE(dlg.List()->topLevelItem(0)->text(0), QString("L1"));
        QCOMPARE(dlg.List()->topLevelItem(4)->text(0), QString("L9"));

        // Typing renames the row; a comma is refused with the reason.
        dlg.SelectRow(1);
        TypeInto(dlg.NameField(), "R,X");
        QCOMPARE(dlg.NameField()->text(), QString("RX"));
        QVERIFY(dlg.Reason().contains("カンマ"));
        QCOMPARE(dlg.List()->topLevelItem(1)->text(1), QString("RX"));
        // Down moves the row and the selection; hiding moves it behind the
        // shown rows on OK.
        Click(dlg.DownButton());
        QCOMPARE(dlg.List()->topLevelItem(2)->text(1), QString("RX"));
        test::Keep(&dlg, "26-display-settings");
        Click(dlg.ShowBox());
        Click(Button(&dlg, "OK"));
        FormatHalf rows = dlg.Rows();
        QCOMPARE(rows[0].name, std::string("TxD"));
        QCOMPARE(rows[1].name, std::string("RTS"));
        QCOMPARE(rows[4].name, std::string("EO"));
        QCOMPARE(rows[5].name, std::string("RX"));
        QCOMPARE(rows[5].shown, 0u);
        for (int i = 6; i < 10; ++i)  // DTR, DSR, DCD and the CI row: not available
            QCOMPARE(rows[static_cast<size_t>(i)].shown, 0u);

        // "デフォルト" puts the half's default rows back.
        DisplayFormatDialog again(rows, s, kLineTypeRs422);
        Click(again.DefaultButton());
        again.accept();
        QCOMPARE(again.Rows()[1].name, std::string("RxD"));
        QCOMPARE(again.Rows()[1].shown, 1u);
    }

    void displaySettingsOfTheStatusFileRoundTrip() {
        // With no capture window the command edits the status file.
        MainFrame frame;
        frame.Controller()->SetServices(&m_env->services);
        WhenShown<DisplayFormatDialog>([](DisplayFormatDialog* d) {
            d->SelectRow(0);
            TypeInto(d->NameField(), "TX");
            TypeInto(d->CommentField(), "host side");
            Click(Button(d, "OK"));
        });
        frame.Controller()->Execute(kCmdDisplayFormat);
        StatusSet saved = Load(Working());
        QCOMPARE(saved.format[0].name, std::string("TX"));
        QCOMPARE(saved.format[0].comment, std::string("host side"));
        QCOMPARE(saved.format[10], DefaultFormatTable()[10]);
        // The parameter dialog labels the SD speed with the new name.
        MonitorParamsDialog dlg(m_env->store, m_env->conf, Working());
        QCOMPARE(dlg.SdSpeedLabel()->text(), QString("TX"));
        QCOMPARE(dlg.RdSpeedBox()->itemText(0), QString("(TXと同じ)"));
    }

    // --- プロパティ, 時刻指定 and the commands on a capture window

    void captureCommandsShowPropertiesEditTheTableAndJump() {
        std::string folder = m_home->file("20091205134512");
        std::filesystem::create_directories(folder);
        test::CaptureBuilder b(folder, kProtocolAsync);
        b.settings().SD_Baudrate = 19200;
        uint64_t base = 13 * kTicksPerHour;
        b.StartChunk("091205", 0, base);
        for (int i = 0; i < 50; ++i)
            b.Add(i % 2 ? RecordKind::kRdData : RecordKind::kSdData, 0x30, base + kTicksPerSecond * i);
        std::string index = b.Finish();

        MainFrame frame;
        frame.resize(900, 600);
        frame.show();
        WindowRegistry& ctrl = *frame.Controller();
        ctrl.SetServices(&m_env->services);
        int slot = ctrl.OpenCapture(index);
        QVERIFY(slot >= 0);

        WhenShown<CapturePropertiesDialog>([](CapturePropertiesDialog* p) {
            QCOMPARE(p->windowTitle(), QString("プロパティ画面"));
            QCOMPARE(p->Tabs()->tabText(0), QString("全般"));
            QCOMPARE(p->Tabs()->tabText(1), QString("詳細"));
            auto* list = p->GeneralList();
            QCOMPARE(list->headerItem()->text(0), QString("プロパティ項目"));
            QCOMPARE(list->topLevelItem(2)->text(0), QString("SD スピード(bps)"));
            QCOMPARE(list->topLevelItem(2)->text(1), QString("19200.0"));
            test::Keep(p, "27-properties");
            Click(Button(p, "OK"));
        });
        ctrl.Execute(kCmdProperty);

        // The table of a stored capture is written into its index.
        WhenShown<DisplayFormatDialog>([](DisplayFormatDialog* d) {
            d->SelectRow(0);
            TypeInto(d->NameField(), "HOS");
            Click(Button(d, "OK"));
        });
        ctrl.Execute(kCmdDisplayFormat);
        CaptureReader reread(m_env->store, m_env->log);
        QCOMPARE(reread.Open(index), 0);
        FormatEntry row;
        QCOMPARE(reread.ReadFormatRow(1, row), 0);
        QCOMPARE(row.name, std::string("HOS"));
        QCOMPARE(ctrl.Slot(slot).rows.at(0).name, std::string("HOS"));

        // "フレームJUMP": the dialog opens on the current record; 13:00:20
        // is record 20.
        DayTime shown;
        WhenShown<TimeEntryDialog>([&](TimeEntryDialog* t) {
            shown = t->Time();
            t->TimePicker()->setTime(QTime(13, 0, 20));
            test::Keep(t, "28-time-entry");
            Click(Button(t, "ジャンプ"));
        });
        ctrl.Execute(kCmdFrameJump);
        QCOMPARE(shown, (DayTime{91205, base}));
        CaptureReader* reader = ctrl.Slot(slot).reader.get();
        CursorPosition pos;
        QCOMPARE(reader->GetCursor(pos), 0);
        std::string text;
        uint64_t at = 0;
        QCOMPARE(reader->GetEndTime(text, at), 0);
        QCOMPARE(text.substr(9, 8), std::string("13:00:20"));
    }

    void timeEntryTurnsItsFieldsIntoTicks() {
        uint64_t t = FieldsToTicks(13, 45, 12, 123, 456, 780);
        TimeEntryDialog dlg(DayTime{91205, t});
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QString("時刻指定"));
        QCOMPARE(dlg.DatePicker()->date(), QDate(2009, 12, 5));
        QCOMPARE(dlg.TimePicker()->time(), QTime(13, 45, 12));
        QCOMPARE(dlg.MilliBox()->value(), 123);
        QCOMPARE(dlg.MicroBox()->value(), 456);
        QCOMPARE(dlg.NanoBox()->value(), 780);
        QCOMPARE(dlg.Time().ticks, t);
        dlg.DatePicker()->setDate(QDate(2024, 2, 29));
        dlg.TimePicker()->setTime(QTime(23, 59, 59));
        TypeInto(dlg.MilliBox(), "999");
        TypeInto(dlg.MicroBox(), "1");
        TypeInto(dlg.NanoBox(), "995");  // between two ticks: refused
        Click(Button(&dlg, "ジャンプ"));
        QVERIFY(dlg.isVisible());
        QVERIFY(dlg.Reason().contains("10"));
        TypeInto(dlg.NanoBox(), "990");
        Click(Button(&dlg, "ジャンプ"));
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.Time().date, 240229);
        QCOMPARE(dlg.Time().ticks, 23 * kTicksPerHour + 59 * kTicksPerMinute +
                                       59 * kTicksPerSecond + 999 * kTicksPerMilli +
                                       1 * kTicksPerMicro + 99);

        auto when = ParseRecordTime("09/12/05 13:45:12 123m456u780n");
        QVERIFY(when);
        QCOMPARE(when->date, 91205);
        QCOMPARE(when->ticks, t);
    }
};

QTEST_MAIN(SettingsDialogsTest)
#include "SettingsDialogsTest.moc"
