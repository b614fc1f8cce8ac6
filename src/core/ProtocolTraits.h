// What each capture protocol is: its stored code and name, and the few
// properties that every reader, writer, view and export asks of it. A fifth
// protocol is a fifth row here (and a decoder for its stream); code asks the
// row, never "is this ASYNC?".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string_view>

namespace qv {

// The enumerator values are the codes index and status files store.
enum class Protocol : uint8_t { kAsync = 0, kSync = 16, kHdlc = 32, kLogic = 48 };

struct ProtocolTraits {
    Protocol protocol;
    std::string_view name;  // as settings and listings write it ("ASYNC", ...)
    // Data travels as frame records (start, end, length, bytes); line
    // changes stay short records.
    bool frameRecords;
    // Data are start-stop characters, one short record each holding the
    // character: stamped at its stop bit (it began one character time
    // before), with a character time that follows from rate and format.
    bool startStopCharacters;
    // Each character carries parity, overrun and framing flags.
    bool characterErrors;
    // Event records carry the break states of SD and RD.
    bool breakEvents;
    // Data records hold samples of every line rather than characters: there
    // is no SD or RD data to count, show in hex or cut into messages.
    bool lineSamples;

    constexpr bool dataLines() const { return !lineSamples; }
};

inline constexpr ProtocolTraits kProtocolTraits[] = {
    // protocol         name     frames chars  errors breaks samples
    {Protocol::kAsync, "ASYNC", false, true, true, true, false},
    {Protocol::kSync, "SYNC", true, false, false, false, false},
    {Protocol::kHdlc, "HDLC", true, false, false, false, false},
    {Protocol::kLogic, "LOGIC", false, false, false, false, true},
};

inline constexpr auto kEveryProtocol = [] {
    std::array<Protocol, std::size(kProtocolTraits)> all{};
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = kProtocolTraits[i].protocol;
    return all;
}();

constexpr const ProtocolTraits& TraitsOf(Protocol protocol) {
    for (const ProtocolTraits& t : kProtocolTraits)
        if (t.protocol == protocol) return t;
    return kProtocolTraits[0];
}

// The stored codes, for the settings and index fields that hold them as
// numbers.
inline constexpr int kProtocolAsync = static_cast<int>(Protocol::kAsync);
inline constexpr int kProtocolSync = static_cast<int>(Protocol::kSync);
inline constexpr int kProtocolHdlc = static_cast<int>(Protocol::kHdlc);
inline constexpr int kProtocolLogic = static_cast<int>(Protocol::kLogic);

constexpr int ProtocolCode(Protocol protocol) {
    return static_cast<int>(protocol);
}
// The protocol of a stored code; nothing for a code no protocol has.
constexpr std::optional<Protocol> ProtocolFromCode(int code) {
    for (const ProtocolTraits& t : kProtocolTraits)
        if (ProtocolCode(t.protocol) == code) return t.protocol;
    return std::nullopt;
}
constexpr bool IsValidProtocol(int code) {
    return ProtocolFromCode(code).has_value();
}
// The traits of a stored code; a code no protocol has has none of them (its
// records read as short records, as the decoder takes them).
constexpr ProtocolTraits kUnknownProtocolTraits{
    Protocol::kAsync, "", false, false, false, false, false};
constexpr const ProtocolTraits& TraitsOfCode(int code) {
    const std::optional<Protocol> p = ProtocolFromCode(code);
    return p ? TraitsOf(*p) : kUnknownProtocolTraits;
}

constexpr std::string_view ProtocolName(Protocol protocol) {
    return TraitsOf(protocol).name;
}
// The protocol of a name ProtocolName gives; nothing for any other text.
constexpr std::optional<Protocol> ProtocolFromName(std::string_view name) {
    for (const ProtocolTraits& t : kProtocolTraits)
        if (t.name == name) return t.protocol;
    return std::nullopt;
}

constexpr bool UsesFrameRecords(Protocol protocol) {
    return TraitsOf(protocol).frameRecords;
}
// Of a stored code; an unknown code has short records only.
constexpr bool UsesFrameRecords(int code) {
    return TraitsOfCode(code).frameRecords;
}

}  // namespace qv
