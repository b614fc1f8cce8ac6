// "マスタ/スレーブ設定": the instrument's master or slave mode. Its command is
// never offered in the menus; the dialog refuses to open while the
// instrument is monitoring.
#pragma once

#include <QDialog>
#include <memory>

#include "device/UnitList.h"

class QComboBox;

namespace qv {

class UsbDevice;
class IPrompt;

class MasterSlaveDialog : public QDialog {
    Q_OBJECT
  public:
    // Opens the unit `devices` has selected.
    static void Run(DeviceAccess& devices, IPrompt* prompt, QWidget* parent);

    MasterSlaveDialog(std::shared_ptr<UsbDevice> device, IPrompt* prompt, QWidget* parent = nullptr);
    // Reads the state and preselects the mode; false after the message.
    bool Prepare();
    // OK: sends the chosen mode. 0 or the command's code.
    int ApplyMode();
    QComboBox* ModeList() const { return m_mode; }

  private:
    std::shared_ptr<UsbDevice> m_device;
    IPrompt* m_prompt;
    QComboBox* m_mode;
};

}  // namespace qv
