#include "dialogs/CardRunDialog.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace qv {

CardRunDialog::CardRunDialog(DeviceAccess& devices, Log& log, IPrompt* prompt, QWidget* parent)
    : QDialog(parent),
      m_devices(devices),
      m_log(log),
      m_prompt(prompt),
      m_status(new QLabel),
      m_ok(new QPushButton("OK")) {
    setWindowTitle("QV-ORT");
    m_status->setMinimumWidth(360);
    m_status->setWordWrap(true);
    m_ok->setEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_ok, 0, Qt::AlignRight);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

void CardRunDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (m_started) return;
    m_started = true;
    // After the dialog is drawn, so the first status text is seen.
    QTimer::singleShot(0, this, &CardRunDialog::Run);
}

void CardRunDialog::Run() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_result = RunCardStart(m_devices, m_log, m_prompt, [this](const std::string& text) {
        m_status->setText(QString::fromStdString(text));
        m_status->repaint();  // the steps talk to the instrument before returning
    });
    QApplication::restoreOverrideCursor();
    m_done = true;
    if (m_result.code != 0) {
        // The failure was shown by the prompt; the dialog has nothing more.
        reject();
        return;
    }
    m_status->setText(QString::fromStdString(m_result.message));
    m_ok->setEnabled(true);
    m_ok->setFocus();
}

}  // namespace qv
