// The version dialog: the product, its version and build, its licence, and
// a link to the user manual.
#pragma once

#include <QDialog>

class QLabel;

namespace qv {

class AboutDialog : public QDialog {
    Q_OBJECT
  public:
    // `manualPath`: the manual the link names (empty: no link).
    explicit AboutDialog(const QString& manualPath = {}, QWidget* parent = nullptr);
    QLabel* ManualLink() const { return m_link; }

  signals:
    // The link was clicked: the manual should be opened as Help -> Contents does.
    void manualRequested();

  private:
    QLabel* m_link;
};

}  // namespace qv
