// "モニタパラメータ設定": edits one complete status (line and character
// settings, sampling, triggers, display table) of the selected unit's status
// file, or of the working file when no unit is selected (the save device
// among them), and the save folder and frame limit of the application. It
// opens the trigger, line selection and display settings editors on its own
// copy; nothing reaches a file before OK (or an explicit export), and OK
// changes all of them or, naming the value that cannot be stored, none.
#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "capture/CaptureRecord.h"
#include "device/DeviceAccess.h"
#include "settings/StatusSet.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qv {

class SettingsStore;
class ViewConf;
class ReasonLabel;

class MonitorParamsDialog : public QDialog {
    Q_OBJECT
  public:
    // `statusPath`: the status file to edit (created from the template when
    // missing), which also holds the save device. `store` holds the frame
    // limit, `conf` the save folder. `unit`: the selected unit, which its own file names when
    // saved (none: the file keeps the unit it names).
    MonitorParamsDialog(SettingsStore& store, ViewConf& conf, std::string statusPath,
                        SelectedUnit unit = {}, QWidget* parent = nullptr);

    const std::string& StatusPath() const { return m_path; }
    // The working copy as the controls would leave it.
    StatusSet Current();

    // Loads a ".qvs" or ".qvr" file into the working copy and the controls;
    // false (nothing changed) for another kind or a file that cannot be read.
    bool Import(const std::string& path);
    // Writes the working copy to a status file; false when it cannot be written.
    bool Export(const std::string& path);

    // The trigger check and the saves of OK; the dialog stays open when a
    // field is refused or the check's question is cancelled.
    void accept() override;

    // --- the editors it opens, on its working copy (true after their OK)
    bool EditTriggers();
    bool EditLines();
    bool EditDisplay();

    QComboBox* LineBox() const { return m_line; }
    QComboBox* ProtocolBox() const { return m_protocol; }
    QComboBox* SdSpeedBox() const { return m_sdSpeed; }
    QComboBox* RdSpeedBox() const { return m_rdSpeed; }
    QComboBox* DataBitsBox() const { return m_dataBits; }
    QComboBox* ParityBox() const { return m_parity; }
    QComboBox* StopBitsBox() const { return m_stopBits; }
    QComboBox* BitOrderBox() const { return m_bitOrder; }
    QComboBox* SdPolarityBox() const { return m_sdPolarity; }
    QComboBox* RdPolarityBox() const { return m_rdPolarity; }
    QComboBox* MemoryBox() const { return m_memory; }
    QComboBox* SaveDeviceBox() const { return m_saveDevice; }
    QLineEdit* FolderField() const { return m_folder; }
    QPushButton* FolderButton() const { return m_browse; }
    QLineEdit* FrameLimitField() const { return m_frameLimit; }
    QPushButton* TriggerButton() const { return m_triggerButton; }
    QPushButton* LineButton() const { return m_lineButton; }
    QPushButton* DisplayButton() const { return m_displayButton; }
    QPushButton* OkButton() const { return m_ok; }
    QLabel* SdSpeedLabel() const { return m_sdLabel; }
    QLabel* RdSpeedLabel() const { return m_rdLabel; }
    QString Reason() const;

  private:
    void BuildControls();
    void SettingsToControls();
    // Reads the controls into the working copy; with `check` it first refuses
    // a bad typed value (the reason shown) and returns false.
    bool ControlsToSettings(bool check);
    void ApplyLineAndProtocol();
    void ApplyMemoryAndDevice();
    void OnLineOrProtocolChanged();
    int LineType() const;
    // The protocol the mode combo shows.
    Protocol ChosenProtocol() const;
    // The character format and rates are edited (a start-stop protocol is shown).
    bool ShowsCharacterControls() const;
    std::string SdName() const;
    std::string RdName() const;
    // The first refused field's reason, or "".
    std::string Problem() const;
    // Why the save folder cannot be kept (it is no folder, or the conf file
    // cannot hold its name); empty when it can.
    QString FolderProblem(const std::string& folder);

    SettingsStore& m_store;
    ViewConf& m_conf;
    std::string m_path;
    SelectedUnit m_unit;
    StatusSet m_set;
    // The protocol the character controls show, so that a switch reads them
    // back only when they hold values.
    std::optional<Protocol> m_shownProtocol;
    // The line type the speed lists were filled for: typed rates are read
    // with its limits even after the line combo changed.
    int m_shownLineType = 0;
    bool m_filling = false;
    QString m_shownFrameLimit;  // the frame limit as the field showed it on opening

    QComboBox *m_line, *m_protocol, *m_sdSpeed, *m_rdSpeed, *m_dataBits, *m_parity, *m_stopBits,
        *m_bitOrder, *m_sdPolarity, *m_rdPolarity, *m_memory, *m_saveDevice;
    QLabel *m_sdLabel, *m_rdLabel, *m_frameLabel, *m_folderLabel;
    QLineEdit *m_folder, *m_frameLimit;
    QPushButton *m_browse, *m_triggerButton, *m_lineButton, *m_importButton, *m_exportButton,
        *m_displayButton, *m_ok, *m_cancel;
    ReasonLabel* m_reason;
};

}  // namespace qv
