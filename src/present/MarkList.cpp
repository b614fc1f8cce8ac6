#include "present/MarkList.h"

#include "capture/CaptureIndex.h"
#include "capture/CaptureIndexText.h"
#include "capture/CaptureReader.h"
#include "capture/RecordTime.h"
#include "core/MessageText.h"
#include "core/TimeText.h"
#include "present/MonitorRows.h"
#include "settings/StatusFile.h"
#include "settings/TriggerSummary.h"

namespace qv {

int SetMarkHere(CaptureReader& file, int n) {
    if (n < 1 || n > kMarkCount) return kQvrNoRecord;
    std::string text;
    uint64_t ticks = 0;
    if (file.GetEndTime(text, ticks) != kQvrOk) return kQvrNoRecord;
    return file.SetMark(n, &text);
}

std::vector<MarkInfo> ReadMarks(CaptureReader& file) {
    std::vector<MarkInfo> out;
    for (int n = 1; n <= kMarkCount; ++n) {
        MarkInfo m;
        m.number = n;
        if (file.ReadMark(n, m.chunk, m.timeText, m.kind, m.comment) == kQvrOk)
            out.push_back(std::move(m));
    }
    return out;
}

int JumpToMark(CaptureReader& file, int n) {
    if (n < 1 || n > kMarkCount) return kQvrNoRecord;
    MarkInfo m;
    if (file.ReadMark(n, m.chunk, m.timeText, m.kind, m.comment) != kQvrOk) return kQvrNoIndex;
    auto when = ParseRecordTime(m.timeText);
    if (!when) return kQvrNoIndex;
    return file.GoToTime(*when);
}

std::vector<TriggerRecordInfo> ReadTriggerRecords(const std::string& indexPath) {
    std::vector<TriggerRecordInfo> out;
    CaptureIndex index;
    index.SetPath(indexPath);
    for (int n = 1;; ++n) {
        TriggerRecordInfo r;
        if (index.ReadTriggerRecord(n, r.event) != 0) break;
        r.number = n;
        // The date with "/" after the second and fourth digit, two blanks,
        // then the lettered time of day.
        std::string_view date = DateFieldText(r.event.date);
        std::string line;
        for (size_t i = 0; i < date.size(); ++i) {
            if (i == 2 || i == 4) line += '/';
            line += date[i];
        }
        line += "  ";
        if (auto time = TicksToLetteredText(r.event.time)) line += *time;
        r.listText = std::move(line);
        out.push_back(std::move(r));
    }
    return out;
}

std::string TriggerRecordDescription(const std::string& indexPath, int code) {
    if (code < 1 || code > kTriggerSections) return {};
    StatusFile index;
    index.SetPath(indexPath);
    TriggerSetting trigger;
    if (index.ReadTrigger(trigger, code) != 0) return {};
    MonitorSettings m;
    SamplingSettings s;
    SyncSetting sync = 0;
    index.ReadMonitorStatus(m, s, sync);
    std::vector<FormatEntry> rows;
    index.ReadFormatTable(rows);
    LineNames names = MonitorLineNames(rows, m.Line);
    return TriggerSummary(trigger, &names);
}

std::string TriggerJumpTitle(int code) {
    return Say("トリガジャンプ - トリガ", "Trigger jump - Trigger ") + std::to_string(code);
}

int JumpToTrigger(CaptureReader& file, const TriggerRecordInfo& record) {
    return file.GoToTime(MakeDayTime(DateFieldText(record.event.date), record.event.time));
}

}  // namespace qv
