#include "dialogs/MasterSlaveDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/TextRoom.h"
#include "core/Prompt.h"
#include "device/DeviceStatus.h"

namespace qv {

void MasterSlaveDialog::Run(DeviceAccess& devices, IPrompt* prompt, QWidget* parent) {
    StatusOpen o = OpenForStatus(devices, StatusUse::kMasterSlave, devices.Selected().Identity());
    if (!o.message.empty()) {
        if (prompt) prompt->ShowMessage(o.message);
        return;
    }
    MasterSlaveDialog dlg(o.device, prompt, parent);
    if (!dlg.Prepare()) return;
    if (dlg.exec() == QDialog::Accepted) dlg.ApplyMode();
}

MasterSlaveDialog::MasterSlaveDialog(std::shared_ptr<UsbDevice> device, IPrompt* prompt, QWidget* parent)
    : QDialog(parent), m_device(std::move(device)), m_prompt(prompt), m_mode(new QComboBox) {
    setWindowTitle(tr("マスタ/スレーブ設定"));
    KeepTitleWhole(this);
    m_mode->addItems({tr("スレーブ"), tr("マスタ")});
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    box->button(QDialogButtonBox::Cancel)->setText(tr("キャンセル"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_mode);
    layout->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

bool MasterSlaveDialog::Prepare() {
    DeviceCommand cmd(m_device);
    MasterSlaveOpen o = PrepareMasterSlave(cmd);
    if (!o.message.empty()) {
        if (m_prompt) m_prompt->ShowMessage(o.message);
        return false;
    }
    m_mode->setCurrentIndex(o.entry);
    return true;
}

int MasterSlaveDialog::ApplyMode() {
    DeviceCommand cmd(m_device);
    return ApplyMasterSlave(cmd, m_mode->currentIndex());
}

}  // namespace qv
