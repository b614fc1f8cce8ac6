// "モニタラインの選択": which of the ten lines the instrument records, and the
// sampling time that filters each of them. Works on a copy of the sampling
// settings; the caller takes it after OK.
#pragma once

#include <QDialog>
#include <array>

#include "settings/FormatEntry.h"
#include "settings/MonitorSettings.h"

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace qv {

class ReasonLabel;

class LineSelectDialog : public QDialog {
    Q_OBJECT
  public:
    // `lineType` 0 RS-232, 1 RS-422/485/530 (ER, DR, CD and CI do not exist
    // there); the display table names the lines.
    LineSelectDialog(int lineType, const SamplingSettings& sampling, const FormatTable& format,
                     QWidget* parent = nullptr);

    const SamplingSettings& Sampling() const { return m_sampling; }
    // Takes the rows into the copy; stays open with the reason when a value
    // does not fit its unit.
    void accept() override;

    QCheckBox* LineBox(int line) const { return m_rows[static_cast<size_t>(line)].box; }
    QSpinBox* ValueBox(int line) const { return m_rows[static_cast<size_t>(line)].value; }
    QComboBox* UnitBox(int line) const { return m_rows[static_cast<size_t>(line)].unit; }
    QString Reason() const;

  private:
    struct Row {
        QCheckBox* box;
        QSpinBox* value;
        QComboBox* unit;
    };
    void ApplyUnit(int line);
    std::string Problem() const;

    int m_lineType;
    SamplingSettings m_sampling;
    std::array<Row, kSampledLines> m_rows{};
    ReasonLabel* m_reason;
};

}  // namespace qv
