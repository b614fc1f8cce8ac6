#include "dialogs/TriggerDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "common/TextRoom.h"
#include "dialogs/ConditionDialog.h"
#include "dialogs/OkCancelRow.h"
#include "settings/ConditionText.h"

namespace qv {

TriggerDialog::TriggerDialog(int number, const TriggerSetting& trigger,
                             const TriggerOption& option, const LineNames& names,
                             QWidget* parent)
    : QDialog(parent),
      m_trigger(trigger),
      m_option(option),
      m_catalogue(ConditionCatalogue(&names)),
      m_enable(new QCheckBox(tr("トリガ %1 設定").arg(number), this)),
      m_category(new QComboBox(this)),
      m_list(new QTreeWidget(this)),
      m_detail(new QPushButton(tr("詳細設定"), this)),
      m_clear(new QPushButton(tr("クリア"), this)),
      m_and(new QRadioButton(tr("すべて"), this)),
      m_or(new QRadioButton(tr("一つでも"), this)),
      m_action1(new QComboBox(this)),
      m_action2(new QComboBox(this)) {
    setWindowTitle(tr("トリガ設定"));
    m_enable->setChecked(m_trigger.enabled != 0);
    for (const ConditionCategory& c : m_catalogue)
        m_category->addItem(QString::fromUtf8(c.label.data(), static_cast<int>(c.label.size())));
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({tr("条件"), tr("設定")});
    // Wide enough for the longest condition name of any category, so that
    // the column keeps one width as the category changes.
    QStringList conditionNames;
    for (const ConditionCategory& c : m_catalogue)
        for (const Condition& condition : c.conditions)
            conditionNames << QString::fromStdString(condition.name);
    m_list->setColumnWidth(0, ColumnWidthFor(m_list, conditionNames, 130));
    m_list->setColumnWidth(1, 280);
    m_list->setRootIsDecorated(false);
    m_list->setMinimumSize(440, 260);
    for (QComboBox* b : {m_action1, m_action2})
        for (const ActionEntry& e : ActionList())
            b->addItem(QString::fromStdString(e.Shown()));
    (m_trigger.andOr == kAndOrOr ? m_or : m_and)->setChecked(true);
    SelectActions();

    auto* combine = new QGroupBox(tr("条件の組み合わせ"), this);
    auto* cl = new QHBoxLayout(combine);
    cl->addWidget(new QLabel(tr("上記条件を"), this));
    cl->addWidget(m_and);
    cl->addWidget(m_or);
    cl->addWidget(new QLabel(tr("満たしたときに"), this));
    cl->addStretch(1);
    auto* actions = new QGridLayout;
    actions->addWidget(new QLabel(tr("アクション1"), this), 0, 0);
    actions->addWidget(m_action1, 0, 1);
    actions->addWidget(new QLabel(tr("アクション2"), this), 1, 0);
    actions->addWidget(m_action2, 1, 1);
    actions->setColumnStretch(1, 1);
    auto* top = new QHBoxLayout;
    top->addWidget(m_enable);
    top->addStretch(1);
    top->addWidget(new QLabel(tr("条件"), this));
    top->addWidget(m_category);
    auto* listButtons = new QHBoxLayout;
    listButtons->addStretch(1);
    listButtons->addWidget(m_detail);
    listButtons->addWidget(m_clear);
    auto* buttons = OkCancelRow(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    layout->addLayout(listButtons);
    layout->addWidget(combine);
    layout->addLayout(actions);
    layout->addLayout(buttons);

    connect(m_category, &QComboBox::currentIndexChanged, this, &TriggerDialog::ShowCategory);
    connect(m_detail, &QPushButton::clicked, this,
            [this] { EditCondition(m_list->indexOfTopLevelItem(m_list->currentItem())); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { EditCondition(m_list->indexOfTopLevelItem(item)); });
    connect(m_clear, &QPushButton::clicked, this, [this] {
        QMessageBox box(QMessageBox::Question, tr("トリガ設定"), tr("トリガ設定を初期化しますか？"),
                        QMessageBox::Ok | QMessageBox::Cancel, this);
        if (box.exec() == QMessageBox::Ok) ClearTrigger();
    });
    ShowCategory(0);
}

void TriggerDialog::SelectActions() {
    // A stored pair the list does not know selects nothing rather than
    // another action.
    size_t a1 = ActionIndex(m_trigger.action1, m_trigger.option1);
    size_t a2 = ActionIndex(m_trigger.action2, m_trigger.option2);
    m_action1->setCurrentIndex(a1 < kActionEntries ? static_cast<int>(a1) : -1);
    m_action2->setCurrentIndex(a2 < kActionEntries ? static_cast<int>(a2) : -1);
}

void TriggerDialog::ShowCategory(int index) {
    if (index < 0 || index >= static_cast<int>(m_catalogue.size())) return;
    if (m_category->currentIndex() != index) m_category->setCurrentIndex(index);
    FillRows();
    m_list->setCurrentItem(m_list->topLevelItem(0));
}

void TriggerDialog::FillRows() {
    int index = m_category->currentIndex();
    int current = m_list->indexOfTopLevelItem(m_list->currentItem());
    m_list->clear();
    for (const Condition& c : m_catalogue[static_cast<size_t>(index)].conditions) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::fromStdString(c.name));
        item->setText(1, QString::fromStdString(ConditionSettingText(m_trigger, m_option, c.ref)));
    }
    if (current >= 0 && current < m_list->topLevelItemCount())
        m_list->setCurrentItem(m_list->topLevelItem(current));
}

bool TriggerDialog::EditCondition(int row) {
    const ConditionCategory& cat = m_catalogue[static_cast<size_t>(m_category->currentIndex())];
    if (row < 0 || row >= static_cast<int>(cat.conditions.size())) return false;
    const Condition& c = cat.conditions[static_cast<size_t>(row)];
    ConditionDialog dlg(cat.kind, c.ref, c.name, m_trigger, m_option, this);
    if (dlg.exec() != QDialog::Accepted) return false;
    // The editor changes only its condition and its operand; the controls of
    // this dialog stay as they are.
    m_trigger = dlg.Trigger();
    m_option = dlg.Option();
    m_list->setCurrentItem(m_list->topLevelItem(row));
    FillRows();
    return true;
}

void TriggerDialog::ClearTrigger() {
    uint32_t enabled = m_enable->isChecked();
    m_trigger = TriggerSetting{};
    m_trigger.enabled = enabled;
    m_and->setChecked(true);
    SelectActions();
    FillRows();
}

TriggerSetting TriggerDialog::Trigger() const {
    TriggerSetting t = m_trigger;
    t.enabled = m_enable->isChecked() ? 1 : 0;
    t.andOr = m_or->isChecked() ? kAndOrOr : kAndOrAnd;
    // An action left as it was keeps its stored pair: an option the list
    // does not use (a trigger that was never set has 0) stays as read.
    auto take = [](const QComboBox* box, uint8_t& code, uint16_t& option) {
        int i = box->currentIndex();
        if (i < 0 || static_cast<size_t>(i) == ActionIndex(code, option)) return;
        const ActionEntry& e = ActionList()[static_cast<size_t>(i)];
        code = e.code;
        option = e.option;
    };
    take(m_action1, t.action1, t.option1);
    take(m_action2, t.action2, t.option2);
    return t;
}

}  // namespace qv
