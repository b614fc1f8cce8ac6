// Everything the Line window knows about its chart, without a screen: the
// trace layout from the display format, the records loaded around a frame,
// the visible window, the X and Y measurement cursors and the capture's
// marks, and the texts of the time fields. The widget only draws this and
// forwards the user's input.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "present/ChartClock.h"
#include "present/ChartData.h"
#include "present/ChartLayout.h"
#include "present/ChartViewport.h"
#include "settings/FormatEntry.h"

namespace qv {

class CaptureReader;

enum class ChartCursor { kX = 0, kY = 1 };

class LineChartModel {
  public:
    static constexpr int kMarks = 5;

    // n: records loaded on each side of the chosen frame.
    explicit LineChartModel(uint64_t n = 100) : m_n(n) {}
    uint64_t RecordsEachSide() const { return m_n; }

    // The display-format table of the capture: the half of its line type
    // makes the layout (see ChartRows).
    void SetFormatRows(const std::vector<FormatEntry>& table);
    const ChartLayout& Layout() const { return m_layout; }

    // Loads around the record at this record time of the reader, which must
    // outlive the model. The first call also reads the capture's start date,
    // first and last record times and marks, fills the division list and
    // fits. 0, or the reader's code.
    int ShowAtTime(CaptureReader& reader, const DayTime& when);
    // Lets go of the reader (about to be replaced); the chart stays as it is
    // until the next ShowAtTime.
    void DropReader() { m_reader = nullptr; }
    // Loads again around the same frame (after a display format change).
    int Reload();
    bool Loaded() const { return m_reader != nullptr && !m_data.Empty(); }

    const ChartData& Data() const { return m_data; }
    const ChartClock& Clock() const { return m_clock; }
    ChartViewport& Viewport() { return m_view; }
    const ChartViewport& Viewport() const { return m_view; }
    // Entries the division list offers (0 .. count-1), set on the first load.
    int OfferedDivisions() const { return m_offered; }

    // The time field texts of the window's edges and centre.
    std::string LeftText() const { return m_clock.FieldText(m_view.Left()); }
    std::string CentreText() const { return m_clock.FieldText(m_view.Centre()); }
    std::string RightText() const { return m_clock.FieldText(m_view.Right()); }

    // The record time of the centre Shift+Left/Right moves to; nullopt
    // outside the years the chart can date.
    std::optional<DayTime> ShiftTime(int direction) const;

    // --- the measurement cursors
    ChartCursor Active() const { return m_active; }
    void SetActive(ChartCursor c) { m_active = c; }
    double CursorTime(ChartCursor c) const { return m_cursor[static_cast<size_t>(c)]; }
    void SetCursorTime(ChartCursor c, double t) { m_cursor[static_cast<size_t>(c)] = t; }
    // Moves the active cursor.
    void PlaceCursor(double t) { SetCursorTime(m_active, t); }
    // Moves the active cursor to the nearest edge of a trace (a character's
    // start or end, a line's step) within `maxTicks` of t; false when none is.
    // With a trace given only its edges count, so that a click on a line
    // catches that line's edge rather than a neighbour's a few ticks away.
    bool SnapCursor(double t, double maxTicks, int trace = -1);
    std::string CursorText(ChartCursor c) const { return m_clock.FieldText(CursorTime(c)); }
    // "X - Y", "- " in front when Y is later.
    std::string DifferenceText() const;

    // The chart times of the capture's marks M1..M5 that are set.
    const std::array<std::optional<double>, kMarks>& Marks() const { return m_marks; }
    // Reads the marks again (after one was set elsewhere).
    void ReadMarks();

  private:
    int Load(uint64_t frame);
    void ReadCapture();

    uint64_t m_n;
    std::vector<FormatEntry> m_table;
    bool m_haveTable = false;
    int m_line = 0;  // the capture's line type: 0 RS-232
    ChartLayout m_layout;
    CaptureReader* m_reader = nullptr;
    bool m_first = true;
    ChartClock m_clock;
    double m_captureFirst = 0, m_captureLast = 0;
    ChartData m_data;
    ChartViewport m_view;
    int m_offered = 1;
    std::array<double, 2> m_cursor{};
    ChartCursor m_active = ChartCursor::kX;
    std::array<std::optional<double>, kMarks> m_marks;
};

}  // namespace qv
