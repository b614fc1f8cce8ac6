// The Line window's chart without a screen: its time scale, chart times,
// trace layout, loading around a frame, zoom and scroll limits, cursor texts
// and the decimation that keeps drawing proportional to the window's width.
#include "present/LineChartModel.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "present/ChartPlot.h"
#include "present/ChartScale.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"

namespace qv {
namespace {

using test::AppHome;
using test::CaptureBuilder;

constexpr double kDay = 8'640'000'000'000.0;  // ticks
constexpr uint64_t kCharTicks = 950;          // 8N1 at 1 Mbit/s: 9.5 bits

std::vector<FormatEntry> Rows(std::initializer_list<std::pair<uint8_t, bool>> rows) {
    std::vector<FormatEntry> out;
    for (auto [line, shown] : rows) {
        FormatEntry e;
        e.line = line;
        e.shown = shown ? 1 : 0;
        e.name = "L" + std::to_string(line);
        e.colour = RgbColour(line, 0, 0);
        out.push_back(e);
    }
    return out;
}

// SD, RD, RS, CS shown, in that order.
std::vector<FormatEntry> FourRows() {
    return Rows({{2, true}, {3, true}, {4, true}, {5, true}});
}

TEST(ChartScaleTest, DivisionTableDecadesListAndFit) {
    EXPECT_EQ(DivisionTicks(0), 1);
    EXPECT_EQ(DivisionTicks(1), 2);
    EXPECT_EQ(DivisionTicks(2), 5);
    EXPECT_EQ(DivisionTicks(3), 10);
    EXPECT_EQ(DivisionTicks(29), 5'000'000'000.0);  // 50 s
    EXPECT_EQ(DivisionTicks(47), 5'000'000'000.0);  // nothing past "50s" is ever chosen
    EXPECT_EQ(DivisionItemText(0), "10ns/Div");
    EXPECT_EQ(DivisionItemText(15), "1ms/Div");
    EXPECT_EQ(DivisionItemText(29), "50s/Div");
    EXPECT_EQ(DecadeUnit(0), 1);
    EXPECT_EQ(DecadeUnit(2), 1);
    EXPECT_EQ(DecadeUnit(3), 10);
    EXPECT_EQ(DecadeUnit(29), 1e9);

    // The list stops after the first entry whose ten divisions cover the span.
    EXPECT_EQ(OfferedDivisions(0), 1);
    EXPECT_EQ(OfferedDivisions(10), 1);
    EXPECT_EQ(OfferedDivisions(11), 2);
    EXPECT_EQ(OfferedDivisions(1e6), 16);  // 10 ms: "1ms" x 10
    EXPECT_EQ(OfferedDivisions(1e20), 30);

    EXPECT_EQ(FitDivision(1000, 9), 6);  // 100 ticks per division: "1us"
    EXPECT_EQ(FitDivision(1001, 9), 7);  // just over: the next entry
    EXPECT_EQ(FitDivision(1e12, 9), 9);  // beyond "50s": left as it was
}

TEST(ChartClockTest, TimesAcrossMidnightMonthAndYearAndTheirTexts) {
    ChartClock clock(241231);
    EXPECT_EQ(clock.ToChart(241231, 5), 5);
    // 00:00:00.5 on the next day (and the next year) is a day later.
    const double t = clock.ToChart(250101, 50'000'000);
    EXPECT_EQ(t, kDay + 50'000'000);
    auto back = clock.FromChart(t);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->date, 250101);
    EXPECT_EQ(back->ticks, 50'000'000u);
    EXPECT_EQ(clock.FieldText(t), "25/01/01 00:00:00 500m000u000n");
    // A character started before midnight of the start date (its stamp is
    // after): a negative chart time on the day before.
    EXPECT_EQ(clock.FieldText(-100), "24/12/30 23:59:59 999m999u000n");

    ChartClock leap(240228);
    EXPECT_EQ(leap.ToChart(240301, 0), 2 * kDay);  // 2024 has 29 February
}

TEST(ChartClockTest, CursorDifferenceCarriesTheMinusSign) {
    EXPECT_EQ(CursorDifferenceText(150'000'000, 25'000'000), "00:00:01 250m000u000n");
    EXPECT_EQ(CursorDifferenceText(25'000'000, 150'000'000), "- 00:00:01 250m000u000n");
    EXPECT_EQ(CursorDifferenceText(7, 7), "00:00:00 000m000u000n");
    EXPECT_EQ(CursorDifferenceText(0, 3), "- 00:00:00 000m000u030n");
    // Cursors more than a day apart keep counting hours.
    EXPECT_EQ(CursorDifferenceText(kDay + 360'000'000'000.0, 0), "25:00:00 000m000u000n");
}

TEST(ChartLayoutTest, ShownRowsStackInTableOrderAndAHiddenRowStopsTheStack) {
    // SD, a data-only row (code 0), CS, then hidden RS: RS and later rows are out.
    auto rows = Rows({{2, true}, {0, true}, {5, true}, {4, false}, {3, true}});
    ChartLayout l = MakeChartLayout(rows);
    EXPECT_EQ(l.rows, 3);
    EXPECT_TRUE(l.Shown(kChartTraceSd));
    EXPECT_FALSE(l.Shown(kChartTraceRd));                  // after the hidden row
    EXPECT_FALSE(l.Shown(2));                              // RS hidden
    EXPECT_TRUE(l.Shown(3));                               // CS
    EXPECT_EQ(l.traces[kChartTraceSd].base, 2 * 30 + 10);  // top row
    EXPECT_EQ(l.traces[3].base, 0 * 30 + 10);              // third row, bottom
    EXPECT_EQ(l.traces[3].title, "L5");
    EXPECT_EQ(l.traces[3].colour, RgbColour(5, 0, 0));
    EXPECT_EQ(l.LevelY(kChartTraceSd, kChartHigh), 70 - 5 + 10);  // data a little lower
    EXPECT_EQ(l.LevelY(3, kChartLow), 10);
    EXPECT_EQ(l.TraceAt(60), kChartTraceSd);  // the top row: 60..90
    EXPECT_EQ(l.TraceAt(89.9), kChartTraceSd);
    EXPECT_EQ(l.TraceAt(45), -1);  // the data-only row
    EXPECT_EQ(l.TraceAt(0), 3);
    EXPECT_EQ(l.TraceAt(90), -1);
    EXPECT_TRUE(l.AnyControlShown(0x40));   // CS
    EXPECT_FALSE(l.AnyControlShown(0xBF));  // every line but CS

    EXPECT_EQ(MakeChartLayout(Rows({{2, false}, {3, true}})).rows, 0);

    // RS-422/485/530 captures use rows 11..20; a capture without rows gets
    // the default rows of its line type rather than an empty chart.
    std::vector<FormatEntry> table(20, rows[0]);
    table[10].name = "second";
    EXPECT_EQ(ChartRows(table, 1).front().name, "second");
    EXPECT_EQ(ChartRows(table, 0).size(), 10u);
    EXPECT_EQ(MakeChartLayout(ChartRows({}, 0)).rows, 10);
    EXPECT_EQ(ChartRows({}, 0)[0].line, kFormatSd);
    // Only the first ten rows take part.
    std::vector<FormatEntry> many(12, rows[0]);
    EXPECT_EQ(MakeChartLayout(many).rows, 10);
}

class ChartCaptureTest : public ::testing::Test {
  protected:
    AppHome home;
    SettingsStore store;
    Log log;

    std::string Folder(const std::string& name) {
        std::string f = home.file(name);
        std::filesystem::create_directories(f);
        return f;
    }
    static void FastAsync(CaptureBuilder& b) {
        b.settings().SD_Baudrate = 1'000'000;
        b.settings().RD_Baudrate = 1'000'000;
    }
    // `count` records 10,000 ticks apart: SD and RD characters in turn, with
    // a CS change every tenth record.
    std::string Alternating(int count, const std::string& date = "241106") {
        CaptureBuilder b(Folder("20241106120000"), kProtocolAsync);
        FastAsync(b);
        b.StartChunk(date, 0x80);
        uint8_t line = 0x80;
        for (int i = 0; i < count; ++i) {
            uint64_t t = 1'000'000 + 10'000ull * static_cast<uint64_t>(i);
            if (i % 10 == 9) {
                line ^= 0x40;
                b.Add(RecordKind::kLineChange, line, t);
            } else {
                b.Add(i % 2 ? RecordKind::kRdData : RecordKind::kSdData, static_cast<uint8_t>(i),
                      t);
            }
        }
        return b.Finish();
    }
};

TEST_F(ChartCaptureTest, LoadsNEachSideOrFromTheFirstRecord) {
    std::string index = Alternating(1000);
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    ChartLayout layout = MakeChartLayout(FourRows());
    ChartClock clock(241106);
    ChartData d;

    ASSERT_EQ(LoadChart(f, clock, layout, 500, 100, d), 0);
    EXPECT_EQ(d.firstFrame, 400u);
    EXPECT_EQ(d.recordTimes.size(), 200u);  // 100 before, the frame and 99 after
    EXPECT_EQ(d.FrameTime(500), 1'000'000.0 + 10'000 * 500 - kCharTicks);
    EXPECT_EQ(d.FrameAt(d.FrameTime(500) + 1), 500u);

    // Fewer than N records before the frame: from the first record, N after.
    ASSERT_EQ(LoadChart(f, clock, layout, 30, 100, d), 0);
    EXPECT_EQ(d.firstFrame, 0u);
    EXPECT_EQ(d.recordTimes.size(), 130u);
    EXPECT_EQ(d.spanStart, 1'000'000.0 - kCharTicks);

    // Near the end: up to the last record.
    ASSERT_EQ(LoadChart(f, clock, layout, 990, 100, d), 0);
    EXPECT_EQ(d.firstFrame, 890u);
    EXPECT_EQ(d.recordTimes.size(), 110u);
    EXPECT_EQ(d.spanEnd, 1'000'000.0 + 10'000 * 999);  // the last record, a line change
}

TEST_F(ChartCaptureTest, CharactersArePulsesWithLabelsAndLinesAreSteps) {
    std::string index = Alternating(30);
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    ChartData d;
    ASSERT_EQ(LoadChart(f, ChartClock(241106), MakeChartLayout(FourRows()), 0, 100, d), 0);

    const auto& sd = d.traces[kChartTraceSd];
    ASSERT_GE(sd.times.size(), 2u);
    EXPECT_EQ(sd.initial, kChartLow);
    EXPECT_EQ(sd.times[0], 1'000'000.0 - kCharTicks);  // start: stamp less the character time
    EXPECT_EQ(sd.levels[0], kChartHigh);
    EXPECT_EQ(sd.times[1], 1'000'000.0);  // stop: the stamp
    EXPECT_EQ(sd.levels[1], kChartLow);
    ASSERT_FALSE(d.labels.empty());
    EXPECT_EQ(d.labels[0].value, 0);
    EXPECT_EQ(d.labels[1].value, 1);
    EXPECT_EQ(d.labels[1].trace, kChartTraceRd);

    // RS stays high from the chunk's line state; CS steps at each change,
    // vertically (two points at one time).
    const auto& rs = d.traces[2];
    EXPECT_EQ(rs.initial, kChartHigh);
    EXPECT_EQ(rs.LevelAt(5e6), kChartHigh);
    const auto& cs = d.traces[3];
    ASSERT_EQ(cs.times.size(), 6u);  // three changes
    const double change = 1'000'000.0 + 10'000 * 9;
    EXPECT_EQ(cs.times[0], change);
    EXPECT_EQ(cs.times[1], change);
    EXPECT_EQ(cs.levels[0], kChartLow);
    EXPECT_EQ(cs.levels[1], kChartHigh);
    EXPECT_EQ(cs.LevelAt(change - 1), kChartLow);
    EXPECT_EQ(cs.LevelAt(change + 1), kChartHigh);
}

TEST_F(ChartCaptureTest, HiddenDirectionsAndLinesAddNothing) {
    std::string index = Alternating(30);
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    ChartData d;
    // SD and RS only: RD characters and CS changes are not loaded.
    ASSERT_EQ(
        LoadChart(f, ChartClock(241106), MakeChartLayout(Rows({{2, true}, {4, true}})), 0, 100, d),
        0);
    EXPECT_TRUE(d.traces[kChartTraceRd].times.empty());
    EXPECT_TRUE(d.traces[3].times.empty());
    EXPECT_TRUE(d.traces[2].times.empty());
    for (const auto& l : d.labels)
        EXPECT_EQ(l.trace, kChartTraceSd);
    EXPECT_EQ(d.recordTimes.size(), 30u);  // every record still has its mark
}

TEST_F(ChartCaptureTest, LogicRecordsCarryEveryLevel) {
    CaptureBuilder b(Folder("20241106130000"), kProtocolLogic);
    b.StartChunk("241106", 0x00);
    b.Add(RecordKind::kSdData, 0x00, 100);                     // all low
    b.Add(RecordKind::kSdData, 0x80, 200, kFlagLogicSdLevel);  // SD and RS rise
    b.Add(RecordKind::kSdData, 0x80, 300, kFlagLogicSdLevel);  // nothing changes
    b.Add(RecordKind::kSdData, 0x00, 400, kFlagLogicRdLevel);  // SD, RS fall; RD rises
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(b.Finish()), 0);
    ChartData d;
    ASSERT_EQ(LoadChart(f, ChartClock(241106), MakeChartLayout(FourRows()), 0, 100, d), 0);
    const auto& sd = d.traces[kChartTraceSd];
    EXPECT_EQ(sd.LevelAt(150), kChartLow);
    EXPECT_EQ(sd.LevelAt(250), kChartHigh);
    EXPECT_EQ(sd.LevelAt(450), kChartLow);
    EXPECT_EQ(d.traces[kChartTraceRd].LevelAt(450), kChartHigh);
    EXPECT_EQ(d.traces[2].LevelAt(250), kChartHigh);
    EXPECT_EQ(d.traces[2].LevelAt(450), kChartLow);
    EXPECT_TRUE(d.labels.empty());   // LOGIC samples are levels, not characters
    EXPECT_EQ(sd.times.size(), 4u);  // two steps, no point for the quiet record
}

TEST_F(ChartCaptureTest, SyncCaptureShowsFlatTitledTraces) {
    CaptureBuilder b(Folder("20241106140000"), kProtocolSync);
    b.StartChunk("241106", 0xC0);
    b.AddFrame(RecordKind::kSdData, 1000, 2000, {1, 2, 3});
    b.Add(RecordKind::kLineChange, 0x40, 3000);
    b.AddFrame(RecordKind::kRdData, 4000, 5000, {4});
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(b.Finish()), 0);
    LineChartModel m(100);
    m.SetFormatRows(FourRows());
    ASSERT_EQ(m.ShowAtTime(f, *ParseRecordTime("24/11/06 00:00:00 000m003u000n")), 0);
    for (int i = 0; i < kChartTraceCount; ++i)
        EXPECT_TRUE(m.Data().traces[static_cast<size_t>(i)].times.empty()) << i;
    EXPECT_TRUE(m.Data().labels.empty());
    EXPECT_EQ(m.Layout().traces[kChartTraceSd].title, "L2");
    EXPECT_EQ(m.Layout().traces[3].title, "L5");
    // RS is high in the leading line state and stays flat there.
    EXPECT_EQ(m.Data().traces[2].initial, kChartHigh);
    EXPECT_EQ(m.Data().recordTimes.size(), 3u);
}

TEST(ChartViewportTest, ZoomLimitsPagingLimitsAndFineSteps) {
    ChartViewport v;
    v.SetSpan(1000, 1000 + 5000, 3000);  // a 5,000-tick span
    v.SetDivision(3);                    // 10 ticks per division
    EXPECT_EQ(v.Left(), 3000 - 50);      // 5 divisions before the frame
    EXPECT_EQ(v.Right(), v.Left() + 100);

    // Zoom in stops at "10ns".
    EXPECT_TRUE(v.ZoomIn());
    EXPECT_TRUE(v.ZoomIn());
    EXPECT_TRUE(v.ZoomIn());
    EXPECT_EQ(v.Division(), 0);
    EXPECT_FALSE(v.ZoomIn());
    // Zoom out until ten divisions cover the span: 500 per division covers
    // 5,000; one more step is refused.
    int steps = 0;
    while (v.ZoomOut())
        ++steps;
    EXPECT_EQ(v.Division(), 9);  // from "5us" (10 x 500 = the span) one last step was allowed
    EXPECT_EQ(steps, 9);
    EXPECT_FALSE(v.ZoomOut());

    // The left edge is the frame's time less five divisions, rounded down to
    // the decade unit, never below 0.
    v.SetDivision(4);  // 20 ticks, decade 10
    EXPECT_EQ(v.Left(), 2900);
    ChartViewport early;
    early.SetSpan(0, 100, 3);
    early.SetDivision(5);
    EXPECT_EQ(early.Left(), 0);

    // Paging forward stops once the right edge is past the span's end.
    v.SetDivision(6);  // 100 ticks, window 1,000
    int pages = 0;
    while (v.PageForward())
        ++pages;
    EXPECT_GT(v.Right(), v.SpanEnd());
    EXPECT_LE(v.Right() - 9 * v.PerDivision(), v.SpanEnd());
    EXPECT_FALSE(v.StepForward());
    EXPECT_FALSE(v.FineForward());
    EXPECT_GT(pages, 0);
    // Paging back never starts before the span (rounded to the decade unit).
    for (int i = 0; i < 20; ++i)
        v.PageBack();
    EXPECT_EQ(v.Left(), 1000);
    v.StepForward();
    EXPECT_EQ(v.Left(), 1100);
    v.StepBack();
    EXPECT_EQ(v.Left(), 1000);

    // Fine steps: d/10 from 100 ticks, d from 10, else 10 ticks.
    EXPECT_EQ(v.FineStep(), 10);  // a tenth of 100
    v.SetDivision(3);
    EXPECT_EQ(v.FineStep(), 10);
    v.SetDivision(1);
    EXPECT_EQ(v.FineStep(), 10);
    v.SetDivision(7);
    EXPECT_EQ(v.FineStep(), 20);  // a tenth of 200
}

TEST(ChartViewportTest, WheelAndShiftStayNearTheLoadedSpan) {
    ChartViewport v;
    v.SetSpan(10'000, 20'000, 15'000);
    v.SetDivision(6);  // 100 ticks
    EXPECT_TRUE(v.Wheel(1));
    EXPECT_EQ(v.Left(), 14'500 - 100);
    for (int i = 0; i < 200; ++i)
        v.Wheel(1);
    EXPECT_EQ(v.Left(), 10'000 - 100);  // one division before the span at most
    EXPECT_FALSE(v.Wheel(1));
    for (int i = 0; i < 200; ++i)
        v.Wheel(-1);
    EXPECT_EQ(v.Right(), 20'000 + 100);
    EXPECT_FALSE(v.Wheel(-1));

    v.SetDivision(6);
    EXPECT_EQ(v.ShiftedCentre(-1, 0, 1e9), v.Centre() - 5000);
    EXPECT_EQ(v.ShiftedCentre(+1, 0, 1e9), v.Centre() + 5000);
    EXPECT_EQ(v.ShiftedCentre(-1, 14'000, 1e9), 14'000);  // not before the first record
    EXPECT_EQ(v.ShiftedCentre(+1, 0, 16'000), 16'000);    // nor after the last
}

TEST(ChartPlotTest, StepsAreDecimatedToThePixelsAndKeepEveryEdge) {
    // 100,000 one-tick pulses over 200,000 ticks, drawn 500 pixels wide.
    ChartTrace dense;
    for (int i = 0; i < 100'000; ++i) {
        dense.Add(2.0 * i, kChartHigh);
        dense.Add(2.0 * i + 1, kChartLow);
    }
    std::vector<PlotPoint> pts;
    PlotSteps(dense, {0, 200'000, 500}, pts);
    EXPECT_LE(pts.size(), 3u * 501 + 2);
    EXPECT_EQ(pts.front().x, 0);
    EXPECT_EQ(pts.back().x, 500);
    for (size_t i = 1; i < pts.size(); ++i)
        EXPECT_GE(pts[i].x, pts[i - 1].x);
    // Every column touches both levels, so it is drawn as a full edge.
    int high = 0;
    for (const auto& p : pts)
        high += p.level == kChartHigh;
    EXPECT_GE(high, 450);

    // A single pulse keeps its exact edges, also when zoomed in on it.
    ChartTrace one;
    one.Add(1000, kChartHigh);
    one.Add(1100, kChartLow);
    PlotSteps(one, {900, 1200, 300}, pts);
    ASSERT_EQ(pts.size(), 6u);
    EXPECT_EQ(pts[0].level, kChartLow);
    EXPECT_EQ(pts[1].x, 100);
    EXPECT_EQ(pts[2].x, 100);
    EXPECT_EQ(pts[2].level, kChartHigh);
    EXPECT_EQ(pts[3].x, 200);
    EXPECT_EQ(pts[4].level, kChartLow);
    // Inside the pulse: a flat line at the high level, edge to edge.
    PlotSteps(one, {1010, 1090, 80}, pts);
    ASSERT_EQ(pts.size(), 2u);
    EXPECT_EQ(pts[0].level, kChartHigh);
    EXPECT_EQ(pts[1].x, 80);
    // A trace without points is flat at its level, high included.
    ChartTrace flat;
    flat.initial = kChartHigh;
    PlotSteps(flat, {0, 10, 50}, pts);
    ASSERT_EQ(pts.size(), 2u);
    EXPECT_EQ(pts[1].level, kChartHigh);
}

TEST(ChartPlotTest, LabelsDoNotOverlapAndMarksAreOnePerColumn) {
    std::vector<ChartLabel> labels;
    std::vector<double> times;
    for (int i = 0; i < 1000; ++i) {
        labels.push_back({10.0 * i, static_cast<uint8_t>(i), static_cast<uint8_t>(i % 2)});
        times.push_back(10.0 * i);
    }
    std::vector<size_t> kept;
    PlotLabels(labels, kChartTraceSd, {0, 10'000, 1000}, 20, kept);
    EXPECT_EQ(kept.size(), 50u);  // SD every 20 ticks = 2 px, one kept per 20 px
    for (size_t i : kept)
        EXPECT_EQ(labels[i].trace, kChartTraceSd);
    PlotLabels(labels, kChartTraceRd, {0, 100, 1000}, 20, kept);
    EXPECT_EQ(kept.size(), 5u);  // zoomed in: every RD label inside fits

    std::vector<int> marks;
    PlotRecordMarks(times, {0, 10'000, 100}, marks);
    EXPECT_EQ(marks.size(), 100u);  // 1,000 records on 100 columns
    PlotRecordMarks(times, {2000, 2100, 1000}, marks);
    EXPECT_EQ(marks.size(), 11u);
}

TEST_F(ChartCaptureTest, ModelShowsAcrossMidnightAndMeasuresBetweenCursors) {
    // Records on the start date and after midnight in a second chunk.
    CaptureBuilder b(Folder("20241106235959"), kProtocolAsync);
    FastAsync(b);
    const uint64_t lateDay = 8'640'000'000'000ull - 50'000;
    b.StartChunk("241106", 0x00);
    b.Add(RecordKind::kSdData, 0x41, lateDay);
    b.StartChunk("241107", 0x00);
    b.Add(RecordKind::kRdData, 0x42, 20'000);
    b.Add(RecordKind::kRdData, 0x43, 40'000);
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(b.Finish()), 0);
    ASSERT_EQ(f.GoToFrame(2), 0);
    ASSERT_EQ(f.SetMark(3, nullptr), 0);  // M3 on the last record, after midnight
    LineChartModel m(100);
    m.SetFormatRows(FourRows());
    ASSERT_EQ(m.ShowAtTime(f, *ParseRecordTime("24/11/07 00:00:00 000m200u000n")), 0);
    for (int i : {0, 1, 3, 4})
        EXPECT_FALSE(m.Marks()[static_cast<size_t>(i)]) << i;
    ASSERT_TRUE(m.Marks()[2]);
    EXPECT_GE(*m.Marks()[2], kDay + 40'000 - kCharTicks);
    EXPECT_LE(*m.Marks()[2], kDay + 40'000);
    ASSERT_TRUE(m.Loaded());
    EXPECT_EQ(m.Data().frame, 1u);
    EXPECT_EQ(m.Data().recordTimes[0], static_cast<double>(lateDay - kCharTicks));
    EXPECT_EQ(m.Data().recordTimes[1], kDay + 20'000 - kCharTicks);
    EXPECT_GT(m.OfferedDivisions(), 1);

    // X on the request's stop, Y on the response's start.
    m.SetActive(ChartCursor::kX);
    m.PlaceCursor(static_cast<double>(lateDay));
    m.SetActive(ChartCursor::kY);
    ASSERT_TRUE(m.SnapCursor(kDay + 20'000 - kCharTicks + 3, 10));
    EXPECT_EQ(m.CursorTime(ChartCursor::kY), kDay + 20'000 - kCharTicks);
    EXPECT_EQ(m.CursorText(ChartCursor::kY), "24/11/07 00:00:00 000m190u500n");
    EXPECT_EQ(m.DifferenceText(), "- 00:00:00 000m690u500n");
    EXPECT_FALSE(m.SnapCursor(kDay + 30'000, 10));  // no edge that close
    // Restricted to the SD trace, the RD edge nearby does not count.
    EXPECT_FALSE(m.SnapCursor(kDay + 20'000 - kCharTicks + 3, 10, kChartTraceSd));
    EXPECT_TRUE(m.SnapCursor(kDay + 20'000 - kCharTicks + 3, 10, kChartTraceRd));

    // Shift+Right moves the centre 50 divisions on, not past the last record.
    EXPECT_EQ(FormatRecordTimeText(*m.ShiftTime(+1)), "24/11/07 00:00:00 000m390u500n");
}

}  // namespace
}  // namespace qv
