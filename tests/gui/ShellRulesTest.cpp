// The shell's plain rules: command enabling and status pane texts.
#include <QtTest>

#include "app/CommandTable.h"
#include "app/StatusPanes.h"
#include "capture/CaptureRecord.h"
#include "core/CodeTable.h"

using namespace qv;

class ShellRulesTest : public QObject {
    Q_OBJECT

  private slots:

    void commandEnablingByWindowKind() {
        CommandContext none;
        none.unitSelected = true;
        QVERIFY(EvaluateCommand(kCmdFileOpen, none).enabled);
        QVERIFY(EvaluateCommand(kCmdMonitorStart, none).enabled);
        QVERIFY(!EvaluateCommand(kCmdFileClose, none).enabled);
        QVERIFY(!EvaluateCommand(kCmdFirst, none).enabled);
        none.unitSelected = false;
        for (int id : std::initializer_list<int>{kCmdMonitorStart, kCmdCardRetrieve, kCmdUnitStatus,
                                                 kCmdUnitClock})
            QVERIFY(!EvaluateCommand(id, none).enabled);

        CommandContext file;
        file.hasWindow = true;
        file.kind = kKindMonitorFile;
        file.unitSelected = true;
        file.code = kDisplayJis7Shifted;
        file.hasFrames = true;
        QVERIFY(EvaluateCommand(kCmdJis7, file).checked);
        QVERIFY(!EvaluateCommand(kCmdShiftJis, file).enabled);
        QVERIFY(!EvaluateCommand(kCmdDual, file).enabled);
        QVERIFY(!EvaluateCommand(kCmdMonitorStop, file).enabled);
        QVERIFY(EvaluateCommand(kCmdDumpWindow, file).enabled);
        QVERIFY(!EvaluateCommand(kCmdMarkJump2, file).enabled);  // mark 2 not set
        file.marks[1] = true;
        QVERIFY(EvaluateCommand(kCmdMarkJump2, file).enabled);
        file.slotFree = false;  // all eight slots in use
        QVERIFY(!EvaluateCommand(kCmdMonitorStart, file).enabled);
        file.monitorState = kMonitorPaused;
        QVERIFY(EvaluateCommand(kCmdMonitorStart, file).enabled);
        QVERIFY(!EvaluateCommand(kCmdMonitorPause, file).enabled);
        QVERIFY(!EvaluateCommand(kCmdSelectUnit, file).enabled);
        QVERIFY(!EvaluateCommand(kCmdAppExit, file).enabled);

        CommandContext live;
        live.hasWindow = true;
        live.kind = kKindMonitorLive;
        live.unitSelected = true;
        live.monitorState = kMonitorRunning;
        QVERIFY(EvaluateCommand(kCmdMonitorStop, live).enabled);
        QVERIFY(EvaluateCommand(kCmdMonitorPause, live).enabled);
        QVERIFY(!EvaluateCommand(kCmdMonitorStart, live).enabled);
        QVERIFY(!EvaluateCommand(kCmdFileOpen, live).enabled);
        QVERIFY(!EvaluateCommand(kCmdFileClose, live).enabled);

        CommandContext line;
        line.hasWindow = true;
        line.kind = kKindLine;
        for (int id :
             std::initializer_list<int>{kCmdMarkSet1, kCmdMarkSet1 + 4, kCmdDual, kCmdDirRd,
                                        kCmdHex, kCmdAscii, kCmdEbcdic, kCmdShiftJis})
            QVERIFY(!EvaluateCommand(id, line).enabled);
        QVERIFY(EvaluateCommand(kCmdZoomIn, line).enabled);
        QVERIFY(!EvaluateCommand(kCmdModeSet, file).enabled);
    }

    void statusPaneTexts() {
        QCOMPARE(UnitPaneText("", "x"), std::string("\t-"));
        QCOMPARE(UnitPaneText("A0000001", ""), std::string("\t[ A0000001 ]"));
        QCOMPARE(UnitPaneText("A0000001", "bench"), std::string("\t[ bench ]"));
        QCOMPARE(ErrorPaneText(MakeHeader(RecordKind::kSdData, 0x1C)), std::string("\tfop"));
        QCOMPARE(ErrorPaneText(MakeHeader(RecordKind::kRdData, kFlagMpBit | kFlagFramingError)),
                 std::string("\tm  "));
        QCOMPARE(ErrorPaneText(MakeHeader(RecordKind::kLineChange, 0x1C)), std::string("\t   "));

        StatusTexts t = EmptyStatusTexts();
        MonitorSettings m;
        m.SD_Baudrate = 115200;
        m.RD_Baudrate = 9600;
        m.DataLen = 7;
        m.Parity = 2;
        m.Line = kLineRs530;
        FillSettingsPanes(t, m, 1e6);
        QCOMPARE(t[4], std::string("\t115,200bps"));
        QCOMPARE(t[5], std::string("\t9,600bps"));
        QCOMPARE(t[6], std::string("\t7,EVEN"));
        QCOMPARE(t[7], std::string("\t530"));
        // No rate set: the clock frequency over the clock rate divisor.
        m.SD_Baudrate = m.RD_Baudrate = 0;
        m.SD_ClockRate = 1;
        m.RD_ClockRate = 3;
        FillSettingsPanes(t, m, 1e6);
        QCOMPARE(t[4], std::string("\t62,500bps"));
        QCOMPARE(t[5], std::string("\t15,625bps"));
        m.Protocol = kProtocolLogic;
        FillSettingsPanes(t, m, 1e6);
        QCOMPARE(t[4], std::string("\t-"));
        QCOMPARE(t[6], std::string("\t-"));
        QCOMPARE(MonitorCountPaneText("SD", 12, "RD", 34),
                 std::string("\tSD=0000000012 RD=0000000034"));
    }
};

QTEST_MAIN(ShellRulesTest)
#include "ShellRulesTest.moc"
