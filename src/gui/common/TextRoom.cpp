#include "common/TextRoom.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace qv {

namespace {

// What a title bar takes beside its text: the icon, three buttons and the
// spacing between them on the common desktops.
constexpr int kTitleBarExtra = 120;

}  // namespace

int TextWidth(const QFontMetrics& fm, const QString& text) {
    return fm.size(Qt::TextShowMnemonic, text).width();
}

void WidenColumnsToTitles(QHeaderView* header) {
    for (int c = 0; c < header->count(); ++c)
        if (!header->isSectionHidden(c) && header->sectionSize(c) < header->sectionSizeHint(c))
            header->resizeSection(c, header->sectionSizeHint(c));
}

void WidenColumnsToContents(QAbstractItemView* view, QHeaderView* header, bool holdAll) {
    int total = 0;
    for (int c = 0; c < header->count(); ++c) {
        if (header->isSectionHidden(c)) continue;
        const int need = std::max(view->sizeHintForColumn(c), header->sectionSizeHint(c));
        if (header->sectionSize(c) < need) header->resizeSection(c, need);
        total += header->sectionSize(c);
    }
    if (!holdAll) return;
    const int scrollBar = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
    view->setMinimumWidth(
        std::max(view->minimumWidth(), total + 2 * view->frameWidth() + scrollBar));
}

int CellMargin(const QAbstractItemView* view) {
    return 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
}

int ColumnWidthFor(const QAbstractItemView* view, const QStringList& texts, int least) {
    int widest = 0;
    for (const QString& t : texts)
        widest = std::max(widest, TextWidth(view->fontMetrics(), t));
    return std::max(least, widest + CellMargin(view));
}

int FieldWidthFor(const QWidget* field, const QString& sample) {
    const int frame = field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, field);
    return TextWidth(field->fontMetrics(), sample) + 4 + 2 * frame;
}

void KeepTitleWhole(QWidget* window) {
    const int need = TextWidth(window->fontMetrics(), window->windowTitle()) + kTitleBarExtra;
    window->setMinimumWidth(std::max(window->minimumWidth(), need));
}

int SmallButtonWidth(const QWidget* button, const QString& text, int least) {
    const QStyle* style = button->style();
    const int room = style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                     2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
    return std::max(least, TextWidth(button->fontMetrics(), text) + room);
}

}  // namespace qv
