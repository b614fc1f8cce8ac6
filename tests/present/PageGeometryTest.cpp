// The plain geometry of the Monitor and Dump windows, without a window: page
// arithmetic (including captures beyond 2^31 records) and the byte table's
// layout in twips.
#include <gtest/gtest.h>

#include <ostream>

#include "present/DumpLayout.h"
#include "present/DumpLines.h"
#include "present/MonitorPage.h"

namespace qv {

// gtest prints a page state it compares.
inline void PrintTo(const MonitorPageState& s, std::ostream* os) {
    *os << "{" << s.start << ", " << s.selected << "}";
}

namespace {

TEST(MonitorPage, PageMovementsClampAtTheEnds) {
    MonitorPageLayout l;
    l.Set(100, 30);
    EXPECT_EQ(l.LastPageStart(), uint64_t{70});
    EXPECT_EQ(l.LineDown(69), uint64_t{70});
    EXPECT_EQ(l.LineDown(70), uint64_t{70});
    EXPECT_EQ(l.LineUp(0), uint64_t{0});
    EXPECT_EQ(l.PageDown(50), uint64_t{70});
    EXPECT_EQ(l.PageUp(20), uint64_t{0});
    EXPECT_EQ(l.ScrollMaximum(), 70);
    EXPECT_TRUE(l.ScrollEnabled());
    // Fewer records than rows: one page, no scrolling.
    l.Set(5, 30);
    EXPECT_EQ(l.LastPageStart(), uint64_t{0});
    EXPECT_EQ(l.PageDown(0), uint64_t{0});
    EXPECT_FALSE(l.ScrollEnabled());
    EXPECT_EQ(l.KeyEnd(), (MonitorPageState{0, 5}));
    l.Set(0, 30);
    EXPECT_EQ(l.KeyHome(), MonitorPageState{});
    EXPECT_EQ(MonitorPageLayout::RowsFor(5, 16), 1);
    EXPECT_EQ(MonitorPageLayout::RowsFor(480, 16), 30);
}

TEST(MonitorPage, KeysCarryTheSelection) {
    MonitorPageLayout l;
    l.Set(100, 10);
    MonitorPageState s{0, 10};  // last row of the first page
    s = l.KeyDown(s);
    EXPECT_EQ(s, (MonitorPageState{1, 11}));
    s = l.KeyPageDown({90, 95});
    EXPECT_EQ(s, (MonitorPageState{90, 100}));
    s = l.KeyDown(s);
    EXPECT_EQ(s, (MonitorPageState{90, 100}));
    s = l.KeyUp({5, 6});
    EXPECT_EQ(s, (MonitorPageState{4, 5}));
    s = l.KeyPageUp({5, 8});
    EXPECT_EQ(s, (MonitorPageState{0, 1}));
    // Without a selection the first key selects the page's first row.
    EXPECT_EQ(l.KeyDown({40, 0}), (MonitorPageState{40, 41}));
}

TEST(MonitorPage, ThumbStandsForChunksBeyondTwoToThe31) {
    MonitorPageLayout l;
    const uint64_t total = (uint64_t{1} << 31) + 12345;
    const uint32_t chunks = static_cast<uint32_t>((total + 49999) / 50000);
    l.Set(total, 40, chunks, 50000);
    EXPECT_TRUE(l.ChunkScale());
    EXPECT_EQ(l.ScrollMaximum(), static_cast<int>(chunks));
    EXPECT_EQ(l.StartForThumb(3), uint64_t{150000});
    EXPECT_EQ(l.ThumbFor(150000), 3);
    EXPECT_EQ(l.ThumbFor(150001), 3);
    // The end of the range is the last full page, not chunks x 50000.
    EXPECT_EQ(l.StartForThumb(l.ScrollMaximum()), total - 40);
    EXPECT_EQ(l.ThumbFor(total - 40), l.ScrollMaximum());
    EXPECT_TRUE(l.StartForThumb(l.ScrollMaximum() - 1) < total - 40);
    // Just below the limit one position is one record.
    l.Set((uint64_t{1} << 31) - 1, 40, 42950, 50000);
    EXPECT_FALSE(l.ChunkScale());
    EXPECT_EQ(l.ScrollMaximum(), static_cast<int>((uint64_t{1} << 31) - 41));
    EXPECT_EQ(l.StartForThumb(1234567), uint64_t{1234567});
}

TEST(DumpLayout, LayoutFollowsTheWindowSizeInTwips) {
    auto dual = DumpLayout::For(18000, 7200, kDumpDual);
    ASSERT_TRUE(dual.has_value());
    EXPECT_EQ(dual->Columns(), 29);  // 43 columns of 400 twips fit; 7/11 of them
    EXPECT_EQ(dual->BytesPerLine(), 27);
    EXPECT_EQ(dual->CharColumn(), 28);
    EXPECT_EQ(dual->Lines(), 11);  // (7200 - 240) / (480 + 120)
    EXPECT_EQ(dual->GridRows(), 45);
    EXPECT_EQ(dual->PageLines(), 11);
    EXPECT_EQ(dual->ColumnTwips(0), 500);
    EXPECT_EQ(dual->ColumnTwips(1), 400);
    EXPECT_EQ(dual->ColumnTwips(27), 400);
    EXPECT_EQ(dual->ColumnTwips(28), 18000 - (27 * 400 + 740));
    const int dualRows[] = {240, 240, 240, 120, 0, 240, 240, 120, 0};
    for (int r = 0; r < 9; ++r)
        EXPECT_EQ(dual->RowTwips(r), dualRows[r]);
    EXPECT_EQ(dual->Shade(1), DumpRowShade::kOdd);
    EXPECT_EQ(dual->Shade(2), DumpRowShade::kEven);
    EXPECT_EQ(dual->Shade(3), DumpRowShade::kBoundary);

    // SD and RD have no separator: more lines, each showing two of bytes.
    auto sd = DumpLayout::For(18000, 7200, kDumpSd);
    ASSERT_TRUE(sd.has_value());
    EXPECT_EQ(sd->Lines(), 14);
    EXPECT_EQ(sd->PageLines(), 28);
    EXPECT_EQ(sd->RowTwips(3), 0);
    // A taller font makes taller rows and fewer lines.
    EXPECT_EQ(DumpLayout::For(18000, 7200, kDumpSd, {300})->Lines(), 11);

    // Too narrow for one byte column, or too low for one line: nothing.
    EXPECT_FALSE(DumpLayout::For(1139, 7200, kDumpDual));
    EXPECT_FALSE(DumpLayout::For(1539, 7200, kDumpDual));
    EXPECT_EQ(DumpLayout::For(1540, 7200, kDumpDual)->BytesPerLine(), 1);
    EXPECT_FALSE(DumpLayout::For(18000, 839, kDumpDual));
    EXPECT_EQ(DumpLayout::For(18000, 840, kDumpDual)->Lines(), 1);
    EXPECT_FALSE(DumpLayout::For(0, 0, kDumpDual));
    EXPECT_EQ(DumpLayout::Smallest().BytesPerLine(), 1);
    EXPECT_EQ(DumpLayout::Smallest().Lines(), 1);
    EXPECT_FALSE(DumpLayout::For(-5000, 7200, kDumpDual));
}

TEST(DumpLayout, CellsMapToPageBytesBothWays) {
    auto dual = *DumpLayout::For(18000, 7200, kDumpDual);
    auto sd = *DumpLayout::For(18000, 7200, kDumpSd);
    // Text rows 0, 1, 2, 3 lie on grid rows 1, 2, 5, 6.
    EXPECT_EQ(DumpLayout::GridRowOfTextRow(2), 5);
    EXPECT_EQ(DumpLayout::TextRowOfGridRow(6), 3);
    EXPECT_EQ(DumpLayout::TextRowOfGridRow(3), -1);
    EXPECT_EQ(DumpLayout::TextRowOfGridRow(0), -1);
    // DUAL: both rows of line 1 hold bytes 27..53.
    EXPECT_EQ(dual.PageIndexOfCell(5, 1), 27);
    EXPECT_EQ(dual.PageIndexOfCell(6, 1), 27);
    EXPECT_EQ(dual.CellOfPageIndex(28, false).gridRow, 6);
    EXPECT_EQ(dual.CellOfPageIndex(28, false).column, 2);
    // SD: every row its own 27 bytes.
    EXPECT_EQ(sd.PageIndexOfCell(2, 1), 27);
    EXPECT_EQ(sd.PageIndexOfCell(5, 3), 56);
    EXPECT_EQ(sd.CellOfPageIndex(56, true).gridRow, 5);
    // Neither the title nor the character column holds a byte.
    EXPECT_EQ(dual.PageIndexOfCell(1, 0), -1);
    EXPECT_EQ(dual.PageIndexOfCell(1, 28), -1);
    EXPECT_EQ(dual.PageIndexOfCell(3, 1), -1);
    EXPECT_EQ(dual.CellOfPageIndex(11 * 27, true).gridRow, -1);  // past the page
}

}  // namespace
}  // namespace qv
