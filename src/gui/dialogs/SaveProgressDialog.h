// The progress dialog of a range save: runs an export format's pass on its
// worker, shows the percent done and cancels it. It closes
// when the worker ends; how the save ended is kept for the caller, who tells
// the user.
#pragma once

#include <QDialog>
#include <atomic>
#include <memory>
#include <string>

#include "export/SaveWorker.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace qv {

class SaveProgressDialog : public QDialog, private ISaveReport {
    Q_OBJECT
  public:
    // Progress is shown this often (ms).
    static constexpr int kProgressIntervalMs = 100;

    SaveProgressDialog(const ExportFormat& format, ExportRequest request,
                       QWidget* parent = nullptr);
    ~SaveProgressDialog() override;

    // How the pass ended: kRangeDone or kCaptureEnd for a complete save,
    // kStartRefused, kFailed, or kEnded when it was cancelled.
    SaveReport Outcome() const { return m_outcome; }
    bool Cancelled() const { return m_cancelled; }
    uint64_t Written() const { return m_worker.Written(); }
    uint64_t Files() const { return m_worker.Files(); }
    // The sentence that tells the user how the save ended.
    QString OutcomeText() const;

    QProgressBar* Bar() const { return m_bar; }
    QPushButton* CancelButton() const { return m_cancel; }

  protected:
    void showEvent(QShowEvent* e) override;
    void reject() override;

  private:
    void OnSaveReport(SaveReport report, int percent) override;
    void Ended();

    SaveWorker m_worker;
    bool m_started = false;
    bool m_cancelled = false;
    bool m_closed = false;
    std::atomic<int> m_percent{0};
    std::atomic<int> m_ending{-1};  // the SaveReport that ended the pass
    SaveReport m_outcome = SaveReport::kEnded;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
    QTimer* m_timer;
};

}  // namespace qv
