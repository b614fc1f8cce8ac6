#include "common/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace qv {

namespace {

constexpr int kSize = 24;

void DrawFolder(QPainter& p, const QColor& fill) {
    p.setPen(QPen(QColor(120, 90, 20), 1.2));
    p.setBrush(fill);
    QPainterPath path;
    path.moveTo(3, 7);
    path.lineTo(9, 7);
    path.lineTo(11, 9);
    path.lineTo(21, 9);
    path.lineTo(21, 19);
    path.lineTo(3, 19);
    path.closeSubpath();
    p.drawPath(path);
}

void DrawWave(QPainter& p, double y, const QColor& c) {
    p.setPen(QPen(c, 1.6));
    QPolygonF w;
    double lo = y + 2, hi = y - 2;
    w << QPointF(5, lo) << QPointF(8, lo) << QPointF(8, hi) << QPointF(12, hi) << QPointF(12, lo)
      << QPointF(15, lo) << QPointF(15, hi) << QPointF(19, hi);
    p.drawPolyline(w);
}

}  // namespace

QIcon MakeIcon(IconKind kind) {
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(40, 40, 60);
    const QColor green(30, 150, 60), red(200, 40, 40), blue(40, 90, 200), amber(230, 170, 40);
    switch (kind) {
        case IconKind::Open:
            DrawFolder(p, amber);
            p.setPen(QPen(blue, 2));
            p.drawLine(QPointF(12, 17), QPointF(12, 11));
            p.drawLine(QPointF(9, 13), QPointF(12, 10));
            p.drawLine(QPointF(15, 13), QPointF(12, 10));
            break;
        case IconKind::Folder:
            DrawFolder(p, amber);
            break;
        case IconKind::Capture:
            DrawFolder(p, QColor(170, 210, 240));
            DrawWave(p, 14, blue);
            break;
        case IconKind::FolderUp:
            DrawFolder(p, amber);
            p.setPen(QPen(ink, 2));
            p.drawLine(QPointF(12, 17), QPointF(12, 11));
            p.drawLine(QPointF(9, 14), QPointF(12, 11));
            p.drawLine(QPointF(15, 14), QPointF(12, 11));
            break;
        case IconKind::ListView:
            p.setPen(QPen(ink, 2));
            for (int y : {6, 11, 16})
                p.drawLine(5, y, 19, y);
            break;
        case IconKind::DetailView:
            p.setPen(QPen(ink, 1.5));
            p.drawRect(4, 4, 16, 16);
            p.drawLine(4, 9, 20, 9);
            p.drawLine(10, 4, 10, 20);
            p.drawLine(4, 14, 20, 14);
            break;
        case IconKind::Dump:
            // A page of hexadecimal cells with its character column.
            p.setPen(QPen(ink, 1.2));
            p.setBrush(Qt::white);
            p.drawRect(3, 4, 18, 16);
            p.setPen(QPen(blue, 1.6));
            for (int y : {8, 12, 16}) {
                p.drawLine(5, y, 8, y);
                p.drawLine(10, y, 13, y);
            }
            p.setPen(QPen(green, 1.6));
            for (int y : {8, 12, 16})
                p.drawLine(15, y, 19, y);
            break;
        case IconKind::Close:
            p.setPen(QPen(red, 2.5));
            p.drawLine(6, 6, 18, 18);
            p.drawLine(18, 6, 6, 18);
            break;
        case IconKind::First:
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            p.drawRect(5, 6, 2, 12);
            p.drawPolygon(QPolygonF({QPointF(18, 6), QPointF(8, 12), QPointF(18, 18)}));
            break;
        case IconKind::Last:
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            p.drawRect(17, 6, 2, 12);
            p.drawPolygon(QPolygonF({QPointF(6, 6), QPointF(16, 12), QPointF(6, 18)}));
            break;
        case IconKind::Start:
            p.setPen(Qt::NoPen);
            p.setBrush(green);
            p.drawPolygon(QPolygonF({QPointF(7, 5), QPointF(19, 12), QPointF(7, 19)}));
            break;
        case IconKind::Pause:
            p.setPen(Qt::NoPen);
            p.setBrush(amber);
            p.drawRect(7, 5, 4, 14);
            p.drawRect(13, 5, 4, 14);
            break;
        case IconKind::Stop:
            p.setPen(Qt::NoPen);
            p.setBrush(red);
            p.drawRect(6, 6, 12, 12);
            break;
        case IconKind::Unit:
            p.setPen(QPen(ink, 1.5));
            p.setBrush(QColor(210, 220, 235));
            p.drawRoundedRect(3, 7, 18, 11, 2, 2);
            p.setBrush(green);
            p.drawEllipse(QPointF(7, 12.5), 1.5, 1.5);
            p.drawLine(12, 18, 12, 21);
            break;
        case IconKind::Status:
            p.setPen(QPen(blue, 1.5));
            p.setBrush(QColor(220, 232, 250));
            p.drawEllipse(QPointF(12, 12), 8, 8);
            p.setPen(QPen(blue, 2.2));
            p.drawLine(12, 10, 12, 17);
            p.drawPoint(12, 7);
            break;
        case IconKind::Clock:
            p.setPen(QPen(ink, 1.5));
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(12, 12), 8, 8);
            p.drawLine(12, 12, 12, 7);
            p.drawLine(12, 12, 16, 14);
            break;
        case IconKind::Sync:
            DrawWave(p, 8, blue);
            DrawWave(p, 16, green);
            break;
        case IconKind::Help:
            p.setPen(QPen(blue, 1.5));
            p.setBrush(QColor(220, 232, 250));
            p.drawEllipse(QPointF(12, 12), 8, 8);
            p.setPen(blue);
            p.setFont(QFont("Sans", 10, QFont::Bold));
            p.drawText(QRectF(4, 4, 16, 16), Qt::AlignCenter, "?");
            break;
        case IconKind::LineChart: {
            // Two stacked square waves: a data line over a control line.
            p.setPen(QPen(green.darker(130), 1.5));
            const QPointF top[] = {{2, 10},  {6, 10}, {6, 4},  {10, 4},  {10, 10},
                                   {14, 10}, {14, 4}, {17, 4}, {17, 10}, {22, 10}};
            p.drawPolyline(top, 10);
            p.setPen(QPen(blue, 1.5));
            const QPointF bottom[] = {{2, 20}, {9, 20}, {9, 14}, {22, 14}};
            p.drawPolyline(bottom, 4);
            break;
        }
        case IconKind::App:
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(29, 53, 87));
            p.drawRoundedRect(1, 3, 22, 18, 3, 3);
            DrawWave(p, 9, QColor(168, 218, 220));
            DrawWave(p, 16, QColor(241, 196, 83));
            break;
    }
    p.end();
    return QIcon(pm);
}

}  // namespace qv
