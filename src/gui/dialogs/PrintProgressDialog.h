// The progress of a print job: "印刷中... %d枚" with the pages printed, a bar
// over the estimated pages, and a cancel button.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace qv {

class PrintProgressDialog : public QDialog {
    Q_OBJECT
  public:
    explicit PrintProgressDialog(QWidget* parent = nullptr);

    // Pages estimated and pages printed so far. The bar's range is taken
    // from the first report, as the estimate does not change.
    void SetProgress(int total, int printed);

    QLabel* Text() const { return m_text; }
    QProgressBar* Bar() const { return m_bar; }
    QPushButton* CancelButton() const { return m_cancel; }

  signals:
    void cancelRequested();

  protected:
    void reject() override;

  private:
    QLabel* m_text;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
    bool m_rangeSet = false;
};

}  // namespace qv
