#include "views/ListingPainter.h"

#include <unistd.h>

#include <QFileDevice>
#include <QPrinter>

#include "core/FileUtil.h"
#include "print/PrintListing.h"
#include "views/PrintFont.h"

namespace qv {

namespace {

// A half-width character is half the font's height wide; the lines carry
// 103 of them and a small margin is left on either side.
constexpr double kColumnsAcross = kPrintLineWidth / 2.0 + 2.0;
constexpr int kLinesDown = kPrintLinesPerPage + 1;

}  // namespace

ListingPainter::ListingPainter(QPagedPaintDevice& device, QFileDevice* file)
    : m_device(device), m_file(file) {
    // Made here, on the caller's thread, where the font database lives.
    m_font = MonospacedJapaneseFont(10);
}

bool ListingPainter::Begin() {
    if (!m_painter.begin(&m_device)) return false;
    const QRect page = m_painter.viewport();
    m_lineHeight = std::max(1, std::min(static_cast<int>(page.height() / kLinesDown),
                                        static_cast<int>(page.width() / kColumnsAcross)));
    m_font.setPixelSize(m_lineHeight);
    m_painter.setFont(m_font);
    m_left = m_lineHeight;
    return true;
}

bool ListingPainter::OnPrintPage(int number, const std::vector<std::string>& lines) {
    if (number == 1) {
        if (!Begin()) return false;
    } else if (!m_device.newPage() || !FileWritten()) {
        return false;
    }
    const int ascent = m_painter.fontMetrics().ascent();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty()) continue;
        m_painter.drawText(m_left, static_cast<int>(i) * m_lineHeight + ascent,
                           QString::fromStdString(lines[i]));
    }
    m_pages.store(number);
    return true;
}

void ListingPainter::OnPrintProgress(int total, int printed) {
    m_total.store(total);
    m_printed.store(printed);
}

void ListingPainter::OnPrintFailed(std::string_view reason) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_failure = reason;
}

bool ListingPainter::FileWritten() {
    if (!m_file || m_file->error() == QFileDevice::NoError) return true;
    // A write the disk took only part of carries no reason; writing the
    // rest again gets the system's (a full disk: no space left).
    if (m_file->isOpen()) {
        m_file->unsetError();
        if (m_file->flush()) return true;
    }
    return false;
}

std::string ListingPainter::PageRefusal() const {
    if (!m_file) return IPrintReport::PageRefusal();
    return std::string(MessageText(MessageId::kPrintFileUnwritable)) + " " +
           m_file->fileName().toStdString() + ": " + m_file->errorString().toStdString();
}

void ListingPainter::OnPrintEnded(bool cancelled) {
    if (m_painter.isActive()) {
        // A cancelled job throws its document away rather than printing a
        // part of it.
        if (auto* printer = dynamic_cast<QPrinter*>(&m_device); printer && cancelled)
            printer->abort();
        m_painter.end();
    }
    if (m_file) {
        // What the writer left buffered reaches the disk here: a full disk
        // may show only now.
        const bool opened = m_file->isOpen();
        bool ok = opened && FileWritten() && (m_file->flush() || FileWritten());
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (!ok && !cancelled && m_failure.empty()) m_failure = PageRefusal();
            ok = ok && m_failure.empty();
        }
        m_file->close();
        // Only a file this job made: never one it could not open, nor a device.
        if (opened && (!ok || cancelled) && IsRegularFileNoFollow(m_file->fileName().toStdString()))
            ::unlink(m_file->fileName().toLocal8Bit().constData());
    }
    m_cancelled.store(cancelled);
    m_ended.store(true);
}

std::string ListingPainter::Failure() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_failure;
}

}  // namespace qv
