// "トリガ設定": the five triggers as a check list (checked = enabled), the
// summary of the selected one, "クリア(&C)" for all five, and the editor of
// one trigger on a double-click. Works on copies; the caller takes them after
// OK.
#pragma once

#include <QDialog>
#include <array>

#include "settings/TriggerSetting.h"

class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace qv {

class TriggerListDialog : public QDialog {
    Q_OBJECT
  public:
    TriggerListDialog(const std::array<TriggerSetting, kTriggerCount>& triggers,
                      const TriggerOption& option, LineNames names, QWidget* parent = nullptr);

    // The copies, with the check marks stored as the enabled fields.
    std::array<TriggerSetting, kTriggerCount> Triggers() const;
    const TriggerOption& Option() const { return m_option; }

    // Opens the editor of trigger `index` (0-4); true after its OK.
    bool EditTrigger(int index);
    // "クリア(&C)" after its question.
    void ClearAll();

    QListWidget* List() const { return m_list; }
    QPlainTextEdit* Summary() const { return m_summary; }
    QPushButton* ClearButton() const { return m_clear; }

  private:
    void ShowSummary();

    std::array<TriggerSetting, kTriggerCount> m_triggers;
    TriggerOption m_option;
    LineNames m_names;
    QListWidget* m_list;
    QPlainTextEdit* m_summary;
    QPushButton* m_clear;
};

}  // namespace qv
