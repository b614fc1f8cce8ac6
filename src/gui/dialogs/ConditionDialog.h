// "トリガ設定" of one condition: whether it takes part and its state, or the
// shared operand it compares with (a data string, a time, a counter value).
// Works on copies of the trigger and of the shared operands.
#pragma once

#include <QDateTime>
#include <QDialog>
#include <string>

#include "settings/PatternEdit.h"
#include "settings/TriggerSetting.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QMenu;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class QTimeEdit;

namespace qv {

class ReasonLabel;

class ConditionDialog : public QDialog {
    Q_OBJECT
  public:
    ConditionDialog(ConditionKind kind, ConditionRef ref, const std::string& name,
                    const TriggerSetting& trigger, const TriggerOption& option,
                    QWidget* parent = nullptr);

    TriggerSetting Trigger() const { return m_trigger; }
    const TriggerOption& Option() const { return m_option; }

    void accept() override;

    // --- the string grid: the pattern being edited and the actions of its
    // pop-up menu on the current column
    const Pattern& EditedPattern() const { return m_pattern; }
    void SetScopeAt(int column, uint8_t scope);
    void SetByteAt(int column, uint8_t value);
    bool TypeString();   // "文字列入力..."; true after its OK
    bool PickCode();     // "コードの選択..."; true after its OK
    void Clear();        // "クリア"
    QMenu* GridMenu() const { return m_menu; }

    QCheckBox* TakePartBox() const { return m_takePart; }
    QTableWidget* Grid() const { return m_grid; }
    QComboBox* CodeBox() const { return m_code; }
    QDateEdit* DatePicker() const { return m_date; }
    QTimeEdit* TimePicker() const { return m_time; }
    QRadioButton* FirstStateButton() const { return m_first; }    // LOW / ON
    QRadioButton* SecondStateButton() const { return m_second; }  // HIGH / OFF
    QSpinBox* CountBox() const { return m_count; }
    QString Reason() const;

  private:
    void FillGrid();
    int CurrentColumn() const;

    ConditionKind m_kind;
    ConditionRef m_ref;
    TriggerSetting m_trigger;
    TriggerOption m_option;
    Pattern m_pattern;
    int m_string = -1;  // the shared string edited (0-7), for string conditions
    // What the controls showed on opening, to tell the user's changes.
    int m_shownCount = 0;
    QDateTime m_shownTime;
    bool m_shownSecond = false;

    QCheckBox* m_takePart;
    QTableWidget* m_grid = nullptr;
    QComboBox* m_code = nullptr;
    QMenu* m_menu = nullptr;
    QDateEdit* m_date = nullptr;
    QTimeEdit* m_time = nullptr;
    QRadioButton* m_first = nullptr;
    QRadioButton* m_second = nullptr;
    QSpinBox* m_count = nullptr;
    ReasonLabel* m_reason;
};

}  // namespace qv
