#include "dialogs/PrintDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "capture/CaptureReader.h"
#include "core/CodeTable.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "present/MarkList.h"
#include "views/ListingPainter.h"
#include "dialogs/PrintProgressDialog.h"
#include "views/RangeTimeFields.h"

namespace qv {

namespace {

constexpr const char* kSource = "QvrPrint";

}  // namespace

PrintDialog::PrintDialog(SettingsStore& store, Log& log, CaptureReader& reader, int code,
                         QWidget* parent)
    : QDialog(parent),
      m_store(store),
      m_log(log),
      m_indexPath(reader.GetIndexPath()),
      m_code(code == kDisplayHex ? kDisplayAscii : code),
      m_printerName(new QLineEdit),
      m_toPdf(new QCheckBox(tr("PDFファイルに出力"))),
      m_pdfPath(new QLineEdit),
      m_byTime(new QCheckBox(tr("時間指定"))),
      m_byMark(new QCheckBox(tr("ﾏｰｸ指定"))),
      m_fromDate(new QDateEdit),
      m_fromTime(new QTimeEdit),
      m_toDate(new QDateEdit),
      m_toTime(new QTimeEdit),
      m_fromMark(new QComboBox),
      m_toMark(new QComboBox),
      m_print(new QPushButton(tr("印刷"))),
      m_preview(new QPushButton(tr("プレビュー"))),
      m_progress(new PrintProgressDialog(this)),
      m_timer(new QTimer(this)) {
    setWindowTitle(tr("印刷"));
    reader.ReadTriggers(m_triggers);
    // The default printer; without one the listing goes to a PDF file.
    const QString printer = QPrinterInfo::defaultPrinterName();
    m_printerName->setText(printer);
    m_printerName->setReadOnly(true);
    m_toPdf->setChecked(printer.isEmpty());
    m_toPdf->setEnabled(!printer.isEmpty());
    const QString base = QFileInfo(QString::fromStdString(m_indexPath)).completeBaseName();
    m_pdfPath->setText(QDir::home().filePath(base + ".pdf"));
    m_pdfPath->setEnabled(m_toPdf->isChecked());
    connect(m_toPdf, &QCheckBox::toggled, m_pdfPath, &QWidget::setEnabled);

    std::string startText, endText;
    std::optional<DayTime> start, end;
    if (reader.GetCaptureStartText(startText) == 0) start = ParseRecordTime(startText);
    if (reader.GetCaptureEndText(endText) == 0) end = ParseRecordTime(endText);
    if (!start || !end) {
        m_log.Write("ERR", kSource, __LINE__,
                    MessageText(MessageId::kPrintBadFormat, UiLanguage::kJapanese));
        QMessageBox::warning(this, windowTitle(), MessageText(MessageId::kPrintBadFormat));
    } else {
        m_valid = true;
        m_captureStart = *start;
        m_captureEnd = *end;
    }
    for (auto* d : {m_fromDate, m_toDate}) {
        d->setDisplayFormat("yyyy/MM/dd");
        d->setCalendarPopup(true);
    }
    for (auto* t : {m_fromTime, m_toTime})
        t->setDisplayFormat("HH:mm:ss");
    const QDateTime from = RecordDateTime(startText), to = RecordDateTime(endText);
    m_fromDate->setDate(from.date());
    m_fromTime->setTime(from.time());
    m_toDate->setDate(to.date());
    m_toTime->setTime(to.time());
    for (const auto& m : ReadMarks(reader)) {
        auto key = ParseRecordTime(m.timeText);
        if (!key) continue;
        const QString line =
            tr("マーク%1: %2").arg(m.number).arg(QString::fromStdString(m.comment));
        m_fromMark->addItem(line);
        m_toMark->addItem(line);
        m_markKeys.push_back(*key);
    }
    m_toMark->setCurrentIndex(m_toMark->count() - 1);
    m_byMark->setEnabled(!m_markKeys.empty());
    for (QWidget* w : std::initializer_list<QWidget*>{m_fromDate, m_fromTime, m_toDate, m_toTime,
                                                      m_fromMark, m_toMark})
        w->setEnabled(false);
    connect(m_byTime, &QCheckBox::toggled, this, [this](bool on) {
        for (QWidget* w : std::initializer_list<QWidget*>{m_fromDate, m_fromTime, m_toDate, m_toTime})
            w->setEnabled(on);
    });
    connect(m_byMark, &QCheckBox::toggled, this, [this](bool on) {
        m_fromMark->setEnabled(on);
        m_toMark->setEnabled(on);
    });

    auto* setup = new QPushButton(tr("ﾌﾟﾘﾝﾀの設定"));
    auto* cancel = new QPushButton(tr("キャンセル"));
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("プリンタ名：")), 0, 0);
    grid->addWidget(m_printerName, 0, 1, 1, 3);
    grid->addWidget(setup, 0, 4);
    grid->addWidget(m_toPdf, 1, 0);
    grid->addWidget(m_pdfPath, 1, 1, 1, 4);
    grid->addWidget(m_byTime, 2, 0);
    grid->addWidget(m_fromDate, 2, 1);
    grid->addWidget(m_fromTime, 2, 2);
    grid->addWidget(new QLabel(tr("～")), 2, 3);
    auto* toRow = new QHBoxLayout;
    toRow->addWidget(m_toDate);
    toRow->addWidget(m_toTime);
    grid->addLayout(toRow, 2, 4);
    grid->addWidget(m_byMark, 3, 0);
    grid->addWidget(m_fromMark, 3, 1, 1, 2);
    grid->addWidget(new QLabel(tr("～")), 3, 3);
    grid->addWidget(m_toMark, 3, 4);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_preview);
    buttons->addWidget(m_print);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    m_print->setDefault(true);
    m_print->setEnabled(m_valid);
    m_preview->setEnabled(m_valid);

    connect(setup, &QPushButton::clicked, this, &PrintDialog::SetupPrinter);
    connect(m_preview, &QPushButton::clicked, this, &PrintDialog::Preview);
    connect(m_print, &QPushButton::clicked, this, &PrintDialog::Print);
    connect(cancel, &QPushButton::clicked, this, &PrintDialog::reject);
    connect(m_progress, &PrintProgressDialog::cancelRequested, this, [this] {
        if (m_job) m_job->Cancel();
        JobEnded();
    });
    connect(m_timer, &QTimer::timeout, this, &PrintDialog::Poll);
}

PrintDialog::~PrintDialog() {
    if (m_job) m_job->Cancel();
}

PrintListingInput PrintDialog::Input() const {
    PrintListingInput in;
    in.codeMode = m_code;
    in.frequency = m_store.GetFrequency();
    // The triggers the capture was made with, which its index carries.
    in.triggers = m_triggers;
    PrintRangeChoice choice;
    if (m_byTime->isChecked())
        choice.times = {PickedTimeKey(m_fromDate->date(), m_fromTime->time(), false),
                        PickedTimeKey(m_toDate->date(), m_toTime->time(), false)};
    if (m_byMark->isChecked() && !m_markKeys.empty()) {
        auto key = [this](int i) { return m_markKeys[static_cast<size_t>(std::max(0, i))]; };
        choice.marks = {key(m_fromMark->currentIndex()), key(m_toMark->currentIndex())};
    }
    std::tie(in.start, in.end) = ResolvePrintRange(m_captureStart, m_captureEnd, choice);
    return in;
}

void PrintDialog::ConfigurePrinter(QPrinter& printer) const {
    if (m_toPdf->isChecked()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_pdfPath->text());
    } else {
        printer.setPrinterName(m_printerName->text());
    }
    printer.setDocName("Qvr");
    printer.setPageSize(QPageSize(QPageSize::A4));
}

void PrintDialog::SetupPrinter() {
    QPrinter printer(QPrinter::HighResolution);
    ConfigurePrinter(printer);
    QPrintDialog dlg(&printer, this);
    if (dlg.exec() != QDialog::Accepted) return;
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        m_toPdf->setChecked(true);
        if (!printer.outputFileName().isEmpty()) m_pdfPath->setText(printer.outputFileName());
    } else {
        m_printerName->setText(printer.printerName());
        m_toPdf->setEnabled(true);
        m_toPdf->setChecked(false);
    }
}

void PrintDialog::Preview() {
    QPrinter printer(QPrinter::HighResolution);
    ConfigurePrinter(printer);
    printer.setOutputFileName({});
    QPrintPreviewDialog dlg(&printer, this);
    connect(&dlg, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) {
        // The preview draws on this thread with a reader of its own.
        SettingsStore store;
        Log log;
        CaptureReader file(store, log);
        if (file.Open(m_indexPath) != 0) return;
        ListingPainter painter(*p);
        std::atomic<bool> cancel{false};
        RunPrintListing(file, DisplayCodeTable(), Input(), painter, cancel);
    });
    dlg.exec();
}

void PrintDialog::Print() {
    if (!m_valid || m_job) return;
    m_failed = false;
    m_painter.reset();
    m_pdfWriter.reset();
    m_pdfFile.reset();
    m_printer.reset();
    if (m_toPdf->isChecked()) {
        m_pdfFile = std::make_unique<QFile>(m_pdfPath->text());
        // A file that cannot be made is reported by the job, with the reason.
        m_pdfFile->open(QIODevice::WriteOnly | QIODevice::Truncate);
        m_pdfWriter = std::make_unique<QPdfWriter>(m_pdfFile.get());
        m_pdfWriter->setTitle("Qvr");
        m_pdfWriter->setPageSize(QPageSize(QPageSize::A4));
        m_painter = std::make_unique<ListingPainter>(*m_pdfWriter, m_pdfFile.get());
    } else {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        ConfigurePrinter(*m_printer);
        m_painter = std::make_unique<ListingPainter>(*m_printer);
    }
    m_job = std::make_unique<PrintJob>(*m_painter);
    m_print->setEnabled(false);
    m_preview->setEnabled(false);
    m_progress->SetProgress(0, 0);
    m_progress->show();
    m_progress->raise();
    m_job->Start(m_indexPath, Input());
    m_timer->start(kProgressIntervalMs);
}

int PrintDialog::PagesPrinted() const {
    return m_painter ? m_painter->PagesDrawn() : 0;
}

void PrintDialog::Poll() {
    if (!m_painter) return;
    m_progress->SetProgress(m_painter->Total(), m_painter->Printed());
    if (m_painter->Ended()) JobEnded();
}

void PrintDialog::JobEnded() {
    m_timer->stop();
    if (!m_job) return;
    m_job->Wait();
    m_job.reset();
    m_progress->hide();
    const std::string failure = m_painter->Failure();
    if (!failure.empty()) {
        m_failed = true;
        QMessageBox::critical(
            this, windowTitle(),
            QString::fromStdString(std::string(MessageText(MessageId::kPrintFailed)) + "\n" +
                                   failure));
        reject();
        return;
    }
    if (m_painter->Cancelled()) {
        QDialog::reject();
        return;
    }
    accept();
}

void PrintDialog::reject() {
    if (m_job) {
        m_job->Cancel();
        JobEnded();
        return;
    }
    QDialog::reject();
}

}  // namespace qv
