// Colours are stored in the settings and capture files as 0x00BBGGRR, red in
// the lowest byte; these turn them into Qt colours and back.
#pragma once

#include <QColor>
#include <cstdint>

#include "settings/FormatEntry.h"

namespace qv {

inline QColor ToQColor(uint32_t c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

inline uint32_t FromQColor(const QColor& c) {
    return RgbColour(static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()),
                     static_cast<uint8_t>(c.blue()));
}

}  // namespace qv
