// "文字列入力": types the bytes of a trigger data string (at most 16 bytes in
// the files' code page). Enter confirms.
#pragma once

#include <QDialog>
#include <string>

class QLineEdit;

namespace qv {

class ReasonLabel;

class StringInputDialog : public QDialog {
    Q_OBJECT
  public:
    explicit StringInputDialog(QWidget* parent = nullptr);

    // The typed text as the instrument sees it (Shift-JIS bytes).
    const std::string& Bytes() const { return m_bytes; }
    QLineEdit* Field() const { return m_field; }
    QString Reason() const;

    // An empty text asks whether to clear the string; a text that does not
    // fit 16 bytes is refused with the reason.
    void accept() override;

  private:
    QLineEdit* m_field;
    ReasonLabel* m_reason;
    std::string m_bytes;
};

}  // namespace qv
