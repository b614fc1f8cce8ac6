// Room for the texts a window shows: columns as wide as their titles and
// cells, and windows as wide as their titles, so that nothing is cut off in
// either language or with a large desktop font.
#pragma once

#include <QStringList>

class QAbstractItemView;
class QFontMetrics;
class QHeaderView;
class QWidget;

namespace qv {

// The width of `text` as Qt lays it out in a widget (a mnemonic's '&' not
// counted, the widest line of several).
int TextWidth(const QFontMetrics& fm, const QString& text);

// Widens each section of `header` narrower than its title (a grid whose
// rows are too many to measure).
void WidenColumnsToTitles(QHeaderView* header);

// Widens each column of `view` narrower than its title or the widest cell
// in view; with `holdAll`, the view's minimum width then holds every column,
// so that no horizontal scroll bar hides the last.
void WidenColumnsToContents(QAbstractItemView* view, QHeaderView* header, bool holdAll = true);

// What an item view keeps each side of a cell's text (the focus margin),
// both sides together.
int CellMargin(const QAbstractItemView* view);

// The width of a column that shows any of `texts` whole: at least `least`.
int ColumnWidthFor(const QAbstractItemView* view, const QStringList& texts, int least);

// The width of a one-line field that shows `sample` whole: the text, Qt's
// 2 px each side inside the frame, and the frame.
int FieldWidthFor(const QWidget* field, const QString& sample);

// Keeps `window` wide enough that a window manager shows its title whole
// beside its icon and buttons.
void KeepTitleWhole(QWidget* window);

// The width of a small button (arrows, one letter): at least `least` pixels,
// more when the font makes its text wider.
int SmallButtonWidth(const QWidget* button, const QString& text, int least);

}  // namespace qv
