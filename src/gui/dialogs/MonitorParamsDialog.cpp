#include "dialogs/MonitorParamsDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <ctime>

#include "common/TextRoom.h"
#include "core/FileUtil.h"
#include "core/SettingsStore.h"
#include "core/ViewConf.h"
#include "device/UnitList.h"
#include "dialogs/DisplayFormatDialog.h"
#include "dialogs/FileBrowserDialog.h"
#include "dialogs/LineSelectDialog.h"
#include "dialogs/ReasonLabel.h"
#include "dialogs/TriggerListDialog.h"
#include "settings/EditorRules.h"
#include "settings/EntryChecks.h"
#include "settings/StatusFile.h"

namespace qv {

namespace {

struct Item {
    const char* text;
    int code;
};

// The combo words and the codes they store, in the order the lists show them.
// Words are shown translated; the codes are what the settings keep.
constexpr Item kLineItems[] = {{"RS-232", 0}, {"RS-422/485/530", 1}};
constexpr Item kProtocolItems[] = {{"ASYNC", ProtocolCode(Protocol::kAsync)},
                                   {"LOGIC", ProtocolCode(Protocol::kLogic)}};
constexpr Item kDataBitItems[] = {{QT_TRANSLATE_NOOP("qv::MonitorParamsDialog", "8ビット"), 8},
                                  {QT_TRANSLATE_NOOP("qv::MonitorParamsDialog", "7ビット"), 7},
                                  {QT_TRANSLATE_NOOP("qv::MonitorParamsDialog", "6ビット"), 6},
                                  {QT_TRANSLATE_NOOP("qv::MonitorParamsDialog", "5ビット"), 5}};
constexpr Item kParityItems[] = {{"NON", 0},  {"ODD", 1},   {"EVEN", 2},
                                 {"MARK", 3}, {"SPACE", 4}, {"MP", 5}};
constexpr Item kStopBitItems[] = {{QT_TRANSLATE_NOOP("qv::MonitorParamsDialog", "1ビット"), 10},
                                  {QT_TRANSLATE_NOOP("qv::MonitorParamsDialog", "1.5ビット"), 15},
                                  {QT_TRANSLATE_NOOP("qv::MonitorParamsDialog", "2ビット"), 20}};
constexpr Item kBitOrderItems[] = {
    {QT_TRANSLATE_NOOP("qv::MonitorParamsDialog", "LSBファースト"), 1},
    {QT_TRANSLATE_NOOP("qv::MonitorParamsDialog", "MSBファースト"), 0}};
constexpr Item kPolarityItems[] = {{QT_TRANSLATE_NOOP("qv::MonitorParamsDialog", "ノーマル"), 1},
                                   {QT_TRANSLATE_NOOP("qv::MonitorParamsDialog", "リバース"), 0}};
constexpr Item kMemoryItems[] = {{"FIX", kMemoryFix}, {"RING", kMemoryRing}};
constexpr Item kSaveDeviceItems[] = {{"PC", static_cast<int>(kSaveDevicePc)},
                                     {"CF", static_cast<int>(kSaveDeviceCf)}};

template <size_t N>
void Fill(QComboBox* box, const Item (&items)[N]) {
    box->clear();
    for (const Item& i : items)
        box->addItem(QCoreApplication::translate("qv::MonitorParamsDialog", i.text), i.code);
}

// Selects the item of `code`; a code outside the list selects the first item,
// or `fallback` when given.
void Select(QComboBox* box, int code, int fallback = -1) {
    int i = box->findData(code);
    if (i < 0) i = fallback >= 0 ? box->findData(fallback) : 0;
    box->setCurrentIndex(i < 0 ? 0 : i);
}

int Code(const QComboBox* box) {
    return box->currentData().toInt();
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

MonitorParamsDialog::MonitorParamsDialog(SettingsStore& store, ViewConf& conf,
                                         std::string statusPath, SelectedUnit unit,
                                         QWidget* parent)
    : QDialog(parent),
      m_store(store),
      m_conf(conf),
      m_path(std::move(statusPath)),
      m_unit(std::move(unit)) {
    setWindowTitle(tr("モニタパラメータ設定"));
    BuildControls();

    // The file is made from the template when missing, as at start-up.
    StatusFile file;
    if (file.OpenStatusFile(m_path) == 0) LoadStatusSet(file, m_set, std::time(nullptr));

    m_filling = true;
    Fill(m_line, kLineItems);
    Fill(m_protocol, kProtocolItems);
    Fill(m_memory, kMemoryItems);
    Fill(m_saveDevice, kSaveDeviceItems);
    SettingsToControls();
    ApplyLineAndProtocol();

    m_store.Load();
    m_folder->setText(Q(m_conf.GetSaveDirectory()));
    // The save device lives in the status file, with the other settings a
    // run starts from.
    Select(m_saveDevice, static_cast<int>(m_set.status.monitor.SaveDevice));
    m_frameLimit->setText(Q(FrameLimitText(m_store.GetFrameMax())));
    m_shownFrameLimit = m_frameLimit->text();
    m_filling = false;
    ApplyMemoryAndDevice();
}

void MonitorParamsDialog::BuildControls() {
    auto combo = [this] {
        auto* b = new QComboBox(this);
        b->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        return b;
    };
    m_line = combo();
    m_protocol = combo();
    m_sdSpeed = combo();
    m_rdSpeed = combo();
    m_dataBits = combo();
    m_parity = combo();
    m_stopBits = combo();
    m_bitOrder = combo();
    m_sdPolarity = combo();
    m_rdPolarity = combo();
    m_memory = combo();
    m_saveDevice = combo();
    // Speeds are typed as digits with "." and ","; other keys are swallowed.
    for (QComboBox* b : {m_sdSpeed, m_rdSpeed}) {
        b->setEditable(true);
        b->setInsertPolicy(QComboBox::NoInsert);
        // Twelve characters whatever the list holds: the width must not
        // follow the list, which is refilled as values are checked.
        b->setMinimumContentsLength(12);
        b->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        // Inline completion would put a list rate in place of a typed one.
        b->setCompleter(nullptr);
        b->lineEdit()->setValidator(
            new QRegularExpressionValidator(QRegularExpression("[0-9.,]*"), b));
    }
    m_sdLabel = new QLabel(this);
    m_rdLabel = new QLabel(this);
    m_folder = new QLineEdit(this);
    m_folder->setMinimumWidth(260);
    m_browse = new QPushButton("...", this);
    m_browse->setFixedWidth(32);
    m_frameLimit = new QLineEdit(this);
    m_frameLimit->setMinimumWidth(FieldWidthFor(m_frameLimit, "00,000,000"));
    m_frameLimit->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9.,]*"), m_frameLimit));
    m_frameLabel = new QLabel(tr("最大フレーム数"), this);
    m_folderLabel = new QLabel(tr("データ保存先"), this);
    m_triggerButton = new QPushButton(tr("トリガ設定"), this);
    m_lineButton = new QPushButton(tr("ライン選択"), this);
    m_importButton = new QPushButton(tr("インポート"), this);
    m_exportButton = new QPushButton(tr("エクスポート"), this);
    m_displayButton = new QPushButton(tr("表示設定"), this);
    m_ok = new QPushButton("OK", this);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(tr("キャンセル"), this);
    m_reason = new ReasonLabel(this);

    auto* line = new QGroupBox(tr("回線"), this);
    auto* lg = new QGridLayout(line);
    int r = 0;
    auto row = [&](QGridLayout* g, QWidget* label, QWidget* field) {
        g->addWidget(label, r, 0);
        g->addWidget(field, r, 1);
        ++r;
    };
    row(lg, new QLabel(tr("インタフェース"), this), m_line);
    row(lg, new QLabel(tr("モード"), this), m_protocol);
    auto* speeds = new QWidget(this);
    auto* sl = new QGridLayout(speeds);
    sl->setContentsMargins(0, 0, 0, 0);
    sl->addWidget(m_sdLabel, 0, 0);
    sl->addWidget(m_sdSpeed, 0, 1);
    sl->addWidget(m_rdLabel, 1, 0);
    sl->addWidget(m_rdSpeed, 1, 1);
    row(lg, new QLabel(tr("スピード(bps)"), this), speeds);
    row(lg, new QLabel(tr("データビット"), this), m_dataBits);
    row(lg, new QLabel(tr("パリティビット"), this), m_parity);
    row(lg, new QLabel(tr("ストップビット"), this), m_stopBits);
    row(lg, new QLabel(tr("トランスファフォーマット"), this), m_bitOrder);
    auto* pol = new QWidget(this);
    auto* pl = new QHBoxLayout(pol);
    pl->setContentsMargins(0, 0, 0, 0);
    pl->addWidget(m_sdPolarity);
    pl->addWidget(m_rdPolarity);
    row(lg, new QLabel(tr("データポラリティ"), this), pol);

    auto* store = new QGroupBox(tr("保存"), this);
    auto* sg = new QGridLayout(store);
    r = 0;
    row(sg, new QLabel(tr("データ蓄積モード"), this), m_memory);
    row(sg, new QLabel(tr("保存デバイス"), this), m_saveDevice);
    auto* folder = new QWidget(this);
    auto* fl = new QHBoxLayout(folder);
    fl->setContentsMargins(0, 0, 0, 0);
    fl->addWidget(m_folder, 1);
    fl->addWidget(m_browse);
    row(sg, m_folderLabel, folder);
    auto* limit = new QWidget(this);
    auto* ll = new QHBoxLayout(limit);
    ll->setContentsMargins(0, 0, 0, 0);
    ll->addWidget(m_frameLimit, 1);
    ll->addWidget(new QLabel(tr("万フレーム"), this));
    row(sg, m_frameLabel, limit);

    auto* side = new QVBoxLayout;
    for (QPushButton* b : {m_triggerButton, m_lineButton, m_importButton, m_exportButton,
                           m_displayButton})
        side->addWidget(b);
    side->addStretch(1);
    side->addWidget(m_ok);
    side->addWidget(m_cancel);

    auto* left = new QVBoxLayout;
    left->addWidget(line);
    left->addWidget(store);
    left->addWidget(m_reason);
    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(side);

    connect(m_line, &QComboBox::currentIndexChanged, this,
            &MonitorParamsDialog::OnLineOrProtocolChanged);
    connect(m_protocol, &QComboBox::currentIndexChanged, this,
            &MonitorParamsDialog::OnLineOrProtocolChanged);
    connect(m_memory, &QComboBox::currentIndexChanged, this,
            &MonitorParamsDialog::ApplyMemoryAndDevice);
    connect(m_saveDevice, &QComboBox::currentIndexChanged, this,
            &MonitorParamsDialog::ApplyMemoryAndDevice);
    // A refused value's reason goes away as soon as the field is corrected.
    auto recheck = [this] {
        if (m_reason->isVisible()) m_reason->Show(Problem());
    };
    connect(m_sdSpeed, &QComboBox::currentTextChanged, this, recheck);
    connect(m_rdSpeed, &QComboBox::currentTextChanged, this, recheck);
    connect(m_frameLimit, &QLineEdit::textChanged, this, recheck);
    connect(m_browse, &QPushButton::clicked, this, [this] {
        FileBrowserDialog dlg(FileBrowserDialog::kFolderMode, m_folder->text().toStdString(), this);
        if (dlg.exec() == QDialog::Accepted) m_folder->setText(Q(dlg.Folder()));
    });
    connect(m_triggerButton, &QPushButton::clicked, this, &MonitorParamsDialog::EditTriggers);
    connect(m_lineButton, &QPushButton::clicked, this, &MonitorParamsDialog::EditLines);
    connect(m_displayButton, &QPushButton::clicked, this, &MonitorParamsDialog::EditDisplay);
    connect(m_importButton, &QPushButton::clicked, this, [this] {
        QString path =
            QFileDialog::getOpenFileName(this, tr("インポート"), QString(),
                                         tr("QV-Sステータスファイル(*.qvs);;QV-Sファイル(*.qvr)"));
        if (!path.isEmpty()) Import(path.toStdString());
    });
    connect(m_exportButton, &QPushButton::clicked, this, [this] {
        QFileDialog dlg(this, tr("エクスポート"), QString(), tr("QV-Sステータスファイル(*.qvs)"));
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setDefaultSuffix("qvs");
        if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
            Export(dlg.selectedFiles().front().toStdString());
    });
    connect(m_ok, &QPushButton::clicked, this, &MonitorParamsDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

int MonitorParamsDialog::LineType() const {
    return Code(m_line) == 1 ? kLineTypeRs422 : kLineTypeRs232;
}

std::string MonitorParamsDialog::SdName() const {
    return DataLineNames(m_set.format, LineType()).first;
}

std::string MonitorParamsDialog::RdName() const {
    return DataLineNames(m_set.format, LineType()).second;
}

void MonitorParamsDialog::SettingsToControls() {
    const MonitorSettings& m = m_set.status.monitor;
    bool filling = m_filling;
    m_filling = true;
    Select(m_line, EditorLineType(m.Line) == kLineTypeRs422 ? 1 : 0);
    // The dialog offers ASYNC and LOGIC; any other stored protocol shows as ASYNC.
    const bool logic = TraitsOfCode(m.Protocol).lineSamples;
    Select(m_protocol, ProtocolCode(logic ? Protocol::kLogic : Protocol::kAsync));
    Select(m_memory, m.Memory == kMemoryFix ? kMemoryFix : kMemoryRing);
    m_shownProtocol.reset();  // the character controls are refilled from the copy
    m_filling = filling;
}

void MonitorParamsDialog::ApplyLineAndProtocol() {
    const MonitorSettings& m = m_set.status.monitor;
    int type = LineType();
    bool filling = m_filling;
    m_filling = true;
    m_sdLabel->setText(Q(SdName()));
    m_rdLabel->setText(Q(RdName()));
    QList<QComboBox*> character = {m_sdSpeed,  m_rdSpeed,    m_dataBits,  m_parity,
                                   m_stopBits, m_bitOrder,   m_sdPolarity, m_rdPolarity};
    if (TraitsOf(ChosenProtocol()).lineSamples) {
        for (QComboBox* b : character) {
            b->clear();
            b->setEnabled(false);
        }
    } else {
        for (QComboBox* b : {m_sdSpeed, m_rdSpeed})
            b->clear();
        m_rdSpeed->addItem(Q(SameAsSdLabel(SdName())));
        for (uint32_t rate : BitRateList(type)) {
            QString text = Q(BitRateText(rate, type));
            m_sdSpeed->addItem(text);
            m_rdSpeed->addItem(text);
        }
        m_sdSpeed->setEditText(Q(BitRateText(m.SD_Baudrate, type)));
        m_rdSpeed->setEditText(Q(BitRateText(m.RD_Baudrate, type)));
        Fill(m_dataBits, kDataBitItems);
        Fill(m_parity, kParityItems);
        Fill(m_stopBits, kStopBitItems);
        Fill(m_bitOrder, kBitOrderItems);
        Fill(m_sdPolarity, kPolarityItems);
        Fill(m_rdPolarity, kPolarityItems);
        Select(m_dataBits, m.DataLen, 8);
        Select(m_parity, m.Parity, 0);
        Select(m_stopBits, m.StopBit, 10);
        Select(m_bitOrder, m.BitOrder == 1 ? 1 : 0);
        Select(m_sdPolarity, m.SDDataLogic == 1 ? 1 : 0);
        Select(m_rdPolarity, m.RDDataLogic == 1 ? 1 : 0);
        for (QComboBox* b : character)
            b->setEnabled(true);
    }
    m_shownProtocol = ChosenProtocol();
    m_shownLineType = type;
    m_filling = filling;
}

void MonitorParamsDialog::OnLineOrProtocolChanged() {
    if (m_filling) return;
    // The rates were typed for the line type they were shown with; a new type
    // then shows them within its own limits.
    ControlsToSettings(false);
    ApplyLineAndProtocol();
}

void MonitorParamsDialog::ApplyMemoryAndDevice() {
    if (m_filling) return;
    bool pc = Code(m_saveDevice) == static_cast<int>(kSaveDevicePc);
    m_folder->setVisible(pc);
    m_browse->setVisible(pc);
    m_folderLabel->setVisible(pc);
    bool editable = FrameLimitEditable(static_cast<uint8_t>(Code(m_memory)),
                                       static_cast<uint32_t>(Code(m_saveDevice)));
    m_frameLimit->setEnabled(editable);
    m_frameLabel->setEnabled(editable);
}

std::string MonitorParamsDialog::Problem() const {
    if (ShowsCharacterControls()) {
        int type = m_shownLineType;
        std::string why = BitRateProblem(m_sdSpeed->currentText().toStdString(), type);
        if (!why.empty()) return SdName() + " " + why;
        QString rd = m_rdSpeed->currentText();
        if (rd != m_rdSpeed->itemText(0)) {
            why = BitRateProblem(rd.toStdString(), type);
            if (!why.empty()) return RdName() + " " + why;
        }
    }
    if (m_frameLimit->isEnabled()) return FrameLimitProblem(m_frameLimit->text().toStdString());
    return {};
}

bool MonitorParamsDialog::ShowsCharacterControls() const {
    return m_shownProtocol && TraitsOf(*m_shownProtocol).startStopCharacters;
}

Protocol MonitorParamsDialog::ChosenProtocol() const {
    return ProtocolFromCode(Code(m_protocol)).value_or(Protocol::kAsync);
}

QString MonitorParamsDialog::Reason() const {
    return m_reason->isVisible() ? m_reason->text() : QString();
}

bool MonitorParamsDialog::ControlsToSettings(bool check) {
    if (check && !m_reason->Show(Problem())) return false;
    MonitorSettings& m = m_set.status.monitor;
    m.Line = EditedLineCode(LineType(), m.Line);
    m.Protocol = static_cast<uint8_t>(ProtocolCode(ChosenProtocol()));
    if (ShowsCharacterControls()) {
        int type = m_shownLineType;
        std::string sd = m_sdSpeed->currentText().toStdString();
        std::string rd = m_rdSpeed->currentText().toStdString();
        if (BitRateProblem(sd, type).empty() || !check) m.SD_Baudrate = ParseBitRateText(sd, type);
        if (m_rdSpeed->currentText() == m_rdSpeed->itemText(0))
            SetRdSameAsSd(m);
        else if (BitRateProblem(rd, type).empty() || !check)
            m.RD_Baudrate = ParseBitRateText(rd, type);
        m.DataLen = static_cast<uint8_t>(Code(m_dataBits));
        m.Parity = static_cast<uint8_t>(Code(m_parity));
        m.StopBit = static_cast<uint8_t>(Code(m_stopBits));
        m.BitOrder = static_cast<uint32_t>(Code(m_bitOrder));
        m.SDDataLogic = static_cast<uint32_t>(Code(m_sdPolarity));
        m.RDDataLogic = static_cast<uint32_t>(Code(m_rdPolarity));
    }
    m.Memory = static_cast<uint8_t>(Code(m_memory));
    m.SaveDevice = static_cast<uint32_t>(Code(m_saveDevice));
    return true;
}

StatusSet MonitorParamsDialog::Current() {
    ControlsToSettings(false);
    return m_set;
}

bool MonitorParamsDialog::Import(const std::string& path) {
    ControlsToSettings(false);
    if (ImportStatusSet(path, m_set, std::time(nullptr)) != 0) return false;
    SettingsToControls();
    ApplyLineAndProtocol();
    ApplyMemoryAndDevice();
    return true;
}

bool MonitorParamsDialog::Export(const std::string& path) {
    if (!ControlsToSettings(true)) return false;
    StatusFile file;
    std::string why;
    if (file.OpenStatusFile(path) == 0) {
        file.SetUnit(ReadStatusUnit(file));
        why = StatusSetProblem(file, m_set);
        if (why.empty() && SaveStatusSet(file, m_set) == 0) return true;
    }
    QMessageBox::warning(this, "QV-ORT",
                         tr("ステータスファイルに書き込めませんでした\n%1").arg(Q(path)) +
                             (why.empty() ? QString() : "\n" + Q(why)));
    return false;
}

bool MonitorParamsDialog::EditTriggers() {
    ControlsToSettings(false);
    LineNames names = LineNamesOf(m_set.format, LineType());
    TriggerListDialog dlg(m_set.triggers, m_set.option, names, this);
    if (dlg.exec() != QDialog::Accepted) return false;
    m_set.triggers = dlg.Triggers();
    m_set.option = dlg.Option();
    return true;
}

bool MonitorParamsDialog::EditLines() {
    ControlsToSettings(false);
    LineSelectDialog dlg(LineType(), m_set.status.sampling, m_set.format, this);
    if (dlg.exec() != QDialog::Accepted) return false;
    m_set.status.sampling = dlg.Sampling();
    return true;
}

bool MonitorParamsDialog::EditDisplay() {
    ControlsToSettings(false);
    int type = LineType();
    DisplayFormatDialog dlg(FormatHalfOf(m_set.format, type), m_set.status.sampling, type, this);
    if (dlg.exec() != QDialog::Accepted) return false;
    SetFormatHalf(m_set.format, type, dlg.Rows());
    // The speed labels and the same-as item name the lines by the table.
    ApplyLineAndProtocol();
    return true;
}

void MonitorParamsDialog::accept() {
    if (!ControlsToSettings(true)) return;
    const bool toComputer = Code(m_saveDevice) == static_cast<int>(kSaveDevicePc);
    const std::string folder = m_folder->text().toStdString();
    // The folder is only asked of a run to the computer; with the card it is
    // hidden and kept when it cannot be stored.
    const QString folderWhy = FolderProblem(folder);
    if (toComputer && !m_reason->Show(folderWhy.toStdString())) {
        m_folder->setFocus();
        return;
    }

    TriggerCheck check = CheckTriggers(m_set.triggers, m_set.option, std::time(nullptr));
    StatusSet set = m_set;
    if (check.outcome == TriggerCheckOutcome::AskOkCancel) {
        QMessageBox box(QMessageBox::Question, Q(std::string(kTriggerCheckOkCancelCaption)),
                        Q(std::string(TriggerCheckOkCancelText())),
                        QMessageBox::Ok | QMessageBox::Cancel, this);
        if (box.exec() != QMessageBox::Ok) return;
    } else if (check.outcome == TriggerCheckOutcome::AskYesNoCancel) {
        QMessageBox box(QMessageBox::Question, Q(std::string(kTriggerCheckYesNoCaption)),
                        Q(std::string(TriggerCheckYesNoText())),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
        int answer = box.exec();
        if (answer == QMessageBox::Cancel || answer == QMessageBox::Escape) return;
        if (answer == QMessageBox::Yes) ApplyStartStoringTrigger(set.triggers, check);
    }

    // OK changes every file or none: what cannot be stored is found before
    // anything is written, and a write that fails puts back what was written.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::optional<std::string> before = ReadWholeFile(m_path);
    StatusFile file;
    std::string why;
    bool saved = file.OpenStatusFile(m_path) == 0;
    if (saved) {
        file.SetUnit(StatusUnitFor(m_path, m_unit, ReadStatusUnit(file)));
        why = StatusSetProblem(file, set);
        saved = why.empty() && SaveStatusSet(file, set) == 0;
    }
    const bool statusWritten = saved;
    if (saved && folderWhy.isEmpty()) saved = m_conf.SetSaveDirectory(folder) == 0;
    // The limit is written only when it was edited: the field shows the
    // stored value in whole units, which need not give it back exactly.
    if (saved && m_frameLimit->isEnabled() && m_frameLimit->text() != m_shownFrameLimit)
        saved = m_store.SetFrameMax(FrameLimitFromText(m_frameLimit->text().toStdString())) == 0;
    if (!saved && statusWritten && before) WriteFileAtomically(m_path, *before);
    m_store.Load();
    QApplication::restoreOverrideCursor();
    if (!saved) {
        // Closing as if saved would start the next run from old settings.
        QMessageBox::warning(this, "QV-ORT",
                             tr("ステータスファイルに書き込めませんでした\n%1").arg(Q(m_path)) +
                                 (why.empty() ? QString() : "\n" + Q(why)));
        return;
    }
    m_set = set;
    QDialog::accept();
}

QString MonitorParamsDialog::FolderProblem(const std::string& folder) {
    if (!IsDirectory(folder))
        return tr("データ保存先「%1」はフォルダとしてありません").arg(Q(folder));
    if (std::string why = m_conf.SaveDirectoryProblem(folder); !why.empty())
        return tr("データ保存先「%1」は保存できません: %2").arg(Q(folder), Q(why));
    return {};
}

}  // namespace qv
