// "モニタ機器選択": the unit list with which units are attached and which
// is selected; choose, release or rename a unit. The rules live in
// UnitList; the dialog only shows its rows and passes the user's choices on.
#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "device/UnitList.h"

class QLabel;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace qv {

class UsbDevice;
class IPrompt;

class UnitSelectDialog : public QDialog {
    Q_OBJECT
  public:
    // Starts from the unit `devices` has selected and scans its devices; the
    // caller takes Selected() back when the dialog has closed.
    UnitSelectDialog(DeviceAccess& devices, IPrompt* prompt, QWidget* parent = nullptr);
    ~UnitSelectDialog() override;

    // The selected unit when the dialog closed (none when released).
    SelectedUnit Selected() const { return m_list.Selected(); }

    // --- controls and actions
    QTreeWidget* List() const { return m_view; }
    QRadioButton* AttachedOnlyButton() const { return m_attachedOnly; }
    QRadioButton* AllButton() const { return m_all; }
    QPushButton* ApplyButton() const { return m_apply; }
    QPushButton* EditButton() const { return m_edit; }
    // What to do about attached units this user may not open; hidden when
    // there are none.
    QLabel* AccessHint() const { return m_accessHint; }
    const std::vector<UnitRow>& Rows() const { return m_rows; }
    void Reload();
    void ChooseRow(int row);
    void Apply();
    // Stores a new name for the chosen row, as the name dialog's OK does.
    void Rename(const QString& name);

  protected:
    void keyPressEvent(QKeyEvent* e) override;

  private:
    void Fill();
    void EditName();

    DeviceAccess& m_devices;
    IPrompt* m_prompt;
    std::shared_ptr<UsbDevice> m_device;
    UnitList m_list;
    std::vector<UnitRow> m_rows;
    int m_chosen = -1;

    QTreeWidget* m_view;
    QRadioButton* m_attachedOnly;
    QRadioButton* m_all;
    QPushButton* m_apply;
    QPushButton* m_edit;
    QLabel* m_accessHint;
};

}  // namespace qv
