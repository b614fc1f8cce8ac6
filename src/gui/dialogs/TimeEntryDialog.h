// "時刻指定": a date and a time of day to 10 ns, for jumping to a record.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

#include "capture/RecordTime.h"

class QDateEdit;
class QSpinBox;
class QTimeEdit;

namespace qv {

class ReasonLabel;

class TimeEntryDialog : public QDialog {
    Q_OBJECT
  public:
    // Starts at `at`; a date that is no calendar day shows today.
    explicit TimeEntryDialog(const DayTime& at, QWidget* parent = nullptr);

    // The entered date and time of day (after OK).
    DayTime Time() const;

    void accept() override;

    QDateEdit* DatePicker() const { return m_date; }
    QTimeEdit* TimePicker() const { return m_time; }
    QSpinBox* MilliBox() const { return m_ms; }
    QSpinBox* MicroBox() const { return m_us; }
    QSpinBox* NanoBox() const { return m_ns; }
    QString Reason() const;

  private:
    std::string Problem() const;

    QDateEdit* m_date;
    QTimeEdit* m_time;
    QSpinBox *m_ms, *m_us, *m_ns;
    ReasonLabel* m_reason;
};

}  // namespace qv
