#include "dialogs/TimeEntryDialog.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "core/TimeText.h"
#include "dialogs/ReasonLabel.h"
#include "dialogs/OkCancelRow.h"

namespace qv {

TimeEntryDialog::TimeEntryDialog(const DayTime& at, QWidget* parent)
    : QDialog(parent),
      m_date(new QDateEdit(this)),
      m_time(new QTimeEdit(this)),
      m_ms(new QSpinBox(this)),
      m_us(new QSpinBox(this)),
      m_ns(new QSpinBox(this)),
      m_reason(new ReasonLabel(this)) {
    setWindowTitle(tr("時刻指定"));
    m_date->setDisplayFormat("yyyy/MM/dd");
    m_date->setCalendarPopup(true);
    // Record dates carry two-digit years.
    m_date->setDateRange(QDate(2000, 1, 1), QDate(2099, 12, 31));
    m_time->setDisplayFormat("HH:mm:ss");
    for (QSpinBox* b : {m_ms, m_us, m_ns})
        b->setRange(0, 999);
    m_ns->setSingleStep(10);

    const QDate d(2000 + at.date / 10000, at.date / 100 % 100, at.date % 100);
    m_date->setDate(d.isValid() ? d : QDate::currentDate());
    TimeFields f = SplitTicks(at.ticks).value_or(TimeFields{});
    // 24:00:00 exactly, the end of a day, shows as the last second of it.
    if (f.hours >= 24) f = {23, 59, 59, 999, 999, 990};
    m_time->setTime(QTime(f.hours, f.minutes, f.seconds));
    m_ms->setValue(f.millis);
    m_us->setValue(f.micros);
    m_ns->setValue(f.nanos);

    auto* grid = new QGridLayout;
    grid->addWidget(m_date, 0, 0, 1, 2);
    grid->addWidget(m_time, 0, 2, 1, 2);
    int col = 0;
    for (auto [box, unit] : {std::pair{m_ms, "ms"}, std::pair{m_us, "us"}, std::pair{m_ns, "ns"}}) {
        auto* row = new QHBoxLayout;
        row->addWidget(box);
        row->addWidget(new QLabel(unit, this));
        grid->addLayout(row, 1, col++);
    }
    auto* buttons = OkCancelRow(this, tr("ジャンプ"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_reason);
    layout->addLayout(buttons);
    connect(m_ns, &QSpinBox::textChanged, this, [this] {
        if (m_reason->isVisible()) m_reason->Show(Problem());
    });
}

std::string TimeEntryDialog::Problem() const {
    // Times are kept in 10 ns ticks; a nanosecond figure between them would
    // be dropped without a word.
    if (m_ns->value() % 10 != 0) return tr("nsは10単位(0～990)で入力してください").toStdString();
    return {};
}

QString TimeEntryDialog::Reason() const {
    return m_reason->isVisible() ? m_reason->text() : QString();
}

void TimeEntryDialog::accept() {
    if (!m_reason->Show(Problem())) return;
    QDialog::accept();
}

DayTime TimeEntryDialog::Time() const {
    const QDate d = m_date->date();
    const QTime t = m_time->time();
    return {
        d.year() % 100 * 10000 + d.month() * 100 + d.day(),
        FieldsToTicks(static_cast<uint64_t>(t.hour()), static_cast<uint64_t>(t.minute()),
                      static_cast<uint64_t>(t.second()), static_cast<uint64_t>(m_ms->value()),
                      static_cast<uint64_t>(m_us->value()), static_cast<uint64_t>(m_ns->value()))};
}

}  // namespace qv
