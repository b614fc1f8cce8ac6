#include "dialogs/FileBrowserDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QRadioButton>
#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStorageInfo>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <filesystem>

#include "capture/CaptureReader.h"
#include "common/Icons.h"
#include "common/ProgramName.h"
#include "common/TextRoom.h"
#include "common/Wireshark.h"
#include "core/FileUtil.h"
#include "core/MessageText.h"
#include "export/ExportFormat.h"
#include "export/ExportRegistry.h"
#include "present/MarkList.h"
#include "views/RangeTimeFields.h"

namespace qv {

namespace {

constexpr const char* kMsgChangeFailed =
    QT_TRANSLATE_NOOP("qv::FileBrowserDialog", "フォルダ変更に失敗しました。");

std::string Trimmed(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}
}  // namespace

QString VolumeText(const std::string& rootPath) {
    return QString::fromStdString("[-" + rootPath + "-]");
}

FileBrowserDialog::FileBrowserDialog(Mode mode, const std::string& startFolder, QWidget* parent)
    : QDialog(parent), m_mode(mode) {
    setWindowTitle(mode == kOpenMode   ? tr("ファイルを開く")
                   : mode == kSaveMode ? tr("ファイルの保存")
                                       : tr("フォルダの選択"));
    auto* grid = new QGridLayout;
    m_drives = new QComboBox;
    m_path = new QLineEdit;
    m_name = new QLineEdit;
    m_nameLabel = new QLabel(tr("管理ファイル名："));
    grid->addWidget(new QLabel(tr("フレーム管理ドライブ：")), 0, 0);
    grid->addWidget(m_drives, 0, 1);
    grid->addWidget(new QLabel(tr("ドライブ／パス：")), 1, 0);
    grid->addWidget(m_path, 1, 1);
    grid->addWidget(m_nameLabel, 2, 0);
    grid->addWidget(m_name, 2, 1);
    if (mode == kOpenMode) {
        m_recent = new QComboBox;
        m_recent->setEnabled(false);
        grid->addWidget(new QLabel(tr("最近使ったキャプチャ：")), 3, 0);
        grid->addWidget(m_recent, 3, 1);
        connect(m_recent, &QComboBox::activated, this, [this](int i) {
            const std::string index = m_recent->itemData(i).toString().toStdString();
            const std::string folder = ParentFolder(index);
            if (!ListFolder(ParentFolder(folder))) return;
            m_path->setText(QString::fromStdString(folder));
            std::string name = index.substr(folder.size() + 1);
            m_name->setText(QString::fromStdString(name.substr(0, name.size() - 4)));
            m_ok->setEnabled(true);
        });
    }

    auto* buttons = new QHBoxLayout;
    auto* up = new QToolButton;
    up->setIcon(MakeIcon(IconKind::FolderUp));
    up->setToolTip(tr("1つ上のフォルダへ"));
    auto* listView = new QToolButton;
    listView->setIcon(MakeIcon(IconKind::ListView));
    listView->setToolTip(tr("一覧"));
    auto* detailView = new QToolButton;
    detailView->setIcon(MakeIcon(IconKind::DetailView));
    detailView->setToolTip(tr("詳細"));
    buttons->addStretch(1);
    buttons->addWidget(up);
    buttons->addWidget(listView);
    buttons->addWidget(detailView);

    m_list = new QTreeWidget;
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({tr("管理ﾌｧｲﾙ名"), tr("ﾌﾚｰﾑ数"), tr("ｷｬﾌﾟﾁｬ開始時刻")});
    m_list->setColumnWidth(0, 150);
    m_list->setColumnWidth(1, 70);
    m_list->setColumnWidth(2, 120);
    WidenColumnsToTitles(m_list->header());
    m_list->setMinimumWidth(360);
    m_list->setMinimumHeight(220);

    m_csv = new QCheckBox(tr("CSV形式による保存"));
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    m_ok = box->button(QDialogButtonBox::Ok);
    box->button(QDialogButtonBox::Cancel)->setText(tr("キャンセル"));
    if (mode == kSaveMode) {
        // The range straight into Wireshark, as pcapng with the payload chosen
        // below, without a file of the user's.
        m_wireshark = box->addButton(tr("Wiresharkで開く"), QDialogButtonBox::ActionRole);
        const bool installed = !WiresharkProgram().isEmpty();
        m_wireshark->setEnabled(installed);
        m_wireshark->setToolTip(WiresharkToolTip(installed));
        connect(m_wireshark, &QPushButton::clicked, this, [this] {
            if (QRadioButton* pcapng = FormatButton("pcapng")) pcapng->setChecked(true);
            m_toWireshark = true;
            m_destination.clear();
            QDialog::accept();
        });
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->addWidget(m_list, 1);
    if (mode == kSaveMode) {
        m_range = new QGroupBox(tr("保存範囲指定"));
        m_byTime = new QRadioButton(tr("時刻指定"));
        m_byMark = new QRadioButton(tr("マーク指定"));
        m_from = new QDateTimeEdit;
        m_to = new QDateTimeEdit;
        for (auto* e : {m_from, m_to}) e->setDisplayFormat("yyyy/MM/dd HH:mm:ss");
        m_fromMark = new QComboBox;
        m_toMark = new QComboBox;
        auto* g = new QGridLayout(m_range);
        g->addWidget(m_byTime, 0, 0);
        g->addWidget(m_from, 0, 1);
        g->addWidget(new QLabel(tr("～")), 0, 2);
        g->addWidget(m_to, 0, 3);
        g->addWidget(m_byMark, 1, 0);
        g->addWidget(m_fromMark, 1, 1);
        g->addWidget(new QLabel(tr("～")), 1, 2);
        g->addWidget(m_toMark, 1, 3);
        layout->addWidget(m_range);
        m_byTime->setChecked(true);
        m_byMark->setEnabled(false);
        m_fromMark->setEnabled(false);
        m_toMark->setEnabled(false);
        connect(m_byTime, &QRadioButton::toggled, this, [this](bool on) {
            m_from->setEnabled(on);
            m_to->setEnabled(on);
            m_fromMark->setEnabled(!on);
            m_toMark->setEnabled(!on);
        });
        layout->addWidget(MakeFormatChoice());
        // A new folder's name is typed, not picked from the list.
        connect(m_name, &QLineEdit::textChanged, this,
                [this](const QString& t) { m_ok->setEnabled(!t.trimmed().isEmpty()); });
    }
    layout->addWidget(m_csv);
    layout->addWidget(box);

    // Open mode has no CSV choice, save mode the list of formats instead;
    // folder mode picks no index name.
    m_csv->setVisible(mode == kFolderMode);
    m_nameLabel->setVisible(mode != kFolderMode);
    m_name->setVisible(mode != kFolderMode);
    m_ok->setEnabled(mode == kFolderMode);

    connect(up, &QToolButton::clicked, this, [this] { GoUp(); });
    connect(listView, &QToolButton::clicked, this, [this] { SetDetailView(false); });
    connect(detailView, &QToolButton::clicked, this, [this] { SetDetailView(true); });
    connect(box, &QDialogButtonBox::accepted, this, &FileBrowserDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &FileBrowserDialog::reject);
    connect(m_list, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { ClickEntry(m_list->indexOfTopLevelItem(item)); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { DoubleClickEntry(m_list->indexOfTopLevelItem(item)); });
    connect(m_drives, &QComboBox::activated, this, &FileBrowserDialog::ChooseVolume);
    connect(m_path, &QLineEdit::returnPressed, this, &FileBrowserDialog::GoToTypedPath);

    std::string start = startFolder.empty() ? QDir::homePath().toStdString() : startFolder;
    FillVolumes();
    if (!ListFolder(Trimmed(start))) ListFolder("/");
}

void FileBrowserDialog::FillVolumes() {
    m_volumes.clear();
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady()) continue;
        m_volumes.push_back(v.rootPath().toStdString());
    }
    if (std::find(m_volumes.begin(), m_volumes.end(), "/") == m_volumes.end())
        m_volumes.insert(m_volumes.begin(), "/");
    std::sort(m_volumes.begin(), m_volumes.end());
    m_drives->clear();
    for (const auto& v : m_volumes)
        m_drives->addItem(VolumeText(v));
}

QStringList FileBrowserDialog::VolumeTexts() const {
    QStringList out;
    for (const auto& v : m_volumes)
        out << VolumeText(v);
    return out;
}

QGroupBox* FileBrowserDialog::MakeFormatChoice() {
    const UiLanguage language = MessageLanguage();
    auto* group = new QGroupBox(tr("保存形式"));
    auto* g = new QGridLayout(group);
    int row = 0;
    for (const ExportFormat* f : ExportFormats()) {
        auto* button = new QRadioButton(QString::fromUtf8(f->Label().In(language)));
        g->addWidget(button, row++, 0, 1, 2);
        m_formats.emplace_back(f, button);
        for (const ExportChoice& c : f->Choices()) {
            auto* label = new QLabel(QString::fromUtf8(c.label.In(language)));
            auto* box = new QComboBox;
            for (const ExportChoiceValue& v : c.values)
                box->addItem(QString::fromUtf8(v.label.In(language)),
                             QString::fromUtf8(v.name.data(), static_cast<int>(v.name.size())));
            g->addWidget(label, row, 0, Qt::AlignRight);
            g->addWidget(box, row++, 1);
            m_choices.emplace_back(&c, box);
            // A format's choices count only while it is chosen.
            for (QWidget* w : {static_cast<QWidget*>(label), static_cast<QWidget*>(box)}) {
                w->setEnabled(false);
                connect(button, &QRadioButton::toggled, w, &QWidget::setEnabled);
            }
        }
    }
    m_formats.front().second->setChecked(true);
    return group;
}

QRadioButton* FileBrowserDialog::FormatButton(std::string_view name) const {
    for (const auto& [f, button] : m_formats)
        if (f->Name() == name) return button;
    return nullptr;
}

QComboBox* FileBrowserDialog::ChoiceBox(std::string_view name) const {
    for (const auto& [c, box] : m_choices)
        if (c->name == name) return box;
    return nullptr;
}

const ExportFormat& FileBrowserDialog::ChosenFormat() const {
    for (const auto& [f, button] : m_formats)
        if (button->isChecked()) return *f;
    return *ExportFormats().front();
}

ExportRequest FileBrowserDialog::SaveRequest() const {
    ExportRequest r;
    r.source = m_source;
    r.range = SaveKeys();
    r.destination = m_destination;
    const ExportFormat& format = ChosenFormat();
    for (const ExportChoice& c : format.Choices())
        if (QComboBox* box = ChoiceBox(c.name))
            r.choices[std::string(c.name)] = box->currentData().toString().toStdString();
    r.application = WritingProgram();
    return r;
}

void FileBrowserDialog::ShowFailure() {
    QMessageBox::warning(this, windowTitle(), tr(kMsgChangeFailed));
}

bool FileBrowserDialog::ListFolder(const std::string& folder) {
    std::vector<CaptureFolderEntry> entries;
    if (!ListCaptureFolders(folder, entries)) return false;
    m_current = Trimmed(folder);
    m_entries = std::move(entries);
    m_path->setText(QString::fromStdString(m_current));
    // The volume the folder lies on is the current one.
    std::string root = QStorageInfo(QString::fromStdString(m_current)).rootPath().toStdString();
    auto it = std::find(m_volumes.begin(), m_volumes.end(), root);
    if (it != m_volumes.end()) {
        m_drives->setCurrentIndex(static_cast<int>(it - m_volumes.begin()));
        m_volumeFolder[root] = m_current;
    }
    FillList();
    if (m_mode == kOpenMode) m_ok->setEnabled(false);
    if (m_mode == kSaveMode) m_ok->setEnabled(!m_name->text().trimmed().isEmpty());
    return true;
}

void FileBrowserDialog::GoToTypedPath() {
    const std::string path = Trimmed(m_path->text().toStdString());
    if (m_mode == kOpenMode && path.ends_with(".qvr") && PathExists(path) && !IsDirectory(path)) {
        m_folder = ParentFolder(ParentFolder(path));
        m_indexPath = path;
        QDialog::accept();
        return;
    }
    if (path == m_current || !IsDirectory(path)) return;
    if (!ListFolder(path)) {
        ShowFailure();
        return;
    }
    m_wentToTyped = true;
}

void FileBrowserDialog::SetRecent(const std::vector<std::string>& indexes) {
    if (!m_recent) return;
    m_recent->clear();
    for (const std::string& index : indexes)
        if (index.ends_with(".qvr") && index.find('/') != std::string::npos)
            m_recent->addItem(QString::fromStdString(index), QString::fromStdString(index));
    m_recent->setEnabled(m_recent->count() > 0);
    m_recent->setCurrentIndex(-1);
}

void FileBrowserDialog::FillList() {
    m_list->clear();
    for (const auto& e : m_entries) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::fromStdString(e.name));
        item->setIcon(0, MakeIcon(e.capture ? IconKind::Capture : IconKind::Folder));
        if (e.capture) {
            item->setText(1, QString::number(e.frames));
            item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
            item->setText(2, QString::fromStdString(e.startText));
        }
    }
}

void FileBrowserDialog::ClickEntry(int index) {
    if (index < 0 || index >= static_cast<int>(m_entries.size()) || m_mode == kSaveMode) return;
    const auto& e = m_entries[index];
    std::string path = e.name == ".." ? m_current : JoinFolder(m_current, e.name);
    m_path->setText(QString::fromStdString(path));
    // The name follows the entry: a plain folder leaves no name, so OK cannot
    // combine one folder with the name of a capture chosen before.
    m_name->setText(e.capture ? QString::fromStdString(e.name) : QString());
    if (m_mode == kOpenMode) m_ok->setEnabled(e.capture);
}

void FileBrowserDialog::DoubleClickEntry(int index) {
    if (index < 0 || index >= static_cast<int>(m_entries.size())) return;
    CaptureFolderEntry e = m_entries[index];
    // Save mode writes a new folder; an existing capture is never a target.
    if (e.capture && m_mode == kOpenMode) {
        ClickEntry(index);
        accept();
        return;
    }
    std::string target = e.name == ".." ? ParentFolder(m_current) : JoinFolder(m_current, e.name);
    if (!ListFolder(target)) ShowFailure();
}

bool FileBrowserDialog::GoUp() {
    if (m_current == "/") return false;
    if (!ListFolder(ParentFolder(m_current))) {
        ShowFailure();
        return false;
    }
    return true;
}

void FileBrowserDialog::ChooseVolume(int index) {
    if (index < 0 || index >= static_cast<int>(m_volumes.size())) return;
    const std::string& root = m_volumes[index];
    auto it = m_volumeFolder.find(root);
    std::string folder = it != m_volumeFolder.end() ? it->second : root;
    if (!ListFolder(folder)) ShowFailure();
}

void FileBrowserDialog::SetDetailView(bool detail) {
    m_list->setHeaderHidden(!detail);
    m_list->setColumnHidden(1, !detail);
    m_list->setColumnHidden(2, !detail);
}

void FileBrowserDialog::SetSaveSource(CaptureReader& reader) {
    if (m_mode != kSaveMode) return;
    m_source = reader.GetIndexPath();
    for (const auto& [f, button] : m_formats)
        button->setEnabled(f->Takes(reader));
    std::string start, end;
    reader.GetCaptureStartText(start);
    reader.GetCaptureEndText(end);
    m_from->setDateTime(RecordDateTime(start));
    m_to->setDateTime(RecordDateTime(end));
    m_markTimes.clear();
    m_fromMark->clear();
    m_toMark->clear();
    for (const auto& m : ReadMarks(reader)) {
        // A tab would be drawn as a wide gap that pushes the comment (its
        // time) out of the field.
        QString line = tr("マーク%1: %2").arg(m.number).arg(QString::fromStdString(m.comment));
        m_fromMark->addItem(line);
        m_toMark->addItem(line);
        m_markTimes.push_back(m.timeText);
    }
    m_byMark->setEnabled(!m_markTimes.empty());
}

std::pair<DayTime, DayTime> FileBrowserDialog::SaveKeys() const {
    if (m_byMark && m_byMark->isChecked()) {
        auto key = [this](int i) {
            return ParseRecordTime(m_markTimes[static_cast<size_t>(std::max(0, i))])
                .value_or(DayTime{});
        };
        if (!m_markTimes.empty())
            return {key(m_fromMark->currentIndex()), key(m_toMark->currentIndex())};
    }
    if (!m_from) return {};
    return {PickedTimeKey(m_from->date(), m_from->time(), false),
            PickedTimeKey(m_to->date(), m_to->time(), true)};
}

void FileBrowserDialog::accept() {
    if (m_wentToTyped) {
        m_wentToTyped = false;
        return;
    }
    std::string path = Trimmed(m_path->text().toStdString());
    if (m_mode == kFolderMode) {
        std::error_code ec;
        if (path.empty() || !std::filesystem::is_directory(path, ec)) return;  // stays open
        m_folder = path;
        QDialog::accept();
        return;
    }
    std::string name = m_name->text().trimmed().toStdString();
    if (path.empty() || name.empty()) return;
    if (m_mode == kSaveMode && ChosenFormat().Writes() == ExportFormat::Target::kFile) {
        // The range goes into a file of this name inside the listed folder.
        const std::string_view ext = ChosenFormat().Extension();
        std::string file = JoinFolder(path, name);
        if (!file.ends_with(ext)) file += ext;
        std::error_code ec;
        if (std::filesystem::exists(file, ec)) {
            QMessageBox::warning(this, windowTitle(),
                                 tr("ファイル「%1」は既にあります。別の名前を指定してください。")
                                     .arg(QString::fromStdString(file)));
            return;
        }
        m_folder = path;
        m_destination = file;
        QDialog::accept();
        return;
    }
    if (m_mode == kSaveMode) {
        // The range goes into a folder of this name inside the listed one.
        std::string folder = JoinFolder(path, name);
        std::error_code ec;
        // Saving over files already there could mix or overwrite captures.
        if (std::filesystem::exists(folder, ec) && !std::filesystem::is_empty(folder, ec)) {
            QMessageBox::warning(
                this, windowTitle(),
                tr("フォルダ「%1」は空ではありません。別の名前を指定してください。")
                    .arg(QString::fromStdString(folder)));
            return;
        }
        std::filesystem::create_directories(folder, ec);
        if (!std::filesystem::is_directory(folder, ec)) {
            ShowFailure();
            return;
        }
        m_folder = folder;
        m_destination = folder;
        QDialog::accept();
        return;
    }
    m_folder = ParentFolder(path);
    m_indexPath = JoinFolder(path, name + ".qvr");
    QDialog::accept();
}

}  // namespace qv
