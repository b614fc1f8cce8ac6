#include "dialogs/UnitSelectDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "device/UsbDevice.h"
#include "dialogs/NickNameDialog.h"

namespace qv {

UnitSelectDialog::UnitSelectDialog(DeviceAccess& devices, IPrompt* prompt, QWidget* parent)
    : QDialog(parent), m_devices(devices), m_prompt(prompt), m_list(devices.Selected()) {
    setWindowTitle(tr("モニタ機器選択"));
    m_view = new QTreeWidget;
    m_view->setRootIsDecorated(false);
    m_view->setHeaderLabels({tr("型番"), tr("シリアル番号"), tr("名前"), tr("接続"), tr("選択")});
    const int widths[] = {56, 72, 92, 36, 36};
    // Dialog units are wider than pixels; a title longer than its column in
    // either language ("Attached") widens it, so that it is never cut.
    const QFontMetrics titles(m_view->header()->font());
    for (int i = 0; i < 5; ++i)
        m_view->setColumnWidth(
            i, std::max(widths[i] * 3 / 2,
                        titles.horizontalAdvance(m_view->headerItem()->text(i)) + 16));
    int columns = 0;
    for (int i = 0; i < 5; ++i)
        columns += m_view->columnWidth(i);
    // Every column in view, without a horizontal scroll bar.
    m_view->setMinimumWidth(std::max(460, columns + 2 * m_view->frameWidth() + 4));
    m_attachedOnly = new QRadioButton(tr("現在接続されている機器のみ表示"));
    m_all = new QRadioButton(tr("履歴を含めた全ての機器を表示"));
    m_attachedOnly->setChecked(true);
    m_accessHint = new QLabel(QString::fromUtf8(MessageText(MessageId::kNoAccessHint)));
    m_accessHint->setWordWrap(true);
    m_accessHint->setStyleSheet("color: #b00000");
    m_accessHint->hide();
    m_apply = new QPushButton(tr("決定"));
    m_edit = new QPushButton(tr("編集"));
    auto* reload = new QPushButton(tr("再読込み"));
    auto* close = new QPushButton(tr("閉じる"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_apply);
    buttons->addWidget(m_edit);
    buttons->addWidget(reload);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_accessHint);
    layout->addWidget(m_attachedOnly);
    layout->addWidget(m_all);
    layout->addLayout(buttons);

    connect(m_attachedOnly, &QRadioButton::toggled, this, [this] { Fill(); });
    connect(m_apply, &QPushButton::clicked, this, &UnitSelectDialog::Apply);
    connect(m_edit, &QPushButton::clicked, this, &UnitSelectDialog::EditName);
    connect(reload, &QPushButton::clicked, this, &UnitSelectDialog::Reload);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    // Clicks and the Up, Down, Home and End keys all move the current item.
    connect(m_view, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        ChooseRow(item ? m_view->indexOfTopLevelItem(item) : -1);
    });
    Reload();
}

UnitSelectDialog::~UnitSelectDialog() = default;

void UnitSelectDialog::Reload() {
    m_device = m_devices.CreateDevice();
    m_list.Reload(m_device.get());
    Fill();
}

void UnitSelectDialog::Fill() {
    m_rows = m_list.Rows(m_all->isChecked());
    QSignalBlocker block(m_view);
    m_view->clear();
    for (const auto& r : m_rows) {
        auto* item = new QTreeWidgetItem(m_view);
        item->setText(0, QString::fromStdString(r.model));
        item->setText(1, QString::fromStdString(r.serial));
        item->setText(2, QString::fromStdString(r.name));
        item->setText(3, QString::fromStdString(r.attachedMark));
        item->setText(4, QString::fromStdString(r.selectedMark));
        if (r.noAccess) {
            for (int c = 0; c < 5; ++c) {
                item->setForeground(c, QColor(0xb0, 0, 0));
                item->setToolTip(c, QString::fromUtf8(MessageText(MessageId::kNoAccessHint)));
            }
        }
    }
    m_accessHint->setVisible(!m_list.Inaccessible().empty());
    m_chosen = -1;
    m_apply->setText(tr("決定"));
    m_apply->setEnabled(false);
    m_edit->setEnabled(false);
}

void UnitSelectDialog::ChooseRow(int row) {
    if (row < 0 || row >= static_cast<int>(m_rows.size())) {
        m_chosen = -1;
        m_apply->setEnabled(false);
        m_edit->setEnabled(false);
        return;
    }
    m_chosen = row;
    // A unit the list does not know yet (seen only without permission) can
    // be neither selected nor named until it can be opened.
    const bool known = m_rows[row].index != kNoListIndex;
    m_apply->setEnabled(known);
    m_edit->setEnabled(known);
    m_apply->setText(m_list.IsSelected(m_rows[row].index) ? tr("解除") : tr("決定"));
    if (m_view->currentItem() != m_view->topLevelItem(row)) {
        QSignalBlocker block(m_view);
        m_view->setCurrentItem(m_view->topLevelItem(row));
    }
}

void UnitSelectDialog::Apply() {
    if (m_chosen < 0) return;
    auto result = m_list.Apply(m_rows[m_chosen].index, m_prompt, m_device.get());
    Fill();
    if (result == UnitList::ApplyResult::kSelected) accept();
}

void UnitSelectDialog::Rename(const QString& name) {
    if (m_chosen < 0) return;
    m_list.Rename(m_rows[m_chosen].index, name.toStdString(), m_device.get());
    Fill();
}

void UnitSelectDialog::EditName() {
    if (m_chosen < 0) return;
    NickNameDialog dlg(QString::fromStdString(m_rows[m_chosen].name), this);
    if (dlg.exec() == QDialog::Accepted) Rename(dlg.Name());
}

void UnitSelectDialog::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        Apply();
        return;
    }
    QDialog::keyPressEvent(e);
}

}  // namespace qv
