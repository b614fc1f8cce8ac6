// The version dialog.
#pragma once

#include <QDialog>

namespace qv {

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace qv
