#include "dialogs/TriggerListDialog.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/TriggerDialog.h"
#include "settings/TriggerSummary.h"

namespace qv {

TriggerListDialog::TriggerListDialog(const std::array<TriggerSetting, kTriggerCount>& triggers,
                                     const TriggerOption& option, LineNames names,
                                     QWidget* parent)
    : QDialog(parent),
      m_triggers(triggers),
      m_option(option),
      m_names(std::move(names)),
      m_list(new QListWidget(this)),
      m_summary(new QPlainTextEdit(this)),
      m_clear(new QPushButton(tr("クリア(&C)"), this)) {
    setWindowTitle(tr("トリガ設定"));
    for (int i = 0; i < kTriggerCount; ++i) {
        auto* item = new QListWidgetItem(tr("トリガ%1").arg(i + 1), m_list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(m_triggers[static_cast<size_t>(i)].enabled ? Qt::Checked
                                                                        : Qt::Unchecked);
    }
    m_list->setFixedWidth(120);
    m_summary->setReadOnly(true);
    m_summary->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The summary's columns line up only in a monospaced font.
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setFamilies({"IPAGothic", "IPAゴシック", mono.family()});
    m_summary->setFont(mono);
    m_summary->setMinimumSize(520, 420);

    auto* ok = new QPushButton("OK", this);
    auto* cancel = new QPushButton(tr("キャンセル"), this);
    ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_clear);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* body = new QHBoxLayout;
    body->addWidget(m_list);
    body->addWidget(m_summary, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addLayout(buttons);

    connect(m_list, &QListWidget::currentRowChanged, this, &TriggerListDialog::ShowSummary);
    connect(m_list, &QListWidget::itemChanged, this, &TriggerListDialog::ShowSummary);
    connect(m_list, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { EditTrigger(m_list->row(item)); });
    connect(m_clear, &QPushButton::clicked, this, [this] {
        QMessageBox box(QMessageBox::Question, tr("トリガ設定"),
                        tr("すべてのトリガ設定を初期化しますか？"),
                        QMessageBox::Ok | QMessageBox::Cancel, this);
        if (box.exec() == QMessageBox::Ok) ClearAll();
    });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_list->setCurrentRow(0);
}

std::array<TriggerSetting, kTriggerCount> TriggerListDialog::Triggers() const {
    auto out = m_triggers;
    for (int i = 0; i < kTriggerCount; ++i)
        out[static_cast<size_t>(i)].enabled = m_list->item(i)->checkState() == Qt::Checked;
    return out;
}

void TriggerListDialog::ShowSummary() {
    int row = m_list->currentRow();
    if (row < 0) return;
    TriggerSetting t = m_triggers[static_cast<size_t>(row)];
    // The summary says "トリガ無効" for an unchecked trigger.
    t.enabled = m_list->item(row)->checkState() == Qt::Checked;
    QString text = QString::fromStdString(TriggerSummary(t, &m_names));
    text.remove('\r');
    m_summary->setPlainText(text);
}

bool TriggerListDialog::EditTrigger(int index) {
    if (index < 0 || index >= kTriggerCount) return false;
    auto i = static_cast<size_t>(index);
    TriggerSetting t = m_triggers[i];
    t.enabled = m_list->item(index)->checkState() == Qt::Checked;
    TriggerDialog dlg(index + 1, t, m_option, m_names, this);
    if (dlg.exec() != QDialog::Accepted) return false;
    m_triggers[i] = dlg.Trigger();
    m_option = dlg.Option();
    m_list->item(index)->setCheckState(m_triggers[i].enabled ? Qt::Checked : Qt::Unchecked);
    m_list->setCurrentRow(index);
    ShowSummary();
    return true;
}

void TriggerListDialog::ClearAll() {
    for (int i = 0; i < kTriggerCount; ++i) {
        m_triggers[static_cast<size_t>(i)] = TriggerSetting{};
        m_list->item(i)->setCheckState(Qt::Unchecked);
    }
    ShowSummary();
}

}  // namespace qv
