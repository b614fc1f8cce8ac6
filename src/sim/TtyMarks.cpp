#include "sim/TtyMarks.h"

namespace qv::sim {

void MarkReader::Feed(const uint8_t* bytes, size_t n, std::vector<TapChar>& out) {
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = bytes[i];
        if (m_marked == 0) {
            if (b == 0xFF)
                m_marked = 1;
            else
                out.push_back({b, TapCharKind::kData});
        } else if (m_marked == 1) {
            if (b == 0x00) {
                m_marked = 2;
                continue;
            }
            // FF FF is a received FF. FF before anything else is not a mark
            // the driver makes; the FF is kept as data and the byte read anew.
            out.push_back({0xFF, TapCharKind::kData});
            m_marked = 0;
            if (b != 0xFF) --i;
        } else {
            out.push_back({b, b == 0 ? TapCharKind::kBreak : TapCharKind::kMarked});
            m_marked = 0;
        }
    }
}

}  // namespace qv::sim
