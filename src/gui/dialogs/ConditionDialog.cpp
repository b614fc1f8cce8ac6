#include "dialogs/ConditionDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <cstdio>

#include "core/CodeTable.h"
#include "core/MessageText.h"
#include "dialogs/CodePickDialog.h"
#include "dialogs/ReasonLabel.h"
#include "dialogs/StringInputDialog.h"
#include "settings/ConditionText.h"
#include "settings/EntryChecks.h"

namespace qv {

namespace {

QString Sv(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

// The earliest and latest trigger times the files can hold (two-digit years).
const QDate kFirstDate(2000, 1, 1);
const QDate kLastDate(2099, 12, 31);

}  // namespace

ConditionDialog::ConditionDialog(ConditionKind kind, ConditionRef ref, const std::string& name,
                                 const TriggerSetting& trigger, const TriggerOption& option,
                                 QWidget* parent)
    : QDialog(parent),
      m_kind(kind),
      m_ref(ref),
      m_trigger(trigger),
      m_option(option),
      m_takePart(new QCheckBox(tr("トリガ条件とする"), this)),
      m_reason(new ReasonLabel(this)) {
    setWindowTitle(tr("トリガ設定"));
    m_takePart->setChecked(IsTakingPart(m_trigger, m_ref));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromStdString(name), this));
    layout->addWidget(m_takePart);
    auto i = static_cast<size_t>(ref.index);

    switch (kind) {
        case ConditionKind::String: {
            m_string = OptionStringIndex(ref);
            auto s = static_cast<size_t>(m_string < 0 ? 0 : m_string);
            m_pattern = {m_option.strings[s], m_option.scopes[s]};
            m_code = new QComboBox(this);
            FillCodeChoices(m_code);
            m_code->setCurrentIndex(1);  // ASCII
            m_grid = new QTableWidget(3, kStringBytes, this);
            m_grid->setVerticalHeaderLabels({tr("条件"), "HEX", tr("文字")});
            for (int c = 0; c < kStringBytes; ++c)
                m_grid->setColumnWidth(c, 30);
            m_grid->horizontalHeader()->setDefaultSectionSize(30);
            m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
            m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
            m_grid->setMinimumWidth(16 * 30 + 60);
            m_grid->setFixedHeight(m_grid->horizontalHeader()->height() + 3 * 30 + 6);
            m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
            m_menu = new QMenu(this);
            m_menu->addAction(tr("文字列入力..."), this, [this] { TypeString(); });
            m_menu->addAction(tr("コードの選択..."), this, [this] { PickCode(); });
            m_menu->addSeparator();
            // The rules in the order the menu offers them.
            for (uint8_t code : {kScopeAll, kScopeNone, kScopeNot, kScopeOver, kScopeUnder})
                for (const ScopeInfo& si : Scopes())
                    if (si.code == code)
                        m_menu->addAction(Sv(MessageLanguage() == UiLanguage::kEnglish
                                                 ? si.menuLabelEnglish
                                                 : si.menuLabel),
                                          this,
                                          [this, code] { SetScopeAt(CurrentColumn(), code); });
            connect(m_grid, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
                m_menu->popup(m_grid->viewport()->mapToGlobal(p));
            });
            connect(m_code, &QComboBox::currentIndexChanged, this, &ConditionDialog::FillGrid);
            auto* codeRow = new QHBoxLayout;
            codeRow->addWidget(new QLabel(tr("表示コード"), this));
            codeRow->addWidget(m_code);
            codeRow->addStretch(1);
            layout->addLayout(codeRow);
            layout->addWidget(m_grid);
            FillGrid();
            m_grid->setCurrentCell(1, 0);
            break;
        }
        case ConditionKind::Time: {
            QDateTime t = QDateTime::fromSecsSinceEpoch(m_option.times[i]);
            m_date = new QDateEdit(t.date(), this);
            m_date->setDisplayFormat("yyyy/MM/dd");
            m_date->setCalendarPopup(true);
            m_date->setDateRange(kFirstDate, kLastDate);
            m_time = new QTimeEdit(t.time(), this);
            m_time->setDisplayFormat("HH:mm:ss");
            m_shownTime = QDateTime(m_date->date(), m_time->time());
            auto* row = new QHBoxLayout;
            row->addWidget(m_date);
            row->addWidget(m_time);
            layout->addLayout(row);
            break;
        }
        case ConditionKind::Level:
        case ConditionKind::OnOff: {
            bool level = kind == ConditionKind::Level;
            m_first = new QRadioButton(level ? tr("LOWのとき") : tr("ONのとき"), this);
            m_second = new QRadioButton(level ? tr("HIGHのとき") : tr("OFFのとき"), this);
            uint32_t* state = StateOf(m_trigger, m_ref);
            bool second = state && (level ? *state == kLevelHigh : *state != 1);
            (second ? m_second : m_first)->setChecked(true);
            m_shownSecond = second;
            auto* row = new QHBoxLayout;
            row->addWidget(m_first);
            row->addWidget(m_second);
            layout->addLayout(row);
            break;
        }
        case ConditionKind::Count: {
            m_count = new QSpinBox(this);
            // The box takes any number of its digits, so that a value out of
            // range is refused with its reason rather than quietly changed.
            m_count->setRange(0, 2'147'483'647);
            m_count->setGroupSeparatorShown(false);
            m_count->setValue(m_option.counts[i] < kMinTriggerCount ? kMinTriggerCount
                                                                    : m_option.counts[i]);
            m_shownCount = m_count->value();
            connect(m_count, &QSpinBox::textChanged, this, [this] {
                if (m_reason->isVisible())
                    m_reason->Show(WholeNumberProblem(m_count->text().toStdString(),
                                                      kMinTriggerCount, kMaxTriggerCount));
            });
            auto* row = new QHBoxLayout;
            row->addWidget(new QLabel(tr("カウンタ値"), this));
            row->addWidget(m_count, 1);
            layout->addLayout(row);
            break;
        }
        case ConditionKind::Flag:
            break;
    }

    auto* clear = new QPushButton(tr("クリア"), this);
    auto* ok = new QPushButton("OK", this);
    auto* cancel = new QPushButton(tr("キャンセル"), this);
    ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(clear);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addWidget(m_reason);
    layout->addLayout(buttons);
    connect(clear, &QPushButton::clicked, this, &ConditionDialog::Clear);
    connect(ok, &QPushButton::clicked, this, &ConditionDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

int ConditionDialog::CurrentColumn() const {
    return m_grid && m_grid->currentColumn() >= 0 ? m_grid->currentColumn() : 0;
}

void ConditionDialog::FillGrid() {
    if (!m_grid) return;
    static const CodeTable table;
    int code = m_code->currentData().toInt();
    int length = PatternLength(m_pattern.scopes);
    for (int c = 0; c < kStringBytes; ++c) {
        auto k = static_cast<size_t>(c);
        QString scope, hex, text;
        if (c < length) {
            for (const ScopeInfo& si : Scopes())
                if (si.code == m_pattern.scopes[k]) scope = Sv(si.Symbol(MessageLanguage()));
            if (m_pattern.scopes[k] == kScopeAll) {
                hex = "**";
            } else {
                char b[4];
                std::snprintf(b, sizeof b, "%.2X", m_pattern.bytes[k]);
                hex = b;
                text = Sv(table.CellText(m_pattern.bytes[k], code)).trimmed();
            }
        }
        QString cells[3] = {scope, hex, text};
        for (int r = 0; r < 3; ++r) {
            QTableWidgetItem* item = m_grid->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(Qt::AlignCenter);
                m_grid->setItem(r, c, item);
            }
            item->setText(cells[r]);
        }
    }
}

void ConditionDialog::SetScopeAt(int column, uint8_t scope) {
    SetPatternScope(m_pattern, column, scope);
    FillGrid();
}

void ConditionDialog::SetByteAt(int column, uint8_t value) {
    SetPatternByte(m_pattern, column, value);
    FillGrid();
}

bool ConditionDialog::TypeString() {
    StringInputDialog dlg(this);
    if (dlg.exec() != QDialog::Accepted) return false;
    SetPatternBytes(m_pattern, dlg.Bytes());
    FillGrid();
    return true;
}

bool ConditionDialog::PickCode() {
    int column = CurrentColumn();
    uint8_t current = m_pattern.bytes[static_cast<size_t>(column)];
    CodePickDialog dlg(current, m_code ? m_code->currentData().toInt() : kDisplayHex, this);
    if (dlg.exec() != QDialog::Accepted) return false;
    SetByteAt(column, dlg.Byte());
    return true;
}

void ConditionDialog::Clear() {
    if (m_grid) {
        m_pattern = EmptyPattern();
        FillGrid();
    }
    m_takePart->setChecked(false);
}

QString ConditionDialog::Reason() const {
    return m_reason->isVisible() ? m_reason->text() : QString();
}

void ConditionDialog::accept() {
    auto i = static_cast<size_t>(m_ref.index);
    // Only what the user changed is taken: a control shows a stored value
    // it cannot hold (a count of 0, a time outside its range) as the nearest
    // one it can, and looking at a condition must not change it.
    if (m_count) {
        if (!m_reason->Show(WholeNumberProblem(m_count->text().toStdString(), kMinTriggerCount,
                                               kMaxTriggerCount)))
            return;
        if (m_count->value() != m_shownCount) m_option.counts[i] = m_count->value();
    }
    if (uint32_t* part = TakesPart(m_trigger, m_ref)) *part = m_takePart->isChecked() ? 1 : 0;
    if (m_grid && m_string >= 0) {
        auto s = static_cast<size_t>(m_string);
        m_option.strings[s] = m_pattern.bytes;
        m_option.scopes[s] = m_pattern.scopes;
    }
    if (m_date && QDateTime(m_date->date(), m_time->time()) != m_shownTime)
        m_option.times[i] = QDateTime(m_date->date(), m_time->time()).toSecsSinceEpoch();
    if (m_first && m_second->isChecked() != m_shownSecond) {
        if (uint32_t* state = StateOf(m_trigger, m_ref)) {
            bool second = m_second->isChecked();
            *state = m_kind == ConditionKind::Level ? (second ? kLevelHigh : kLevelLow)
                                                    : (second ? 0u : 1u);
        }
    }
    QDialog::accept();
}

}  // namespace qv
