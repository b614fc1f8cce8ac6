// The time entry of the frame jump: a date, a time of day to the second and
// three fields for milliseconds, microseconds and nanoseconds (to 10 ns, the
// capture's tick), preset with the current record's time.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

class QDateEdit;
class QSpinBox;
class QTimeEdit;

namespace qv {

class TimeJumpDialog : public QDialog {
    Q_OBJECT
  public:
    // `date` is YYMMDD; `ticks` the time of day in 10 ns ticks.
    TimeJumpDialog(const std::string& date, uint64_t ticks, QWidget* parent = nullptr);

    // The entered date (YYMMDD) and time of day (10 ns ticks).
    std::string Date() const;
    uint64_t Ticks() const;

    QDateEdit* DateField() const { return m_date; }
    QTimeEdit* TimeField() const { return m_time; }
    QSpinBox* MilliField() const { return m_ms; }
    QSpinBox* MicroField() const { return m_us; }
    QSpinBox* NanoField() const { return m_ns; }

  private:
    QDateEdit* m_date;
    QTimeEdit* m_time;
    QSpinBox* m_ms;
    QSpinBox* m_us;
    QSpinBox* m_ns;
};

}  // namespace qv
