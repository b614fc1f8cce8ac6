// The dialog that starts a run stored on the instrument's memory card: it
// shows each step's status text while the instrument is configured, asks
// whether to start now, and enables OK once the work is done. Failures are
// shown as messages by the run's prompt.
#pragma once

#include <QDialog>

#include "device/CardRun.h"

class QLabel;
class QPushButton;

namespace qv {

class DeviceAccess;
class Log;
class IPrompt;

class CardRunDialog : public QDialog {
    Q_OBJECT
  public:
    CardRunDialog(DeviceAccess& devices, Log& log, IPrompt* prompt, QWidget* parent = nullptr);

    const CardRunResult& Result() const { return m_result; }
    bool Done() const { return m_done; }
    QLabel* StatusText() const { return m_status; }
    QPushButton* OkButton() const { return m_ok; }

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void Run();

    DeviceAccess& m_devices;
    Log& m_log;
    IPrompt* m_prompt;
    CardRunResult m_result;
    bool m_started = false;
    bool m_done = false;
    QLabel* m_status;
    QPushButton* m_ok;
};

}  // namespace qv
