// "時刻指定": a date and a time of day to 10 ns, for jumping to a record.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

class QDateEdit;
class QSpinBox;
class QTimeEdit;

namespace qv {

class ReasonLabel;

class TimeEntryDialog : public QDialog {
    Q_OBJECT
  public:
    // `date`: six digits YYMMDD; `ticks`: time of day in 10 ns ticks.
    TimeEntryDialog(const std::string& date, uint64_t ticks, QWidget* parent = nullptr);

    // The entered date as YYMMDD and time of day in ticks (after OK).
    std::string Date() const;
    uint64_t Ticks() const;

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
