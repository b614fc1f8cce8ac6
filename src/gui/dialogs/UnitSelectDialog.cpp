#include "dialogs/UnitSelectDialog.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "device/UsbDevice.h"
#include "dialogs/NickNameDialog.h"

namespace qv {

UnitSelectDialog::UnitSelectDialog(SelectedUnit current, IPrompt* prompt, QWidget* parent)
    : QDialog(parent), m_prompt(prompt), m_list(std::move(current)) {
    setWindowTitle("モニタ機器選択");
    m_view = new QTreeWidget;
    m_view->setRootIsDecorated(false);
    m_view->setHeaderLabels({"型番", "シリアル番号", "名前", "接続", "選択"});
    const int widths[] = {56, 72, 92, 36, 36};
    for (int i = 0; i < 5; ++i)
        m_view->setColumnWidth(i, widths[i] * 3 / 2);  // dialog units are wider than pixels
    m_view->setMinimumWidth(460);
    m_attachedOnly = new QRadioButton("現在接続されている機器のみ表示");
    m_all = new QRadioButton("履歴を含めた全ての機器を表示");
    m_attachedOnly->setChecked(true);
    m_apply = new QPushButton("決定");
    m_edit = new QPushButton("編集");
    auto* reload = new QPushButton("再読込み");
    auto* close = new QPushButton("閉じる");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_apply);
    buttons->addWidget(m_edit);
    buttons->addWidget(reload);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
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
    m_device = CreateDeviceObject();
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
    }
    m_chosen = -1;
    m_apply->setText("決定");
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
    m_apply->setEnabled(true);
    m_edit->setEnabled(true);
    m_apply->setText(m_list.IsSelected(m_rows[row].index) ? "解除" : "決定");
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
