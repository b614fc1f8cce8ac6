// Where the main window opens: its last size and position, kept in
// "QV-ORT.conf", fitted to the screen it opens on, so that a window saved on
// a larger or since removed screen, or a scale factor of 2, never puts the
// status bar out of reach.
#pragma once

#include <QRect>
#include <optional>
#include <vector>

namespace qv {

struct WindowPlacement {
    QRect normal;  // the window's area, frame excluded, when not maximised
    bool maximized = false;
};

// The area to open in on a screen whose available area is `available`: the
// saved area shrunk to fit and moved inside, or without one a preferred
// 1100 x 700 that leaves room for the window frame, centred. `frameExtra` is
// what the title bar and borders add to each dimension (pixels).
QRect FitToScreen(const QRect& available, const std::optional<QRect>& saved,
                  const QSize& frameExtra = QSize(16, 40));

// The areas of `count` cascaded windows in an area of `area`: each `step`
// pixels right of and below the one before, all one size, the area less the
// offsets but never under two thirds of it, so that every window stays
// usable; past the room for that the cascade starts again at the corner.
std::vector<QRect> CascadeRects(const QSize& area, int count, int step = 26);

// The areas of `count` tiled windows in an area of `area`: a grid of about
// as many columns as rows, whose last row's windows share its whole width,
// so that the windows cover the area without gaps.
std::vector<QRect> TileRects(const QSize& area, int count);

// `tile` grown to at least `least`, moved back inside `area` as far as it
// fits.
QRect FitTile(const QRect& tile, const QSize& least, const QSize& area);

// The placement kept in "QV-ORT.conf" of the application folder, if any.
std::optional<WindowPlacement> ReadWindowPlacement();
// 0 or -1 (the file could not be written).
int WriteWindowPlacement(const WindowPlacement& placement);

}  // namespace qv
