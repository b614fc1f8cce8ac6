#include "present/ChartScale.h"

#include <algorithm>
#include <array>

namespace qv {

namespace {

constexpr std::array<const char*, kChartDivisionCount> kLabels = {
    "10ns", "20ns",  "50ns",  "100ns", "200ns", "500ns", "1us", "2us", "5us",  "10us",
    "20us", "50us",  "100us", "200us", "500us", "1ms",   "2ms", "5ms", "10ms", "20ms",
    "50ms", "100ms", "200ms", "500ms", "1s",    "2s",    "5s",  "10s", "20s",  "50s"};

int Clamp(int index) {
    return std::clamp(index, 0, kChartDivisionCount - 1);
}

double PowerOfTen(int n) {
    double v = 1;
    for (int i = 0; i < n; ++i)
        v *= 10;
    return v;
}

}  // namespace

double DivisionTicks(int index) {
    static constexpr double kSteps[3] = {1, 2, 5};
    const int i = Clamp(index);
    return kSteps[i % 3] * PowerOfTen(i / 3);
}

const char* DivisionLabel(int index) {
    return kLabels[static_cast<size_t>(Clamp(index))];
}

std::string DivisionItemText(int index) {
    return std::string(DivisionLabel(index)) + "/Div";
}

double DecadeUnit(int index) {
    return PowerOfTen(Clamp(index) / 3);
}

int OfferedDivisions(double spanTicks) {
    for (int i = 0; i < kChartDivisionCount; ++i)
        if (DivisionTicks(i) * kChartDivisionsPerWindow >= spanTicks) return i + 1;
    return kChartDivisionCount;
}

int FitDivision(double spanTicks, int current) {
    const double perDivision = spanTicks / kChartDivisionsPerWindow;
    for (int i = 0; i < kChartDivisionCount; ++i)
        if (DivisionTicks(i) >= perDivision) return i;
    return current;
}

}  // namespace qv
