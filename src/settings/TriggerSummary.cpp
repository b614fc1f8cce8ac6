#include "settings/TriggerSummary.h"

#include <algorithm>

#include "core/TextCodec.h"

namespace qv {

namespace {

// A condition that takes no part: a full-width dash, a plain one in English.
std::string_view NotTakingPart(UiLanguage l) {
    return InUiLanguage(l, "－", "-");
}
constexpr std::string_view kTakingPart = "◎";

// Pads the text with blanks to `columns` display columns (at least one blank
// after a text that fills them, so names never run into marks).
std::string Pad(std::string_view text, size_t columns) {
    std::string out(text);
    size_t w = DisplayWidth(text);
    out.append(w < columns ? columns - w : 1, ' ');
    return out;
}

std::string Mark(const TriggerSetting& t, ConditionRef c, UiLanguage l) {
    if (!IsTakingPart(t, c)) return std::string(NotTakingPart(l));
    TriggerSetting copy = t;
    if (uint32_t* state = StateOf(copy, c)) {
        if (c.group == ConditionGroup::Line) return *state == kLevelHigh ? "HIGH" : "LOW";
        return *state == 1 ? "ON" : "OFF";
    }
    return std::string(kTakingPart);
}

}  // namespace

size_t DisplayWidth(std::string_view text) {
    size_t width = 0;
    for (size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        // A byte that is not UTF-8 takes one column, as the text shows it.
        size_t len = std::max<size_t>(Utf8SequenceLength(text, i), 1);
        uint32_t cp = 0;
        if (len == 3)
            cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
        // ASCII and half-width katakana (U+FF61..U+FF9F) take one column.
        width += (len == 1 || (cp >= 0xFF61 && cp <= 0xFF9F)) ? 1 : 2;
        i += len;
    }
    return width;
}

std::string TriggerSummary(const TriggerSetting& t, const LineNames* names, UiLanguage language) {
    // The line conditions carry the display names; the others keep their
    // fixed labels ("SD 文字列1", "SD ブレーク"), which fit the columns.
    std::vector<ConditionCategory> catalogue = ConditionCatalogue(nullptr, language);
    auto say = [language](const char* ja, const char* en) { return InUiLanguage(language, ja, en); };
    auto nameOf = [&](ConditionRef c) -> std::string {
        if (names && c.group == ConditionGroup::Line) return (*names)[static_cast<size_t>(c.index)];
        for (const ConditionCategory& cat : catalogue)
            for (const Condition& cond : cat.conditions)
                if (cond.ref == c) return cond.name;
        return {};
    };
    std::string out;
    auto line = [&](std::string text) {
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        out += text;
        out += "\r\n";
    };
    // Name at column 1, mark at 16, second name at 27, its mark at 42. The
    // English names can be longer ("External event 1"): they widen the
    // column for every row alike.
    size_t width = 15;
    if (language == UiLanguage::kEnglish)
        for (const ConditionCategory& cat : catalogue)
            for (const Condition& cond : cat.conditions)
                width = std::max(width, DisplayWidth(nameOf(cond.ref)) + 1);
    auto pair = [&](ConditionRef a, std::optional<ConditionRef> b) {
        std::string text = Pad(nameOf(a), width) + Pad(Mark(t, a, language), 11);
        if (b) text += Pad(nameOf(*b), width) + Mark(t, *b, language);
        line(text);
    };
    auto pairs = [&](ConditionGroup g, int count) {
        for (int i = 0; i < count; i += 2)
            pair({g, i}, ConditionRef{g, i + 1});
    };
    pairs(ConditionGroup::Line, kTriggerLines);
    line("--");
    pairs(ConditionGroup::Event, kTriggerEvents);
    pairs(ConditionGroup::Sync, kTriggerEvents);
    line("--");
    pairs(ConditionGroup::Time, 4);
    pairs(ConditionGroup::Count, 4);
    pairs(ConditionGroup::SdString, 4);
    pairs(ConditionGroup::RdString, 4);
    line("--");
    pair({ConditionGroup::SdError, 0}, ConditionRef{ConditionGroup::RdError, 0});
    pair({ConditionGroup::SdBreak, 0}, ConditionRef{ConditionGroup::RdBreak, 0});
    pair({ConditionGroup::BufferFull, 0}, std::nullopt);
    line(t.andOr == kAndOrOr
             ? say("上記条件を一つでも満たしたときに", "When any condition above is met")
             : say("上記条件をすべて満たしたときに", "When all conditions above are met"));
    if (t.enabled == 0) {
        line(say("トリガ無効", "Trigger disabled"));
        return out;
    }
    const std::pair<uint8_t, uint16_t> actions[] = {{t.action1, t.option1}, {t.action2, t.option2}};
    for (int i = 0; i < 2; ++i) {
        auto [code, option] = actions[i];
        line(say("アクション", "Action ") + std::to_string(i + 1) + " " +
             ActionLabel(code, option, language).value_or("---"));
    }
    return out;
}

}  // namespace qv
