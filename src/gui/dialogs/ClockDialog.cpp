#include "dialogs/ClockDialog.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDateTime>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <ctime>

#include "core/Prompt.h"
#include "device/DeviceStatus.h"

namespace qv {

void ClockDialog::Run(DeviceAccess& devices, IPrompt* prompt, QWidget* parent) {
    StatusOpen o = OpenForStatus(devices, StatusUse::kClock, devices.Selected().Identity());
    if (!o.message.empty()) {
        if (prompt) prompt->ShowMessage(o.message);
        return;
    }
    ClockDialog dlg(o.device, prompt, parent);
    if (!dlg.ReadClock()) return;
    dlg.exec();
}

ClockDialog::ClockDialog(std::shared_ptr<UsbDevice> device, IPrompt* prompt, QWidget* parent)
    : QDialog(parent),
      m_device(std::move(device)),
      m_prompt(prompt),
      m_date(new QDateEdit),
      m_time(new QTimeEdit),
      m_pcClock(new QCheckBox(tr("PCの時計と合わせる"))) {
    setWindowTitle(tr("時刻設定"));
    m_date->setDisplayFormat("yyyy/MM/dd");
    m_date->setCalendarPopup(true);
    m_time->setDisplayFormat("HH:mm:ss");
    auto* set = new QPushButton(tr("設定"));
    auto* cancel = new QPushButton(tr("キャンセル"));
    auto* pickers = new QHBoxLayout;
    pickers->addWidget(m_date);
    pickers->addWidget(m_time);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(set);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(pickers);
    layout->addWidget(m_pcClock);
    layout->addLayout(buttons);
    connect(m_pcClock, &QCheckBox::toggled, this, [this](bool on) {
        m_date->setEnabled(!on);
        m_time->setEnabled(!on);
    });
    connect(set, &QPushButton::clicked, this, [this] {
        // A refused time keeps the dialog open for another.
        if (SetClock() != kOutOfRange) accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool ClockDialog::ReadClock() {
    DeviceCommand cmd(m_device);
    uint32_t monitoring = 0, clock = 0;
    if (cmd.ReadClocks(monitoring, clock) != 0) {
        if (m_prompt) m_prompt->ShowMessage(MessageText(MessageId::kClockFailed));
        return false;
    }
    QDateTime t = QDateTime::fromSecsSinceEpoch(clock);
    m_date->setDate(t.date());
    m_time->setTime(t.time());
    return true;
}

int64_t ClockDialog::ChosenSeconds() const {
    if (m_pcClock->isChecked()) return static_cast<int64_t>(std::time(nullptr));
    return QDateTime(m_date->date(), m_time->time()).toSecsSinceEpoch();
}

int ClockDialog::SetClock() {
    const int64_t seconds = ChosenSeconds();
    if (std::string why = ClockRangeProblem(seconds); !why.empty()) {
        if (m_prompt) m_prompt->ShowMessage(why);
        return kOutOfRange;
    }
    DeviceCommand cmd(m_device);
    return cmd.SetClock(static_cast<uint32_t>(seconds));
}

}  // namespace qv
