// What a capture search looks for, and the test of one record against it.
// The search dialog fills one condition block from its current tab; qvtool
// fills it from its options. The engine walks a reader with it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "capture/CaptureFrame.h"
#include "core/MessageText.h"

namespace qv {

class CaptureReader;

inline constexpr int kPatternBytes = 16;

// A data string: bytes with a care flag each; a byte not cared for matches
// any byte. The pattern ends with its last cared byte.
struct SearchPattern {
    bool enabled = false;
    std::array<uint8_t, kPatternBytes> bytes{};
    std::array<bool, kPatternBytes> care{};

    // Position of the last cared byte + 1; 0 when no byte is cared for.
    int Length() const;
};

// "41 ** 43": hex bytes and "**" for any byte, separated by blanks; at most
// 16. nullopt for anything else.
std::optional<SearchPattern> ParsePattern(std::string_view text);

// The control lines in line-state bit order: RS is bit 7, Ext OUT bit 0.
inline constexpr int kSearchLines = 8;

struct SearchCondition {
    SearchPattern sd, rd;
    // LOGIC captures only: the level of the SD and RD line (header bits 1, 0).
    bool sdLevelEnabled = false, rdLevelEnabled = false;
    uint8_t sdLevel = 0, rdLevel = 0;  // 0 Low, 1 High
    // [i] is line-state bit 7 - i.
    std::array<bool, kSearchLines> lineEnabled{};
    std::array<uint8_t, kSearchLines> lineLevel{};
    // ASYNC captures only; the wanted value is always "set".
    bool parity = false, overrun = false, framing = false;
    // AND (the default): every enabled test must hold; OR: any one.
    bool andMode = true;

    // True when at least one test is enabled and every enabled string has a
    // cared byte; the dialog refuses to start otherwise.
    bool IsSet() const;
    bool AnyLine() const;
};

enum class SearchDirection { kForward, kBackward };

// Tests records against one condition block; keeps a scratch record so that
// testing allocates nothing per record.
class SearchMatcher {
  public:
    explicit SearchMatcher(const SearchCondition& c) : m_c(c) {}

    // Tests the reader's current record. `neighbourLine` is the line state
    // of the record the search stepped from (the previous one going forward,
    // the next one going backward); nullopt when there is none. A string
    // test walks forward over records of its direction: on a match the
    // reader is left on the string's last record, otherwise it may have
    // moved and the caller puts it back.
    bool Test(CaptureReader& file, std::optional<uint8_t> neighbourLine);
    // The reader's code when the last Test could not read the records it
    // needed (a string running into a chunk that cannot be read); 0 else.
    int ReadError() const { return m_readError; }

    // The jump type (CaptureReader.h) that every record able to match has, so the
    // search can step with the type searches and pass over chunks that hold
    // none; 0 when any record may match.
    int CandidateType() const;

  private:
    bool MatchString(CaptureReader& file, const SearchPattern& p, bool sd);

    SearchCondition m_c;
    CaptureFrame m_frame;
    int m_readError = 0;
};

}  // namespace qv
