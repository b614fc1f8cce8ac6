// The capture file browser: lists the mounted volumes and the sub-folders of
// a folder, marking those that hold a capture with its frame count and start
// time. Open mode picks a capture's index; folder mode picks a folder; save
// mode picks a new folder or file for a range of the open capture, the range
// by two times or two marks, and the export format with its choices.
#pragma once

#include <QDialog>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "capture/CaptureFolderList.h"
#include "capture/RecordTime.h"

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QGroupBox;
class QRadioButton;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace qv {

class CaptureReader;
class ExportFormat;
struct ExportChoice;
struct ExportRequest;

class FileBrowserDialog : public QDialog {
    Q_OBJECT
  public:
    enum Mode { kOpenMode = 1, kSaveMode = 2, kFolderMode = 3 };

    FileBrowserDialog(Mode mode, const std::string& startFolder, QWidget* parent = nullptr);

    // Results once accepted: the chosen folder (no trailing "/") and, in open
    // mode, the index path.
    const std::string& Folder() const { return m_folder; }
    const std::string& IndexPath() const { return m_indexPath; }

    // Save mode: presets the range from the capture's start and end time and
    // its marks. Call before showing the dialog.
    void SetSaveSource(CaptureReader& reader);
    // Save mode, once accepted: the range's two keys in the order given. A
    // time range runs from the start of its first second to the end of its
    // last, so that a range preset with the capture's span holds all of it.
    std::pair<DayTime, DayTime> SaveKeys() const;
    QRadioButton* TimeChoice() const { return m_byTime; }
    QRadioButton* MarkChoice() const { return m_byMark; }
    QDateTimeEdit* FromTime() const { return m_from; }
    QDateTimeEdit* ToTime() const { return m_to; }
    QComboBox* FromMark() const { return m_fromMark; }
    QComboBox* ToMark() const { return m_toMark; }
    // Save mode: the button of each export format and the box of each of
    // their choices (null for an unknown name).
    QRadioButton* FormatButton(std::string_view name) const;
    QComboBox* ChoiceBox(std::string_view name) const;
    const ExportFormat& ChosenFormat() const;
    // Save mode, once accepted: the pass the user asked for, all but the
    // records per file.
    ExportRequest SaveRequest() const;
    // Save mode: "Wiresharkで開く" was pressed: the range goes to Wireshark
    // as pcapng (the destination is left to the caller), not into a file
    // of the user's.
    bool ToWireshark() const { return m_toWireshark; }
    QPushButton* WiresharkButton() const { return m_wireshark; }

    // --- the controls, and the actions a user takes on them
    const std::string& CurrentFolder() const { return m_current; }
    const std::vector<CaptureFolderEntry>& Entries() const { return m_entries; }
    // The volume texts "[-/-]", "[-/media/usb-]".
    QStringList VolumeTexts() const;
    QLineEdit* PathField() const { return m_path; }
    QLineEdit* NameField() const { return m_name; }
    QPushButton* OkButton() const { return m_ok; }
    QTreeWidget* List() const { return m_list; }
    QCheckBox* CsvBox() const { return m_csv; }
    // False (with the message) when the folder cannot be listed.
    bool ListFolder(const std::string& folder);
    // Enter in the path field: a folder typed there is listed (the dialog
    // stays), in open mode a capture's .qvr typed there is chosen.
    void GoToTypedPath();
    // Open mode: the captures opened last, offered above the list.
    void SetRecent(const std::vector<std::string>& indexes);
    QComboBox* RecentBox() const { return m_recent; }
    void ClickEntry(int index);
    void DoubleClickEntry(int index);
    bool GoUp();
    void ChooseVolume(int index);
    void SetDetailView(bool detail);

    void accept() override;

  private:
    QGroupBox* MakeFormatChoice();
    void FillVolumes();
    void FillList();
    void ShowFailure();

    Mode m_mode;
    std::string m_current;
    std::vector<CaptureFolderEntry> m_entries;
    std::vector<std::string> m_volumes;
    std::map<std::string, std::string> m_volumeFolder;  // the last folder listed on each volume
    std::string m_folder, m_indexPath;
    std::string m_destination, m_source;  // save mode

    QComboBox* m_drives;
    QComboBox* m_recent = nullptr;
    bool m_wentToTyped = false;
    bool m_toWireshark = false;
    QPushButton* m_wireshark =
        nullptr;  // the Enter that listed a typed folder does not also accept
    QLineEdit* m_path;
    QLineEdit* m_name;
    QLabel* m_nameLabel;
    QTreeWidget* m_list;
    QCheckBox* m_csv;
    QPushButton* m_ok;

    QGroupBox* m_range = nullptr;
    QRadioButton* m_byTime = nullptr;
    QRadioButton* m_byMark = nullptr;
    QDateTimeEdit* m_from = nullptr;
    QDateTimeEdit* m_to = nullptr;
    QComboBox* m_fromMark = nullptr;
    QComboBox* m_toMark = nullptr;
    std::vector<std::string> m_markTimes;  // record time texts of the listed marks
    std::vector<std::pair<const ExportFormat*, QRadioButton*>> m_formats;
    std::vector<std::pair<const ExportChoice*, QComboBox*>> m_choices;
};

// "[-/-]" for a volume mounted at "/".
QString VolumeText(const std::string& rootPath);

}  // namespace qv
