// Every dialog and capture window of the application, built in the state a
// user meets it (with a capture, marks, an acting trigger, each kind of
// condition), shown at the size it opens with, and handed to a check.
#pragma once

#include <QLayout>
#include <QTabWidget>
#include <QtTest>
#include <array>
#include <functional>

#include "GuiSupport.h"
#include "app/MainFrame.h"
#include "capture/CaptureReader.h"
#include "dialogs/AboutDialog.h"
#include "dialogs/CapturePropertiesDialog.h"
#include "dialogs/ClockDialog.h"
#include "dialogs/CodePickDialog.h"
#include "dialogs/ConditionDialog.h"
#include "dialogs/DisplayFormatDialog.h"
#include "dialogs/FileBrowserDialog.h"
#include "dialogs/LineSelectDialog.h"
#include "dialogs/MasterSlaveDialog.h"
#include "dialogs/MonitorParamsDialog.h"
#include "dialogs/NickNameDialog.h"
#include "dialogs/PrintDialog.h"
#include "dialogs/PrintProgressDialog.h"
#include "dialogs/SaveProgressDialog.h"
#include "dialogs/SearchDialog.h"
#include "dialogs/StringInputDialog.h"
#include "dialogs/TimeEntryDialog.h"
#include "dialogs/TriggerDialog.h"
#include "dialogs/TriggerJumpDialog.h"
#include "dialogs/TriggerListDialog.h"
#include "dialogs/UnitInfoDialog.h"
#include "dialogs/UnitSelectDialog.h"
#include "export/ExportRegistry.h"
#include "lineview/LineWindow.h"
#include "present/CaptureProperties.h"
#include "settings/FormatEntry.h"
#include "support/AppHome.h"
#include "views/DumpWindow.h"

namespace qv::test {

using DialogCheck = std::function<void(QWidget& window, const QString& name)>;

// Shows `w` as it opens and checks it, each page of a tab widget in turn. A
// window that starts its work when shown is only laid out at its opening
// size instead.
inline void ShowAndCheck(QWidget& w, const QString& name, const DialogCheck& check,
                         bool show = true) {
    if (show) {
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
    } else {
        w.ensurePolished();
        w.resize(w.sizeHint());
        if (w.layout()) w.layout()->activate();
    }
    QApplication::processEvents();
    check(w, name);
    for (QTabWidget* tabs : w.findChildren<QTabWidget*>())
        for (int i = 1; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QApplication::processEvents();
            check(w, name + "/" + tabs->tabText(i));
        }
}

inline void VisitEveryDialog(const DialogCheck& check) {
    AppHome home;
    TestServices env;
    env.store.Load();
    ScriptedPrompt prompt;
    const std::string cap = DecodeCapture(home.file("CAP"), "ASYNC", 300);
    QVERIFY(!cap.empty());
    {
        CaptureReader marking(env.store, env.log);
        QCOMPARE(marking.Open(cap), 0);
        QCOMPARE(marking.GoToFrame(20), 0);
        QCOMPARE(marking.SetMark(1, nullptr), 0);
        QCOMPARE(marking.GoToFrame(200), 0);
        QCOMPARE(marking.SetMark(5, nullptr), 0);
    }
    CaptureReader reader(env.store, env.log);
    QCOMPARE(reader.Open(cap), 0);
    auto visit = [&check](QWidget& w, const QString& name, bool show = true) {
        ShowAndCheck(w, name, check, show);
    };

    {
        MainFrame frame;
        visit(frame, "main");
    }
    {
        AboutDialog d;
        visit(d, "about");
    }
    {
        CapturePropertiesDialog d(ReadCaptureFacts(reader));
        visit(d, "properties");
    }
    {
        ClockDialog d(nullptr, &prompt);
        visit(d, "clock");
    }
    {
        MasterSlaveDialog d(nullptr, &prompt);
        visit(d, "master-slave");
    }
    {
        UnitInfoDialog d(nullptr, &prompt);
        visit(d, "unit-information");
    }
    {
        DeviceAccess devices;
        UnitSelectDialog d(devices, &prompt);
        visit(d, "unit-select");
    }
    {
        NickNameDialog d("rack");
        visit(d, "nickname");
    }
    {
        CodePickDialog d(0x41, kDisplayAscii);
        visit(d, "code-pick");
    }
    {
        StringInputDialog d;
        visit(d, "string");
    }
    {
        TimeEntryDialog d(DayTime{91205, 0});
        visit(d, "time-entry");
    }
    // A trigger that takes part and acts: its list line, its editor's
    // categories, conditions and actions.
    std::array<TriggerSetting, kTriggerCount> acting{};
    acting[0].enabled = 1;
    acting[0].lines[2] = 1;
    acting[0].bufferFull = 1;
    acting[0].action1 = kActionStartStoring;
    acting[0].action2 = 0x31;
    acting[0].option2 = 2;
    {
        TriggerListDialog d(acting, TriggerOption{}, DefaultLineNames());
        visit(d, "trigger-list");
    }
    {
        TriggerDialog d(1, acting[0], TriggerOption{}, DefaultLineNames());
        visit(d, "trigger");
    }
    {
        std::array<TriggerSetting, kTriggerCount> none{};
        TriggerListDialog d(none, TriggerOption{}, DefaultLineNames());
        visit(d, "trigger-list-empty");
    }
    {
        TriggerDialog d(1, TriggerSetting{}, TriggerOption{}, DefaultLineNames());
        visit(d, "trigger-empty");
    }
    for (ConditionKind kind : {ConditionKind::String, ConditionKind::Time, ConditionKind::Level,
                               ConditionKind::Flag, ConditionKind::Count, ConditionKind::OnOff}) {
        ConditionDialog d(kind, {ConditionGroup::Count, 0}, "Counter 1", TriggerSetting{},
                          TriggerOption{});
        visit(d, QString("condition-%1").arg(static_cast<int>(kind)));
    }
    {
        MonitorParamsDialog d(env.store, env.conf, home.file("QvStatus.qvs"));
        visit(d, "parameters");
    }
    SamplingSettings sampling;
    {
        LineSelectDialog d(kLineTypeRs232, sampling, DefaultFormatTable());
        visit(d, "line-select");
    }
    {
        DisplayFormatDialog d(FormatHalfOf(DefaultFormatTable(), kLineTypeRs422), sampling,
                              kLineTypeRs422);
        visit(d, "display-format");
    }
    for (auto m : {FileBrowserDialog::kOpenMode, FileBrowserDialog::kFolderMode}) {
        FileBrowserDialog d(m, home.path());
        visit(d, QString("browser-%1").arg(static_cast<int>(m)));
    }
    {
        FileBrowserDialog d(FileBrowserDialog::kSaveMode, home.path());
        d.SetSaveSource(reader);
        visit(d, "browser-save");
    }
    {
        SearchDialog::Setup setup;
        setup.indexPath = cap;
        reader.ReadFormatRows(setup.rows);
        SearchDialog d(setup, DisplayCodeTable(), nullptr);
        visit(d, "search");
    }
    {
        PrintDialog d(env.store, env.log, reader, kDisplayAscii);
        visit(d, "print");
    }
    {
        PrintProgressDialog d;
        d.SetProgress(10, 2);
        visit(d, "printing");
    }
    {
        ExportRequest request;
        request.source = cap;
        request.destination = home.file("OUT");
        SaveProgressDialog d(*FindExportFormat("csv"), request);
        visit(d, "saving", false);
    }
    {
        TriggerJumpDialog d(cap);
        visit(d, "trigger-jump");
    }
    {
        DumpWindow d(env.conf, env.log);
        visit(d, "dump");
    }
    {
        LineWindow d(env.conf, env.log);
        visit(d, "line");
    }
}

}  // namespace qv::test
