#include "app/QtPrompt.h"

#include <QMessageBox>

namespace qv {

void QtPrompt::ShowMessage(const std::string& text) {
    QMessageBox::warning(m_parent, kAppTitle, QString::fromStdString(text));
}

bool QtPrompt::AskYesNo(const std::string& text) {
    return QMessageBox::question(m_parent, kAppTitle, QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace qv
