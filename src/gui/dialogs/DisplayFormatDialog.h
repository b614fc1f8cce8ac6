// "表示設定": names, colours, shows or hides and orders the ten lines of the
// current line type's half of the display table. Only lines that are sampled
// are listed; the rows are kept in order (shown, hidden, not sampled) on
// opening, on "デフォルト" and on OK. Works on a copy.
#pragma once

#include <QDialog>

#include "settings/FormatEntry.h"
#include "settings/MonitorSettings.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace qv {

class ReasonLabel;

class DisplayFormatDialog : public QDialog {
    Q_OBJECT
  public:
    DisplayFormatDialog(const FormatHalf& rows, const SamplingSettings& sampling, int lineType,
                        QWidget* parent = nullptr);

    const FormatHalf& Rows() const { return m_rows; }

    // The actions on the selected list row.
    void SelectRow(int listRow);
    void SetShown(bool shown);
    void SetColour(uint32_t colour);
    bool MoveUp();
    bool MoveDown();
    void Defaults();
    void accept() override;

    QTreeWidget* List() const { return m_list; }
    QCheckBox* ShowBox() const { return m_show; }
    QLineEdit* NameField() const { return m_name; }
    QLineEdit* CommentField() const { return m_comment; }
    QPushButton* ColourButton() const { return m_colour; }
    QPushButton* UpButton() const { return m_up; }
    QPushButton* DownButton() const { return m_down; }
    QPushButton* DefaultButton() const { return m_default; }
    QString Reason() const;

  private:
    void FillList();
    // The table row of a list row (only available lines are listed).
    int TableRow(int listRow) const;
    void ShowSelected();
    void TakeTexts();

    FormatHalf m_rows;
    SamplingSettings m_sampling;
    int m_lineType;
    int m_selected = -1;  // list row
    QTreeWidget* m_list;
    QCheckBox* m_show;
    QLineEdit *m_name, *m_comment;
    QPushButton *m_colour, *m_up, *m_down, *m_default;
    ReasonLabel* m_reason;
};

}  // namespace qv
