// The commands on a capture window's capture, driven through their dialogs'
// widgets and checked against qvtool on the same capture: search, frame and
// trigger jumps, marks, saving a range as a capture and as CSV, and printing
// to PDF. Also: every command of the table reaches a menu, the tool bar or a
// pop-up, and the enabling follows the table of each window kind.
#include <sys/mount.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimeEdit>
#include <QToolBar>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>

#include "GuiSupport.h"
#include "app/CommandTable.h"
#include "app/MainFrame.h"
#include "app/WindowRegistry.h"
#include "capture/CaptureIndexText.h"
#include "capture/CaptureReader.h"
#include "capture/RecordTime.h"
#include "core/IniFile.h"
#include "device/UnitList.h"
#include "dialogs/FileBrowserDialog.h"
#include "dialogs/MonitorParamsDialog.h"
#include "dialogs/PrintDialog.h"
#include "dialogs/PrintProgressDialog.h"
#include "dialogs/SaveProgressDialog.h"
#include "dialogs/SearchDialog.h"
#include "dialogs/TimeEntryDialog.h"
#include "dialogs/TriggerJumpDialog.h"
#include "export/ExportRegistry.h"
#include "settings/StatusFile.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"
#include "views/MonitorWindow.h"

using namespace qv;
using qv::test::WhenShown;
namespace fs = std::filesystem;

namespace {

constexpr uint64_t kBase = 13ull * 360000000000ull;  // 13:00 in 10 ns ticks
constexpr uint64_t kStep = 100000;                    // 1 ms

// An ASYNC capture of `n` records 1 ms apart: SD bytes "0".."9" repeating,
// an RD byte every fifth record, and "AB" on SD at records 100 and 400
// (frames 100/101 and 400/401).
std::string BuildCapture(const std::string& folder, int n) {
    fs::create_directories(folder);
    test::CaptureBuilder b(folder, kProtocolAsync);
    b.StartChunk("091205", 0xC0);
    for (int i = 0; i < n; ++i) {
        uint8_t v = static_cast<uint8_t>(0x30 + i % 10);
        RecordKind kind = i % 5 == 4 ? RecordKind::kRdData : RecordKind::kSdData;
        if (i == 100 || i == 400) v = 'A', kind = RecordKind::kSdData;
        if (i == 101 || i == 401) v = 'B', kind = RecordKind::kSdData;
        b.Add(kind, v, kBase + kStep * (i + 1));
    }
    return b.Finish();
}

// Clicks a radio button on its mark: a button wider than its text takes no
// click in the blank beside it.
void ClickRadio(QRadioButton* b) {
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}

// Runs qvtool; its standard output, or a failed test.
QString Qvtool(const QStringList& args, int* exitCode = nullptr) {
    QProcess p;
    p.start(QVTOOL_PATH, args);
    p.waitForFinished(120000);
    if (exitCode) *exitCode = p.exitCode();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Answers the next message box with its default button; keeps its text.
QTimer* AnswerMessageBox(QString* text) {
    return WhenShown<QMessageBox>([text](QMessageBox* box) {
        if (text) *text = box->text();
        box->accept();
    });
}

std::vector<std::string> FilesIn(const std::string& folder, const std::string& ext) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ext) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Pages of a PDF: its page objects.
int PdfPages(const std::string& path) {
    const std::string pdf = ReadAll(path);
    int n = 0;
    for (size_t at = pdf.find("/Type /Page"); at != std::string::npos;
         at = pdf.find("/Type /Page", at + 1))
        n += pdf.compare(at, 12, "/Type /Pages") != 0;
    return n;
}

void CollectMenuActions(const QList<QAction*>& actions, std::set<QAction*>& out) {
    for (QAction* a : actions) {
        out.insert(a);
        if (a->menu()) CollectMenuActions(a->menu()->actions(), out);
    }
}

}  // namespace

class CaptureCommandsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::AppHome> m_home;
    std::unique_ptr<test::TestServices> m_env;
    std::unique_ptr<MainFrame> m_frame;
    test::ScriptedPrompt m_prompt;
    std::string m_cap;

    WindowRegistry& Ctrl() { return *m_frame->Controller(); }

    // The capture in a fresh folder (marks are written into its index).
    std::string FreshCapture(const std::string& name, int n = 600) {
        return BuildCapture(m_home->file(name), n);
    }

  private slots:
    void initTestCase() {
        m_home = std::make_unique<test::AppHome>();
        m_cap = FreshCapture("CAP");
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
    }

    void cleanup() {
        m_frame.reset();
        m_env.reset();
    }

    void everyCommandReachesAMenuTheToolBarOrAPopup() {
        std::set<QAction*> offered;
        CollectMenuActions(m_frame->menuBar()->actions(), offered);
        for (QToolBar* bar : m_frame->findChildren<QToolBar*>())
            CollectMenuActions(bar->actions(), offered);
        // The window menu is filled when it opens.
        const auto reachable = ReachableCommands();
        for (const auto& c : CommandTexts()) {
            QAction* a = m_frame->Action(c.id);
            QVERIFY2(a, c.text);
            QVERIFY2(std::binary_search(reachable.begin(), reachable.end(), c.id), c.text);
            bool inPopup = false;
            for (auto which : {PopupMenu::kEdit, PopupMenu::kWindows}) {
                std::vector<int> ids;
                std::function<void(const MenuLayout&)> walk = [&](const MenuLayout& m) {
                    for (int e : m.entries)
                        if (e > 0) ids.push_back(e);
                    for (const auto& s : m.subMenus)
                        walk(s);
                };
                walk(PopupLayout(which));
                inPopup |= std::find(ids.begin(), ids.end(), c.id) != ids.end();
            }
            QVERIFY2(offered.count(a) || inPopup, c.text);
            // The text after the tab is the shortcut.
            const QString text = QString::fromUtf8(c.text);
            if (text.contains('\t') && c.id != kCmdHelp)
                QCOMPARE(a->shortcut(), QKeySequence(text.section('\t', 1)));
        }
        // Nothing is offered that the table does not name; the mode setting
        // has no item at all.
        for (int id : reachable)
            QVERIFY(!CommandText(id).empty());
        QVERIFY(!m_frame->Action(kCmdModeSet));
        // The Edit pop-up is the Edit menu with first and last around it,
        // then the selection into Wireshark, by payload.
        const MenuLayout& edit = PopupLayout(PopupMenu::kEdit);
        QCOMPARE(edit.entries.front(), int(kCmdFirst));
        QCOMPARE(edit.entries[edit.entries.size() - 3], int(kCmdLast));
        QCOMPARE(edit.subMenus.back().entries,
                 (std::vector<int>{kCmdWiresharkRaw, kCmdWiresharkModbus, kCmdWiresharkDnp3}));
        QCOMPARE(PopupLayout(PopupMenu::kWindows).entries,
                 (std::vector<int>{kCmdDumpWindow, kCmdLineWindow}));
    }

    // Only a capture's Monitor window has records to select, and only with
    // Wireshark installed.
    void wiresharkItemsNeedAMonitorWindowAndWireshark() {
        for (int kind : {kKindNone, kKindMonitorFile, kKindMonitorLive, kKindDump, kKindLine})
            for (bool installed : {false, true}) {
                CommandContext c;
                c.hasWindow = kind != kKindNone;
                c.kind = kind;
                c.hasFrames = true;
                c.wiresharkInstalled = installed;
                QCOMPARE(EvaluateCommand(kCmdWiresharkModbus, c).enabled,
                         kind == kKindMonitorFile && installed);
            }
    }

    void enablingFollowsTheTableOfEachKind() {
        // The kind table: what each kind leaves disabled (kinds 1, 3, 4) or
        // enables (0 and 2), before the per-command adjustments.
        const std::set<int> adjusted = {kCmdMonitorStart, kCmdMonitorPause,    kCmdSelectUnit,
                                        kCmdDumpWindow,   kCmdLineWindow,      kCmdAppExit,
                                        kCmdHelp,         kCmdAbout,           kCmdModeSet,
                                        kCmdWiresharkRaw, kCmdWiresharkModbus, kCmdWiresharkDnp3};
        std::set<int> lineOff = {kCmdShiftJis, kCmdHex, kCmdMonitorStart, kCmdMonitorStop,
                                 kCmdMonitorPause, kCmdDumpWindow, kCmdLineWindow};
        for (int id : {kCmdDual, kCmdDirSd, kCmdDirRd, kCmdAscii, kCmdJis7, kCmdJis8, kCmdEbcdic})
            lineOff.insert(id);
        for (int n = 1; n <= 5; ++n)
            lineOff.insert(MarkSetCommand(n));
        const std::map<int, std::pair<bool, std::set<int>>> table = {
            {kKindNone,
             {true,
              {kCmdFileOpen, kCmdAppExit, kCmdDisplayFormat, kCmdMonitorStart, kCmdMonitorParams}}},
            {kKindMonitorFile,
             {false,
              {kCmdDual, kCmdDirSd, kCmdDirRd, kCmdShiftJis, kCmdMonitorStop, kCmdMonitorPause,
               kCmdZoomIn, kCmdZoomOut}}},
            {kKindMonitorLive, {true, {kCmdMonitorStop, kCmdMonitorPause}}},
            {kKindDump,
             {false,
              {kCmdHex, kCmdMonitorStart, kCmdMonitorStop, kCmdMonitorPause, kCmdZoomIn,
               kCmdZoomOut}}},
            {kKindLine, {false, lineOff}},
        };
        for (const auto& [kind, rule] : table) {
            CommandContext c;
            c.hasWindow = true;
            c.kind = kind;
            c.marks.fill(true);
            c.hasFrames = true;
            c.unitSelected = true;
            c.monitorState = kind == kKindMonitorLive ? kMonitorRunning : kMonitorIdle;
            for (const auto& info : CommandTexts()) {
                if (adjusted.count(info.id)) continue;
                const bool listed = rule.second.count(info.id) > 0;
                const bool expected = rule.first ? listed : !listed;
                QVERIFY2(EvaluateCommand(info.id, c).enabled == expected,
                         qPrintable(QString("kind %1: %2").arg(kind).arg(info.text)));
            }
        }
        // An unset mark's jump item is disabled; its set item is not.
        CommandContext c;
        c.hasWindow = true;
        c.kind = kKindMonitorFile;
        c.marks = {true, false, true, true, true};
        QVERIFY(!EvaluateCommand(MarkJumpCommand(2), c).enabled);
        QVERIFY(EvaluateCommand(MarkJumpCommand(3), c).enabled);
        QVERIFY(EvaluateCommand(MarkSetCommand(2), c).enabled);
        QCOMPARE(MarkOfCommand(kCmdMarkJump1), 1);
        QCOMPARE(MarkOfCommand(kCmdMarkJump2 + 3), 5);
        QCOMPARE(MarkOfCommand(kCmdMarkSet1 + 2), 3);
        QCOMPARE(MarkOfCommand(kCmdSearch), 0);
    }

    void searchDialogFindsWhatQvtoolFinds() {
        const QString out = Qvtool({"search", QString::fromStdString(m_cap), "--sd", "41 42"});
        QVERIFY2(out.contains("frame"), qPrintable(out));
        const QString firstText = out.section("  ", 0, 0);
        const uint64_t firstFrame = out.section("frame ", 1).trimmed().toULongLong();

        SearchDialog::Setup setup;
        setup.indexPath = m_cap;
        CaptureReader reader(m_env->store, m_env->log);
        QCOMPARE(reader.Open(m_cap), 0);
        reader.ReadFormatRows(setup.rows);
        std::vector<SearchResult> moves;
        SearchDialog dlg(setup, DisplayCodeTable(),
                         [&](const SearchResult& r) { moves.push_back(r); });
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.Tabs()->count(), 4);
        QCOMPARE(dlg.Tabs()->tabText(2), QString("制御線"));
        // No condition: the message, and nothing starts.
        QString message;
        AnswerMessageBox(&message);
        QTest::mouseClick(dlg.DownButton(), Qt::LeftButton);
        QCOMPARE(message, QString("検索条件が設定されていません"));
        QVERIFY(!dlg.Searching());

        // The first cell typed through its input box, the second set directly.
        WhenShown<QInputDialog>([](QInputDialog* in) {
            in->setTextValue("41");
            in->accept();
        });
        // An item view takes a double click on the cell its press chose.
        const QPoint cell = dlg.PatternGrid(true)->visualRect(
                                   dlg.PatternGrid(true)->model()->index(0, 0)).center();
        QTest::mouseClick(dlg.PatternGrid(true)->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(dlg.PatternGrid(true)->viewport(), Qt::LeftButton, {},
                           dlg.PatternGrid(true)->visualRect(
                                                dlg.PatternGrid(true)->model()->index(0, 0))
                               .center());
        QCOMPARE(dlg.PatternGrid(true)->item(0, 0)->text(), QString("41"));
        QCOMPARE(dlg.PatternGrid(true)->item(1, 0)->text(), QString("Ａ"));  // the ASCII column
        dlg.SetPatternByte(true, 1, 0x42);
        dlg.StartList()->setCurrentIndex(SearchDialog::kFromFirst);
        QSignalSpy ended(&dlg, &SearchDialog::searchEnded);
        QTest::mouseClick(dlg.DownButton(), Qt::LeftButton);
        QVERIFY(!dlg.DownButton()->isEnabled());  // disabled while it runs
        QVERIFY(ended.wait(10000));
        QCOMPARE(dlg.LastResult().report, SearchReport::kFound);
        QCOMPARE(QString::fromStdString(dlg.LastResult().timeText), firstText);
        QCOMPARE(dlg.LastResult().frame + 1, firstFrame);
        QCOMPARE(moves.size(), size_t{1});
        QVERIFY(dlg.DownButton()->isEnabled());

        // The next search continues after the match, from the current record.
        QCOMPARE(dlg.StartList()->currentIndex(), int(SearchDialog::kFromCurrent));
        QTest::mouseClick(dlg.DownButton(), Qt::LeftButton);
        QVERIFY(ended.wait(10000));
        QCOMPARE(dlg.LastResult().frame, uint64_t{401});
        // Past the last match: the end of the capture is reported.
        AnswerMessageBox(&message);
        QTest::mouseClick(dlg.DownButton(), Qt::LeftButton);
        QVERIFY(ended.wait(10000));
        QCOMPARE(message, QString("ファイルの最後まで検索しました。"));
        // Upward from the last record finds the later string's first record.
        dlg.StartList()->setCurrentIndex(SearchDialog::kFromLast);
        QTest::mouseClick(dlg.UpButton(), Qt::LeftButton);
        QVERIFY(ended.wait(10000));
        QCOMPARE(dlg.LastResult().frame, uint64_t{400});
    }

    void searchFromTheMenuMovesTheWindow() {
        QVERIFY(Ctrl().OpenCapture(m_cap) >= 0);
        WhenShown<SearchDialog>([](SearchDialog* dlg) {
            dlg->SetPatternByte(true, 0, 'A');
            dlg->SetPatternByte(true, 1, 'B');
            QObject::connect(dlg, &SearchDialog::searchEnded, dlg, [dlg] {
                QTest::mouseClick(dlg->CancelButton(), Qt::LeftButton);  // closes: none runs
            });
            QTest::mouseClick(dlg->DownButton(), Qt::LeftButton);
        });
        m_frame->Action(kCmdSearch)->trigger();
        QCOMPARE(Ctrl().Slot(0).frameNumber, uint64_t{101});
        QVERIFY(QString::fromStdString(test::Text(Ctrl().Slot(0).frameTime)).startsWith("09/12/05 13:00:00 102m"));
        // From the last record ("最後へ"), upwards.
        m_frame->Action(kCmdLast)->trigger();
        WhenShown<SearchDialog>([](SearchDialog* dlg) {
            dlg->SetPatternByte(true, 0, 'A');
            dlg->SetPatternByte(true, 1, 'B');
            QObject::connect(dlg, &SearchDialog::searchEnded, dlg,
                             [dlg] { QTest::mouseClick(dlg->CancelButton(), Qt::LeftButton); });
            QTest::mouseClick(dlg->UpButton(), Qt::LeftButton);
        });
        m_frame->Action(kCmdSearch)->trigger();
        QCOMPARE(Ctrl().Slot(0).frameNumber, uint64_t{400});
    }

    void marksAreSetJumpedToAndNamedInTheMenus() {
        const std::string cap = FreshCapture("MARKS");
        QVERIFY(Ctrl().OpenCapture(cap) >= 0);
        QVERIFY(!m_frame->Action(MarkJumpCommand(3))->isEnabled());
        // Mark 3 on frame 250 (reached by a frame jump), then back to the start.
        WhenShown<TimeEntryDialog>([](TimeEntryDialog* dlg) {
            QCOMPARE(dlg->TimePicker()->time(), QTime(13, 0, 0));
            dlg->MilliBox()->setValue(251);
            QTest::keyClick(dlg, Qt::Key_Return);
        });
        m_frame->Action(kCmdFrameJump)->trigger();
        QCOMPARE(Ctrl().Slot(0).frameNumber, uint64_t{250});
        m_frame->Action(MarkSetCommand(3))->trigger();
        QVERIFY(m_frame->Action(MarkJumpCommand(3))->isEnabled());
        QVERIFY(m_frame->Action(MarkJumpCommand(3))->text().startsWith("マーク3 : 09/12/05 13:00:00 251m"));
        QCOMPARE(Qvtool({"marks", QString::fromStdString(cap)}).section("  ", 1, 1),
                 QString::fromStdString(test::Text(Ctrl().Slot(0).frameTime)));

        // With synchronised windows, a second window on the capture follows
        // a mark jump made in the first.
        m_frame->Action(kCmdFirst)->trigger();
        QVERIFY(Ctrl().OpenCapture(cap) >= 0);
        QCOMPARE(Ctrl().CurrentSlot(), 1);
        QCOMPARE(Ctrl().Slot(1).frameNumber, uint64_t{0});
        m_frame->Action(kCmdSync)->trigger();
        Ctrl().OnActivated(Ctrl().Slot(0).windowId);
        QCOMPARE(Ctrl().CurrentSlot(), 0);
        m_frame->Action(MarkJumpCommand(3))->trigger();
        QCOMPARE(Ctrl().Slot(0).frameNumber, uint64_t{250});
        QCOMPARE(test::Text(Ctrl().Slot(1).frameTime), test::Text(Ctrl().Slot(0).frameTime));
    }

    // A mark qvtool sets while the window is open is in the Jump-to-mark
    // menu when it next shows, and the jump reaches it.
    void aMarkSetElsewhereShowsInTheJumpMenu() {
        const std::string cap = FreshCapture("MARKELSEWHERE");
        QVERIFY(Ctrl().OpenCapture(cap) >= 0);
        QAction* jump = m_frame->Action(MarkJumpCommand(2));
        QVERIFY(!jump->isEnabled());
        int rc = -1;
        Qvtool({"mark", QString::fromStdString(cap), "2", "--frame", "300"}, &rc);
        QCOMPARE(rc, 0);
        QMenu* menu = nullptr;
        std::function<void(const QList<QAction*>&)> find = [&](const QList<QAction*>& actions) {
            for (QAction* a : actions) {
                if (QMenu* sub = a->menu()) {
                    if (sub->actions().contains(jump)) menu = sub;
                    find(sub->actions());
                }
            }
        };
        find(m_frame->menuBar()->actions());
        QVERIFY(menu);
        emit menu->aboutToShow();
        QVERIFY(jump->isEnabled());
        QVERIFY2(jump->text().startsWith("マーク2 : 09/12/05 13:00:00 300m"), qPrintable(jump->text()));
        jump->trigger();
        QCOMPARE(Ctrl().Slot(0).frameNumber, uint64_t{299});
    }

    // Without synchronised windows a click still makes the clicked record
    // the window's own: a mark set next goes on it, and the status bar
    // shows its time, not the record the window was opened or jumped at.
    void aMarkGoesOnTheRecordClickedWithoutSynchronisation() {
        const std::string cap = FreshCapture("CLICKMARK");
        QVERIFY(Ctrl().OpenCapture(cap) >= 0);
        QVERIFY(!m_frame->Action(kCmdSync)->isChecked());
        WhenShown<TimeEntryDialog>([](TimeEntryDialog* dlg) {
            dlg->MilliBox()->setValue(251);
            QTest::keyClick(dlg, Qt::Key_Return);
        });
        m_frame->Action(kCmdFrameJump)->trigger();
        QCOMPARE(Ctrl().Slot(0).frameNumber, uint64_t{250});

        auto* view = dynamic_cast<MonitorWindow*>(Ctrl().Slot(0).view);
        QVERIFY(view);
        const int row = view->SelectedRow() + 3;
        QTest::mouseClick(view->Grid()->viewport(), Qt::LeftButton, {},
                          view->Grid()->visualRect(view->Model().index(row, 0)).center());
        QCOMPARE(Ctrl().Slot(0).frameNumber, uint64_t{253});
        const std::string clicked = test::Text(Ctrl().Slot(0).frameTime);
        QCOMPARE(Ctrl().StatusBarTexts()[2], "\t" + clicked);

        m_frame->Action(MarkSetCommand(1))->trigger();
        QCOMPARE(Qvtool({"marks", QString::fromStdString(cap)}).section("  ", 1, 1),
                 QString::fromStdString(clicked));

        // A Line window opened there shows the same record's time, though
        // its view has loaded the records around it.
        const int line = Ctrl().OpenLineWindow();
        QVERIFY(line > 0);
        QCOMPARE(Ctrl().CurrentSlot(), line);
        QCOMPARE(Ctrl().StatusBarTexts()[2], "\t" + clicked);
    }

    void triggerJumpListsTheRecordsAndJumps() {
        const std::string cap = FreshCapture("TRIG");
        {
            TriggerJumpDialog empty(cap);
            QCOMPARE(empty.List()->count(), 0);
            QVERIFY(!empty.JumpButton()->isEnabled());
        }
        IniFile ini;
        ini.SetPath(cap);
        ini.WriteString("TriggerRecord", "1", "1,091205,13:00:00 300:000:000,2");
        QVERIFY(Ctrl().OpenCapture(cap) >= 0);
        WhenShown<TriggerJumpDialog>([](TriggerJumpDialog* dlg) {
            // It opens with nothing chosen, also once the list has the focus
            // (which makes its first line current).
            QVERIFY(QTest::qWaitForWindowActive(dlg));
            dlg->List()->setFocus();
            QTRY_VERIFY(dlg->List()->hasFocus());
            QVERIFY(dlg->List()->selectedItems().isEmpty());
            QVERIFY(!dlg->JumpButton()->isEnabled());
            QCOMPARE(dlg->windowTitle(), QString("トリガジャンプ"));
            QCOMPARE(dlg->List()->count(), 1);
            QCOMPARE(dlg->List()->item(0)->text(), QString("09/12/05  13:00:00 300m000u000n"));
            dlg->List()->setCurrentRow(0);
            QVERIFY(dlg->JumpButton()->isEnabled());
            QCOMPARE(dlg->windowTitle(), QString("トリガジャンプ - トリガ2"));
            QTest::mouseClick(dlg->JumpButton(), Qt::LeftButton);
        });
        m_frame->Action(kCmdTriggerJump)->trigger();
        QVERIFY(QString::fromStdString(test::Text(Ctrl().Slot(0).frameTime)).startsWith("09/12/05 13:00:00 300m"));
    }

    void saveBetweenTwoMarksInEveryFormatAsQvtoolDoes() {
        const std::string cap = FreshCapture("SAVE");
        {
            CaptureReader r(m_env->store, m_env->log);
            QCOMPARE(r.Open(cap), 0);
            QCOMPARE(r.GoToFrame(120), 0);
            QCOMPARE(r.SetMark(1, nullptr), 0);
            QCOMPARE(r.GoToFrame(480), 0);
            QCOMPARE(r.SetMark(2, nullptr), 0);
        }
        CaptureReader reader(m_env->store, m_env->log);
        QCOMPARE(reader.Open(cap), 0);
        // Every format of the list, pcapng with a payload: what the dialog
        // writes is what qvtool writes for the same range, byte for byte
        // (the pcapng file names its writing program).
        for (std::string format : {"capture", "csv", "pcapng"}) {
            const bool pcapng = format == "pcapng";
            const std::string name = "OUT" + format;
            const std::string mine = m_home->file(name) + (pcapng ? ".pcapng" : "");
            const std::string theirs = m_home->file("TOOL" + name) + (pcapng ? ".pcapng" : "");
            QStringList args{"save",
                             QString::fromStdString(cap),
                             "--from-mark",
                             "1",
                             "--to-mark",
                             "2",
                             pcapng ? "--pcapng" : "--out",
                             QString::fromStdString(theirs)};
            if (format == "csv") args << "--csv";
            if (pcapng)
                args << "--payload"
                     << "modbus-rtu";
            int rc = -1;
            Qvtool(args, &rc);
            QCOMPARE(rc, 0);

            FileBrowserDialog browser(FileBrowserDialog::kSaveMode, m_home->path());
            browser.SetSaveSource(reader);
            browser.show();
            QVERIFY(browser.MarkChoice()->isEnabled());
            QVERIFY(!browser.OkButton()->isEnabled());
            QTest::mouseClick(browser.MarkChoice(), Qt::LeftButton);
            QVERIFY(browser.MarkChoice()->isChecked());
            browser.ToMark()->setCurrentIndex(1);
            QTest::keyClicks(browser.NameField(), QString::fromStdString(name));
            ClickRadio(browser.FormatButton(format));
            QComboBox* payload = browser.ChoiceBox("payload");
            QCOMPARE(payload->isEnabled(), pcapng);
            if (pcapng) payload->setCurrentIndex(payload->findText("Modbus RTU"));
            QTest::mouseClick(browser.OkButton(), Qt::LeftButton);
            QCOMPARE(browser.result(), int(QDialog::Accepted));
            ExportRequest request = browser.SaveRequest();
            QCOMPARE(request.destination, mine);
            request.fileRecords = m_env->store.GetFileRecords();
            SaveProgressDialog progress(browser.ChosenFormat(), request);
            QCOMPARE(progress.windowTitle(), QString("保存中..."));
            progress.exec();
            QCOMPARE(progress.Outcome(), SaveReport::kRangeDone);
            if (pcapng) {
                std::string tool = ReadAll(theirs);
                const std::string by = std::string("qvtool ") + QVORT_VERSION;
                QVERIFY(tool.find(by) != std::string::npos);
                tool.replace(tool.find(by), by.size(), std::string("qv-ort ") + QVORT_VERSION);
                QVERIFY(ReadAll(mine) == tool);
                continue;
            }
            QCOMPARE(progress.Written(), uint64_t{361});
            const char* ext = format == "csv" ? ".csv" : ".qvd";
            QCOMPARE(FilesIn(mine, ext), FilesIn(theirs, ext));
            for (const auto& f : FilesIn(mine, ext))
                QVERIFY2(ReadAll(mine + "/" + f) == ReadAll(theirs + "/" + f), f.c_str());
        }
        // An existing pcapng file is not replaced.
        {
            FileBrowserDialog again(FileBrowserDialog::kSaveMode, m_home->path());
            again.SetSaveSource(reader);
            again.show();
            QTest::keyClicks(again.NameField(), "OUTpcapng");
            ClickRadio(again.FormatButton("pcapng"));
            QString message;
            AnswerMessageBox(&message);
            QTest::mouseClick(again.OkButton(), Qt::LeftButton);
            QVERIFY(message.contains("既にあります"));
            QVERIFY(again.result() != QDialog::Accepted);
        }
        // A folder that already holds files is not saved into.
        FileBrowserDialog again(FileBrowserDialog::kSaveMode, m_home->path());
        again.SetSaveSource(reader);
        again.show();
        QTest::keyClicks(again.NameField(), "OUTcapture");
        QString message;
        AnswerMessageBox(&message);
        QTest::mouseClick(again.OkButton(), Qt::LeftButton);
        QVERIFY(message.contains("空ではありません"));
        QVERIFY(again.result() != QDialog::Accepted);
    }

    void cancellingALongSaveLeavesCompleteFiles() {
        const std::string cap = test::DecodeCapture(m_home->file("LONG"), "ASYNC", 600000);
        QVERIFY(!cap.empty());
        CaptureReader reader(m_env->store, m_env->log);
        QCOMPARE(reader.Open(cap), 0);
        std::string s, e;
        reader.GetCaptureStartText(s);
        reader.GetCaptureEndText(e);
        auto from = ParseRecordTime(s), to = ParseRecordTime(e);
        const std::string out = m_home->file("CANCELLED");
        fs::create_directories(out);
        // Small files, so that several are finished before the cancel.
        ExportRequest request;
        request.source = cap;
        request.range = {*from, *to};
        request.destination = out;
        request.fileRecords = 1000;
        SaveProgressDialog progress(*FindExportFormat("csv"), request);
        QTimer::singleShot(0, &progress, [&] {
            // Cancel once the first files are on disk.
            QTRY_VERIFY_WITH_TIMEOUT(FilesIn(out, ".csv").size() >= 3, 20000);
            QTest::mouseClick(progress.CancelButton(), Qt::LeftButton);
        });
        progress.exec();
        QVERIFY(progress.Cancelled());
        QCOMPARE(progress.Outcome(), SaveReport::kEnded);
        QVERIFY(progress.OutcomeText().contains("中止"));
        QVERIFY(progress.Written() < reader.GetTotalRecords());
        // Every file ends with a whole row.
        uint64_t rows = 0;
        for (const auto& f : FilesIn(out, ".csv")) {
            const std::string text = ReadAll(out + "/" + f);
            QVERIFY(text.size() > 2 && text.compare(text.size() - 2, 2, "\r\n") == 0);
            rows += static_cast<uint64_t>(std::count(text.begin(), text.end(), '\n')) - 1;
        }
        QCOMPARE(rows, progress.Written());
    }

    void cancellingALongSearchStopsItPromptly() {
        const std::string cap = test::DecodeCapture(m_home->file("LONGSEARCH"), "ASYNC", 2000000, 3);
        QVERIFY(!cap.empty());
        SearchDialog::Setup setup;
        setup.indexPath = cap;
        SearchDialog dlg(setup, DisplayCodeTable(), nullptr);
        dlg.show();
        // A string that the generated traffic never carries.
        for (int i = 0; i < 16; ++i)
            dlg.SetPatternByte(true, i, static_cast<uint8_t>(0xF0 + i));
        dlg.StartList()->setCurrentIndex(SearchDialog::kFromFirst);
        QSignalSpy ended(&dlg, &SearchDialog::searchEnded);
        // Any message would mean the search was not cancelled.
        QString message;
        std::unique_ptr<QTimer> answer(AnswerMessageBox(&message));
        QVERIFY(dlg.StartSearch(SearchDirection::kForward));
        QVERIFY(dlg.Searching());
        QTest::mouseClick(dlg.CancelButton(), Qt::LeftButton);
        QVERIFY(!dlg.Searching());
        QCOMPARE(ended.count(), 1);
        QCOMPARE(dlg.LastResult().report, SearchReport::kEnded);
        QVERIFY(dlg.DownButton()->isEnabled());
        // The cancel has joined the worker: every report it made is queued
        // by now, and delivering them must show nothing.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QVERIFY(message.isEmpty());
        QCOMPARE(ended.count(), 1);
        QVERIFY(dlg.StatusLabel()->text().isEmpty());
        QVERIFY(dlg.isVisible());  // a second cancel closes it
        QTest::mouseClick(dlg.CancelButton(), Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
    }

    void printToPdfHasTheListingsPages() {
        QString listing = Qvtool({"print", QString::fromStdString(m_cap)});
        const int pages = static_cast<int>(listing.count('\f')) + 1;
        QVERIFY(pages >= 2);

        CaptureReader reader(m_env->store, m_env->log);
        QCOMPARE(reader.Open(m_cap), 0);
        PrintDialog dlg(m_env->store, m_env->log, reader, kDisplayAscii);
        QVERIFY(dlg.Valid());
        const std::string pdf = m_home->file("whole.pdf");
        dlg.PdfBox()->setEnabled(true);
        dlg.PdfBox()->setChecked(true);
        dlg.PdfField()->setText(QString::fromStdString(pdf));
        dlg.show();
        QSignalSpy finished(&dlg, &QDialog::finished);
        QTest::mouseClick(dlg.PrintButton(), Qt::LeftButton);
        QVERIFY(finished.wait(30000));
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.PagesPrinted(), pages);
        QCOMPARE(PdfPages(pdf), pages);
        QCOMPARE(dlg.Progress()->Text()->text(), QString("印刷中... %1枚").arg(pages));

        // A range between two marks, as qvtool prints it.
        const std::string marked = FreshCapture("PRINTMARKS", 2000);
        {
            CaptureReader r(m_env->store, m_env->log);
            QCOMPARE(r.Open(marked), 0);
            QCOMPARE(r.GoToFrame(120), 0);
            QCOMPARE(r.SetMark(1, nullptr), 0);
            QCOMPARE(r.GoToFrame(1480), 0);
            QCOMPARE(r.SetMark(2, nullptr), 0);
        }
        listing = Qvtool({"print", QString::fromStdString(marked), "--from-mark", "1",
                          "--to-mark", "2"});
        CaptureReader markedReader(m_env->store, m_env->log);
        QCOMPARE(markedReader.Open(marked), 0);
        PrintDialog part(m_env->store, m_env->log, markedReader, kDisplayAscii);
        part.show();
        QVERIFY(QTest::qWaitForWindowExposed(&part));
        part.PdfBox()->setEnabled(true);
        part.PdfBox()->setChecked(true);
        part.PdfField()->setText(QString::fromStdString(m_home->file("part.pdf")));
        QVERIFY(part.MarkChoice()->isEnabled());
        // On the box itself, not the middle of its (wide) cell.
        QTest::mouseClick(part.MarkChoice(), Qt::LeftButton, {},
                          QPoint(4, part.MarkChoice()->height() / 2));
        QVERIFY(part.MarkChoice()->isChecked());
        QCOMPARE(part.ToMark()->currentIndex(), 1);  // the last mark ends the range
        QSignalSpy partDone(&part, &QDialog::finished);
        QTest::mouseClick(part.PrintButton(), Qt::LeftButton);
        QVERIFY(partDone.wait(30000));
        const int partPages = static_cast<int>(listing.count('\f')) + 1;
        QCOMPARE(PdfPages(m_home->file("part.pdf")), partPages);
        QVERIFY(partPages <
                 Qvtool({"print", QString::fromStdString(marked)}).count('\f') + 1);
    }

    void cardRetrievalRunsThroughAMonitoringWindow() {
        m_env->devices.Select({0x14D2, 0x10, "A0000001", ""});
        auto* fake = new test::FakeLiveMonitor;
        fake->indexPath = m_cap;
        Ctrl().SetMonitorFactory([fake] { return std::unique_ptr<ILiveMonitor>(fake); });
        Ctrl().SetRetrievalStarter([fake](ILiveMonitor&) { return fake->StartRetrieval(); });
        m_frame->UpdateCommands();
        QVERIFY(m_frame->Action(kCmdCardRetrieve)->isEnabled());
        m_frame->Action(kCmdCardRetrieve)->trigger();
        const int slot = Ctrl().CurrentSlot();
        QCOMPARE(WindowIdKind(Ctrl().Slot(slot).windowId), int(kKindMonitorLive));
        QCOMPARE(Ctrl().GetMonitorState(), int(kMonitorRunning));
        // The retrieval, not a live run, starts once the window is up.
        QTRY_COMPARE(fake->retrievals, 1);
        QCOMPARE(fake->starts, 0);
        m_frame->Action(kCmdMonitorStop)->trigger();
        QCOMPARE(Ctrl().GetMonitorState(), int(kMonitorIdle));
        QCOMPARE(WindowIdKind(Ctrl().Slot(slot).windowId), int(kKindMonitorFile));
        m_env->devices.Select({});
    }

    // The card chosen in the parameter dialog is what the start reads: the
    // card run's dialog comes, not a monitoring window.
    void monitorStartWithTheCardAsSaveDeviceStartsACardRun() {
        const SelectedUnit unit{0x14D2, 0x10, "A0000001", ""};
        m_env->devices.Select(unit);
        m_frame->UpdateCommands();
        QVERIFY(m_frame->Action(kCmdMonitorParams)->isEnabled());
        WhenShown<MonitorParamsDialog>([](MonitorParamsDialog* dlg) {
            dlg->SaveDeviceBox()->setCurrentIndex(dlg->SaveDeviceBox()->findText("CF"));
            // No trigger stores: the question of OK is answered No.
            WhenShown<QMessageBox>([](QMessageBox* box) {
                QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
            });
            QTest::mouseClick(dlg->OkButton(), Qt::LeftButton);
        });
        m_frame->Action(kCmdMonitorParams)->trigger();
        m_frame->UpdateCommands();
        QVERIFY(m_frame->Action(kCmdMonitorStart)->isEnabled());
        m_frame->Action(kCmdMonitorStart)->trigger();
        // No instrument answers: the card run's dialog reports it, and no
        // monitoring window is opened.
        QCOMPARE(test::OpenWindowCount(Ctrl()), 0);
        QCOMPARE(Ctrl().GetMonitorState(), int(kMonitorIdle));
        QVERIFY(!m_prompt.messages.empty());
        QVERIFY(m_prompt.messages.back().find("QVと接続できません。(2)") != std::string::npos ||
                m_prompt.messages.back().find("USB初期化に失敗しました。(1)") != std::string::npos);
        m_env->devices.Select({});
        std::filesystem::remove(SettingsHome(unit));
    }

    void aPrinterThatCannotStartShowsTheFailureBox() {
        CaptureReader reader(m_env->store, m_env->log);
        QCOMPARE(reader.Open(m_cap), 0);
        PrintDialog dlg(m_env->store, m_env->log, reader, kDisplayAscii);
        dlg.PdfBox()->setEnabled(true);
        dlg.PdfBox()->setChecked(true);
        dlg.PdfField()->setText("/nonexistent-folder/x.pdf");
        dlg.show();
        QString message;
        AnswerMessageBox(&message);
        QSignalSpy finished(&dlg, &QDialog::finished);
        QTest::mouseClick(dlg.PrintButton(), Qt::LeftButton);
        QVERIFY(finished.wait(30000));
        // A PDF file that cannot be made is not an unreachable printer.
        QCOMPARE(message, QString("印刷に失敗しました\n出力ファイルに書き込めません "
                                  "/nonexistent-folder/x.pdf: No such file or directory"));
        QVERIFY(dlg.Failed());
    }

    // A PDF that fills the disk names the file and the system's reason, and
    // leaves no cut file behind.
    void aPdfOntoAFullDiskSaysTheFileCouldNotBeWritten() {
        const std::string mnt = m_home->file("small");
        fs::create_directories(mnt);
        if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=256k") != 0)
            QSKIP("cannot mount a small tmpfs here (full-disk PDF not tested)");
        struct Unmount {
            std::string path;
            ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
        } unmount{mnt};
        {
            // Fill the disk, then give back a little: the PDF starts, then
            // runs out of room.
            std::ofstream ballast(mnt + "/ballast", std::ios::binary);
            const std::string block(4096, '\0');
            while (ballast.write(block.data(), block.size())) {
            }
        }
        QCOMPARE(::truncate((mnt + "/ballast").c_str(),
                            static_cast<off_t>(fs::file_size(mnt + "/ballast")) - 8192), 0);
        CaptureReader reader(m_env->store, m_env->log);
        QCOMPARE(reader.Open(m_cap), 0);
        PrintDialog dlg(m_env->store, m_env->log, reader, kDisplayAscii);
        const std::string pdf = mnt + "/listing.pdf";
        dlg.PdfBox()->setEnabled(true);
        dlg.PdfBox()->setChecked(true);
        dlg.PdfField()->setText(QString::fromStdString(pdf));
        dlg.show();
        QString message;
        AnswerMessageBox(&message);
        QSignalSpy finished(&dlg, &QDialog::finished);
        QTest::mouseClick(dlg.PrintButton(), Qt::LeftButton);
        QVERIFY(finished.wait(30000));
        QCOMPARE(message, QString::fromStdString("印刷に失敗しました\n出力ファイルに書き込めません " + pdf +
                                                 ": No space left on device"));
        QVERIFY(dlg.Failed());
        QVERIFY(!fs::exists(pdf));
    }
};

QTEST_MAIN(CaptureCommandsTest)
#include "CaptureCommandsTest.moc"
