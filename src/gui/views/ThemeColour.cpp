#include "views/ThemeColour.h"

#include "views/StoredColour.h"

namespace qv {

QColor ShownViewColor(ViewColor c, uint32_t stored, const QPalette& palette) {
    if (stored != ViewColorDefault(c)) return ToQColor(stored);
    // The rows are painted on the palette's base colour.
    const bool dark = palette.color(QPalette::Base).lightnessF() < 0.5;
    switch (c) {
        case ViewColor::MonitorSd:
            return palette.color(QPalette::Text);
        case ViewColor::MonitorRd:  // cyan
            return dark ? QColor(0x4d, 0xd0, 0xe1) : QColor(0x00, 0x70, 0x85);
        case ViewColor::MonitorControl:  // magenta
            return dark ? QColor(0xf0, 0x78, 0xf0) : QColor(0x9c, 0x00, 0x9c);
        case ViewColor::MonitorOther:  // green
            return dark ? QColor(0x70, 0xd8, 0x70) : QColor(0x00, 0x78, 0x00);
        case ViewColor::DumpOdd:
            return palette.color(QPalette::Base);
        case ViewColor::DumpEven:  // cyan behind the palette's text
            return dark ? QColor(0x00, 0x40, 0x48) : ToQColor(stored);
        case ViewColor::DumpBoundary:  // light blue
            return dark ? QColor(0x1c, 0x2c, 0x4a) : ToQColor(stored);
    }
    return ToQColor(stored);
}

}  // namespace qv
