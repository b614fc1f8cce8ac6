#include "dialogs/TriggerJumpDialog.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "views/PrintFont.h"

namespace qv {

TriggerJumpDialog::TriggerJumpDialog(const std::string& indexPath, QWidget* parent)
    : QDialog(parent),
      m_indexPath(indexPath),
      m_records(ReadTriggerRecords(indexPath)),
      m_list(new QListWidget),
      m_text(new QPlainTextEdit),
      m_jump(new QPushButton(tr("ジャンプ"))) {
    setWindowTitle(tr("トリガジャンプ"));
    for (const auto& r : m_records) {
        auto* item = new QListWidgetItem(QString::fromStdString(r.listText), m_list);
        item->setData(Qt::UserRole, r.event.code);
    }
    m_text->setReadOnly(true);
    // The settings text is laid out in columns.
    m_text->setFont(MonospacedJapaneseFont(11));
    m_text->setMinimumSize(520, 160);
    m_jump->setEnabled(false);
    auto* cancel = new QPushButton(tr("キャンセル"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_jump);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_text, 1);
    layout->addLayout(buttons);

    // A choice is a selected line: the list makes its first line current
    // (not selected) as soon as it takes the focus, and the dialog opens with
    // nothing chosen.
    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> chosen = m_list->selectedItems();
        Select(chosen.isEmpty() ? -1 : m_list->row(chosen.front()));
    });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] {
        if (m_chosen >= 0) accept();
    });
    connect(m_jump, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TriggerJumpDialog::Select(int row) {
    if (row < 0 || row >= static_cast<int>(m_records.size())) {
        m_chosen = -1;
        m_jump->setEnabled(false);
        return;
    }
    m_chosen = row;
    const int code = m_records[row].event.code;
    m_text->setPlainText(QString::fromStdString(TriggerRecordDescription(m_indexPath, code)));
    setWindowTitle(QString::fromStdString(TriggerJumpTitle(code)));
    m_jump->setEnabled(true);
}

}  // namespace qv
