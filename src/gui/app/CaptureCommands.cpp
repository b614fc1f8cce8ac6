#include "app/CaptureCommands.h"

#include <stdlib.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <cerrno>
#include <cstring>

#include "app/CommandTable.h"
#include "app/WindowRegistry.h"
#include "capture/CaptureIndexText.h"
#include "capture/CaptureReader.h"
#include "capture/RecordTime.h"
#include "common/ProgramName.h"
#include "common/Wireshark.h"
#include "core/CodeTable.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/ViewConf.h"
#include "dialogs/FileBrowserDialog.h"
#include "dialogs/PrintDialog.h"
#include "dialogs/SaveProgressDialog.h"
#include "dialogs/SearchDialog.h"
#include "dialogs/TimeEntryDialog.h"
#include "dialogs/TriggerJumpDialog.h"
#include "export/ExportRegistry.h"
#include "present/MarkList.h"
#include "views/CaptureView.h"

namespace qv {

namespace {

constexpr int kNoReader = -15;
constexpr int kBadMark = -8;

// Moves the reader to a time and returns the reached record's time; none
// when it cannot move there.
std::optional<DayTime> MoveTo(CaptureReader& reader, const DayTime& at) {
    DayTime reached;
    if (reader.GoToTime(at) != 0 || reader.GetEndRecordTime(reached) != 0) return {};
    return reached;
}

}  // namespace

void CaptureCommands::Search() {
    CaptureReader* reader = m_ctrl.CurrentReader();
    if (!reader || !m_ctrl.Services()) return;
    const auto& slot = m_ctrl.Slot(m_ctrl.CurrentSlot());
    SearchDialog::Setup setup;
    setup.indexPath = reader->GetIndexPath();
    setup.current = slot.frameTime;
    if (slot.frameTime) setup.currentFrame = slot.frameNumber;
    setup.code = slot.code;
    setup.rows = slot.rows;
    MonitorSettings m;
    SamplingSettings sampling;
    if (reader->GetMonitorSettings(m, sampling) == 0) setup.line = m.Line;
    SearchDialog dlg(
        setup, DisplayCodeTable(),
        [this](const SearchResult& r) { m_ctrl.ShowCurrentAt(r.at, true); }, m_ctrl.Owner());
    dlg.exec();
}

void CaptureCommands::FrameJump() {
    CaptureReader* reader = m_ctrl.CurrentReader();
    if (!reader) return;
    const auto& now = m_ctrl.Slot(m_ctrl.CurrentSlot()).frameTime;
    TimeEntryDialog dlg(now.value_or(DayTime{}), m_ctrl.Owner());
    if (dlg.exec() != QDialog::Accepted) return;
    if (auto reached = MoveTo(*reader, dlg.Time())) m_ctrl.ShowCurrentAt(*reached, true);
}

void CaptureCommands::TriggerJump() {
    CaptureReader* reader = m_ctrl.CurrentReader();
    if (!reader) return;
    TriggerJumpDialog dlg(reader->GetIndexPath(), m_ctrl.Owner());
    if (dlg.exec() != QDialog::Accepted) return;
    if (qv::JumpToTrigger(*reader, dlg.Chosen()) != 0) return;
    DayTime reached;
    if (reader->GetEndRecordTime(reached) == 0) m_ctrl.ShowCurrentAt(reached, true);
}

int CaptureCommands::JumpToMark(int n) {
    if (n < 1 || n > kMarkCount) return kBadMark;
    CaptureReader* reader = m_ctrl.CurrentReader();
    if (!reader) return kNoReader;
    int rc = qv::JumpToMark(*reader, n);
    if (rc != 0) return rc;
    DayTime reached;
    if ((rc = reader->GetEndRecordTime(reached)) != 0) return rc;
    m_ctrl.ShowCurrentAt(reached, true);
    return 0;
}

int CaptureCommands::SetMark(int n) {
    if (n < 1 || n > kMarkCount) return kBadMark;
    CaptureReader* reader = m_ctrl.CurrentReader();
    if (!reader) return kNoReader;
    // The window's current record, which paging may have moved the reader from.
    const auto& slot = m_ctrl.Slot(m_ctrl.CurrentSlot());
    if (slot.frameTime)
        if (reader->GoToFrame(slot.frameNumber) != 0) reader->GoToTime(*slot.frameTime);
    return SetMarkHere(*reader, n);
}

// The request's pcapng, written into a folder of its own in the temporary
// folder (left for Wireshark, which reads it after we hand it over), then
// opened in Wireshark. Progress and failures are shown as a save's are.
void CaptureCommands::ExportToWireshark(ExportRequest request) {
    const QString title = QCoreApplication::translate("qv::CaptureCommands", "保存");
    QByteArray pattern = QDir::temp().filePath("qv-ort-XXXXXX").toLocal8Bit();
    if (!::mkdtemp(pattern.data())) {
        QMessageBox::warning(m_ctrl.Owner(), title, QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    const QString name = QFileInfo(QString::fromStdString(request.source)).completeBaseName();
    const QString file = QString::fromLocal8Bit(pattern) + "/" + name + ".pcapng";
    request.destination = file.toStdString();
    SaveProgressDialog progress(*FindExportFormat("pcapng"), std::move(request), m_ctrl.Owner());
    progress.exec();
    if (progress.Outcome() != SaveReport::kRangeDone &&
        progress.Outcome() != SaveReport::kCaptureEnd) {
        QMessageBox::warning(m_ctrl.Owner(), title, progress.OutcomeText());
        return;
    }
    if (!QProcess::startDetached(WiresharkProgram(), {file}))
        QMessageBox::warning(m_ctrl.Owner(), title,
                             QCoreApplication::translate("qv::CaptureCommands",
                                                         "Wiresharkを起動できませんでした: %1")
                                 .arg(file));
}

void CaptureCommands::SelectionToWireshark(const std::string& payload) {
    CaptureReader* reader = m_ctrl.CurrentReader();
    AppServices* services = m_ctrl.Services();
    const WindowSlot& slot = m_ctrl.Slot(m_ctrl.CurrentSlot());
    if (!reader || !services || !slot.view) return;
    const auto records = slot.view->SelectedRecords();
    if (!records) return;
    // The records' own times bound the range, so the export takes exactly
    // the selected records (and any that share a bounding record's time).
    DayTime first, last;
    if (reader->GoToFrame(records->first) != 0 || reader->GetEndRecordTime(first) != 0 ||
        reader->GoToFrame(records->second) != 0 || reader->GetEndRecordTime(last) != 0)
        return;
    ExportRequest request;
    request.source = reader->GetIndexPath();
    request.range = std::pair{first, last};
    request.choices["payload"] = payload;
    request.application = WritingProgram();
    ExportToWireshark(std::move(request));
}

void CaptureCommands::Save() {
    CaptureReader* reader = m_ctrl.CurrentReader();
    AppServices* services = m_ctrl.Services();
    if (!reader || !services) return;
    FileBrowserDialog browser(FileBrowserDialog::kSaveMode, services->conf.GetBrowserFolder("Save"),
                              m_ctrl.Owner());
    browser.SetSaveSource(*reader);
    const int answer = browser.exec();
    services->conf.SetBrowserFolder("Save", browser.CurrentFolder());
    if (answer != QDialog::Accepted) return;
    ExportRequest request = browser.SaveRequest();
    request.fileRecords = services->store.GetFileRecords();
    if (browser.ToWireshark()) {
        ExportToWireshark(std::move(request));
        return;
    }
    SaveProgressDialog progress(browser.ChosenFormat(), std::move(request), m_ctrl.Owner());
    progress.exec();
    const bool complete = progress.Outcome() == SaveReport::kRangeDone ||
                          progress.Outcome() == SaveReport::kCaptureEnd;
    if (complete)
        QMessageBox::information(m_ctrl.Owner(), QCoreApplication::translate("qv::CaptureCommands", "保存"), progress.OutcomeText());
    else
        QMessageBox::warning(m_ctrl.Owner(), QCoreApplication::translate("qv::CaptureCommands", "保存"), progress.OutcomeText());
}

void CaptureCommands::Print() {
    CaptureReader* reader = m_ctrl.CurrentReader();
    AppServices* services = m_ctrl.Services();
    if (!reader || !services) return;
    PrintDialog dlg(services->store, services->log, *reader, m_ctrl.Slot(m_ctrl.CurrentSlot()).code,
                    m_ctrl.Owner());
    if (!dlg.Valid()) return;
    dlg.exec();
}

}  // namespace qv
