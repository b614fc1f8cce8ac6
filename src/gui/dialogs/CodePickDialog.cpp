#include "dialogs/CodePickDialog.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>

#include "core/CodeTable.h"

namespace qv {

namespace {

struct CodeChoice {
    const char* text;
    int code;
};
constexpr CodeChoice kCodeChoices[] = {{"HEX", kDisplayHex},       {"ASCII", kDisplayAscii},
                                       {"JIS7", kDisplayJis7},     {"JIS8", kDisplayJis8},
                                       {"EBCDIC", kDisplayEbcdic}, {"UNICODE", kDisplayUnicode},
                                       {"S-JIS", kDisplayShiftJis}};

}  // namespace

void FillCodeChoices(QComboBox* box) {
    for (const CodeChoice& c : kCodeChoices)
        box->addItem(c.text, c.code);
}

CodePickDialog::CodePickDialog(uint8_t current, int code, QWidget* parent)
    : QDialog(parent), m_list(new QListWidget(this)), m_code(new QComboBox(this)) {
    setWindowTitle(tr("コードの選択"));
    FillCodeChoices(m_code);
    int i = m_code->findData(code);
    m_code->setCurrentIndex(i < 0 ? 0 : i);
    m_list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_list->setMinimumSize(180, 320);
    FillList();
    m_list->setCurrentRow(current);

    auto* ok = new QPushButton("OK", this);
    auto* cancel = new QPushButton(tr("キャンセル"), this);
    ok->setDefault(true);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("コード"), this));
    top->addWidget(m_code, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    connect(m_code, &QComboBox::currentIndexChanged, this, &CodePickDialog::FillList);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CodePickDialog::FillList() {
    static const CodeTable table;
    int row = m_list->currentRow();
    int code = m_code->currentData().toInt();
    m_list->clear();
    for (int b = 0; b < 256; ++b) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%.2X", b);
        std::string_view cell = table.CellText(static_cast<uint8_t>(b), code);
        m_list->addItem(QString(hex) + "  " +
                        QString::fromUtf8(cell.data(), static_cast<int>(cell.size())));
    }
    if (row >= 0) m_list->setCurrentRow(row);
}

uint8_t CodePickDialog::Byte() const {
    int row = m_list->currentRow();
    return static_cast<uint8_t>(row < 0 ? 0 : row);
}

}  // namespace qv
