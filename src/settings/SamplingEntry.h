// How the line selection dialog shows and reads a sampling cycle: a value in
// one of three units (ms, us, ns) for each monitored line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

enum class CycleUnit : int { Ms = 0, Us = 1, Ns = 2 };  // the unit list's order

struct CycleEntry {
    uint32_t value = 10;
    CycleUnit unit = CycleUnit::Ns;
    bool operator==(const CycleEntry&) const = default;
};

// What a unit accepts: the value range, the digits the field takes and the
// step of its up-down buttons.
struct CycleUnitRange {
    uint32_t min, max, step;
    int digits;
};
CycleUnitRange RangeOf(CycleUnit unit);
std::string_view UnitText(CycleUnit unit);

// A stored cycle (ns) as the dialog opens it: up to 99,999 ns in ns, rounded
// down to 10 ns but at least 10; above 99,999,999 ns in ms (at most 10,000);
// otherwise in us.
CycleEntry EntryOfCycle(uint32_t cycleNs);
// The cycle (ns) of a value in its unit's range.
uint32_t CycleOfEntry(const CycleEntry& entry);
// Why a typed value does not fit its unit ("" when it does).
std::string CycleEntryProblem(std::string_view text, CycleUnit unit);

}  // namespace qv
