// "時刻設定": shows the instrument's clock and sets it, to the picked date
// and time or to the computer's clock.
#pragma once

#include <QDialog>
#include <memory>

#include "device/UnitList.h"

class QCheckBox;
class QDateEdit;
class QTimeEdit;

namespace qv {

class UsbDevice;
class IPrompt;

class ClockDialog : public QDialog {
    Q_OBJECT
  public:
    // Opens the unit `devices` has selected.
    static void Run(DeviceAccess& devices, IPrompt* prompt, QWidget* parent);

    ClockDialog(std::shared_ptr<UsbDevice> device, IPrompt* prompt, QWidget* parent = nullptr);
    // Reads the instrument clock into the pickers; false after the message.
    bool ReadClock();
    // "設定": sends the clock; 0 or the command's code. A time the
    // instrument's clock cannot hold is not sent: the message says why and
    // kOutOfRange comes back.
    static constexpr int kOutOfRange = -2;
    int SetClock();
    // Seconds since 1970 the dialog would send now (the pickers' local time
    // may lie outside what the clock holds).
    int64_t ChosenSeconds() const;

    QDateEdit* DatePicker() const { return m_date; }
    QTimeEdit* TimePicker() const { return m_time; }
    QCheckBox* PcClockBox() const { return m_pcClock; }

  private:
    std::shared_ptr<UsbDevice> m_device;
    IPrompt* m_prompt;
    QDateEdit* m_date;
    QTimeEdit* m_time;
    QCheckBox* m_pcClock;
};

}  // namespace qv
