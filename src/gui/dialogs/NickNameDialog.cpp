#include "dialogs/NickNameDialog.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/TextRoom.h"

namespace qv {

NickNameDialog::NickNameDialog(const QString& name, QWidget* parent)
    : QDialog(parent), m_field(new QLineEdit(name)) {
    setWindowTitle(tr("ニックネーム編集"));
    KeepTitleWhole(this);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    box->button(QDialogButtonBox::Cancel)->setText(tr("キャンセル"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_field);
    layout->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_field->selectAll();
}

QString NickNameDialog::Name() const {
    return m_field->text();
}

}  // namespace qv
