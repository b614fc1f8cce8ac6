#include "views/TimeJumpDialog.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <cstdio>

namespace qv {

namespace {

constexpr uint64_t kTicksPerSecond = 100'000'000;
constexpr uint64_t kTicksPerMs = 100'000;
constexpr uint64_t kTicksPerUs = 100;

QSpinBox* Spin(int max, int step) {
    auto* s = new QSpinBox;
    s->setRange(0, max);
    s->setSingleStep(step);
    return s;
}

}  // namespace

TimeJumpDialog::TimeJumpDialog(const std::string& date, uint64_t ticks, QWidget* parent)
    : QDialog(parent),
      m_date(new QDateEdit),
      m_time(new QTimeEdit),
      m_ms(Spin(999, 1)),
      m_us(Spin(999, 1)),
      m_ns(Spin(990, 10)) {
    setWindowTitle("時刻指定");
    int yy = 0, mm = 1, dd = 1;
    if (date.size() >= 6) std::sscanf(date.c_str(), "%2d%2d%2d", &yy, &mm, &dd);
    m_date->setDisplayFormat("yyyy/MM/dd");
    m_date->setCalendarPopup(true);
    m_date->setDate(QDate(2000 + yy, mm, dd));
    m_time->setDisplayFormat("HH:mm:ss");
    const uint64_t seconds = ticks / kTicksPerSecond;
    m_time->setTime(QTime(0, 0).addSecs(static_cast<int>(seconds % 86400)));
    const uint64_t rest = ticks % kTicksPerSecond;
    m_ms->setValue(static_cast<int>(rest / kTicksPerMs));
    m_us->setValue(static_cast<int>(rest % kTicksPerMs / kTicksPerUs));
    m_ns->setValue(static_cast<int>(rest % kTicksPerUs * 10));

    auto* row = new QHBoxLayout;
    row->addWidget(m_date);
    row->addWidget(m_time);
    row->addWidget(m_ms);
    row->addWidget(new QLabel("m"));
    row->addWidget(m_us);
    row->addWidget(new QLabel("u"));
    row->addWidget(m_ns);
    row->addWidget(new QLabel("n"));
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    box->button(QDialogButtonBox::Ok)->setText("ジャンプ");
    box->button(QDialogButtonBox::Cancel)->setText("キャンセル");
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

std::string TimeJumpDialog::Date() const {
    const QDate d = m_date->date();
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d", d.year() % 100, d.month(), d.day());
    return text;
}

uint64_t TimeJumpDialog::Ticks() const {
    const QTime t = m_time->time();
    return static_cast<uint64_t>(t.hour() * 3600 + t.minute() * 60 + t.second()) *
               kTicksPerSecond +
           static_cast<uint64_t>(m_ms->value()) * kTicksPerMs +
           static_cast<uint64_t>(m_us->value()) * kTicksPerUs +
           static_cast<uint64_t>(m_ns->value()) / 10;
}

}  // namespace qv
