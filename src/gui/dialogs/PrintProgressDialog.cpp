#include "dialogs/PrintProgressDialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace qv {

PrintProgressDialog::PrintProgressDialog(QWidget* parent)
    : QDialog(parent),
      m_text(new QLabel),
      m_bar(new QProgressBar),
      m_cancel(new QPushButton(tr("キャンセル"))) {
    setWindowTitle(tr("印刷中"));
    m_bar->setRange(0, 0);
    m_bar->setMinimumWidth(280);
    SetProgress(0, 0);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_bar);
    layout->addWidget(m_cancel, 0, Qt::AlignRight);
    connect(m_cancel, &QPushButton::clicked, this, &PrintProgressDialog::reject);
}

void PrintProgressDialog::SetProgress(int total, int printed) {
    m_text->setText(tr("印刷中... %1枚").arg(printed));
    if (total <= 0) return;
    if (!m_rangeSet) {
        m_bar->setRange(0, total);
        m_rangeSet = true;
    }
    m_bar->setValue(std::min(printed, m_bar->maximum()));
}

void PrintProgressDialog::reject() {
    // The job decides when the dialog goes: it stops before its next page.
    emit cancelRequested();
}

}  // namespace qv
