#include "dialogs/SearchDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "capture/CaptureIndexText.h"
#include "core/CodeTable.h"
#include "present/MonitorRows.h"

namespace qv {

namespace {

constexpr const char* kAnyCell = "**";
constexpr const char* kLevels[] = {"Low", "High"};
constexpr const char* kErrorTexts[] = {QT_TRANSLATE_NOOP("qv::SearchDialog", "パリティーエラー"),
                                       QT_TRANSLATE_NOOP("qv::SearchDialog", "オーバーランエラー"),
                                       QT_TRANSLATE_NOOP("qv::SearchDialog", "フレーミングエラー")};

QString Utf8(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

SearchDialog::SearchDialog(const Setup& setup, const CodeTable& table, FoundHandler onFound,
                           QWidget* parent)
    : QDialog(parent),
      m_setup(setup),
      m_table(table),
      m_onFound(std::move(onFound)),
      m_worker(*this),
      m_tabs(new QTabWidget),
      m_start(new QComboBox),
      m_up(new QPushButton(tr("上検索"))),
      m_down(new QPushButton(tr("下検索"))),
      m_cancel(new QPushButton(tr("キャンセル"))),
      m_status(new QLabel),
      m_progressTimer(new QTimer(this)) {
    setWindowTitle(tr("検索"));
    const LineNames names = MonitorLineNames(m_setup.rows, m_setup.line);
    m_tabs->addTab(MakeStringTab(true), tr("%1文字列").arg(Utf8(names[0])));
    m_tabs->addTab(MakeStringTab(false), tr("%1文字列").arg(Utf8(names[1])));
    m_tabs->addTab(MakeLineTab(), tr("制御線"));
    m_tabs->addTab(MakeErrorTab(), tr("エラー"));

    m_start->addItems({tr("カレント"), tr("最初から"), tr("最後から")});
    auto* startRow = new QHBoxLayout;
    startRow->addWidget(new QLabel(tr("検索開始位置：")));
    startRow->addWidget(m_start, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_up);
    buttons->addWidget(m_down);
    buttons->addWidget(m_cancel);
    m_status->setMinimumWidth(200);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(startRow);
    layout->addWidget(m_status);
    layout->addLayout(buttons);

    connect(m_up, &QPushButton::clicked, this, [this] { StartSearch(SearchDirection::kBackward); });
    connect(m_down, &QPushButton::clicked, this, [this] { StartSearch(SearchDirection::kForward); });
    connect(m_cancel, &QPushButton::clicked, this, &SearchDialog::reject);
    connect(m_progressTimer, &QTimer::timeout, this, &SearchDialog::ShowProgress);
}

SearchDialog::~SearchDialog() {
    m_worker.Stop();
}

// --- the tabs ---------------------------------------------------------------------

QTableWidget* SearchDialog::MakeGrid() {
    auto* grid = new QTableWidget(2, kPatternBytes);
    grid->setVerticalHeaderLabels({"HEX", Utf8(DisplayCodeName(m_setup.code))});
    grid->horizontalHeader()->setVisible(false);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setDefaultSectionSize(28);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < kPatternBytes; ++c) {
            auto* item = new QTableWidgetItem(kAnyCell);
            item->setTextAlignment(Qt::AlignCenter);
            grid->setItem(r, c, item);
        }
    // Two rows exactly: the header's length is not known before the grid is
    // laid out, so the height comes from fixed row heights.
    constexpr int kRowHeight = 24;
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setFixedHeight(2 * kRowHeight + 2 * grid->frameWidth());
    grid->setMinimumWidth(grid->verticalHeader()->sizeHint().width() + kPatternBytes * 28 +
                          2 * grid->frameWidth());
    return grid;
}

QWidget* SearchDialog::MakeStringTab(bool sd) {
    auto* page = new QWidget;
    auto* grid = MakeGrid();
    (sd ? m_sdGrid : m_rdGrid) = grid;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(grid);
    layout->addWidget(
        new QLabel(tr("セルをダブルクリックして16進数を入力します（空欄は任意の値）。")));
    layout->addStretch(1);
    connect(grid, &QTableWidget::cellDoubleClicked, this,
            [this, grid](int, int column) { EditCell(grid, column); });
    connect(grid, &QWidget::customContextMenuRequested, this,
            [this, sd](const QPoint& pos) { GridMenu(sd, pos); });
    return page;
}

QWidget* SearchDialog::MakeLineTab() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    // SD and RD levels first, then RS .. ExtOUT: the names of the format
    // rows with line codes 2 to 11.
    FormatTable table{};
    for (size_t i = 0; i < table.size() && i < m_setup.rows.size(); ++i)
        table[i] = m_setup.rows[i];
    const int half = m_setup.line == 0 ? 0 : kFormatHalfRows;
    for (int i = 0; i < 10; ++i) {
        std::string name;
        for (int r = half; r < half + kFormatHalfRows; ++r)
            if (table[r].line == kFormatSd + i && !table[r].name.empty()) {
                name = table[r].name;
                break;
            }
        m_lineBoxes[i] = new QCheckBox(QString::fromStdString(name));
        m_lineLevels[i] = new QComboBox;
        m_lineLevels[i]->addItems({kLevels[0], kLevels[1]});
        grid->addWidget(m_lineBoxes[i], i % 5, (i / 5) * 2);
        grid->addWidget(m_lineLevels[i], i % 5, (i / 5) * 2 + 1);
    }
    return page;
}

QWidget* SearchDialog::MakeErrorTab() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    for (int i = 0; i < 3; ++i) {
        m_errorBoxes[i] = new QCheckBox(tr(kErrorTexts[i]));
        layout->addWidget(m_errorBoxes[i]);
    }
    m_and = new QRadioButton("AND");
    m_or = new QRadioButton("OR");
    m_and->setChecked(true);
    auto* combination = new QHBoxLayout;
    combination->addWidget(m_and);
    combination->addWidget(m_or);
    combination->addStretch(1);
    layout->addLayout(combination);
    layout->addStretch(1);
    return page;
}

void SearchDialog::SetPatternByte(bool sd, int i, std::optional<uint8_t> value) {
    if (i < 0 || i >= kPatternBytes) return;
    (sd ? m_sdBytes : m_rdBytes)[i] = value;
    QTableWidget* grid = sd ? m_sdGrid : m_rdGrid;
    if (!value) {
        grid->item(0, i)->setText(kAnyCell);
        grid->item(1, i)->setText(kAnyCell);
        return;
    }
    grid->item(0, i)->setText(QString::asprintf("%.2X", *value));
    grid->item(1, i)->setText(Utf8(m_table.ColumnText(*value, m_setup.code)));
}

void SearchDialog::EditCell(QTableWidget* grid, int column) {
    const bool sd = grid == m_sdGrid;
    const auto& bytes = sd ? m_sdBytes : m_rdBytes;
    bool ok = false;
    QString text = QInputDialog::getText(
        this, tr("検索"), tr("16進数（空欄で任意の値）:"), QLineEdit::Normal,
        bytes[column] ? QString::asprintf("%.2X", *bytes[column]) : QString(), &ok);
    if (!ok) return;
    text = text.trimmed();
    if (text.isEmpty() || text == kAnyCell) {
        SetPatternByte(sd, column, std::nullopt);
        return;
    }
    uint value = text.toUInt(&ok, 16);
    if (ok && value <= 0xFF) SetPatternByte(sd, column, static_cast<uint8_t>(value));
}

void SearchDialog::GridMenu(bool sd, const QPoint& pos) {
    QTableWidget* grid = sd ? m_sdGrid : m_rdGrid;
    int column = std::max(0, grid->columnAt(pos.x()));
    QMenu menu(this);
    QAction* text = menu.addAction(tr("文字列入力..."));
    QAction* code = menu.addAction(tr("コードの選択..."));
    QAction* clear = menu.addAction(tr("クリア"));
    QAction* chosen = menu.exec(grid->viewport()->mapToGlobal(pos));
    if (chosen == text) {
        // Characters of the ASCII set, one byte each, from the cell on.
        bool ok = false;
        QString s = QInputDialog::getText(this, tr("文字列入力"), tr("文字列:"), QLineEdit::Normal,
                                          {}, &ok);
        if (!ok) return;
        QByteArray bytes = s.toLatin1();
        for (int i = 0; i < bytes.size() && column + i < kPatternBytes; ++i)
            SetPatternByte(sd, column + i, static_cast<uint8_t>(bytes[i]));
    } else if (chosen == code) {
        EditCell(grid, column);
    } else if (chosen == clear) {
        for (int i = 0; i < kPatternBytes; ++i)
            SetPatternByte(sd, i, std::nullopt);
    }
}

// --- the condition and the search ----------------------------------------------------

SearchCondition SearchDialog::Condition() const {
    SearchCondition c;
    switch (m_tabs->currentIndex()) {
        case kSdTab:
        case kRdTab: {
            const bool sd = m_tabs->currentIndex() == kSdTab;
            SearchPattern& p = sd ? c.sd : c.rd;
            const auto& bytes = sd ? m_sdBytes : m_rdBytes;
            for (int i = 0; i < kPatternBytes; ++i) {
                p.care[i] = bytes[i].has_value();
                p.bytes[i] = bytes[i].value_or(0);
            }
            p.enabled = p.Length() > 0;
            break;
        }
        case kLineTab:
            c.sdLevelEnabled = m_lineBoxes[0]->isChecked();
            c.sdLevel = static_cast<uint8_t>(m_lineLevels[0]->currentIndex());
            c.rdLevelEnabled = m_lineBoxes[1]->isChecked();
            c.rdLevel = static_cast<uint8_t>(m_lineLevels[1]->currentIndex());
            for (int i = 0; i < kSearchLines; ++i) {
                c.lineEnabled[i] = m_lineBoxes[i + 2]->isChecked();
                c.lineLevel[i] = static_cast<uint8_t>(m_lineLevels[i + 2]->currentIndex());
            }
            break;
        case kErrorTab:
            c.parity = m_errorBoxes[0]->isChecked();
            c.overrun = m_errorBoxes[1]->isChecked();
            c.framing = m_errorBoxes[2]->isChecked();
            c.andMode = !m_or->isChecked();
            break;
    }
    return c;
}

bool SearchDialog::StartSearch(SearchDirection direction) {
    if (Searching()) return false;
    SearchCondition c = Condition();
    if (!c.IsSet()) {
        QMessageBox::information(this, windowTitle(),
                                 Utf8(MessageText(MessageId::kNoSearchCondition)));
        return false;
    }
    SearchStart start;
    switch (m_start->currentIndex()) {
        case kFromFirst:
            start.from = SearchFrom::kFirst;
            break;
        case kFromLast:
            start.from = SearchFrom::kLast;
            break;
        default: {
            start.from = SearchFrom::kCurrent;
            start.frame = m_setup.currentFrame;
            if (m_setup.current) {
                start.at = *m_setup.current;
            }
            break;
        }
    }
    m_progressSeen = false;
    m_status->clear();
    SetButtonsEnabled(false);
    m_busy = true;
    if (m_worker.Start(m_setup.indexPath, c, start, direction) != 0) {
        m_busy = false;
        SetButtonsEnabled(true);
        return false;
    }
    m_progressTimer->start(kProgressIntervalMs);
    return true;
}

void SearchDialog::StopSearch() {
    m_worker.Stop();
}

void SearchDialog::SetButtonsEnabled(bool enabled) {
    m_up->setEnabled(enabled);
    m_down->setEnabled(enabled);
}

// Called on the worker's thread: progress is left for the timer to pick up,
// the ending crosses to the dialog's thread as a queued call (dropped if the
// dialog is gone by then).
void SearchDialog::OnSearchReport(const SearchResult& result) {
    if (result.report == SearchReport::kProgress) {
        m_progressFrame.store(result.frame, std::memory_order_relaxed);
        m_progressSeen.store(true, std::memory_order_relaxed);
        return;
    }
    if (result.report == SearchReport::kEnded) return;  // the ending came before it
    QMetaObject::invokeMethod(this, [this, result] { Finish(result); }, Qt::QueuedConnection);
}

void SearchDialog::ShowProgress() {
    if (!m_progressSeen.load(std::memory_order_relaxed)) return;
    const auto frame = static_cast<qulonglong>(m_progressFrame.load(std::memory_order_relaxed));
    m_status->setText(tr("[%1] フレーム").arg(frame + 1));
}

void SearchDialog::Finish(const SearchResult& result) {
    if (!m_busy) return;
    m_worker.Wait();  // the thread ends right after its ending report
    m_busy = false;
    m_progressTimer->stop();
    m_last = result;
    SetButtonsEnabled(true);
    switch (result.report) {
        case SearchReport::kFound:
            m_status->clear();
            // The found record is where the next search starts.
            m_setup.current = result.at;
            m_setup.currentFrame = result.frame;
            m_start->setCurrentIndex(kFromCurrent);
            if (m_onFound) m_onFound(result);
            break;
        case SearchReport::kNotFound:
            QMessageBox::information(this, windowTitle(),
                                     Utf8(MessageText(MessageId::kSearchNotFound)));
            break;
        case SearchReport::kBadParameters:
            QMessageBox::warning(this, windowTitle(),
                                 Utf8(MessageText(MessageId::kSearchBadParameters)));
            break;
        case SearchReport::kEndOfCapture:
            QMessageBox::information(this, windowTitle(),
                                     Utf8(MessageText(MessageId::kSearchEndOfCapture)));
            break;
        default:
            QMessageBox::warning(this, windowTitle(), Utf8(MessageText(MessageId::kSearchError)));
            break;
    }
    emit searchEnded(static_cast<int>(result.report));
}

void SearchDialog::reject() {
    // The first press stops a running search and keeps the dialog; the next
    // one closes it.
    if (Searching()) {
        m_worker.Stop();
        m_busy = false;
        m_progressTimer->stop();
        m_status->clear();
        SetButtonsEnabled(true);
        m_last = SearchResult{};
        m_last.report = SearchReport::kEnded;
        emit searchEnded(static_cast<int>(SearchReport::kEnded));
        return;
    }
    QDialog::reject();
}

}  // namespace qv
