#include "dialogs/OkCancelRow.h"

#include <QCoreApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

namespace qv {

QHBoxLayout* OkCancelRow(QDialog* dialog, const QString& okText) {
    auto* ok = new QPushButton(okText, dialog);
    auto* cancel =
        new QPushButton(QCoreApplication::translate("OkCancelRow", "キャンセル"), dialog);
    ok->setDefault(true);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    // accept() is virtual: a dialog that checks its fields first still does.
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return row;
}

}  // namespace qv
