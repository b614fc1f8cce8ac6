// The print dialog of a capture window: the printer (or a PDF file when the
// system has no printer), the range by times and by marks, a preview, and
// printing on a job with its own reader while a progress dialog shows the
// pages.
#pragma once

#include <QDialog>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "settings/TriggerSetting.h"
#include "print/PrintJob.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QFile;
class QPdfWriter;
class QPrinter;
class QPushButton;
class QTimeEdit;
class QTimer;

namespace qv {

class Log;
class SettingsStore;
class CaptureReader;
class ListingPainter;
class PrintProgressDialog;

class PrintDialog : public QDialog {
    Q_OBJECT
  public:
    // Progress is polled this often while the job runs (ms).
    static constexpr int kProgressIntervalMs = 100;

    // `reader` is the window's reader; it is read here only, the job opens
    // its own. `code` is the window's display code.
    // `store` gives the clock frequency, `log` takes the failures.
    PrintDialog(SettingsStore& store, Log& log, CaptureReader& reader, int code,
                QWidget* parent = nullptr);
    ~PrintDialog() override;

    // False when the capture has no start or end time (the dialog has then
    // logged "ファイルフォーマットが正しくありません" and should not be shown).
    bool Valid() const { return m_valid; }
    // The job's input from the dialog's choices.
    PrintListingInput Input() const;
    // Starts printing (the "印刷" button).
    void Print();
    // The printer the job will use, set up from the dialog's fields.
    void ConfigurePrinter(QPrinter& printer) const;

    // --- results and controls
    int PagesPrinted() const;
    bool Failed() const { return m_failed; }
    QLineEdit* PrinterField() const { return m_printerName; }
    QCheckBox* PdfBox() const { return m_toPdf; }
    QLineEdit* PdfField() const { return m_pdfPath; }
    QCheckBox* TimeChoice() const { return m_byTime; }
    QCheckBox* MarkChoice() const { return m_byMark; }
    QDateEdit* FromDate() const { return m_fromDate; }
    QTimeEdit* FromTime() const { return m_fromTime; }
    QDateEdit* ToDate() const { return m_toDate; }
    QTimeEdit* ToTime() const { return m_toTime; }
    QComboBox* FromMark() const { return m_fromMark; }
    QComboBox* ToMark() const { return m_toMark; }
    QPushButton* PrintButton() const { return m_print; }
    QPushButton* PreviewButton() const { return m_preview; }
    PrintProgressDialog* Progress() const { return m_progress; }

  protected:
    void reject() override;

  private:
    void SetupPrinter();
    void Preview();
    void Poll();
    void JobEnded();

    SettingsStore& m_store;
    Log& m_log;
    std::string m_indexPath;
    int m_code;
    bool m_valid = false;
    DayTime m_captureStart, m_captureEnd;
    std::vector<DayTime> m_markKeys;
    std::array<TriggerSetting, kTriggerCount> m_triggers{};  // the capture's own

    std::unique_ptr<QPrinter> m_printer;  // the job's printer while it runs
    // Or, for a PDF file, the file and the writer drawing on it: the file's
    // own errors name what failed (a full disk is not a missing printer).
    std::unique_ptr<QFile> m_pdfFile;
    std::unique_ptr<QPdfWriter> m_pdfWriter;
    std::unique_ptr<ListingPainter> m_painter;
    std::unique_ptr<PrintJob> m_job;
    bool m_failed = false;

    QLineEdit* m_printerName;
    QCheckBox* m_toPdf;
    QLineEdit* m_pdfPath;
    QCheckBox* m_byTime;
    QCheckBox* m_byMark;
    QDateEdit* m_fromDate;
    QTimeEdit* m_fromTime;
    QDateEdit* m_toDate;
    QTimeEdit* m_toTime;
    QComboBox* m_fromMark;
    QComboBox* m_toMark;
    QPushButton* m_print;
    QPushButton* m_preview;
    PrintProgressDialog* m_progress;
    QTimer* m_timer;
};

}  // namespace qv
