#include "dialogs/LineSelectDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QSpinBox>
#include <QVBoxLayout>

#include "common/TextRoom.h"
#include "dialogs/OkCancelRow.h"
#include "dialogs/ReasonLabel.h"
#include "settings/SamplingEntry.h"

namespace qv {

namespace {

bool AbsentOnLine(int line, int lineType) {
    return lineType == kLineTypeRs422 && line >= kER && line <= kCI;
}

int Pow10(int digits) {
    int v = 1;
    for (int i = 0; i < digits; ++i)
        v *= 10;
    return v;
}

}  // namespace

LineSelectDialog::LineSelectDialog(int lineType, const SamplingSettings& sampling,
                                   const FormatTable& format, QWidget* parent)
    : QDialog(parent),
      m_lineType(lineType == kLineTypeRs422 ? kLineTypeRs422 : kLineTypeRs232),
      m_sampling(sampling),
      m_reason(new ReasonLabel(this)) {
    setWindowTitle(tr("モニタラインの選択"));
    KeepTitleWhole(this);
    auto names = LineNamesOf(format, m_lineType);
    auto* grid = new QGridLayout;
    for (int line = 0; line < kSampledLines; ++line) {
        auto k = static_cast<size_t>(line);
        Row& r = m_rows[k];
        // "L1:  SD" .. "L9:  IN" line up with "L10: OUT".
        QString caption = QString("L%1:%2%3")
                              .arg(line + 1)
                              .arg(line + 1 < 10 ? "  " : " ")
                              .arg(QString::fromStdString(names[k]));
        r.box = new QCheckBox(caption, this);
        r.value = new QSpinBox(this);
        r.unit = new QComboBox(this);
        for (CycleUnit u : {CycleUnit::Ms, CycleUnit::Us, CycleUnit::Ns})
            r.unit->addItem(QString::fromUtf8(UnitText(u).data()), static_cast<int>(u));
        uint32_t cycle = m_sampling.cycles[k];
        bool on = cycle != 0;
        if (line == kSD) on = m_sampling.SDEnable == 1;
        if (line == kRD) on = m_sampling.RDEnable == 1;
        if (AbsentOnLine(line, m_lineType)) {
            on = false;
            r.box->setText("");
            r.box->setEnabled(false);
        }
        CycleEntry e = EntryOfCycle(cycle);
        r.unit->setCurrentIndex(static_cast<int>(e.unit));
        ApplyUnit(line);
        r.value->setValue(static_cast<int>(e.value));
        r.box->setChecked(on);
        r.value->setVisible(on);
        r.unit->setVisible(on);
        grid->addWidget(r.box, line, 0);
        grid->addWidget(r.value, line, 1);
        grid->addWidget(r.unit, line, 2);
        connect(r.box, &QCheckBox::toggled, this, [this, line](bool checked) {
            m_rows[static_cast<size_t>(line)].value->setVisible(checked);
            m_rows[static_cast<size_t>(line)].unit->setVisible(checked);
            if (m_reason->isVisible()) m_reason->Show(Problem());
        });
        connect(r.unit, &QComboBox::currentIndexChanged, this, [this, line] {
            ApplyUnit(line);
            if (m_reason->isVisible()) m_reason->Show(Problem());
        });
        connect(r.value, &QSpinBox::textChanged, this, [this] {
            if (m_reason->isVisible()) m_reason->Show(Problem());
        });
    }
    grid->setColumnMinimumWidth(0, 110);
    auto* buttons = OkCancelRow(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_reason);
    layout->addLayout(buttons);
}

void LineSelectDialog::ApplyUnit(int line) {
    Row& r = m_rows[static_cast<size_t>(line)];
    CycleUnitRange range = RangeOf(static_cast<CycleUnit>(r.unit->currentData().toInt()));
    // The box takes every number of the unit's digits; the range itself is
    // checked on OK, so that a value out of range is refused with its reason
    // rather than quietly replaced.
    r.value->setRange(0, Pow10(range.digits) - 1);
    r.value->setSingleStep(static_cast<int>(range.step));
}

std::string LineSelectDialog::Problem() const {
    for (int line = 0; line < kSampledLines; ++line) {
        const Row& r = m_rows[static_cast<size_t>(line)];
        if (!r.box->isChecked()) continue;
        std::string why = CycleEntryProblem(
            r.value->text().toStdString(), static_cast<CycleUnit>(r.unit->currentData().toInt()));
        if (!why.empty()) return r.box->text().toStdString() + " " + why;
    }
    return {};
}

QString LineSelectDialog::Reason() const {
    return m_reason->isVisible() ? m_reason->text() : QString();
}

void LineSelectDialog::accept() {
    if (!m_reason->Show(Problem())) return;
    for (int line = 0; line < kSampledLines; ++line) {
        auto k = static_cast<size_t>(line);
        const Row& r = m_rows[k];
        bool on = r.box->isChecked() && !AbsentOnLine(line, m_lineType);
        m_sampling.cycles[k] =
            on ? CycleOfEntry({static_cast<uint32_t>(r.value->value()),
                               static_cast<CycleUnit>(r.unit->currentData().toInt())})
               : 0;
        if (line == kSD) m_sampling.SDEnable = on ? 1 : 0;
        if (line == kRD) m_sampling.RDEnable = on ? 1 : 0;
    }
    QDialog::accept();
}

}  // namespace qv
