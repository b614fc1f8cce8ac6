#include "dialogs/StringInputDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

#include "core/TextCodec.h"
#include "dialogs/ReasonLabel.h"
#include "settings/TriggerSetting.h"
#include "dialogs/OkCancelRow.h"

namespace qv {

StringInputDialog::StringInputDialog(QWidget* parent)
    : QDialog(parent), m_field(new QLineEdit(this)), m_reason(new ReasonLabel(this)) {
    setWindowTitle(tr("文字列入力"));
    m_field->setMinimumWidth(260);
    auto* buttons = OkCancelRow(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Enterで決定(16バイト)"), this));
    layout->addWidget(m_field);
    layout->addWidget(m_reason);
    layout->addLayout(buttons);
}

QString StringInputDialog::Reason() const {
    return m_reason->isVisible() ? m_reason->text() : QString();
}

void StringInputDialog::accept() {
    std::string utf8 = m_field->text().toStdString();
    if (utf8.empty()) {
        QMessageBox box(QMessageBox::Question, tr("トリガ設定"),
                        tr("文字が入力されていません。\n初期化を行いますか？"),
                        QMessageBox::Ok | QMessageBox::Cancel, this);
        if (box.exec() != QMessageBox::Ok) return;
        m_bytes.clear();
        QDialog::accept();
        return;
    }
    std::optional<std::string> bytes = Utf8ToCp932(utf8);
    if (!bytes) {
        m_reason->Show(tr("Shift-JISで表せない文字があります"));
        return;
    }
    if (bytes->size() > static_cast<size_t>(kStringBytes)) {
        m_reason->Show(tr("16バイトを超えています(%1バイト)").arg(bytes->size()));
        return;
    }
    m_reason->Show("");
    m_bytes = *bytes;
    QDialog::accept();
}

}  // namespace qv
