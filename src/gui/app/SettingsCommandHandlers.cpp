#include "app/SettingsCommandHandlers.h"

#include <QCoreApplication>
#include <vector>

#include "app/WindowRegistry.h"
#include "capture/CaptureReader.h"
#include "core/Prompt.h"
#include "core/SettingsStore.h"
#include "core/TimeText.h"
#include "core/ViewConf.h"
#include "device/UnitList.h"
#include "dialogs/CapturePropertiesDialog.h"
#include "dialogs/DisplayFormatDialog.h"
#include "dialogs/MonitorParamsDialog.h"
#include "present/CaptureProperties.h"
#include "settings/StatusFile.h"
#include "settings/StatusSet.h"

namespace qv {

namespace {

std::string SelectedStatusPath(const WindowRegistry& ctrl) {
    return SettingsHome(ctrl.Unit());
}

// The first 20 rows of a table as read (rows a file lacks keep the defaults).
FormatTable TableOf(const std::vector<FormatEntry>& rows) {
    FormatTable table = DefaultFormatTable();
    for (size_t i = 0; i < table.size() && i < rows.size(); ++i)
        table[i] = rows[i];
    return table;
}

// Puts the edited 20 rows back, keeping rows 21 to 30 of the file as read.
void PutBack(std::vector<FormatEntry>& rows, const FormatTable& table) {
    if (rows.size() < table.size()) rows.resize(table.size());
    for (size_t i = 0; i < table.size(); ++i)
        rows[i] = table[i];
}

// The line type whose half of the table a capture's or file's Line names.
int HalfOf(uint8_t line) {
    return line == kLineRs232 ? kLineTypeRs232 : kLineTypeRs422;
}

CaptureReader* CurrentReader(WindowRegistry& ctrl) {
    int slot = ctrl.CurrentSlot();
    if (slot < 0 || slot >= WindowRegistry::kSlots) return nullptr;
    return ctrl.Slot(slot).reader.get();
}

}  // namespace

void RunMonitorParams(WindowRegistry& ctrl) {
    AppServices* services = ctrl.Services();
    if (!services) return;
    MonitorParamsDialog dlg(services->store, services->conf, SelectedStatusPath(ctrl), ctrl.Unit(),
                            ctrl.Owner());
    dlg.exec();
}

void RunDisplayFormat(WindowRegistry& ctrl) {
    if (CaptureReader* reader = CurrentReader(ctrl)) {
        std::vector<FormatEntry> rows;
        reader->ReadFormatRows(rows);
        MonitorSettings m;
        SamplingSettings s;
        reader->GetMonitorSettings(m, s);
        int type = HalfOf(m.Line);
        FormatTable table = TableOf(rows);
        DisplayFormatDialog dlg(FormatHalfOf(table, type), s, type, ctrl.Owner());
        if (dlg.exec() != QDialog::Accepted) return;
        SetFormatHalf(table, type, dlg.Rows());
        PutBack(rows, table);
        reader->WriteFormatRows(rows);
        ctrl.ReloadFormatRows();
        return;
    }
    StatusFile status;
    if (status.OpenStatusFile(SelectedStatusPath(ctrl)) != 0) return;
    std::vector<FormatEntry> rows;
    status.ReadFormatTable(rows);
    MonitorSettings m;
    SamplingSettings s;
    SyncSetting sync = 0;
    status.ReadMonitorStatus(m, s, sync);
    int type = HalfOf(m.Line);
    FormatTable table = TableOf(rows);
    DisplayFormatDialog dlg(FormatHalfOf(table, type), s, type, ctrl.Owner());
    if (dlg.exec() != QDialog::Accepted) return;
    SetFormatHalf(table, type, dlg.Rows());
    // The table is written whole or not at all, and a refusal names the row.
    std::string why = FormatTableProblem(status, table);
    if (why.empty() && status.WriteFormatTable(table, kFormatRows) == 0) return;
    if (IPrompt* prompt = ctrl.Prompt())
        prompt->ShowMessage(QCoreApplication::translate("qv::MonitorParamsDialog",
                                                        "ステータスファイルに書き込めませんでした\n%1")
                                .arg(QString::fromStdString(status.GetPath()))
                                .toStdString() +
                            (why.empty() ? "" : "\n" + why));
}

void RunProperties(WindowRegistry& ctrl) {
    CaptureReader* reader = CurrentReader(ctrl);
    if (!reader) return;
    CapturePropertiesDialog dlg(ReadCaptureFacts(*reader), ctrl.Owner());
    dlg.exec();
}

}  // namespace qv
