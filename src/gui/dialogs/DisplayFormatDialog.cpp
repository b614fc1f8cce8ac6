#include "dialogs/DisplayFormatDialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "common/TextRoom.h"
#include "dialogs/ReasonLabel.h"
#include "views/StoredColour.h"

namespace qv {

namespace {


// Names and comments are fields of a comma-separated line in the files.
constexpr const char* kNoCommaReason =
    QT_TRANSLATE_NOOP("qv::DisplayFormatDialog", "名前とコメントにカンマ(,)は使えません");

}  // namespace

DisplayFormatDialog::DisplayFormatDialog(const FormatHalf& rows, const SamplingSettings& sampling,
                                         int lineType, QWidget* parent)
    : QDialog(parent),
      m_rows(rows),
      m_sampling(sampling),
      m_lineType(lineType == kLineTypeRs422 ? kLineTypeRs422 : kLineTypeRs232),
      m_list(new QTreeWidget(this)),
      m_show(new QCheckBox(tr("表示(&V)"), this)),
      m_name(new QLineEdit(this)),
      m_comment(new QLineEdit(this)),
      m_colour(new QPushButton(tr("色指定"), this)),
      m_up(new QPushButton("▲", this)),
      m_down(new QPushButton("▼", this)),
      m_default(new QPushButton(tr("デフォルト"), this)),
      m_reason(new ReasonLabel(this)) {
    setWindowTitle(tr("表示設定"));
    NormaliseFormatRows(m_rows, m_sampling, m_lineType);
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({"Line", "Name", "Comment"});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setMinimumSize(400, 240);
    m_name->setMaxLength(3);
    m_comment->setMaxLength(254);

    auto* ok = new QPushButton("OK", this);
    auto* cancel = new QPushButton(tr("キャンセル"), this);
    ok->setDefault(true);
    auto* edit = new QGridLayout;
    edit->addWidget(m_show, 0, 0);
    edit->addWidget(m_colour, 0, 1);
    edit->addWidget(new QLabel("Name", this), 1, 0);
    edit->addWidget(m_name, 1, 1);
    edit->addWidget(new QLabel("Comment", this), 2, 0);
    edit->addWidget(m_comment, 2, 1);
    auto* side = new QVBoxLayout;
    side->addWidget(m_up);
    side->addWidget(m_down);
    side->addStretch(1);
    side->addWidget(m_default);
    auto* body = new QHBoxLayout;
    body->addWidget(m_list, 1);
    body->addLayout(side);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addLayout(edit);
    layout->addWidget(m_reason);
    layout->addLayout(buttons);

    connect(m_list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item) SelectRow(m_list->indexOfTopLevelItem(item));
    });
    connect(m_show, &QCheckBox::clicked, this, &DisplayFormatDialog::SetShown);
    // The texts reach the row as they are typed, as a key is released.
    connect(m_name, &QLineEdit::textEdited, this, &DisplayFormatDialog::TakeTexts);
    connect(m_comment, &QLineEdit::textEdited, this, &DisplayFormatDialog::TakeTexts);
    connect(m_colour, &QPushButton::clicked, this, [this] {
        int row = TableRow(m_selected);
        if (row < 0) return;
        QColor c = QColorDialog::getColor(ToQColor(m_rows[static_cast<size_t>(row)].colour), this);
        if (c.isValid()) SetColour(FromQColor(c));
    });
    connect(m_up, &QPushButton::clicked, this, &DisplayFormatDialog::MoveUp);
    connect(m_down, &QPushButton::clicked, this, &DisplayFormatDialog::MoveDown);
    connect(m_default, &QPushButton::clicked, this, &DisplayFormatDialog::Defaults);
    connect(ok, &QPushButton::clicked, this, &DisplayFormatDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    FillList();
    SelectRow(0);
}

int DisplayFormatDialog::TableRow(int listRow) const {
    int n = -1;
    for (int i = 0; i < kFormatHalfRows; ++i)
        if (IsLineAvailable(m_rows[static_cast<size_t>(i)].line, m_sampling, m_lineType) &&
            ++n == listRow)
            return i;
    return -1;
}

void DisplayFormatDialog::FillList() {
    m_list->clear();
    for (const FormatEntry& e : m_rows) {
        if (!IsLineAvailable(e.line, m_sampling, m_lineType)) continue;
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString("L%1").arg(e.line - kFormatSd + 1));
        item->setText(1, QString::fromStdString(e.name));
        item->setText(2, QString::fromStdString(e.comment));
        item->setForeground(1, ToQColor(e.colour));
        if (!e.shown)
            for (int c = 0; c < 3; ++c)
                item->setForeground(c, c == 1 ? ToQColor(e.colour) : QColor(Qt::gray));
    }
    int w = m_list->viewport()->width();
    m_list->setColumnWidth(0, w * 3 / 20);
    m_list->setColumnWidth(1, w * 2 / 10);
    // Before the dialog is first laid out the viewport is narrow.
    WidenColumnsToContents(m_list, m_list->header());
}

void DisplayFormatDialog::SelectRow(int listRow) {
    if (TableRow(listRow) < 0) return;
    if (listRow != m_selected) m_reason->Show("");
    m_selected = listRow;
    QTreeWidgetItem* item = m_list->topLevelItem(listRow);
    if (m_list->currentItem() != item) m_list->setCurrentItem(item);
    ShowSelected();
}

void DisplayFormatDialog::ShowSelected() {
    int row = TableRow(m_selected);
    if (row < 0) return;
    const FormatEntry& e = m_rows[static_cast<size_t>(row)];
    m_show->setChecked(e.shown != 0);
    m_name->setText(QString::fromStdString(e.name));
    m_comment->setText(QString::fromStdString(e.comment));
    QPalette p = m_name->palette();
    p.setColor(QPalette::Text, ToQColor(e.colour));
    p.setColor(QPalette::Base, Qt::white);
    m_name->setPalette(p);
    m_up->setEnabled(m_selected > 0);
    m_down->setEnabled(TableRow(m_selected + 1) >= 0);
}

void DisplayFormatDialog::TakeTexts() {
    int row = TableRow(m_selected);
    if (row < 0) return;
    // A comma would split the row's line in the file; it is refused as typed.
    bool comma = m_name->text().contains(',') || m_comment->text().contains(',');
    if (comma) {
        int pos = m_name->hasFocus() ? m_name->cursorPosition() : m_comment->cursorPosition();
        QLineEdit* field = m_name->text().contains(',') ? m_name : m_comment;
        field->setText(field->text().remove(','));
        field->setCursorPosition(pos > 0 ? pos - 1 : 0);
    }
    // The reason stays until another row is chosen, so it can be read.
    if (comma) m_reason->Show(tr(kNoCommaReason));
    FormatEntry& e = m_rows[static_cast<size_t>(row)];
    e.name = m_name->text().toStdString();
    e.comment = m_comment->text().toStdString();
    if (QTreeWidgetItem* item = m_list->topLevelItem(m_selected)) {
        item->setText(1, m_name->text());
        item->setText(2, m_comment->text());
    }
}

void DisplayFormatDialog::SetShown(bool shown) {
    int row = TableRow(m_selected);
    if (row < 0) return;
    m_rows[static_cast<size_t>(row)].shown = shown ? 1 : 0;
    m_show->setChecked(shown);
    int keep = m_selected;
    FillList();
    SelectRow(keep);
}

void DisplayFormatDialog::SetColour(uint32_t colour) {
    int row = TableRow(m_selected);
    if (row < 0) return;
    m_rows[static_cast<size_t>(row)].colour = colour;
    int keep = m_selected;
    FillList();
    SelectRow(keep);
}

bool DisplayFormatDialog::MoveUp() {
    int a = TableRow(m_selected - 1), b = TableRow(m_selected);
    if (m_selected <= 0 || a < 0 || b < 0) return false;
    std::swap(m_rows[static_cast<size_t>(a)], m_rows[static_cast<size_t>(b)]);
    int keep = m_selected - 1;
    FillList();
    SelectRow(keep);
    return true;
}

bool DisplayFormatDialog::MoveDown() {
    int a = TableRow(m_selected), b = TableRow(m_selected + 1);
    if (a < 0 || b < 0) return false;
    std::swap(m_rows[static_cast<size_t>(a)], m_rows[static_cast<size_t>(b)]);
    int keep = m_selected + 1;
    FillList();
    SelectRow(keep);
    return true;
}

void DisplayFormatDialog::Defaults() {
    m_rows = DefaultFormatHalf(m_lineType);
    NormaliseFormatRows(m_rows, m_sampling, m_lineType);
    FillList();
    SelectRow(0);
}

QString DisplayFormatDialog::Reason() const {
    return m_reason->isVisible() ? m_reason->text() : QString();
}

void DisplayFormatDialog::accept() {
    NormaliseFormatRows(m_rows, m_sampling, m_lineType);
    QDialog::accept();
}

}  // namespace qv
