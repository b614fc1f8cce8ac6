// The time scale of the Line window's chart: the divisions a user can pick
// (a 1-2-5 series from 10 ns to 50 s per division) and the decade unit that
// window edges are rounded to. Chart times are doubles in 10 ns ticks.
#pragma once

#include <string>

namespace qv {

inline constexpr int kChartDivisionCount = 30;  // entries 0..29 ("10ns" .. "50s")
inline constexpr int kChartDivisionsPerWindow = 10;

// Ticks per division of entry i (clamped into 0..29).
double DivisionTicks(int index);
// "10ns", "20ns", ... "50s".
const char* DivisionLabel(int index);
// The drop-down item: "%s/Div" with the label.
std::string DivisionItemText(int index);
// The power of ten (in ticks) edges are rounded to at entry i: entry i / 3 of
// 1, 10, 100, ... so "10ns".."50ns" use 1 and "100ns".."500ns" use 10.
double DecadeUnit(int index);

// How many entries the drop-down offers for a loaded span: from 0 up to the
// first whose ten divisions cover the span, at most all 30.
int OfferedDivisions(double spanTicks);

// The entry that shows `spanTicks` across ten divisions: the first whose
// value is at least span / 10; `current` when none is.
int FitDivision(double spanTicks, int current);

}  // namespace qv
