#include "settings/SamplingEntry.h"

#include "core/MessageText.h"
#include "settings/EntryChecks.h"

namespace qv {

CycleUnitRange RangeOf(CycleUnit unit) {
    switch (unit) {
        case CycleUnit::Ms:
            return {1, 10, 1, 2};
        case CycleUnit::Us:
            return {1, 10'000, 1, 5};
        case CycleUnit::Ns:
            break;
    }
    return {10, 99'990, 10, 5};
}

std::string_view UnitText(CycleUnit unit) {
    switch (unit) {
        case CycleUnit::Ms:
            return "ms";
        case CycleUnit::Us:
            return "us";
        case CycleUnit::Ns:
            break;
    }
    return "ns";
}

CycleEntry EntryOfCycle(uint32_t c) {
    if (c <= 99'999) return {c < 10 ? 10 : c / 10 * 10, CycleUnit::Ns};
    if (c > 99'999'999) return {c / 1'000'000 > 10'000 ? 10'000 : c / 1'000'000, CycleUnit::Ms};
    return {c / 1000, CycleUnit::Us};
}

uint32_t CycleOfEntry(const CycleEntry& e) {
    switch (e.unit) {
        case CycleUnit::Ms:
            return e.value * 1'000'000;
        case CycleUnit::Us:
            return e.value * 1000;
        case CycleUnit::Ns:
            break;
    }
    return e.value;
}

std::string CycleEntryProblem(std::string_view text, CycleUnit unit) {
    CycleUnitRange r = RangeOf(unit);
    std::string why = WholeNumberProblem(text, r.min, r.max);
    return why.empty() ? why : std::string(UnitText(unit)) + Say("は", ": ") + why;
}

}  // namespace qv
