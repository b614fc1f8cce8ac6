#include "present/LineChartModel.h"

#include <algorithm>
#include <cmath>

#include "capture/CaptureReader.h"
#include "capture/RecordTime.h"
#include "core/TimeText.h"
#include "present/ChartScale.h"

namespace qv {

void LineChartModel::SetFormatRows(const std::vector<FormatEntry>& table) {
    m_table = table;
    m_haveTable = true;
    m_layout = MakeChartLayout(ChartRows(m_table, m_line));
}

void LineChartModel::ReadCapture() {
    CaptureReader& r = *m_reader;
    MonitorSettings settings;
    SamplingSettings sampling;
    m_line = r.GetMonitorSettings(settings, sampling) == 0 ? settings.Line : 0;
    if (!m_haveTable) r.ReadFormatRows(m_table);
    SetFormatRows(m_table);
    std::string text;
    std::optional<DayTime> start;
    if (r.GetCaptureStartText(text) == 0) start = ParseRecordTime(text);
    DayTime first, last, unused;
    const uint64_t total = r.GetTotalRecords();
    const bool haveFirst = total > 0 && r.GoToFrame(0) == 0 && r.GetDayTimes(first, unused) == 0;
    // The index's start time is the capture's own; a capture without one
    // counts from the date of its first record.
    m_clock = ChartClock(start ? start->date : haveFirst ? first.date : 101);
    m_captureFirst = haveFirst ? m_clock.ToChart(first) : 0;
    m_captureLast = m_captureFirst;
    if (total > 0 && r.GoToFrame(total - 1) == 0 && r.GetDayTimes(last, unused) == 0)
        m_captureLast = m_clock.ToChart(last);
    ReadMarks();
}

void LineChartModel::ReadMarks() {
    for (auto& m : m_marks)
        m.reset();
    if (!m_reader) return;
    for (int i = 0; i < kMarks; ++i) {
        uint32_t chunk = 0;
        std::string text, comment;
        int kind = 0;
        if (m_reader->ReadMark(i + 1, chunk, text, kind, comment) != 0) continue;
        if (auto t = ParseRecordTime(text)) m_marks[static_cast<size_t>(i)] = m_clock.ToChart(*t);
    }
}

int LineChartModel::ShowAtTime(CaptureReader& reader, const DayTime& when) {
    if (m_reader != &reader) {
        m_reader = &reader;
        m_first = true;
        ReadCapture();
    }
    int rc = reader.GoToTime(when);
    if (rc != 0) return rc;
    CursorPosition pos;
    rc = reader.GetCursor(pos);
    if (rc != 0) return rc;
    return Load(pos.frame);
}

int LineChartModel::Reload() {
    if (!m_reader) return 0;
    return Load(m_data.frame);
}

int LineChartModel::Load(uint64_t frame) {
    int rc = LoadChart(*m_reader, m_clock, m_layout, frame, m_n, m_data);
    if (rc != 0) return rc;
    // Loading walks to the end of the span; the reader goes back to the
    // chosen record, which is the one the window stands on.
    m_reader->GoToFrame(frame);
    const double frameTime = m_data.FrameTime(frame);
    m_view.SetSpan(m_data.spanStart, m_data.spanEnd, frameTime);
    if (m_first) {
        m_first = false;
        m_offered = qv::OfferedDivisions(m_data.spanEnd - m_data.spanStart);
        const uint64_t half = m_n / 2;
        const double earlier = m_data.FrameTime(frame > half ? frame - half : 0);
        const double later = m_data.FrameTime(frame + half);
        m_view.Fit(earlier, later);
        // The cursors start a quarter into the window from either side, so
        // both are in sight.
        const double d = m_view.PerDivision();
        m_cursor[0] = m_view.Left() + 2.5 * d;
        m_cursor[1] = m_view.Left() + 7.5 * d;
    } else {
        m_view.PositionOnFrame();
    }
    return 0;
}

std::optional<DayTime> LineChartModel::ShiftTime(int direction) const {
    return m_clock.FromChart(m_view.ShiftedCentre(direction, m_captureFirst, m_captureLast));
}

bool LineChartModel::SnapCursor(double t, double maxTicks, int trace) {
    double best = 0, bestDistance = maxTicks;
    bool found = false;
    for (int i = 0; i < kChartTraceCount; ++i) {
        if (!m_layout.Shown(i) || (trace >= 0 && i != trace)) continue;
        const auto& times = m_data.traces[static_cast<size_t>(i)].times;
        auto it = std::lower_bound(times.begin(), times.end(), t);
        for (auto c : {it, it == times.begin() ? it : it - 1}) {
            if (c == times.end()) continue;
            const double distance = std::fabs(*c - t);
            if (distance <= bestDistance) {
                best = *c;
                bestDistance = distance;
                found = true;
            }
        }
    }
    if (found) PlaceCursor(best);
    return found;
}

std::string LineChartModel::DifferenceText() const {
    return CursorDifferenceText(CursorTime(ChartCursor::kX), CursorTime(ChartCursor::kY));
}

}  // namespace qv
