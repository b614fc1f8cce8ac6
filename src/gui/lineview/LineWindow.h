// The Line window: a timing chart of SD, RD and the control lines around a
// frame, with its scroll and step buttons, the division list, the X and Y
// measurement cursors and the time fields. All rules live in LineChartModel;
// this class builds the controls, forwards input to the model and refreshes.
#pragma once

#include <QPointer>
#include <string>
#include <vector>

#include "present/LineChartModel.h"
#include "views/CaptureView.h"

class QBoxLayout;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace qv {

class Log;
class ViewConf;
class CaptureReader;
class LineChartCanvas;

class LineWindow : public CaptureView {
    Q_OBJECT
  public:
    LineWindow(ViewConf& conf, Log& log, QWidget* parent = nullptr);

    int ShowAtTime(const std::optional<DayTime>& when) override;
    void Zoom(int direction) override;
    void SetCodes(int, int) override;
    void SetFormatRows(const std::vector<FormatEntry>* rows, bool redraw) override;

    // --- what tests read back and drive
    const LineChartModel& Model() const { return m_model; }
    LineChartCanvas* Canvas() const { return m_canvas; }
    QComboBox* DivisionList() const { return m_divisions; }
    QPushButton* Button(const QString& text) const;
    QString FieldText(const QString& name) const;
    QString Caption() const { return m_caption; }
    // Which of the two control layouts is in use (Insert switches).
    bool ControlsOnTop() const { return m_controlsOnTop; }

  protected:
    void DropReader() override;

  private:
    QWidget* BuildControls();
    QLineEdit* AddField(QWidget* parent, const QString& name);
    void OnKey(int key, Qt::KeyboardModifiers modifiers);
    void OnWheel(int steps, bool ctrl);
    void OnCursorDragged(double t, double snapTicks, int trace);
    void OnDivisionChosen(int index);
    void SelectCursor(ChartCursor c);
    void FillDivisionList();
    void AfterMove();  // refresh the fields and repaint
    void RefreshCursorFields();
    void ReloadAround(int direction);
    void SetCaption(const QString& caption);

    Log& m_log;
    LineChartModel m_model;
    CaptureReader* m_reader = nullptr;
    LineChartCanvas* m_canvas = nullptr;
    QWidget* m_controls = nullptr;
    QBoxLayout* m_layout = nullptr;
    QComboBox* m_divisions = nullptr;
    QPushButton* m_selectX = nullptr;
    QPushButton* m_selectY = nullptr;
    std::vector<QPushButton*> m_buttons;
    std::vector<QLineEdit*> m_fields;
    QString m_caption;
    bool m_controlsOnTop = false;
    bool m_filling = false;  // the division list is being filled, not chosen from
};

}  // namespace qv
