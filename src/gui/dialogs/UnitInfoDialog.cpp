#include "dialogs/UnitInfoDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/Prompt.h"
#include "device/DeviceStatus.h"

namespace qv {

void UnitInfoDialog::Run(DeviceAccess& devices, IPrompt* prompt, QWidget* parent,
                         const std::function<void(UnitInfoDialog&)>& beforeShow) {
    StatusOpen o = OpenForStatus(devices, StatusUse::kUnitInfo, devices.Selected().Identity());
    if (!o.message.empty()) {
        if (prompt) prompt->ShowMessage(o.message);
        return;
    }
    UnitInfoDialog dlg(o.device, prompt, parent);
    if (!dlg.ReadRows()) return;
    if (beforeShow) beforeShow(dlg);
    dlg.exec();
}

UnitInfoDialog::UnitInfoDialog(std::shared_ptr<UsbDevice> device, IPrompt* prompt,
                                   QWidget* parent)
    : QDialog(parent), m_device(std::move(device)), m_prompt(prompt), m_list(new QTreeWidget) {
    setWindowTitle(tr("本体情報"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderHidden(true);
    m_list->setColumnCount(2);
    m_list->setMinimumSize(420, 260);
    m_list->setFocusPolicy(Qt::NoFocus);
    auto* reread = new QPushButton(tr("再読込"));
    auto* stop = new QPushButton(tr("モニタ停止"));
    auto* close = new QPushButton(tr("閉じる(&C)"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(reread);
    buttons->addWidget(stop);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    connect(reread, &QPushButton::clicked, this, [this] { ReadRows(); });
    connect(stop, &QPushButton::clicked, this, [this] { StopMonitoring(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

bool UnitInfoDialog::ReadRows() {
    DeviceCommand cmd(m_device);
    std::vector<StatusRow> rows;
    int rc = ReadStatusRows(cmd, m_device ? m_device->GetDeviceRelease() : 0, m_extended, rows);
    m_list->clear();
    for (const auto& r : rows) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::fromStdString(r.label));
        item->setText(1, QString::fromStdString(r.value));
    }
    if (rc != 0) {
        if (m_prompt) m_prompt->ShowMessage(MessageText(MessageId::kParamFailed));
        return false;
    }
    return true;
}

int UnitInfoDialog::StopMonitoring() {
    DeviceCommand cmd(m_device);
    int rc = cmd.Stop();
    ReadRows();
    return rc;
}

void UnitInfoDialog::keyPressEvent(QKeyEvent* e) {
    // Only the capital letter opens the extended view.
    if (e->text() == "D") {
        m_extended = true;
        setWindowTitle(tr("本体情報 [拡張] "));
        ReadRows();
        return;
    }
    QDialog::keyPressEvent(e);
}

void UnitInfoDialog::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    int w = m_list->viewport()->width();
    m_list->setColumnWidth(0, w * 2 / 5);
    m_list->setColumnWidth(1, w - w * 2 / 5);
}

}  // namespace qv
