// The Monitor window in file mode over real captures: page filling, scrolling,
// keyboard, selection, layouts and colours.
#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleOptionViewItem>
#include <QtTest>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>

#include "GuiSupport.h"
#include "capture/CaptureReader.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"
#include "views/MonitorWindow.h"

using namespace qv;

namespace {

constexpr uint64_t kBase = 13ull * 360000000000ull;  // 13:00 in ticks

DayTime FirstTime(CaptureReader& f) {
    DayTime when;
    f.GoToFrame(0);
    f.GetEndRecordTime(when);
    return when;
}

std::string Cell(const MonitorWindow& v, int row, int col) {
    return v.Model().CellText(row, col).toStdString();
}

}  // namespace

class MonitorWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::AppHome> m_home;
    std::unique_ptr<test::TestServices> m_env;
    std::string m_asyncIndex, m_bigIndex;

    std::unique_ptr<MonitorWindow> MakeView(CaptureReader& reader, int height = 420) {
        auto v = std::make_unique<MonitorWindow>(m_env->conf, m_env->log);
        v->resize(900, height);
        v->show();
        if (!QTest::qWaitForWindowExposed(v.get())) return nullptr;
        std::vector<FormatEntry> rows;
        reader.ReadFormatRows(rows);
        v->SetWindowId(0x0001, nullptr);
        v->SetFormatRows(&rows, false);
        v->SetCodes(0, kDisplayHex);
        v->SetReader(test::OwnReader(*m_env, reader));
        if (v->ShowAtTime(FirstTime(reader)) != 0) return nullptr;
        return v;
    }

  private slots:
    void initTestCase() {
        m_home = std::make_unique<test::AppHome>();
        // The Monitor colours come from the conf file: SD rows red.
        std::ofstream(m_home->file("QV-ORT.conf")) << "[c]\nmcs=255\n";
        m_env = std::make_unique<test::TestServices>();
        m_asyncIndex = test::DecodeCapture(m_home->file("async"), "ASYNC", 3000);
        QVERIFY(!m_asyncIndex.empty());
        // More than two chunks of 50000 records, so pages cross pair loads.
        m_bigIndex = test::DecodeCapture(m_home->file("big"), "ASYNC", 130000, 11);
        QVERIFY(!m_bigIndex.empty());
    }

    void cleanupTestCase() {
        m_env.reset();
        m_home.reset();
    }

    // On a light and on a dark palette every row's text stands out from the
    // grid (a contrast of at least 3:1); the colour the user chose (SD red
    // here) is kept as chosen, the defaults follow the palette.
    void rowsStayReadableOnLightAndDarkPalettes() {
        auto luminance = [](const QColor& c) {
            auto lin = [](double v) {
                return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
            };
            return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
        };
        auto contrast = [&](const QColor& a, const QColor& b) {
            const double x = luminance(a), y = luminance(b);
            return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
        };
        const QPalette before = QApplication::palette();
        QPalette dark;
        for (auto group : {QPalette::Active, QPalette::Inactive}) {
            dark.setColor(group, QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
            dark.setColor(group, QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
            dark.setColor(group, QPalette::Text, QColor(0xe8, 0xe8, 0xe8));
            dark.setColor(group, QPalette::WindowText, QColor(0xe8, 0xe8, 0xe8));
        }
        QPalette light = before;
        light.setColor(QPalette::Base, Qt::white);
        light.setColor(QPalette::Text, Qt::black);
        for (const QPalette& palette : {light, dark}) {
            QApplication::setPalette(palette);
            CaptureReader f(m_env->store, m_env->log);
            QCOMPARE(f.Open(m_asyncIndex), 0);
            auto v = MakeView(f);
            QVERIFY(v);
            const QColor base = v->Grid()->palette().color(QPalette::Base);
            int red = 0;
            for (int r = 0; r < v->Model().rowCount(); ++r) {
                const QColor fg =
                    v->Model().data(v->Model().index(r, 0), Qt::ForegroundRole).value<QColor>();
                if (!fg.isValid()) continue;
                if (fg == QColor(255, 0, 0)) ++red;
                QVERIFY2(
                    contrast(fg, base) >= 3.0,
                    qPrintable(QString("row %1: %2 on %3").arg(r).arg(fg.name(), base.name())));
            }
            QVERIFY(red > 0);
            if (palette == dark) test::Keep(v.get(), "36-dark-monitor");
        }
        QApplication::setPalette(before);
    }

    void fillsPagesOfACaptureLargerThanAPage() {
        CaptureReader f(m_env->store, m_env->log);
        QCOMPARE(f.Open(m_asyncIndex), 0);
        auto v = MakeView(f);
        QVERIFY(v);
        const int rows = v->PageRows();
        QVERIFY(rows > 5);
        QCOMPARE(v->Model().rowCount(), rows);
        QCOMPARE(v->Caption(),
                 QString::fromStdString(std::filesystem::path(m_asyncIndex).stem().string() +
                                        " - Monitor"));
        // One row per record, numbered from 1; the first record is selected.
        QCOMPARE(Cell(*v, 0, kColTr), std::string("         1"));
        QCOMPARE(Cell(*v, rows - 1, kColTr), QString("%1").arg(rows, 10).toStdString());
        QCOMPARE(v->SelectedRow(), 0);
        QVERIFY(v->ScrollBar()->isEnabled());
        const uint64_t total = f.GetTotalRecords();
        QCOMPARE(v->ScrollBar()->maximum(), static_cast<int>(total - rows));

        v->LineDown();
        QCOMPARE(v->Page().start, uint64_t{1});
        QCOMPARE(Cell(*v, 0, kColTr), std::string("         2"));
        v->PageDown();
        QCOMPARE(v->Page().start, uint64_t(1 + rows));
        v->PageUp();
        v->PageUp();
        QCOMPARE(v->Page().start, uint64_t{0});
        v->LineUp();
        QCOMPARE(v->Page().start, uint64_t{0});

        // The last page is always full; page down on it changes nothing.
        QTest::keyClick(v->Grid(), Qt::Key_End);
        QCOMPARE(v->Page().start, total - rows);
        QCOMPARE(v->Page().selected, total);
        QCOMPARE(Cell(*v, rows - 1, kColTr), QString("%1").arg(total, 10).toStdString());
        v->PageDown();
        v->LineDown();
        QCOMPARE(v->Page().start, total - rows);
        QCOMPARE(v->ScrollBar()->value(), v->ScrollBar()->maximum());

        QTest::keyClick(v->Grid(), Qt::Key_Home);
        QCOMPARE(v->Page().start, uint64_t{0});
        QCOMPARE(v->Page().selected, uint64_t{1});

        // The thumb places the page when it is let go.
        v->ThumbReleased(100);
        QCOMPARE(v->Page().start, uint64_t{100});
        QCOMPARE(Cell(*v, 0, kColTr), std::string("       101"));
    }

    // Shift with a click or the arrows selects a run of records, across
    // pages; a move without Shift leaves one record selected again.
    void shiftSelectsARunOfRecords() {
        CaptureReader f(m_env->store, m_env->log);
        QCOMPARE(f.Open(m_asyncIndex), 0);
        auto v = MakeView(f);
        QVERIFY(v);
        using Run = std::optional<std::pair<uint64_t, uint64_t>>;
        auto at = [&v](int row) {
            return v->Grid()->visualRect(v->Grid()->model()->index(row, 0)).center();
        };
        QTest::mouseClick(v->Grid()->viewport(), Qt::LeftButton, {}, at(3));
        QCOMPARE(v->SelectedRecords(), Run({3, 3}));
        QTest::mouseClick(v->Grid()->viewport(), Qt::LeftButton, Qt::ShiftModifier, at(1));
        QCOMPARE(v->SelectedRecords(), Run({1, 3}));
        const int rows = v->PageRows();
        for (int i = 0; i < rows + 2; ++i)
            QTest::keyClick(v->Grid(), Qt::Key_Down, Qt::ShiftModifier);
        // From the anchor (record 3) to a record on the next page.
        QCOMPARE(v->SelectedRecords(), Run({3, uint64_t(rows + 3)}));
        QVERIFY(v->Page().start > 0);
        QCOMPARE(v->Grid()->selectionModel()->selectedRows().size(),
                 int(rows + 3 - v->Page().start + 1));
        QTest::keyClick(v->Grid(), Qt::Key_PageDown);
        const uint64_t one = v->Page().selected - 1;
        QCOMPARE(v->SelectedRecords(), Run({one, one}));
        QCOMPARE(v->Grid()->selectionModel()->selectedRows().size(), 1);
    }

    void keyboardMovesTheSelectionAndScrollsAtTheEdges() {
        CaptureReader f(m_env->store, m_env->log);
        QCOMPARE(f.Open(m_asyncIndex), 0);
        auto v = MakeView(f);
        QVERIFY(v);
        const int rows = v->PageRows();
        QSignalSpy reports(v.get(), &CaptureView::frameReported);
        for (int i = 0; i < rows - 1; ++i)
            QTest::keyClick(v->Grid(), Qt::Key_Down);
        QCOMPARE(v->Page().start, uint64_t{0});
        QCOMPARE(v->SelectedRow(), rows - 1);
        // At the bottom edge the page follows by one record.
        QTest::keyClick(v->Grid(), Qt::Key_Down);
        QCOMPARE(v->Page().start, uint64_t{1});
        QCOMPARE(v->SelectedRow(), rows - 1);
        QTest::keyClick(v->Grid(), Qt::Key_PageDown);
        QCOMPARE(v->Page().start, uint64_t(1 + rows));
        QCOMPARE(v->Page().selected, uint64_t(2 * rows + 1));
        for (int i = 0; i < rows - 1; ++i)
            QTest::keyClick(v->Grid(), Qt::Key_Up);
        QCOMPARE(v->SelectedRow(), 0);
        QCOMPARE(v->Page().start, uint64_t(rows + 1));
        QTest::keyClick(v->Grid(), Qt::Key_Up);
        QCOMPARE(v->Page().start, uint64_t(rows));
        QVERIFY(reports.count() >= 2 * rows);
        // The report carries the selected record's time: the view's reader
        // sits on it.
        std::string text;
        uint64_t ticks = 0;
        v->Reader()->GetEndTime(text, ticks);
        QCOMPARE(test::ReportedText(reports.last()), text);
    }

    void clickSelectsAndReportsTheRecord() {
        CaptureReader f(m_env->store, m_env->log);
        QCOMPARE(f.Open(m_asyncIndex), 0);
        auto v = MakeView(f);
        QVERIFY(v);
        QSignalSpy reports(v.get(), &CaptureView::frameReported);
        QRect cell = v->Grid()->visualRect(v->Model().index(3, 0));
        QTest::mouseClick(v->Grid()->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(v->SelectedRow(), 3);
        QCOMPARE(v->Page().selected, uint64_t{4});
        QCOMPARE(reports.count(), 1);
        QCOMPARE(reports[0][0].toInt(), 0x0001);
        QCOMPARE(test::ReportedText(reports[0]), Cell(*v, 3, kColDate));
    }

    void smallCaptureLeavesRowsEmptyAndRefusesThem() {
        test::TempDir dir;
        std::filesystem::create_directories(dir.file("CAP1"));
        test::CaptureBuilder b(dir.file("CAP1"), kProtocolAsync);
        b.StartChunk("091205", 0xC0);
        b.Add(RecordKind::kSdData, 0x41, kBase + 100);
        // Parity and framing errors together read "j"; the MP bit reads "mp".
        b.Add(RecordKind::kSdData, 0x42, kBase + 200, kFlagParityError | kFlagFramingError);
        b.Add(RecordKind::kRdData, 0x43, kBase + 300, kFlagMpBit);
        b.Add(RecordKind::kLineChange, 0xA4, kBase + 400);
        b.Add(RecordKind::kEvent, 0x80, kBase + 500);
        std::string index = b.Finish();
        CaptureReader f(m_env->store, m_env->log);
        QCOMPARE(f.Open(index), 0);
        auto v = MakeView(f);
        QVERIFY(v);
        QVERIFY(v->PageRows() > 5);
        QCOMPARE(Cell(*v, 0, kColData), std::string("41"));
        QCOMPARE(Cell(*v, 0, kColCh), std::string("SD"));
        QCOMPARE(Cell(*v, 1, kColErr), std::string("j"));
        QCOMPARE(Cell(*v, 1, kColSd), std::string("         2"));
        QCOMPARE(Cell(*v, 2, kColErr), std::string("mp"));
        QCOMPARE(Cell(*v, 2, kColRd), std::string("         1"));
        QCOMPARE(Cell(*v, 3, kColData), std::string("RS:1 CS:0 ER:1 DR:0 CD:0 CI:1 IN:0 OUT:0"));
        QCOMPARE(Cell(*v, 4, kColData), std::string("SD Break:1 RD Break:0"));
        QVERIFY(Cell(*v, 5, kColDate).empty());
        QVERIFY(!v->ScrollBar()->isEnabled());
        // SD rows take the conf file's colour.
        QCOMPARE(v->Model().data(v->Model().index(0, 0), Qt::ForegroundRole).value<QColor>(),
                 QColor(255, 0, 0));
        v->PageDown();
        QCOMPARE(v->Page().start, uint64_t{0});
        QVERIFY(!v->SelectRow(6));
        QVERIFY(v->SelectRow(4));
        QTest::keyClick(v->Grid(), Qt::Key_Down);
        QCOMPARE(v->SelectedRow(), 4);
        // Shift-JIS has no one-byte cells: two spaces.
        v->SetCodes(0, kDisplayShiftJis);
        QCOMPARE(Cell(*v, 0, kColData), std::string("  "));
        v->SetCodes(0, kDisplayAscii);
        QCOMPARE(Cell(*v, 0, kColData), std::string("Ａ"));
    }

    void logicAndRs422Layouts() {
        test::TempDir dir;
        std::filesystem::create_directories(dir.file("LOG1"));
        test::CaptureBuilder logic(dir.file("LOG1"), kProtocolLogic);
        logic.StartChunk("091205", 0);
        logic.Add(RecordKind::kLineChange, 0x81, kBase + 10, kFlagLogicSdLevel);
        std::string logicIndex = logic.Finish();
        CaptureReader lf(m_env->store, m_env->log);
        QCOMPARE(lf.Open(logicIndex), 0);
        auto lv = MakeView(lf);
        QVERIFY(lv);
        for (int c = kColSd; c <= kColCh; ++c)
            QVERIFY(lv->Grid()->isColumnHidden(c));
        QVERIFY(!lv->Grid()->isColumnHidden(kColData));
        QCOMPARE(Cell(*lv, 0, kColData),
                 std::string("SD:1 RD:0 RS:1 CS:0 ER:0 DR:0 CD:0 CI:0 IN:0 OUT:1"));

        std::filesystem::create_directories(dir.file("R422"));
        test::CaptureBuilder r422(dir.file("R422"), kProtocolAsync);
        r422.settings().Line = kLineRs422;
        r422.StartChunk("091205", 0);
        r422.Add(RecordKind::kLineChange, 0x81, kBase + 10);
        std::string rIndex = r422.Finish();
        CaptureReader rf(m_env->store, m_env->log);
        QCOMPARE(rf.Open(rIndex), 0);
        auto rv = MakeView(rf);
        QVERIFY(rv);
        QVERIFY(!rv->Grid()->isColumnHidden(kColSd));
        QCOMPARE(Cell(*rv, 0, kColData), std::string("RS:1 CS:0 IN:0 OUT:1"));
    }

    void pagesAcrossChunksOfALongCapture() {
        CaptureReader f(m_env->store, m_env->log);
        QCOMPARE(f.Open(m_bigIndex), 0);
        QVERIFY(f.GetChunkCount() >= 3);
        auto v = MakeView(f, 300);
        QVERIFY(v);
        const int rows = v->PageRows();
        const uint64_t total = f.GetTotalRecords();
        // A page that straddles the first chunk boundary reads both chunks.
        v->ThumbReleased(static_cast<int>(SettingsStore::kFileRecords - 2));
        QCOMPARE(Cell(*v, 0, kColTr),
                 QString("%1").arg(SettingsStore::kFileRecords - 1, 10).toStdString());
        QCOMPARE(Cell(*v, rows - 1, kColTr),
                 QString("%1").arg(SettingsStore::kFileRecords - 2 + rows, 10).toStdString());
        QTest::keyClick(v->Grid(), Qt::Key_End);
        QCOMPARE(Cell(*v, rows - 1, kColTr), QString("%1").arg(total, 10).toStdString());
        // Going back from the end reloads the first pair.
        QTest::keyClick(v->Grid(), Qt::Key_Home);
        QCOMPARE(Cell(*v, 0, kColTr), std::string("         1"));
    }

    // Record numbers are never cut short: in a long capture, after the width
    // reset of a Stop, and for ten-digit counts of a running monitor.
    void counterColumnsShowEveryDigit() {
        // What the grid's own delegate asks for the widest cell of a column,
        // and one pixel for the grid line.
        auto fits = [](const MonitorWindow& v) {
            QTableView* grid = v.Grid();
            QStyleOptionViewItem opt;
            opt.initFrom(grid);
            opt.widget = grid;
            for (int c = kColTr; c <= kColRd; ++c) {
                int need = 0;
                for (int r = 0; r < v.Model().rowCount(); ++r)
                    need = std::max(need, grid->itemDelegate()
                                              ->sizeHint(opt, v.Model().index(r, c))
                                              .width() + 1);
                if (grid->columnWidth(c) < need) {
                    qWarning() << "column" << c << "is" << grid->columnWidth(c) << "needs"
                               << need;
                    return false;
                }
            }
            return true;
        };
        CaptureReader f(m_env->store, m_env->log);
        QCOMPARE(f.Open(m_bigIndex), 0);
        QVERIFY(f.GetTotalRecords() >= 100000);
        auto v = MakeView(f, 300);
        QVERIFY(v);
        QTest::keyClick(v->Grid(), Qt::Key_End);
        QVERIFY(QString::fromStdString(Cell(*v, v->PageRows() - 1, kColTr)).trimmed().size() >= 6);
        QVERIFY(fits(*v));

        // A run that ends: the window falls back to file mode and shows the
        // stored capture, whose counts size the columns again.
        test::FakeLiveMonitor live;
        live.AddRecords(300);
        for (auto& r : live.all) {
            r.tr += 9876543000ull;
            r.sd += 4876543000ull;
            r.rd += 4876543000ull;
        }
        v->SetMonitorState(1, &live);
        v->RefreshLive();
        QVERIFY(!Cell(*v, 0, kColTr).empty());
        QVERIFY(fits(*v));
        v->SetMonitorState(3, nullptr);
        v->SetReader(test::OwnReader(*m_env, f));
        QCOMPARE(v->ShowAtTime(FirstTime(f)), 0);
        QTest::keyClick(v->Grid(), Qt::Key_End);
        QVERIFY(fits(*v));
    }

    void resizingChangesThePageSize() {
        CaptureReader f(m_env->store, m_env->log);
        QCOMPARE(f.Open(m_asyncIndex), 0);
        auto v = MakeView(f, 300);
        QVERIFY(v);
        int before = v->PageRows();
        v->resize(900, 600);
        QTRY_VERIFY(v->PageRows() > before);
        QCOMPARE(v->Model().rowCount(), v->PageRows());
        QVERIFY(!Cell(*v, v->PageRows() - 1, kColDate).empty());
        // The data column takes the width there is, no more: the grid needs
        // no horizontal scrolling, narrower or wider.
        for (int width : {800, 1400}) {
            v->resize(width, 600);
            QTRY_COMPARE(v->Grid()->horizontalScrollBar()->maximum(), 0);
            QTRY_VERIFY(v->Grid()->columnViewportPosition(kColData) +
                            v->Grid()->columnWidth(kColData) >=
                        v->Grid()->viewport()->width());
        }
    }
};

QTEST_MAIN(MonitorWindowTest)
#include "MonitorWindowTest.moc"
