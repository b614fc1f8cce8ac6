#include "views/CounterColumn.h"

#include <QFontMetrics>
#include <QStyle>
#include <QWidget>
#include <algorithm>

#include "present/MonitorRows.h"

namespace qv {

int CounterColumnWidth(const QWidget& view, uint64_t largest) {
    const QFontMetrics fm = view.fontMetrics();
    // Every digit position as wide as the widest digit, so no count of that
    // many digits is wider; the padding blanks keep their own width.
    QChar widest = '0';
    for (char d = '0'; d <= '9'; ++d)
        if (fm.horizontalAdvance(QChar(d)) > fm.horizontalAdvance(widest)) widest = QChar(d);
    QString text = QString::fromStdString(CounterCellText(largest));
    for (QChar& c : text)
        if (c.isDigit()) c = widest;
    // An item view leaves this margin on both sides of a cell's text, and one
    // pixel more for the grid line.
    const int margin = view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
    return fm.horizontalAdvance(text) + 2 * margin + 2;
}

}  // namespace qv
