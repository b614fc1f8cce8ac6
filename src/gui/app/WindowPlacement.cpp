#include "app/WindowPlacement.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "core/AppPaths.h"
#include "core/IniFile.h"

namespace qv {

namespace {

constexpr const char* kConfFile = "QV-ORT.conf";
constexpr const char* kSection = "MainWindow";
constexpr QSize kPreferred(1100, 700);
// Smaller than this the menus and the status bar no longer make sense.
constexpr QSize kLeast(400, 300);

}  // namespace

std::vector<QRect> CascadeRects(const QSize& area, int count, int step) {
    std::vector<QRect> out;
    if (count <= 0 || area.isEmpty()) return out;
    const QSize least(area.width() * 2 / 3, area.height() * 2 / 3);
    // As many offsets as fit beside the smallest usable size.
    const int room = std::max(1, std::min((area.width() - least.width()) / step,
                                          (area.height() - least.height()) / step) +
                                     1);
    const int steps = std::min(count, room);
    const QSize size(area.width() - (steps - 1) * step, area.height() - (steps - 1) * step);
    for (int i = 0; i < count; ++i) {
        const int k = i % steps;
        out.emplace_back(QPoint(k * step, k * step), size);
    }
    return out;
}

std::vector<QRect> TileRects(const QSize& area, int count) {
    std::vector<QRect> out;
    if (count <= 0 || area.isEmpty()) return out;
    int columns = 1;
    while (columns * columns < count)
        ++columns;
    const int rows = (count + columns - 1) / columns;
    for (int i = 0; i < count; ++i) {
        const int row = i / columns;
        // The last row may hold fewer windows; they share its width.
        const int inRow = row == rows - 1 ? count - row * columns : columns;
        const int col = i % columns;
        const int x0 = area.width() * col / inRow, x1 = area.width() * (col + 1) / inRow;
        const int y0 = area.height() * row / rows, y1 = area.height() * (row + 1) / rows;
        out.emplace_back(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1));
    }
    return out;
}

QRect FitTile(const QRect& tile, const QSize& least, const QSize& area) {
    QRect r(tile.topLeft(), tile.size().expandedTo(least));
    r.moveLeft(std::max(0, std::min(r.left(), area.width() - r.width())));
    r.moveTop(std::max(0, std::min(r.top(), area.height() - r.height())));
    return r;
}

QRect FitToScreen(const QRect& available, const std::optional<QRect>& saved,
                  const QSize& frameExtra) {
    const QSize room(std::max(1, available.width() - frameExtra.width()),
                     std::max(1, available.height() - frameExtra.height()));
    QSize size = saved ? saved->size() : kPreferred;
    size = size.expandedTo(kLeast).boundedTo(room);
    if (!saved) {
        QRect r(QPoint(0, 0), size);
        r.moveCenter(available.center());
        return r;
    }
    // Keep the saved corner when the window fits there, else slide it in.
    QPoint corner = saved->topLeft();
    const int right = available.left() + room.width() - size.width();
    const int bottom = available.top() + room.height() - size.height();
    corner.setX(std::clamp(corner.x(), available.left(), std::max(available.left(), right)));
    corner.setY(std::clamp(corner.y(), available.top(), std::max(available.top(), bottom)));
    return QRect(corner, size);
}

std::optional<WindowPlacement> ReadWindowPlacement() {
    IniFile conf;
    conf.SetPath(AppFile(kConfFile));
    std::string geometry;
    if (conf.ReadString(kSection, "Geometry", geometry) != 0) return std::nullopt;
    int x = 0, y = 0, w = 0, h = 0;
    if (std::sscanf(geometry.c_str(), "%d,%d,%d,%d", &x, &y, &w, &h) != 4 || w <= 0 || h <= 0)
        return std::nullopt;
    WindowPlacement p;
    p.normal = QRect(x, y, w, h);
    std::string maximized;
    p.maximized = conf.ReadString(kSection, "Maximized", maximized) == 0 && maximized == "1";
    return p;
}

int WriteWindowPlacement(const WindowPlacement& p) {
    IniFile conf;
    conf.SetPath(AppFile(kConfFile));
    const QRect& r = p.normal;
    const std::string geometry = std::to_string(r.x()) + "," + std::to_string(r.y()) + "," +
                                 std::to_string(r.width()) + "," + std::to_string(r.height());
    conf.BeginBatch();
    conf.WriteString(kSection, "Geometry", geometry);
    conf.WriteString(kSection, "Maximized", p.maximized ? "1" : "0");
    return conf.EndBatch();
}

}  // namespace qv
