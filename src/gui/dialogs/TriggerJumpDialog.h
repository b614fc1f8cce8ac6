// The trigger jump dialog: the capture's trigger records as a list, the
// selected trigger's settings as text below it, and Jump, which hands back
// the chosen record.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "present/MarkList.h"

class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace qv {

class TriggerJumpDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TriggerJumpDialog(const std::string& indexPath, QWidget* parent = nullptr);

    // The record chosen with Jump; only valid once the dialog was accepted.
    const TriggerRecordInfo& Chosen() const { return m_records[m_chosen]; }
    const std::vector<TriggerRecordInfo>& Records() const { return m_records; }

    QListWidget* List() const { return m_list; }
    QPlainTextEdit* Description() const { return m_text; }
    QPushButton* JumpButton() const { return m_jump; }

  private:
    void Select(int row);

    std::string m_indexPath;
    std::vector<TriggerRecordInfo> m_records;
    int m_chosen = -1;
    QListWidget* m_list;
    QPlainTextEdit* m_text;
    QPushButton* m_jump;
};

}  // namespace qv
