#include "settings/EntryChecks.h"

#include "core/NumberText.h"
#include "settings/EditorRules.h"
#include "settings/ValueText.h"

namespace qv {

std::string RangeReason(int64_t min, int64_t max) {
    return FormatThousands(static_cast<int32_t>(min)) + "～" +
           FormatThousands(static_cast<int32_t>(max)) + "の範囲で入力してください";
}

bool ParseGroupedWhole(std::string_view text, int64_t& value) {
    auto digits = UngroupNumberText(text, false);
    if (!digits) return false;
    int64_t v = 0;
    for (char c : *digits) {
        if (v > (INT64_MAX - 9) / 10) return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

std::string WholeNumberProblem(std::string_view text, int64_t min, int64_t max) {
    int64_t v = 0;
    if (!ParseGroupedWhole(text, v) || v < min || v > max) return RangeReason(min, max);
    return {};
}

std::string BitRateProblem(std::string_view text, int lineType) {
    double max = lineType == 0 ? kMaxRs232BitRate : kMaxBitRate;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '.' || c == ',')) return "数字で入力してください";
    std::string reason = "スピードは" + RangeReason(static_cast<int64_t>(kMinBitRate),
                                                   static_cast<int64_t>(max));
    auto plain = UngroupNumberText(text, true);
    if (!plain) return reason;
    double rate = ParseLeadingDouble(*plain);
    if (rate < kMinBitRate || rate > max) return reason;
    return {};
}

std::string FrameLimitProblem(std::string_view text) {
    int64_t v = 0;
    if (!ParseGroupedWhole(text, v) || v < 1 || v > kMaxFrameLimitUnits)
        return "最大フレーム数は" + RangeReason(1, kMaxFrameLimitUnits) + "(万フレーム単位の整数)";
    return {};
}

}  // namespace qv
