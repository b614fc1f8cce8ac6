// The line under a dialog's fields that says why a typed value is refused.
// Dialogs show the first reason and keep OK from closing while there is one.
#pragma once

#include <QLabel>
#include <string>

namespace qv {

class ReasonLabel : public QLabel {
    Q_OBJECT
  public:
    explicit ReasonLabel(QWidget* parent = nullptr) : QLabel(parent) {
        setStyleSheet("color: #c00000;");
        setWordWrap(true);
        hide();
    }
    // Shows the reason, or hides the line for an empty one. True when empty.
    bool Show(const std::string& reason) {
        setText(QString::fromStdString(reason));
        setVisible(!reason.empty());
        return reason.empty();
    }
    bool Show(const QString& reason) { return Show(reason.toStdString()); }
    bool Show(const char* reason) { return Show(std::string(reason)); }
};

}  // namespace qv
