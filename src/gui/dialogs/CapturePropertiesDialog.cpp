#include "dialogs/CapturePropertiesDialog.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "common/TextRoom.h"

namespace qv {

namespace {

QTreeWidget* MakeList(const PropertyRows& rows, QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setColumnCount(2);
    list->setHeaderLabels({CapturePropertiesDialog::tr("プロパティ項目"),
                           CapturePropertiesDialog::tr("内容")});
    list->setRootIsDecorated(false);
    list->setMinimumSize(460, 380);
    for (const auto& [label, value] : rows) {
        auto* item = new QTreeWidgetItem(list);
        item->setText(0, QString::fromStdString(label));
        item->setText(1, QString::fromStdString(value));
    }
    // Two fifths for the labels, three for the values.
    list->setColumnWidth(0, 460 * 2 / 5);
    WidenColumnsToContents(list, list->header());
    return list;
}

}  // namespace

CapturePropertiesDialog::CapturePropertiesDialog(const CaptureFacts& facts, QWidget* parent)
    : QDialog(parent), m_tabs(new QTabWidget(this)) {
    setWindowTitle(tr("プロパティ画面"));
    m_general = MakeList(GeneralProperties(facts), m_tabs);
    m_detail = MakeList(DetailProperties(facts), m_tabs);
    m_tabs->addTab(m_general, tr("全般"));
    m_tabs->addTab(m_detail, tr("詳細"));
    auto* ok = new QPushButton("OK", this);
    ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace qv
