// "コードの選択": picks one byte value from a list of all 256, each shown as
// hex digits and as a character of the chosen code table.
#pragma once

#include <QDialog>
#include <cstdint>

class QComboBox;
class QListWidget;

namespace qv {

// Fills a selector with the code tables a byte can be shown in: "HEX",
// "ASCII", "JIS7", "JIS8", "EBCDIC", "UNICODE", "S-JIS" (item data: the code).
void FillCodeChoices(QComboBox* box);

class CodePickDialog : public QDialog {
    Q_OBJECT
  public:
    CodePickDialog(uint8_t current, int code, QWidget* parent = nullptr);
    uint8_t Byte() const;

    QListWidget* List() const { return m_list; }
    QComboBox* CodeBox() const { return m_code; }

  private:
    void FillList();

    QListWidget* m_list;
    QComboBox* m_code;
};

}  // namespace qv
