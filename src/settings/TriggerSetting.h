// The trigger model: the operands shared by all triggers (times, counter
// values, data strings with a match rule per byte) and, per trigger, which
// conditions take part, in which state, how they combine and what to do. The
// instrument evaluates triggers itself; this side only edits, stores and
// uploads them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/MessageText.h"
#include "settings/ValueText.h"

namespace qv {

// Triggers the application uses; the file has sections for eight.
inline constexpr int kTriggerCount = 5;
inline constexpr int kTriggerSections = 8;

inline constexpr int kOptionTimes = 4;
inline constexpr int kOptionCounts = 4;
// Strings 0-3 are SD strings 1-4, strings 4-7 RD strings 1-4.
inline constexpr int kOptionStrings = 8;
inline constexpr int kStringBytes = 16;

using DataString = std::array<uint8_t, kStringBytes>;

// Match rule of one byte of a data string.
enum ScopeCode : uint8_t {
    kScopeNone = 0,   // equals this byte
    kScopeNot = 1,    // differs from this byte
    kScopeAll = 2,    // any byte
    kScopeOver = 3,   // this byte or more
    kScopeUnder = 4,  // this byte or less
    kScopeEnd = 5,    // the pattern ends before this byte
};
extern const WordTable kScopeWords;

struct ScopeInfo {
    uint8_t code;
    std::string_view word;
    std::string_view symbol;     // shown in the string editor's scope row
    // The symbol in English: the full-width dash becomes a plain one.
    std::string_view Symbol(UiLanguage l) const {
        return l == UiLanguage::kEnglish && symbol == "－" ? "-" : symbol;
    }
    std::string_view menuLabel;  // empty for END, which the editor never offers
    std::string_view menuLabelEnglish;
};
std::span<const ScopeInfo> Scopes();

struct TriggerOption {
    // Calendar times (seconds since 1970-01-01 00:00 UTC), stored as local time.
    std::array<int64_t, kOptionTimes> times{};
    std::array<int32_t, kOptionCounts> counts{};
    std::array<DataString, kOptionStrings> strings{};
    std::array<DataString, kOptionStrings> scopes{};

    bool operator==(const TriggerOption&) const = default;
};

// "SDStr1" .. "SDStr4", "RDStr1" .. "RDStr4".
std::string_view OptionStringKey(int string);
// Bytes before the first END scope (at most 16): the length of the pattern.
int PatternLength(const DataString& scopes);

// Each byte as two lower-case hex digits and a blank, the last without: 47 characters.
std::string DataStringText(const DataString& bytes);
// Groups of three characters, the first two of each a hex byte (either case);
// bytes the text does not reach stay 0.
DataString ParseDataString(std::string_view text);

// "%y%m%d%H%M%S" in local time; empty when the time cannot be represented.
std::string TriggerTimeText(int64_t time);
// Twelve digits in pairs (year - 2000, month, day, hour, minute, second) in
// local time, daylight saving decided by the system. nullopt when a field is
// out of range, so the caller keeps its default.
std::optional<int64_t> ParseTriggerTime(std::string_view text);

// Level of a line condition's state.
inline constexpr uint32_t kLevelLow = 0;
inline constexpr uint32_t kLevelHigh = 1;
extern const WordTable kLevelWords;  // 1 "HIGH", 0 "LOW"
// Combination of the conditions taking part.
inline constexpr uint8_t kAndOrAnd = 0;
inline constexpr uint8_t kAndOrOr = 1;
extern const WordTable kAndOrWords;

inline constexpr int kTriggerLines = 10;  // SD RD RS CS ER DR CD CI ExtIn ExtOut
inline constexpr int kTriggerEvents = 8;

struct TriggerSetting {
    // Conditions: 1 takes part, 0 does not.
    std::array<uint32_t, kTriggerLines> lines{};
    std::array<uint32_t, kTriggerEvents> events{};
    std::array<uint32_t, kTriggerEvents> syncs{};  // external events
    std::array<uint32_t, kOptionTimes> times{};
    std::array<uint32_t, kOptionCounts> counts{};
    std::array<uint32_t, 4> sdStrings{};
    std::array<uint32_t, 4> rdStrings{};
    uint32_t sdError = 0;
    uint32_t rdError = 0;
    uint8_t andOr = kAndOrAnd;
    uint32_t sdBreak = 0;
    uint32_t rdBreak = 0;
    uint32_t bufferFull = 0;
    // States.
    std::array<uint32_t, kTriggerLines> lineStates{};    // kLevelLow / kLevelHigh
    std::array<uint32_t, kTriggerEvents> eventStates{};  // 1 ON, 0 OFF
    std::array<uint32_t, kTriggerEvents> syncStates{};
    // Action.
    uint32_t enabled = 0;
    uint8_t action1 = 0;
    uint8_t action2 = 0;
    uint16_t option1 = 0;
    uint16_t option2 = 0;

    bool operator==(const TriggerSetting&) const = default;
};

// Action codes that other parts look for.
inline constexpr uint8_t kActionNone = 0x00;
inline constexpr uint8_t kActionStopStoring = 0x10;
inline constexpr uint8_t kActionStartStoring = 0x20;
// The option of an action that applies to no number.
inline constexpr uint16_t kNoOption = 255;

// One entry of the action lists the editors offer. The Japanese label is
// what files, logs and the print listing keep; either label is taken as
// input.
struct ActionEntry {
    uint8_t code;
    uint16_t option;  // kNoOption, or the number the action applies to
    std::string label;
    std::string english;
    const std::string& In(UiLanguage l) const { return l == UiLanguage::kJapanese ? label : english; }
    const std::string& Shown() const { return In(MessageLanguage()); }
};
inline constexpr size_t kActionEntries = 53;
std::span<const ActionEntry> ActionList();
// The entry of (code, option); kActionEntries when no entry has that code or
// the option is not one of the code's numbers (an index past the list, never
// the index of another action).
size_t ActionIndex(uint8_t code, uint16_t option);
// The label of (code, option) in `language`; nullopt when the pair is not in
// the list.
std::optional<std::string> ActionLabel(uint8_t code, uint16_t option, UiLanguage language);
// The entry a label names, in either language; nullptr for none.
const ActionEntry* FindAction(std::string_view label);

// True when either action of the trigger starts storing.
bool StartsStoring(const TriggerSetting& t);

// A condition of a trigger, named by its group and its index in the group.
enum class ConditionGroup {
    Line,
    Event,
    Sync,
    Time,
    Count,
    SdString,
    RdString,
    SdError,
    RdError,
    SdBreak,
    RdBreak,
    BufferFull,
};
struct ConditionRef {
    ConditionGroup group;
    int index = 0;
    bool operator==(const ConditionRef&) const = default;
};

// The taking-part field of a condition, to change it; nullptr for an index out
// of range.
uint32_t* TakesPart(TriggerSetting& t, ConditionRef c);
// Whether the condition takes part (false for an index out of range). A name
// of its own: an overload would be chosen by the constness of the trigger,
// and a pointer tested where the value was meant is always "taking part".
bool IsTakingPart(const TriggerSetting& t, ConditionRef c);
// The state field of a line, event or external event condition; nullptr for others.
uint32_t* StateOf(TriggerSetting& t, ConditionRef c);
// The key of the condition in a trigger section ("SD", "Event3", "SDStr1",
// "SDError", "BufferFull", ...) and, for line, event and external event
// conditions, the key of its state ("SD_State", "Event3_State"); empty otherwise.
std::string ConditionKey(ConditionRef c);
std::string ConditionStateKey(ConditionRef c);
// The condition with this key (case-insensitive); nullopt when there is none.
std::optional<ConditionRef> FindCondition(std::string_view key);

// How the editors edit a condition.
enum class ConditionKind {
    String,  // bytes and scopes
    Time,    // date and time
    Level,   // HIGH or LOW
    Flag,    // taking part or not
    Count,   // 1 to 1,000,000,000
    OnOff,   // ON or OFF
};
inline constexpr int32_t kMinTriggerCount = 1;
inline constexpr int32_t kMaxTriggerCount = 1'000'000'000;

struct Condition {
    ConditionRef ref;
    std::string name;
};
struct ConditionCategory {
    std::string_view label;
    ConditionKind kind;
    std::vector<Condition> conditions;
};

// Display names of line codes 2 to 11 (SD, RD, RS, ..., EXT_OUT) as the
// display format table gives them for the current line type.
using LineNames = std::array<std::string, kTriggerLines>;
// The names used when no display table is at hand.
LineNames DefaultLineNames();

// The eight categories in the order the editors offer them, labelled in
// `language`. With line names the string, error and break entries carry the
// SD and RD names ("TxD文字列1", "TxDエラー", "TxDラインブレーク"; "TxD string 1")
// and the line conditions their display names; without, the fixed labels
// ("SD 文字列1", "SD エラー", "SD ブレーク"; "SD string 1").
std::vector<ConditionCategory> ConditionCatalogue(const LineNames* names = nullptr,
                                                  UiLanguage language = MessageLanguage());

}  // namespace qv
