// What the parameter dialog's OK writes: exactly what the user changed, in
// the one file each setting lives in, and all of it or nothing. Nested
// editors and message boxes are answered with the mouse from timers.
#include <QComboBox>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <map>
#include <memory>

#include "GuiSupport.h"
#include "core/FileUtil.h"
#include "dialogs/ConditionDialog.h"
#include "dialogs/DisplayFormatDialog.h"
#include "dialogs/MonitorParamsDialog.h"
#include "dialogs/TriggerDialog.h"
#include "dialogs/TriggerListDialog.h"
#include "settings/StatusFile.h"
#include "settings/StatusSet.h"
#include "support/AppHome.h"

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

// Answers the next message box with `button`, keeping its text.
QTimer* Answer(QMessageBox::StandardButton button, QString* text = nullptr) {
    return WhenShown<QMessageBox>([=](QMessageBox* box) {
        if (text) *text = box->text();
        Click(box->button(button));
    });
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

std::string Bytes(const std::string& path) {
    return ReadWholeFile(path).value_or("<missing>");
}

// Every file of the application folder with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.is_regular_file()) out[e.path().string()] = Bytes(e.path().string());
    return out;
}

}  // namespace

class SettingsSaveTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::AppHome> m_home;
    std::unique_ptr<test::TestServices> m_env;

    std::string Working() const { return m_home->file("QvStatus.qvs"); }

    // OK as a user gives it when no trigger stores: the question answered No.
    static void PressOk(MonitorParamsDialog& dlg) {
        Answer(QMessageBox::No);
        Click(dlg.OkButton());
    }

  private slots:
    void init() {
        m_home = std::make_unique<test::AppHome>();
        m_env = std::make_unique<test::TestServices>();
        m_env->store.Load();
        m_env->devices.Select({});
        // Times fixed, so that saves at different moments agree; then one
        // save, so that the file is as the dialog writes it.
        QVERIFY(test::RunQvtool({"settings", "trigger", "1", "--time", "Time1=2020-01-01 00:00:00",
                                 "--time", "Time2=2020-01-02 00:00:00", "--time",
                                 "Time3=2020-01-03 00:00:00", "--time",
                                 "Time4=2020-01-04 00:00:00"}));
        MonitorParamsDialog dlg(m_env->store, m_env->conf, Working());
        dlg.show();
        PressOk(dlg);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }

    void cleanup() {
        m_env.reset();
        m_home.reset();
    }

    // Opening a condition of each kind that does not take part shows its box
    // clear, and OK on every editor leaves the status file as it was.
    void lookingAtConditionsChangesNothing() {
        const std::string before = Bytes(Working());
        MonitorParamsDialog dlg(m_env->store, m_env->conf, Working());
        dlg.show();
        QStringList seen;
        WhenShown<TriggerListDialog>([&](TriggerListDialog* list) {
            WhenShown<TriggerDialog>([&](TriggerDialog* trg) {
                for (QString category : {"文字列指定", "制御線指定", "カウンタ指定", "時刻指定"}) {
                    Choose(trg->CategoryBox(), category);
                    QTreeWidgetItem* first = trg->List()->topLevelItem(0);
                    QCOMPARE(first->text(1), QString("-"));
                    WhenShown<ConditionDialog>([&](ConditionDialog* cond) {
                        seen << category + (cond->TakePartBox()->isChecked() ? " ticked" : "");
                        Click(Button(cond, "OK"));
                    });
                    trg->List()->setCurrentItem(first);
                    Click(trg->DetailButton());
                    QCOMPARE(trg->List()->topLevelItem(0)->text(1), QString("-"));
                }
                Click(Button(trg, "OK"));
            });
            QListWidget* l = list->List();
            QRect r = l->visualItemRect(l->item(0));
            QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, r.center());
            QTest::mouseDClick(l->viewport(), Qt::LeftButton, {}, r.center());
            Click(Button(list, "OK"));
        });
        Click(dlg.TriggerButton());
        QCOMPARE(seen, QStringList({"文字列指定", "制御線指定", "カウンタ指定", "時刻指定"}));
        PressOk(dlg);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(Bytes(Working()) == before);
    }

    // A frame limit the field shows in whole units (30,000 frames as "3") is
    // kept by an OK that did not touch it; an edit is stored.
    void anUntouchedFrameLimitIsKept() {
        QVERIFY(test::RunQvtool({"config", "set", "FrameMax", "30000"}));
        MonitorParamsDialog dlg(m_env->store, m_env->conf, Working());
        dlg.show();
        Choose(dlg.MemoryBox(), "RING");
        QCOMPARE(dlg.FrameLimitField()->text(), QString("3"));
        PressOk(dlg);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        SettingsStore store;
        store.Load();
        QCOMPARE(store.GetFrameMax(), uint64_t{30'000});

        MonitorParamsDialog again(m_env->store, m_env->conf, Working());
        again.show();
        TypeInto(again.FrameLimitField(), "4");
        PressOk(again);
        store.Load();
        QCOMPARE(store.GetFrameMax(), uint64_t{50'000});
    }

    // The save device is kept in the status file only: what the dialog
    // chose is what qvtool reads there, and the settings store holds none.
    void theSaveDeviceLivesInTheStatusFile() {
        MonitorParamsDialog dlg(m_env->store, m_env->conf, Working());
        dlg.show();
        Choose(dlg.SaveDeviceBox(), "CF");
        PressOk(dlg);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        StatusSet set;
        StatusFile file;
        file.SetPath(Working());
        LoadStatusSet(file, set, 0);
        QCOMPARE(set.status.monitor.SaveDevice, kSaveDeviceCf);
        QVERIFY(Bytes(m_env->store.GetPath()).find("SaveDevice") == std::string::npos);
    }

    // A value the status file cannot hold: OK names it and why, writes no
    // file at all (the line type chosen with it included), and stays open;
    // Cancel then leaves everything as it was.
    void aSaveThatCannotBeWrittenChangesNothing() {
        const auto before = Snapshot(m_home->path());
        MonitorParamsDialog dlg(m_env->store, m_env->conf, Working());
        dlg.show();
        Choose(dlg.LineBox(), "RS-422/485/530");
        Choose(dlg.MemoryBox(), "RING");
        TypeInto(dlg.FrameLimitField(), "7");
        WhenShown<DisplayFormatDialog>([](DisplayFormatDialog* d) {
            d->SelectRow(0);
            TypeInto(d->CommentField(), "host ");
            // A key that types "€", as an input method gives it.
            QTest::sendKeyEvent(QTest::Click, d->CommentField(), Qt::Key_unknown, QString("€"),
                                Qt::NoModifier);
            QCOMPARE(d->CommentField()->text(), QString("host €"));
            Click(Button(d, "OK"));
        });
        Click(dlg.DisplayButton());
        QString text;
        WhenShown<QMessageBox>([&](QMessageBox* box) {  // the trigger question
            WhenShown<QMessageBox>([&](QMessageBox* failure) {
                text = failure->text();
                Click(failure->button(QMessageBox::Ok));
            });
            Click(box->button(QMessageBox::No));
        });
        Click(dlg.OkButton());
        QVERIFY(dlg.isVisible());
        QVERIFY2(text.contains("host €") && text.contains("CP932"), qPrintable(text));
        QVERIFY(Snapshot(m_home->path()) == before);
        Click(Button(&dlg, "キャンセル"));
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QVERIFY(Snapshot(m_home->path()) == before);
    }

    // A save folder that does not exist is refused with its reason, as
    // qvtool config set Directory refuses it; nothing is written.
    void aMissingSaveFolderIsRefused() {
        const auto before = Snapshot(m_home->path());
        MonitorParamsDialog dlg(m_env->store, m_env->conf, Working());
        dlg.show();
        const QString missing = QString::fromStdString(m_home->file("no-such-folder"));
        TypeInto(dlg.FolderField(), missing);
        Click(dlg.OkButton());
        QVERIFY(dlg.isVisible());
        QVERIFY2(dlg.Reason().contains(missing), qPrintable(dlg.Reason()));
        QVERIFY(Snapshot(m_home->path()) == before);
        // An existing one is taken.
        std::filesystem::create_directories(missing.toStdString());
        PressOk(dlg);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(QString::fromStdString(m_env->conf.GetSaveDirectory()), missing);
    }
};

QTEST_MAIN(SettingsSaveTest)
#include "SettingsSaveTest.moc"
