// The byte stream of a port whose driver marks line errors (PARMRK): a
// character received with a parity or framing error comes as FF 00 c, a
// break as FF 00 00, and a received FF as FF FF. The reader undoes the
// marking and keeps a mark cut between two reads for the next one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv::sim {

enum class TapCharKind : uint8_t {
    kData,    // received as it is
    kMarked,  // received with a parity or framing error
    kBreak,   // a break, or an error on a NUL character: the marking is the same
};

struct TapChar {
    uint8_t value = 0;
    TapCharKind kind = TapCharKind::kData;
};

class MarkReader {
  public:
    // Appends the characters `bytes` complete to `out`.
    void Feed(const uint8_t* bytes, size_t n, std::vector<TapChar>& out);

  private:
    int m_marked = 0;  // bytes of a mark seen so far: 0, 1 (FF) or 2 (FF 00)
};

}  // namespace qv::sim
