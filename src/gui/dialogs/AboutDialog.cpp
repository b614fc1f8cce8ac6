#include "dialogs/AboutDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "common/Icons.h"
#include "common/TextRoom.h"

namespace qv {

AboutDialog::AboutDialog(const QString& manualPath, QWidget* parent)
    : QDialog(parent), m_link(new QLabel) {
    setWindowTitle(tr("バージョン情報 QV-ORT"));
    KeepTitleWhole(this);
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
    text->addWidget(new QLabel(tr("ライセンス: GPL-3.0-or-later")));
    // The link field: blue on the dialog's own background, opening the
    // manual the way Help -> Contents does.
    if (!manualPath.isEmpty()) {
        m_link->setText(QString("<a href=\"manual\">%1</a>").arg(manualPath.toHtmlEscaped()));
        m_link->setToolTip(tr("マニュアルを開く"));
    }
    m_link->setTextFormat(Qt::RichText);
    m_link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_link->setOpenExternalLinks(false);
    connect(m_link, &QLabel::linkActivated, this, [this] { emit manualRequested(); });
    text->addWidget(m_link);
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
