// Draws the print listing's pages on a printer (or a PDF writer on a file,
// or a print preview): every line at the left margin, one character height apart, 60
// lines to a page, in the monospaced Japanese font. The job calls it on its
// own thread; progress and the ending are left in atomics for the dialog.
#pragma once

#include <QFont>
#include <QPainter>
#include <atomic>
#include <mutex>
#include <string>

#include "print/PrintJob.h"

class QFileDevice;
class QPagedPaintDevice;

namespace qv {

class ListingPainter : public IPrintReport {
  public:
    // `device` (a printer or a PDF writer) must outlive the painter and be
    // used by no one else while it draws. `file`, when the pages go to one,
    // is what the device writes: its errors are the job's, with the file's
    // name and the system's reason, and a job that fails or is cancelled
    // leaves no file.
    explicit ListingPainter(QPagedPaintDevice& device, QFileDevice* file = nullptr);

    bool OnPrintPage(int number, const std::vector<std::string>& lines) override;
    void OnPrintProgress(int total, int printed) override;
    void OnPrintFailed(std::string_view reason) override;
    void OnPrintEnded(bool cancelled) override;
    std::string PageRefusal() const override;

    int Total() const { return m_total.load(); }
    int Printed() const { return m_printed.load(); }
    int PagesDrawn() const { return m_pages.load(); }
    bool Ended() const { return m_ended.load(); }
    bool Cancelled() const { return m_cancelled.load(); }
    // Empty unless the job failed.
    std::string Failure() const;

  private:
    bool Begin();
    // Whether the file (if any) took everything so far; when not, its error
    // carries the system's reason.
    bool FileWritten();

    QPagedPaintDevice& m_device;
    QFileDevice* m_file;
    QPainter m_painter;
    QFont m_font;
    int m_lineHeight = 0;  // device pixels
    int m_left = 0;
    std::atomic<int> m_total{0}, m_printed{0}, m_pages{0};
    std::atomic<bool> m_ended{false}, m_cancelled{false};
    mutable std::mutex m_lock;  // guards m_failure
    std::string m_failure;
};

}  // namespace qv
