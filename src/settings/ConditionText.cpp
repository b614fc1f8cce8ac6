#include "settings/ConditionText.h"

#include <cstdio>
#include <ctime>

#include "core/MessageText.h"
#include "core/NumberText.h"

namespace qv {

namespace {

std::string StringGroups(const DataString& bytes, const DataString& scopes) {
    std::string out;
    int length = PatternLength(scopes);
    for (int i = 0; i < kStringBytes; ++i) {
        auto k = static_cast<size_t>(i);
        if (i >= length) {
            out += "   ";
        } else if (scopes[k] == kScopeAll) {
            out += "** ";
        } else {
            char b[8];
            std::snprintf(b, sizeof b, "%.2X ", bytes[k]);
            out += b;
        }
    }
    return out;
}

std::string LocalTimeGroups(int64_t t) {
    std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    if (!localtime_r(&tt, &tm)) return "-";
    char b[40];
    std::snprintf(b, sizeof b, "%.4d/%.2d/%.2d %.2d:%.2d:%.2d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return b;
}

}  // namespace

int OptionStringIndex(ConditionRef c) {
    if (c.index < 0 || c.index >= 4) return -1;
    if (c.group == ConditionGroup::SdString) return c.index;
    if (c.group == ConditionGroup::RdString) return 4 + c.index;
    return -1;
}

std::string ConditionSettingText(const TriggerSetting& t, const TriggerOption& o, ConditionRef c) {
    if (!IsTakingPart(t, c)) return "-";
    auto i = static_cast<size_t>(c.index);
    switch (c.group) {
        case ConditionGroup::Line:
            return t.lineStates[i] == kLevelHigh ? "HIGH" : "LOW";
        case ConditionGroup::Event:
            return t.eventStates[i] == 1 ? "ON" : "OFF";
        case ConditionGroup::Sync:
            return t.syncStates[i] == 1 ? "ON" : "OFF";
        case ConditionGroup::Time:
            return LocalTimeGroups(o.times[i]);
        case ConditionGroup::Count:
            return FormatThousands(o.counts[i]);
        case ConditionGroup::SdString:
        case ConditionGroup::RdString: {
            auto s = static_cast<size_t>(OptionStringIndex(c));
            return StringGroups(o.strings[s], o.scopes[s]);
        }
        default:
            return Say("条件とする", "Condition");
    }
}

}  // namespace qv
