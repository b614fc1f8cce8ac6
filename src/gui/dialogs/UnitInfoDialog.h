// "本体情報": the selected instrument's state, clocks and versions as label
// and value rows; capital D switches to the extended view with the firmware
// and card memory rows. The rows come from the core; the dialog shows them.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "device/UnitList.h"

class QTreeWidget;

namespace qv {

class UsbDevice;
class IPrompt;

class UnitInfoDialog : public QDialog {
    Q_OBJECT
  public:
    // Opens the unit `devices` has selected and shows the dialog; an opening
    // failure is only told through the prompt. `beforeShow` may connect the
    // dialog to what it should follow.
    static void Run(DeviceAccess& devices, IPrompt* prompt, QWidget* parent,
                    const std::function<void(UnitInfoDialog&)>& beforeShow = {});

    UnitInfoDialog(std::shared_ptr<UsbDevice> device, IPrompt* prompt,
                     QWidget* parent = nullptr);
    // Reads the rows again; false (after the message) when a command failed.
    bool ReadRows();
    bool Extended() const { return m_extended; }
    QTreeWidget* List() const { return m_list; }
    // "モニタ停止": stops monitoring on the instrument and shows its state
    // as it is then.
    int StopMonitoring();

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    std::shared_ptr<UsbDevice> m_device;
    IPrompt* m_prompt;
    bool m_extended = false;
    QTreeWidget* m_list;
};

}  // namespace qv
