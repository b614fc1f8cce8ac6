// "ニックネーム編集": one text field holding a unit's name.
#pragma once

#include <QDialog>

class QLineEdit;

namespace qv {

class NickNameDialog : public QDialog {
    Q_OBJECT
  public:
    explicit NickNameDialog(const QString& name, QWidget* parent = nullptr);
    QString Name() const;
    QLineEdit* Field() const { return m_field; }

  private:
    QLineEdit* m_field;
};

}  // namespace qv
