// The version dialog.
#pragma once

#include <QDialog>

namespace qv {

class AboutDialog : public QDialog {
    Q_OBJECT
  public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace qv
