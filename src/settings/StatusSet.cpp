#include "settings/StatusSet.h"

#include <algorithm>
#include <utility>

#include "core/FileUtil.h"
#include "core/MessageText.h"
#include "settings/EditorRules.h"
#include "settings/StatusFile.h"

namespace qv {

ImportKind ImportKindOf(const std::string& path) {
    if (path.size() <= 4) return ImportKind::None;
    std::string ext = path.substr(path.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == ".qvs") return ImportKind::StatusFile;
    if (ext == ".qvr") return ImportKind::CaptureIndex;
    return ImportKind::None;
}

void LoadStatusSet(StatusFile& file, StatusSet& set, int64_t now) {
    file.ReadMonitorStatus(set.status.monitor, set.status.sampling, set.status.sync);
    for (int n = 1; n <= kTriggerCount; ++n)
        file.ReadTrigger(set.triggers[static_cast<size_t>(n - 1)], n);
    file.ReadTriggerOption(set.option, now);
    for (int n = 1; n <= kFormatRows; ++n) {
        FormatEntry e;
        if (file.ReadFormatEntry(e, n) == 0) set.format[static_cast<size_t>(n - 1)] = e;
    }
}

int ImportStatusSet(const std::string& path, StatusSet& set, int64_t now) {
    ImportKind kind = ImportKindOf(path);
    if (kind == ImportKind::None || !PathExists(path) || IsDirectory(path)) return -1;
    StatusFile file;
    if (kind == ImportKind::StatusFile) {
        if (file.OpenStatusFile(path) != 0) return -1;
    } else {
        // A capture index carries the same sections. Its own open test asks for
        // ".qvr" in the path, exact case; it is only read here, never created.
        if (path.find(".qvr") == std::string::npos) return -1;
        file.SetPath(path);
    }
    LoadStatusSet(file, set, now);
    return 0;
}

int SaveStatusSet(StatusFile& file, StatusSet& set) {
    LowerSamplingToHalfBit(set.status.monitor, set.status.sampling);
    file.BeginBatch();
    int rc = file.WriteMonitorStatus(set.status.monitor, set.status.sampling, set.status.sync);
    for (int n = 1; rc == 0 && n <= kTriggerCount; ++n)
        rc = file.WriteTrigger(set.triggers[static_cast<size_t>(n - 1)], n);
    if (rc == 0) rc = file.WriteTriggerOption(set.option);
    if (rc == 0) rc = file.WriteFormatTable(set.format, kFormatRows);
    // A status half old and half new would start runs from settings nobody chose.
    if (rc != 0) file.CancelBatch();
    int flushed = file.EndBatch();
    return rc != 0 ? rc : flushed;
}

namespace {

// Why a text value cannot be stored; empty when it can.
std::string TextProblem(StatusFile& file, const std::string& text) {
    for (char c : text)
        if (c == ',' || c == '\r' || c == '\n')
            return Say("カンマや改行は保存できません", "commas and line breaks cannot be saved");
    if (!file.CanStore(text))
        return Say("ステータスファイルの文字コード (CP932/Shift-JIS) で表せない文字があります",
                   "it holds characters the settings file's encoding (CP932/Shift-JIS) cannot "
                   "represent");
    return {};
}

}  // namespace

std::string StatusSetProblem(StatusFile& file, const StatusSet& set) {
    // The unit note is not asked: a nickname the file cannot hold is left
    // out without stopping the settings.
    return FormatTableProblem(file, set.format);
}

std::string FormatTableProblem(StatusFile& file, const FormatTable& table) {
    for (size_t i = 0; i < table.size(); ++i) {
        const FormatEntry& e = table[i];
        const std::string row = Say("表示設定 ", "Display row ") + std::to_string(i + 1) +
                                Say("行目", "");
        for (auto [field, text] :
             {std::pair<const char*, const std::string*>{Say("名前", "name"), &e.name},
              {Say("コメント", "comment"), &e.comment},
              {Say("マーク", "mark"), &e.mark}})
            if (std::string why = TextProblem(file, *text); !why.empty())
                return row + Say("の", ", ") + field + Say("「", " \"") + *text +
                       Say("」: ", "\": ") + why;
        if (!FormatLineText(e))
            return row + Say(": ライン番号 ", ": line number ") + std::to_string(e.line) +
                   Say(" は保存できません", " cannot be saved");
    }
    return {};
}

int SaveStatusSet(const std::string& path, StatusSet& set) {
    StatusFile file;
    if (file.OpenStatusFile(path) != 0) return -1;
    file.SetUnit(ReadStatusUnit(file));
    return SaveStatusSet(file, set);
}

}  // namespace qv
