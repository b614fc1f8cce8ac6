#include "present/ChartViewport.h"

#include <algorithm>
#include <cmath>

#include "present/ChartScale.h"

namespace qv {

namespace {
constexpr double kMinWheelStep = 10;  // ticks
}

void ChartViewport::SetSpan(double start, double end, double frameTime) {
    m_spanStart = start;
    m_spanEnd = std::max(start, end);
    m_frameTime = frameTime;
}

double ChartViewport::PerDivision() const {
    return DivisionTicks(m_division);
}

double ChartViewport::RoundToDecade(double t) const {
    const double unit = DecadeUnit(m_division);
    return std::floor(t / unit) * unit;
}

void ChartViewport::SetLeft(double left) {
    m_left = left;
    m_right = left + kChartDivisionsPerWindow * PerDivision();
}

void ChartViewport::SetDivision(int index) {
    m_division = std::clamp(index, 0, kChartDivisionCount - 1);
    PositionOnFrame();
}

void ChartViewport::PositionOnFrame() {
    SetLeft(RoundToDecade(std::max(0.0, m_frameTime - 5 * PerDivision())));
}

bool ChartViewport::ZoomIn() {
    if (m_division == 0) return false;
    SetDivision(m_division - 1);
    return true;
}

bool ChartViewport::ZoomOut() {
    if (m_division >= kChartDivisionCount - 1) return false;
    if (kChartDivisionsPerWindow * PerDivision() > m_spanEnd - m_spanStart) return false;
    SetDivision(m_division + 1);
    return true;
}

void ChartViewport::Fit(double earlier, double later) {
    m_division = FitDivision(later - earlier, m_division);
    PositionOnFrame();
}

void ChartViewport::MoveBack(double by) {
    double left = m_left - by;
    if (left < m_spanStart) left = RoundToDecade(m_spanStart);
    SetLeft(left);
}

bool ChartViewport::MoveForward(double by) {
    if (m_right > m_spanEnd) return false;
    SetLeft(m_left + by);
    return true;
}

double ChartViewport::FineStep() const {
    const double d = PerDivision();
    if (d >= 100) return d / 10;
    if (d >= 10) return d;
    return 10;
}

bool ChartViewport::Wheel(int steps) {
    if (steps == 0) return false;
    const double d = PerDivision();
    const double by = std::max(d, kMinWheelStep) * std::abs(steps);
    if (steps > 0) {
        const double limit = m_spanStart - d;
        const double left = std::max(m_left - by, limit);
        if (left >= m_left) return false;
        SetLeft(left);
    } else {
        const double limit = m_spanEnd + d;
        const double left = std::min(m_left + by, limit - kChartDivisionsPerWindow * d);
        if (left <= m_left) return false;
        SetLeft(left);
    }
    return true;
}

double ChartViewport::ShiftedCentre(int direction, double captureFirst, double captureLast) const {
    const double centre = Centre() + (direction < 0 ? -50 : 50) * PerDivision();
    return std::clamp(centre, captureFirst, std::max(captureFirst, captureLast));
}

}  // namespace qv
