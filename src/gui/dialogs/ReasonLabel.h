// The line under a dialog's fields that says why a typed value is refused.
// Dialogs show the first reason and keep OK from closing while there is one.
// Its room (two lines) is kept while it is hidden, so that the fields and
// buttons stay where they are as a reason comes and goes.
#pragma once

#include <QLabel>
#include <algorithm>
#include <string>

namespace qv {

class ReasonLabel : public QLabel {
    Q_OBJECT
  public:
    explicit ReasonLabel(QWidget* parent = nullptr) : QLabel(parent) {
        setStyleSheet("color: #c00000;");
        setWordWrap(true);
        QSizePolicy policy = sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        setSizePolicy(policy);
        hide();
    }
    int heightForWidth(int width) const override {
        return std::max(QLabel::heightForWidth(width), Room());
    }
    QSize sizeHint() const override { return QLabel::sizeHint().expandedTo(QSize(0, Room())); }
    QSize minimumSizeHint() const override {
        return QLabel::minimumSizeHint().expandedTo(QSize(0, Room()));
    }
    // Shows the reason, or hides the line for an empty one. True when empty.
    bool Show(const std::string& reason) {
        setText(QString::fromStdString(reason));
        setVisible(!reason.empty());
        return reason.empty();
    }
    bool Show(const QString& reason) { return Show(reason.toStdString()); }
    bool Show(const char* reason) { return Show(std::string(reason)); }

  private:
    int Room() const { return 2 * fontMetrics().lineSpacing(); }
};

}  // namespace qv
