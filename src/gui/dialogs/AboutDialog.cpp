#include "dialogs/AboutDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "common/Icons.h"

namespace qv {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("バージョン情報 QV-ORT"));
    auto* icon = new QLabel;
    icon->setPixmap(MakeIcon(IconKind::App).pixmap(48, 48));
    auto* text = new QVBoxLayout;
    auto* name = new QLabel("QV-ORT");
    QFont f = name->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.3);
    name->setFont(f);
    text->addWidget(name);
    text->addWidget(new QLabel("QV-ORT Version 1.1.3"));
    text->addWidget(new QLabel(QString("Linux build %1 (Qt %2)").arg(QVORT_VERSION, qVersion())));
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(text, 1);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
}

}  // namespace qv
