#include "dialogs/SaveProgressDialog.h"

#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/MessageText.h"

namespace qv {

SaveProgressDialog::SaveProgressDialog(const ExportFormat& format, ExportRequest request,
                                       QWidget* parent)
    : QDialog(parent),
      m_worker(*this, format, std::move(request)),
      m_bar(new QProgressBar),
      m_cancel(new QPushButton(tr("キャンセル"))),
      m_timer(new QTimer(this)) {
    setWindowTitle(tr("保存中..."));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setMinimumWidth(300);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_bar);
    layout->addWidget(m_cancel, 0, Qt::AlignRight);
    connect(m_cancel, &QPushButton::clicked, this, &SaveProgressDialog::reject);
    connect(m_timer, &QTimer::timeout, this,
            [this] { m_bar->setValue(m_percent.load(std::memory_order_relaxed)); });
}

SaveProgressDialog::~SaveProgressDialog() {
    m_worker.Stop();
}

void SaveProgressDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (m_started) return;
    m_started = true;
    m_timer->start(kProgressIntervalMs);
    if (m_worker.Start() != 0) {
        m_outcome = SaveReport::kStartRefused;
        QMetaObject::invokeMethod(this, &SaveProgressDialog::Ended, Qt::QueuedConnection);
    }
}

// On the worker's thread: percent and the ending are left in atomics; the
// thread's last report crosses to the dialog as a queued call.
void SaveProgressDialog::OnSaveReport(SaveReport report, int percent) {
    if (report == SaveReport::kProgress) {
        m_percent.store(percent, std::memory_order_relaxed);
        return;
    }
    if (report != SaveReport::kEnded) {
        m_ending.store(static_cast<int>(report));
        return;
    }
    QMetaObject::invokeMethod(this, &SaveProgressDialog::Ended, Qt::QueuedConnection);
}

void SaveProgressDialog::Ended() {
    if (m_closed) return;  // cancelled before the thread's last report came
    m_closed = true;
    m_worker.Wait();
    m_timer->stop();
    const int ending = m_ending.load();
    if (ending >= 0) m_outcome = static_cast<SaveReport>(ending);
    if (m_outcome == SaveReport::kRangeDone || m_outcome == SaveReport::kCaptureEnd)
        m_bar->setValue(100);
    done(m_outcome == SaveReport::kRangeDone || m_outcome == SaveReport::kCaptureEnd ? Accepted
                                                                                      : Rejected);
}

void SaveProgressDialog::reject() {
    // Cancel waits for the worker, which stops before its next record with
    // every file written so far complete.
    if (m_worker.Running()) {
        m_cancelled = true;
        m_worker.Stop();
        m_outcome = SaveReport::kEnded;
        m_timer->stop();
        m_closed = true;
        QDialog::reject();
        return;
    }
    if (m_started && !m_closed) return;  // the ending is on its way
    QDialog::reject();
}

QString SaveProgressDialog::OutcomeText() const {
    const QString where = QString::fromStdString(m_worker.Request().destination);
    const QString what = QString::fromUtf8(m_worker.Format().OutputName().In(MessageLanguage()));
    // The count with what it counts: records, rows or packets.
    const QString count = QString::number(Written()) +
                          QString::fromUtf8(m_worker.Format().CountUnit().In(MessageLanguage()));
    switch (m_outcome) {
        case SaveReport::kRangeDone:
        case SaveReport::kCaptureEnd:
            return tr("保存しました。\n%1 (%2)").arg(where).arg(count);
        case SaveReport::kStartRefused:
            return tr(
                "指定された範囲のデータがないか、保存先を作成できませんでした。保存していません。");
        case SaveReport::kFailed:
            // A file format writes its file whole or not at all.
            if (m_worker.Format().Writes() == ExportFormat::Target::kFile &&
                !m_worker.Result().made)
                return tr("保存中にエラーが発生しました。保存していません。\n%1").arg(where);
            return tr("保存中にエラーが発生しました。それまでに保存した%1(%2)"
                      "は完全な形で残っています。\n%3")
                .arg(what)
                .arg(count)
                .arg(where);
        default:
            return tr("保存を中止しました。それまでに保存した%1(%2)は完全な形で残っています。\n%3")
                .arg(what)
                .arg(count)
                .arg(where);
    }
}

}  // namespace qv
