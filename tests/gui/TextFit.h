// Texts a window shows cut off: a label, button, group title, combo entry,
// field, column title or cell narrower than its text, a tab the field drop
// down does not expand, or a dialog too narrow for its own title. Measured
// with the widget's own font and style, so a larger font (a 200 % desktop)
// is judged as the user sees it.
#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>

namespace qv::test {

// The widest line of `text` in `fm`, a mnemonic's '&' not counted; measured
// as Qt lays text out, so that a widget at its own size hint always fits.
inline int TextWidth(const QFontMetrics& fm, const QString& text) {
    return fm.size(Qt::TextShowMnemonic, text).width();
}

inline QString Plain(const QString& text, Qt::TextFormat format) {
    if (format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(text))) {
        QTextDocument doc;
        doc.setHtml(text);
        return doc.toPlainText();
    }
    return text;
}

// A fallback font's glyph metrics can drift by a few pixels between the
// time a widget sizes itself and the time it is measured here (the font
// database fills lazily); that much overrun is hidden in side bearings and
// margins, while a cut text misses far more.
inline int Slack(int need) {
    return 1 + need / 32;
}

inline QString Describe(const QWidget* w, const QString& text, int need, int have) {
    QString name = w->objectName().isEmpty() ? QString() : "#" + w->objectName();
    return QString("%1%2 in %3: \"%4\" needs %5 px, has %6")
        .arg(w->metaObject()->className(), name, w->window()->metaObject()->className(),
             text.left(60))
        .arg(need)
        .arg(have);
}

// The cells of an item view that are narrower than their text (the first
// `maxRows` rows of each column shown, children of tree rows too).
inline void ClippedCells(const QAbstractItemView* v, const QModelIndex& parent, int maxRows,
                         QStringList& found) {
    const QAbstractItemModel* m = v->model();
    const int margin = 2 * (v->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, v) + 1);
    const int rows = std::min(m->rowCount(parent), maxRows);
    const auto* tree = qobject_cast<const QTreeView*>(v);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < m->columnCount(parent); ++c) {
            const QModelIndex i = m->index(r, c, parent);
            const QRect rect = v->visualRect(i);
            if (rect.width() <= 0) continue;  // a hidden column or row
            const QString text = m->data(i, Qt::DisplayRole).toString();
            if (text.isEmpty()) continue;
            QFont font = v->font();
            if (const QVariant f = m->data(i, Qt::FontRole); f.isValid()) font = f.value<QFont>();
            int need = TextWidth(QFontMetrics(font), text) + margin;
            if (!m->data(i, Qt::DecorationRole).isNull()) need += v->iconSize().width() + 4;
            if (m->data(i, Qt::CheckStateRole).isValid())
                need += v->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, v) + 4;
            // A tree's last column runs to the view's edge.
            int have = rect.width();
            if (tree && c == m->columnCount(parent) - 1 && tree->header()->stretchLastSection())
                have = std::max(have, v->viewport()->width() - rect.left());
            if (need > have + Slack(need)) found << Describe(v, text, need, have);
            if (tree && c == 0 && tree->isExpanded(i)) ClippedCells(v, i, maxRows, found);
        }
}

// Every text of `root` (shown) and its visible children that does not fit.
inline QStringList ClippedTexts(QWidget* root, int maxRows = 300) {
    QStringList found;
    QList<QWidget*> all = root->findChildren<QWidget*>();
    all.prepend(root);
    for (QWidget* w : all) {
        if (w != root && !w->isVisibleTo(root)) continue;
        const QFontMetrics fm = w->fontMetrics();
        QStyle* style = w->style();
        if (auto* d = qobject_cast<QDialog*>(w); d && d == root) {
            // Room for the title beside a window manager's icon and buttons.
            const int need = TextWidth(fm, d->windowTitle()) + 120;
            if (need > d->width() + Slack(need))
                found << Describe(d, d->windowTitle(), need, d->width());
        }
        if (auto* l = qobject_cast<QLabel*>(w); l && !l->text().isEmpty()) {
            const QString text = Plain(l->text(), l->textFormat());
            const QRect inside = l->contentsRect();
            if (l->wordWrap()) {
                const int need = l->heightForWidth(l->width());
                if (need > l->height() + Slack(need))
                    found << Describe(l, text, need, l->height()) + " (height)";
            } else {
                const int need = TextWidth(fm, text) + 2 * l->margin() + std::max(0, l->indent());
                if (need > inside.width() + Slack(need))
                    found << Describe(l, text, need, inside.width());
                const int lines = static_cast<int>(text.count('\n')) + 1;
                if (lines * fm.height() > inside.height() + Slack(lines * fm.height()))
                    found << Describe(l, text, lines * fm.height(), inside.height()) + " (height)";
            }
        }
        if (auto* b = qobject_cast<QAbstractButton*>(w); b && !b->text().isEmpty()) {
            int need = 0;
            if (qobject_cast<QPushButton*>(b)) {
                // As the style sizes a button round its text.
                need = TextWidth(fm, b->text()) +
                       style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b) +
                       2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b);
                if (!b->icon().isNull()) need += b->iconSize().width() + 4;
            } else if (qobject_cast<QCheckBox*>(b) || qobject_cast<QRadioButton*>(b) ||
                       qobject_cast<QToolButton*>(b)) {
                need = b->sizeHint().width();
            }
            if (need > b->width() + Slack(need)) found << Describe(b, b->text(), need, b->width());
        }
        if (auto* g = qobject_cast<QGroupBox*>(w); g && !g->title().isEmpty()) {
            int need = TextWidth(fm, g->title()) + 16;
            if (g->isCheckable())
                need += style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, g) + 4;
            if (need > g->width() + Slack(need)) found << Describe(g, g->title(), need, g->width());
        }
        if (auto* c = qobject_cast<QComboBox*>(w); c && !c->isEditable()) {
            QStyleOptionComboBox opt;
            opt.initFrom(c);
            opt.editable = false;
            opt.frame = c->hasFrame();
            const QRect field =
                style->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, c);
            for (int i = 0; i < c->count(); ++i) {
                const QString text = c->itemText(i);
                // A tab is drawn as a wide gap in the field and the list.
                if (text.contains('\t')) found << Describe(c, text, -1, field.width()) + " (tab)";
                int need = TextWidth(fm, text) + 2;  // the label keeps 1 px each side
                if (!c->itemIcon(i).isNull()) need += c->iconSize().width() + 4;
                if (need > field.width() + Slack(need))
                    found << Describe(c, text, need, field.width());
            }
        }
        if (auto* e = qobject_cast<QLineEdit*>(w); e && !e->text().isEmpty()) {
            const QMargins m = e->textMargins();
            // Qt keeps 2 px each side of the text inside the frame.
            const int frame =
                e->hasFrame() ? style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, e) : 0;
            const int need = TextWidth(fm, e->displayText()) + m.left() + m.right() + 2 * frame + 4;
            if (need > e->width() + Slack(need))
                found << Describe(e, e->displayText(), need, e->width());
        }
        if (auto* h = qobject_cast<QHeaderView*>(w); h && h->model()) {
            const int margin = 2 * style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
            for (int i = 0; i < h->count(); ++i) {
                if (h->isSectionHidden(i) || h->sectionSize(i) == 0) continue;
                const QString title = h->model()->headerData(i, h->orientation()).toString();
                if (title.isEmpty()) continue;
                int need = h->orientation() == Qt::Horizontal ? TextWidth(fm, title) + margin
                                                              : fm.height();
                if (h->isSortIndicatorShown() && h->sortIndicatorSection() == i)
                    need += style->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, h);
                int have = h->sectionSize(i);
                if (h->stretchLastSection() && i == h->count() - 1)
                    have = std::max(have, h->width() - h->sectionViewportPosition(i));
                if (need > have + Slack(need)) found << Describe(h, title, need, have);
            }
        }
        if (auto* v = qobject_cast<QAbstractItemView*>(w); v && v->model() &&
                                                           !qobject_cast<QHeaderView*>(w) &&
                                                           w->property("textFitExempt").isNull())
            ClippedCells(v, {}, maxRows, found);
        if (auto* t = qobject_cast<QTabBar*>(w))
            for (int i = 0; i < t->count(); ++i) {
                const int need = TextWidth(fm, t->tabText(i)) +
                                 style->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, t);
                if (need > t->tabRect(i).width() + Slack(need))
                    found << Describe(t, t->tabText(i), need, t->tabRect(i).width());
            }
    }
    found.removeDuplicates();
    return found;
}

}  // namespace qv::test
