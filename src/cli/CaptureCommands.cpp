// qvtool info and list: a stored capture from the command line.
#include <cinttypes>
#include <cstdio>
#include <iostream>
#include <memory>

#include "capture/MonitorRows.h"
#include "capture/CaptureReader.h"
#include "cli/CaptureOpen.h"
#include "cli/Commands.h"
#include "cli/SettingsText.h"
#include "core/FileUtil.h"
#include "core/AppContext.h"
#include "core/TimeText.h"
#include "settings/ValueText.h"

namespace qv::cli {

namespace {

void PrintInfo(const std::string& capture) {
    AppContext cmn;
    CaptureReader file(cmn);
    OpenOrFail(file, capture);
    MonitorSettings m;
    SamplingSettings s;
    file.GetMonitorSettings(m, s);
    std::string start, end;
    file.GetCaptureStartText(start);
    file.GetCaptureEndText(end);
    std::vector<FormatEntry> rows;
    file.ReadFormatRows(rows);
    LineNames names = MonitorLineNames(rows, m.Line);
    std::cout << "Capture:     " << file.GetIndexPath() << "\n";
    PrintMonitorSettings(std::cout, m, s, 0, names[0], names[1]);
    std::cout << "Start:       " << start << "\n"
              << "End:         " << end << "\n"
              << "Chunks:      " << file.GetChunkCount() << "\n";
    std::printf("Records:     %" PRIu64 "\n", file.GetTotalRecords());
    // The counts come from the index; say which of them no file holds.
    for (uint32_t c = 1; c <= file.GetChunkCount(); ++c) {
        if (PathExists(file.ChunkPath(c))) continue;
        const uint64_t to =
            c < file.GetChunkCount() ? file.ChunkFirstFrame(c + 1) : file.GetTotalRecords();
        std::printf("Missing:     %s (records %" PRIu64 " to %" PRIu64 ")\n",
                    file.ChunkPath(c).c_str(), file.ChunkFirstFrame(c) + 1, to);
    }
    static constexpr const char* kNames[] = {
        "SD data",    "RD data",     "line changes",     "events",          "RS changes",
        "CS changes", "ER changes",  "DR changes",       "CD changes",      "CI changes",
        "IN changes", "OUT changes", "SD break changes", "RD break changes"};
    for (int k = kCountSd; k <= kCountEventBit6Changes; ++k)
        std::printf("  %-17s %" PRIu64 "\n", kNames[k - kCountSd], file.GetTotal(k));
    std::cout << "Marks:\n";
    for (int n = 1; n <= 5; ++n) {
        uint32_t chunk = 0;
        int kind = 0;
        std::string text, comment;
        if (file.ReadMark(n, chunk, text, kind, comment) == 0)
            std::cout << "  M" << n << "  " << text << "  chunk " << chunk << "  " << comment
                      << "\n";
        else
            std::cout << "  M" << n << "  -\n";
    }
    std::cout << "Trigger records:\n";
    IniFile index;
    index.SetPath(file.GetIndexPath());
    int shown = 0;
    for (int n = 1;; ++n) {
        std::string value;
        TriggerEvent e;
        if (index.ReadString("TriggerRecord", std::to_string(n), value) != 0) break;
        if (!ParseTriggerRecord(value, e)) continue;
        std::string when =
            FormatRecordTimeText(static_cast<int>(ParseLeadingInt(DateFieldText(e.date))), e.time);
        std::printf("  %3d  %s  chunk %" PRIu64 "  code %d%s\n", n, when.c_str(), e.chunk, e.code,
                    e.code == kTriggerCodeMemoryOverflow ? " (instrument memory full)" : "");
        ++shown;
    }
    if (shown == 0) std::cout << "  -\n";
}

struct ListOptions {
    std::string capture;
    uint64_t frame = 0;  // 1-based; 0: not given
    std::string time;
    uint64_t count = 20;
    std::string code = "HEX";
};

void List(const ListOptions& o) {
    int code = CodeNumber(o.code);
    AppContext cmn;
    CaptureReader file(cmn);
    OpenOrFail(file, o.capture);
    if (!o.time.empty()) {
        auto t = ParseRecordTime(o.time);
        if (!t)
            throw CommandError{
                kExitUsage, "bad time \"" + o.time + "\"; use \"YY/MM/DD hh:mm:ss 000m000u000n\""};
        int rc = file.GoToTime(t->date, t->ticks);
        if (rc != 0) throw CommandError{kExitFailure, ReaderError(rc)};
    } else if (o.frame > 0) {
        int rc = file.GoToFrame(o.frame - 1);
        if (rc != 0)
            throw CommandError{kExitUsage, "no record " + std::to_string(o.frame) +
                                               " in the capture (it holds " +
                                               std::to_string(file.GetTotalRecords()) + ")"};
    }
    MonitorSettings m;
    SamplingSettings s;
    file.GetMonitorSettings(m, s);
    std::vector<FormatEntry> rows;
    file.ReadFormatRows(rows);
    LineNames names = MonitorLineNames(rows, m.Line);
    MonitorRowFiller filler(cmn.GetCodeTable(), names, m.Line, file.GetProtocol(), code);
    filler.Begin(file);
    bool logic = file.GetProtocol() == kProtocolLogic;
    if (logic)
        std::printf("%-30s %10s  %s\n", "DATE", "TR", "DATA");
    else
        std::printf("%-30s %10s %10s %10s %-3s %-4s %s\n", "DATE", "TR", names[0].c_str(),
                    names[1].c_str(), "ERR", "CH", "DATA");
    MonitorRow row;
    bool gap = false;
    for (uint64_t i = 0; o.count == 0 || i < o.count; ++i) {
        if (filler.Fill(file, row) != 0) break;
        if (logic)
            std::printf("%-30s %10s  %s\n", row[kColDate].c_str(), row[kColTr].c_str(),
                        row[kColData].c_str());
        else
            std::printf("%-30s %10s %10s %10s %-3s %-4s %s\n", row[kColDate].c_str(),
                        row[kColTr].c_str(), row[kColSd].c_str(), row[kColRd].c_str(),
                        row[kColErr].c_str(), row[kColCh].c_str(), row[kColData].c_str());
        int rc = file.NextRecord();
        // A chunk that cannot be read is a gap, said where it is; the
        // listing goes on with the chunks after it.
        while (rc != kQvrOk && rc != kQvrNotFound && file.GetFailedChunk() != 0) {
            const uint32_t bad = file.GetFailedChunk();
            const uint64_t from = file.ChunkFirstFrame(bad);
            const uint64_t to = bad < file.GetChunkCount() ? file.ChunkFirstFrame(bad + 1)
                                                            : file.GetTotalRecords();
            std::fflush(stdout);
            std::fprintf(stderr, "qvtool: %s: %s: records %llu to %llu are missing\n",
                         file.ChunkPath(bad).c_str(), ReaderError(rc).c_str(),
                         static_cast<unsigned long long>(from + 1),
                         static_cast<unsigned long long>(to));
            gap = true;
            if (to >= file.GetTotalRecords()) {
                rc = kQvrNotFound;
                break;
            }
            rc = file.GoToFrame(to);
            if (rc == kQvrOk) filler.Begin(file);
        }
        if (rc != kQvrOk) break;
    }
    if (gap) throw CommandError{kExitFailure, "the listing has gaps where chunk files are missing"};
}

}  // namespace

void AddCaptureCommands(CLI::App& app) {
    auto* info = app.add_subcommand(
        "info", "Show a capture's settings, times, totals, marks and trigger records");
    auto capture = std::make_shared<std::string>();
    info->add_option("CAPTURE", *capture, "The capture's .qvr index or its folder")->required();
    info->callback([capture] { PrintInfo(*capture); });

    auto* list = app.add_subcommand(
        "list", "List a capture's records, one line each, as the Monitor window shows them");
    auto o = std::make_shared<ListOptions>();
    list->add_option("CAPTURE", o->capture, "The capture's .qvr index or its folder")->required();
    auto* frame =
        list->add_option("--frame", o->frame, "Start at record N (1-based, the TR column)")
            ->check(CLI::PositiveNumber);
    list->add_option("--time", o->time, "Start at a record time \"YY/MM/DD hh:mm:ss 000m000u000n\"")
        ->excludes(frame);
    list->add_option("--count", o->count, "Records to list (0: to the end)")->capture_default_str();
    list->add_option("--code", o->code, "Data code: HEX ASCII JIS7 JIS8 EBCDIC SJIS")
        ->capture_default_str();
    list->callback([o] { List(*o); });
}

}  // namespace qv::cli
