#include "settings/MonitorSettings.h"

#include <array>
#include <iterator>
#include <variant>

#include "core/TimeText.h"

namespace qv {

namespace {

constexpr CodeWord kLine[] = {{0, "232"}, {1, "422/485"}, {2, "530"}};
constexpr auto kProtocol = [] {
    std::array<CodeWord, std::size(kEveryProtocol)> t{};
    for (size_t i = 0; i < t.size(); ++i)
        t[i] = {ProtocolCode(kEveryProtocol[i]), ProtocolName(kEveryProtocol[i])};
    return t;
}();
constexpr CodeWord kParity[] = {{0, "NON"},  {1, "ODD"},   {2, "EVEN"},
                                {3, "MARK"}, {4, "SPACE"}, {5, "MP"}};
constexpr CodeWord kStopBit[] = {{0, "NON"}, {10, "1"}, {15, "1.5"}, {20, "2"}};
constexpr CodeWord kFcs[] = {{0, "NON"}, {1, "CRC-CCIT"}, {2, "CRC16"}, {3, "CRC12"}, {4, "CRC6"}};
constexpr CodeWord kOnOff[] = {{1, "ON"}, {0, "OFF"}};
constexpr CodeWord kBitOrder[] = {{1, "LSB"}, {0, "MSB"}};
constexpr CodeWord kDataLogic[] = {{1, "PositiveLogic"}, {0, "NegativeLogic"}};
constexpr CodeWord kDataFormat[] = {{0, "NRZ"}, {1, "NRZI"}};
constexpr CodeWord kClock[] = {{0, "INT"}, {1, "ST1"}, {2, "ST2"}, {3, "RT"}};
constexpr CodeWord kClockRate[] = {{0, "1/1"}, {1, "1/16"}, {2, "1/32"}, {3, "1/64"}};
constexpr CodeWord kMemory[] = {{1, "FIX"}, {2, "RING"}};
constexpr CodeWord kYesNo[] = {{1, "Y"}, {0, "N"}};
constexpr CodeWord kSyncSetting[] = {{0, "NONE"}, {1, "ALWAYS"}, {2, "ONCE"}};

constexpr std::string_view kCycleKeys[kSampledLines] = {
    "SDSamplingCycle",    "RDSamplingCycle",    "RSSamplingCycle", "CSSamplingCycle",
    "ERSamplingCycle",    "DRSamplingCycle",    "CDSamplingCycle", "CISamplingCycle",
    "EXTINSamplingCycle", "EXTOUTSamplingCycle"};

using K = MonitorKey::Kind;
constexpr std::string_view kMS = kMonitorStatusSection;

// Template order. Words that a field treats specially: TransParent and Padding
// read any other word as 0 (off); Memory reads anything but "RING" as FIX.
const MonitorKey kKeys[] = {
    {kRegistInfoSection, "SaveDevice", K::Decimal},
    {kMS, "Line", K::Word, kLine},
    {kMS, "Protocol", K::Word, kProtocol},
    {kMS, "SD_Baudrate", K::Rate},
    {kMS, "RD_Baudrate", K::Rate},
    {kMS, "DataLen", K::Decimal},
    {kMS, "Parity", K::Word, kParity},
    {kMS, "StopBit", K::Word, kStopBit},
    {kMS, "FCS", K::Word, kFcs},
    {kMS, "SyncCharCnt", K::Decimal},
    {kMS, "SyncChar1", K::Hex2},
    {kMS, "SyncChar2", K::Hex2},
    {kMS, "SyncReleaseCnt", K::Decimal},
    {kMS, "SyncReleaseChar", K::Hex2},
    {kMS, "TransParent", K::Word, kOnOff, 0},
    {kMS, "TransParentChar", K::Hex2},
    {kMS, "BitOrder", K::Word, kBitOrder},
    {kMS, "SDDataLogic", K::Word, kDataLogic},
    {kMS, "RDDataLogic", K::Word, kDataLogic},
    {kMS, "DataFormat", K::Word, kDataFormat},
    {kMS, "Clock", K::Word, kClock},
    {kMS, "SD_ClockRate", K::Word, kClockRate},
    {kMS, "RD_ClockRate", K::Word, kClockRate},
    {kMS, "Padding", K::Word, kOnOff, 0},
    {kMS, "PaddingChar", K::Hex2},
    {kMS, "SyncSetting", K::Word, kSyncSetting},
    {kMS, "SDEnable", K::Word, kYesNo},
    {kMS, "RDEnable", K::Word, kYesNo},
    {kMS, kCycleKeys[0], K::Hex8},
    {kMS, kCycleKeys[1], K::Hex8},
    {kMS, kCycleKeys[2], K::Hex8},
    {kMS, kCycleKeys[3], K::Hex8},
    {kMS, kCycleKeys[4], K::Hex8},
    {kMS, kCycleKeys[5], K::Hex8},
    {kMS, kCycleKeys[6], K::Hex8},
    {kMS, kCycleKeys[7], K::Hex8},
    {kMS, kCycleKeys[8], K::Hex8},
    {kMS, kCycleKeys[9], K::Hex8},
    {kMS, "Memory", K::Word, kMemory, kMemoryFix},
};

using FieldRef = std::variant<uint8_t*, uint32_t*, double*>;

// The field a key is stored from and read into. Keys are matched by name so
// that the table above stays the single list of keys and their order.
FieldRef FieldOf(MonitorStatus& s, std::string_view key) {
    for (int i = 0; i < kSampledLines; ++i)
        if (key == kCycleKeys[i]) return &s.sampling.cycles[static_cast<size_t>(i)];
    static const struct {
        std::string_view key;
        FieldRef (*ref)(MonitorStatus&);
    } kRefs[] = {
        {"SaveDevice", [](MonitorStatus& x) -> FieldRef { return &x.monitor.SaveDevice; }},
        {"Line", [](MonitorStatus& x) -> FieldRef { return &x.monitor.Line; }},
        {"Protocol", [](MonitorStatus& x) -> FieldRef { return &x.monitor.Protocol; }},
        {"SD_Baudrate", [](MonitorStatus& x) -> FieldRef { return &x.monitor.SD_Baudrate; }},
        {"RD_Baudrate", [](MonitorStatus& x) -> FieldRef { return &x.monitor.RD_Baudrate; }},
        {"DataLen", [](MonitorStatus& x) -> FieldRef { return &x.monitor.DataLen; }},
        {"Parity", [](MonitorStatus& x) -> FieldRef { return &x.monitor.Parity; }},
        {"StopBit", [](MonitorStatus& x) -> FieldRef { return &x.monitor.StopBit; }},
        {"FCS", [](MonitorStatus& x) -> FieldRef { return &x.monitor.FCS; }},
        {"SyncCharCnt", [](MonitorStatus& x) -> FieldRef { return &x.monitor.SyncCharCnt; }},
        {"SyncChar1", [](MonitorStatus& x) -> FieldRef { return &x.monitor.SyncChar1; }},
        {"SyncChar2", [](MonitorStatus& x) -> FieldRef { return &x.monitor.SyncChar2; }},
        {"SyncReleaseCnt", [](MonitorStatus& x) -> FieldRef { return &x.monitor.SyncReleaseCnt; }},
        {"SyncReleaseChar",
         [](MonitorStatus& x) -> FieldRef { return &x.monitor.SyncReleaseChar; }},
        {"TransParent", [](MonitorStatus& x) -> FieldRef { return &x.monitor.TransParent; }},
        {"TransParentChar",
         [](MonitorStatus& x) -> FieldRef { return &x.monitor.TransParentChar; }},
        {"BitOrder", [](MonitorStatus& x) -> FieldRef { return &x.monitor.BitOrder; }},
        {"SDDataLogic", [](MonitorStatus& x) -> FieldRef { return &x.monitor.SDDataLogic; }},
        {"RDDataLogic", [](MonitorStatus& x) -> FieldRef { return &x.monitor.RDDataLogic; }},
        {"DataFormat", [](MonitorStatus& x) -> FieldRef { return &x.monitor.DataFormat; }},
        {"Clock", [](MonitorStatus& x) -> FieldRef { return &x.monitor.Clock; }},
        {"SD_ClockRate", [](MonitorStatus& x) -> FieldRef { return &x.monitor.SD_ClockRate; }},
        {"RD_ClockRate", [](MonitorStatus& x) -> FieldRef { return &x.monitor.RD_ClockRate; }},
        {"Padding", [](MonitorStatus& x) -> FieldRef { return &x.monitor.Padding; }},
        {"PaddingChar", [](MonitorStatus& x) -> FieldRef { return &x.monitor.PaddingChar; }},
        {"SyncSetting", [](MonitorStatus& x) -> FieldRef { return &x.sync; }},
        {"SDEnable", [](MonitorStatus& x) -> FieldRef { return &x.sampling.SDEnable; }},
        {"RDEnable", [](MonitorStatus& x) -> FieldRef { return &x.sampling.RDEnable; }},
        {"Memory", [](MonitorStatus& x) -> FieldRef { return &x.monitor.Memory; }},
    };
    for (const auto& r : kRefs)
        if (r.key == key) return r.ref(s);
    return static_cast<uint8_t*>(nullptr);
}

uint64_t IntegerOf(const FieldRef& ref) {
    if (auto* p = std::get_if<uint8_t*>(&ref)) return *p ? **p : 0;
    if (auto* p = std::get_if<uint32_t*>(&ref)) return *p ? **p : 0;
    return 0;
}

void StoreInteger(const FieldRef& ref, int64_t value) {
    // Stored as the C runtime would assign it: the low bits of the number.
    if (auto* p = std::get_if<uint8_t*>(&ref)) {
        if (*p) **p = static_cast<uint8_t>(value);
    } else if (auto* p = std::get_if<uint32_t*>(&ref)) {
        if (*p) **p = static_cast<uint32_t>(value);
    }
}

}  // namespace

const WordTable kLineWords{kLine};
const WordTable kProtocolWords{kProtocol};
const WordTable kParityWords{kParity};
const WordTable kStopBitWords{kStopBit};
const WordTable kFcsWords{kFcs};
const WordTable kOnOffWords{kOnOff};
const WordTable kBitOrderWords{kBitOrder};
const WordTable kDataLogicWords{kDataLogic};
const WordTable kDataFormatWords{kDataFormat};
const WordTable kClockWords{kClock};
const WordTable kClockRateWords{kClockRate};
const WordTable kMemoryWords{kMemory};
const WordTable kYesNoWords{kYesNo};
const WordTable kSyncSettingWords{kSyncSetting};

std::string_view SamplingCycleKey(int line) {
    return line >= 0 && line < kSampledLines ? kCycleKeys[line] : std::string_view();
}

std::span<const MonitorKey> MonitorKeys() {
    return kKeys;
}

const MonitorKey* FindMonitorKey(std::string_view name) {
    for (const MonitorKey& k : kKeys)
        if (EqualsNoCase(k.key, name)) return &k;
    return nullptr;
}

std::string MonitorKeyText(const MonitorStatus& status, const MonitorKey& key) {
    // FieldOf hands out pointers for both reading and writing; this path only reads.
    FieldRef ref = FieldOf(const_cast<MonitorStatus&>(status), key.key);
    switch (key.kind) {
        case K::Word:
            return std::string(
                WordOf(key.words, static_cast<int>(IntegerOf(ref))).value_or(std::string_view()));
        case K::Decimal:
            // "%d" of the field: a 32-bit value above INT_MAX prints negative and
            // reads back to the same bits.
            return std::to_string(static_cast<int32_t>(IntegerOf(ref)));
        case K::Rate:
            if (auto* p = std::get_if<double*>(&ref)) return FormatFixed1(**p);
            return "0.0";
        case K::Hex2:
            return HexByte(static_cast<uint8_t>(IntegerOf(ref)));
        case K::Hex8: {
            static constexpr char kDigits[] = "0123456789abcdef";
            auto v = static_cast<uint32_t>(IntegerOf(ref));
            std::string out(8, '0');
            for (int i = 7; i >= 0; --i, v >>= 4)
                out[static_cast<size_t>(i)] = kDigits[v & 0xF];
            return out;
        }
    }
    return {};
}

void ApplyMonitorKeyText(MonitorStatus& status, const MonitorKey& key, std::string_view text) {
    FieldRef ref = FieldOf(status, key.key);
    switch (key.kind) {
        case K::Word:
            StoreInteger(ref, CodeOf(key.words, text, key.unknown));
            break;
        case K::Decimal:
            StoreInteger(ref, ParseLeadingInt(text));
            break;
        case K::Rate:
            if (auto* p = std::get_if<double*>(&ref)) **p = ParseLeadingDouble(text);
            break;
        case K::Hex2:
            StoreInteger(ref, static_cast<int64_t>(ParseHexPrefix(text, 2)));
            break;
        case K::Hex8:
            StoreInteger(ref, ParseHex32(text));
            break;
    }
}

}  // namespace qv
