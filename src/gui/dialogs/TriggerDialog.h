// "トリガ設定" of one trigger: whether it is enabled, its conditions by
// category with their settings, how they combine, and its two actions. Works
// on copies of the trigger and of the shared operands.
#pragma once

#include <QDialog>
#include <vector>

#include "settings/TriggerSetting.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace qv {

class TriggerDialog : public QDialog {
    Q_OBJECT
  public:
    // `number` is 1 to 5.
    TriggerDialog(int number, const TriggerSetting& trigger, const TriggerOption& option,
                  const LineNames& names, QWidget* parent = nullptr);

    // The copies as OK leaves them: the enable mark, combination and actions
    // from the controls.
    TriggerSetting Trigger() const;
    const TriggerOption& Option() const { return m_option; }

    // Shows the conditions of category `index` (0-7).
    void ShowCategory(int index);
    // Opens the condition editor on row `row` of the list; true after its OK.
    bool EditCondition(int row);
    // "クリア" after its question: conditions, states, combination, actions.
    void ClearTrigger();

    QCheckBox* EnableBox() const { return m_enable; }
    QComboBox* CategoryBox() const { return m_category; }
    QTreeWidget* List() const { return m_list; }
    QPushButton* DetailButton() const { return m_detail; }
    QPushButton* ClearButton() const { return m_clear; }
    QRadioButton* AndButton() const { return m_and; }
    QRadioButton* OrButton() const { return m_or; }
    QComboBox* Action1Box() const { return m_action1; }
    QComboBox* Action2Box() const { return m_action2; }

  private:
    void FillRows();
    void SelectActions();

    TriggerSetting m_trigger;
    TriggerOption m_option;
    std::vector<ConditionCategory> m_catalogue;
    QCheckBox* m_enable;
    QComboBox* m_category;
    QTreeWidget* m_list;
    QPushButton *m_detail, *m_clear;
    QRadioButton *m_and, *m_or;
    QComboBox *m_action1, *m_action2;
};

}  // namespace qv
