// qvtool info and list: a stored capture from the command line.
#include <cinttypes>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>

#include "capture/CaptureReader.h"
#include "capture/OpenFailure.h"
#include "cli/CaptureOpen.h"
#include "cli/CaptureWalk.h"
#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/GapList.h"
#include "cli/SettingsText.h"
#include "core/CodeTable.h"
#include "core/FileUtil.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/TimeText.h"
#include "present/CaptureProperties.h"
#include "present/MarkList.h"
#include "present/MonitorColumns.h"
#include "present/MonitorRows.h"
#include "settings/ValueText.h"

namespace qv::cli {

namespace {

// One line of `list`'s text listing on stdout, built in `line` (reused from
// row to row).
void PrintListingLine(std::string& line, const MonitorRow& cells, Protocol protocol,
                      std::string_view afterTr) {
    line.clear();
    AppendMonitorTextLine(line, cells, protocol, afterTr);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
}

constexpr const char* kCountNames[] = {
    "SD data",    "RD data",     "line changes",     "events",          "RS changes",
    "CS changes", "ER changes",  "DR changes",       "CD changes",      "CI changes",
    "IN changes", "OUT changes", "SD break changes", "RD break changes"};
constexpr const char* kCountKeys[] = {
    "sd_data",    "rd_data",    "line_changes", "events",     "rs_changes",
    "cs_changes", "er_changes", "dr_changes",   "cd_changes", "ci_changes",
    "in_changes", "out_changes", "sd_break_changes", "rd_break_changes"};

// info as JSON, or as CSV rows "field,value" (lists numbered: mark.1.time).
void PrintInfoStructured(CaptureReader& file, const CaptureFacts& facts, OutputFormat format) {
    const MonitorSettings& m = facts.monitor;
    LocalCalendar cal = CaptureCalendar();
    OutputBuffer out;
    JsonWriter j(out.Text());
    CsvLine csv(out.Text());
    const bool json = format == OutputFormat::kJson;
    auto field = [&](const std::string& key, const std::string& value, bool null = false) {
        if (json) {
            j.Key(key);
            null ? j.Null() : j.String(value);
        } else {
            csv.Field(key).Field(value).End();
        }
    };
    auto number = [&](const std::string& key, uint64_t value) {
        if (json)
            j.Field(key, value);
        else
            csv.Field(key).UInt(value).End();
    };
    auto iso = [&](const std::string& key, const std::string& text) {
        const std::string t = IsoOfRecordTime(cal, text);
        field(key, t, t.empty());
    };
    if (json)
        j.BeginObject();
    else
        out.Text() += "field,value\n";
    field("capture", file.GetIndexPath());
    field("protocol", std::string(ProtocolName(file.GetProtocol())));
    field("line_format", LineSummary(m));
    if (json) {
        j.Field("sd_baudrate", m.SD_Baudrate).Field("rd_baudrate", m.RD_Baudrate);
        j.Field("data_bits", static_cast<int64_t>(m.DataLen));
    } else {
        csv.Field("sd_baudrate").Number(m.SD_Baudrate).End();
        csv.Field("rd_baudrate").Number(m.RD_Baudrate).End();
        csv.Field("data_bits").UInt(m.DataLen).End();
    }
    iso("start", facts.startText);
    iso("end", facts.endText);
    number("chunks", file.GetChunkCount());
    number("records", file.GetTotalRecords());
    if (json) j.Key("counts").BeginObject();
    for (int k = kCountSd; k <= kCountEventBit6Changes; ++k)
        number(json ? kCountKeys[k - kCountSd] : std::string("counts.") + kCountKeys[k - kCountSd],
               file.GetTotal(k));
    if (json) j.EndObject().Key("missing_chunks").BeginArray();
    for (uint32_t c = 1, n = 0; c <= file.GetChunkCount(); ++c) {
        if (PathExists(file.ChunkPath(c))) continue;
        const uint64_t to =
            c < file.GetChunkCount() ? file.ChunkFirstFrame(c + 1) : file.GetTotalRecords();
        const std::string p = "missing." + std::to_string(++n) + ".";
        if (json) j.BeginObject();
        field(json ? "file" : p + "file", file.ChunkPath(c));
        number(json ? "first_record" : p + "first_record", file.ChunkFirstFrame(c) + 1);
        number(json ? "last_record" : p + "last_record", to);
        if (json) j.EndObject();
    }
    if (json) j.EndArray().Key("marks").BeginArray();
    for (const auto& mark : ReadMarks(file)) {
        const std::string p = "mark." + std::to_string(mark.number) + ".";
        if (json) j.BeginObject().Field("mark", static_cast<int64_t>(mark.number));
        iso(json ? "time" : p + "time", mark.timeText);
        number(json ? "chunk" : p + "chunk", mark.chunk);
        field(json ? "comment" : p + "comment", mark.comment);
        if (json) j.EndObject();
    }
    if (json) j.EndArray().Key("trigger_records").BeginArray();
    for (const auto& t : ReadTriggerRecords(file.GetIndexPath())) {
        const std::string p = "trigger." + std::to_string(t.number) + ".";
        const int date = DateTextNumber(DateFieldText(t.event.date));
        const std::string when = cal.Iso(LineTicks(DayIndexOf(date), static_cast<int64_t>(t.event.time)));
        if (json) j.BeginObject().Field("number", static_cast<int64_t>(t.number));
        field(json ? "time" : p + "time", when);
        number(json ? "chunk" : p + "chunk", t.event.chunk);
        number(json ? "code" : p + "code", static_cast<uint64_t>(t.event.code));
        if (json)
            j.Field("memory_full", t.event.code == kTriggerCodeMemoryOverflow).EndObject();
    }
    if (json) {
        j.EndArray().EndObject();
        j.End();
    }
}

void PrintInfo(const std::string& capture, OutputFormat format) {
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    OpenOrFail(file, capture);
    const CaptureFacts facts = ReadCaptureFacts(file);
    if (format != OutputFormat::kText) {
        PrintInfoStructured(file, facts, format);
        return;
    }
    std::cout << "Capture:     " << file.GetIndexPath() << "\n";
    PrintMonitorSettings(std::cout, facts.monitor, facts.sampling, 0, facts.names[0],
                         facts.names[1]);
    std::cout << "Start:       " << facts.startText << "\n"
              << "End:         " << facts.endText << "\n"
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
    for (int k = kCountSd; k <= kCountEventBit6Changes; ++k)
        std::printf("  %-17s %" PRIu64 "\n", kCountNames[k - kCountSd], file.GetTotal(k));
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
    CaptureIndex index;
    index.SetPath(file.GetIndexPath());
    int shown = 0;
    for (int n = 1;; ++n) {
        TriggerEvent e;
        const int rc = index.ReadTriggerRecord(n, e);
        if (rc == -1) break;
        if (rc != 0) continue;
        std::string when = FormatRecordTimeText(DateTextNumber(DateFieldText(e.date)), e.time);
        std::printf("  %3d  %s  chunk %" PRIu64 "  code %d%s\n", n, when.c_str(), e.chunk, e.code,
                    e.code == kTriggerCodeMemoryOverflow ? " (instrument memory full)" : "");
        ++shown;
    }
    if (shown == 0) std::cout << "  -\n";
    std::cout.flush();
    PrintCaptureGaps(file);
}

struct ListOptions {
    std::string capture;
    uint64_t frame = 0;  // 1-based; 0: not given
    std::string time;
    uint64_t count = 20;
    std::string code = "HEX";
    bool delta = false;
    std::string format = "text";
};

const char* KindName(RecordKind kind) {
    switch (kind) {
        case RecordKind::kSdData:
            return "SD";
        case RecordKind::kRdData:
            return "RD";
        case RecordKind::kLineChange:
            return "lines";
        default:
            return "event";
    }
}

// The time since the previous record of the same kind (SD, RD, line change,
// event), by their end times. The record before the listing's first one of
// a kind is looked up once, so the column is right from the first row.
class DeltaColumn {
  public:
    std::optional<int64_t> Of(CaptureReader& file, RecordKind kind, int64_t end) {
        const size_t k = static_cast<size_t>(kind);
        if (!m_looked[k]) {
            m_looked[k] = true;
            m_prev[k] = LookBack(file, kind);
        }
        std::optional<int64_t> d;
        if (m_prev[k]) d = end - *m_prev[k];
        m_prev[k] = end;
        return d;
    }
    static std::string Text(std::optional<int64_t> d) {
        if (!d) return "-";
        char t[32];
        std::snprintf(t, sizeof t, "%.8f", static_cast<double>(*d) / 1e8);
        return t;
    }

  private:
    static std::optional<int64_t> LookBack(CaptureReader& file, RecordKind kind) {
        static constexpr int kJump[] = {kJumpSd, kJumpRd, kJumpLineChange, kJumpEvent};
        CursorPosition here;
        if (file.GetCursor(here) != kQvrOk) return std::nullopt;
        std::optional<int64_t> t;
        if (file.PrevOfType(kJump[static_cast<size_t>(kind)]) == kQvrOk) t = EndOf(file);
        file.GoToFrame(here.frame);
        return t;
    }

  public:
    static int64_t EndOf(const CaptureReader& file) {
        DayTime start, end;
        file.GetDayTimes(start, end);
        return LineTicks(DayIndexOf(end.date), static_cast<int64_t>(end.ticks));
    }

  private:
    std::array<bool, 4> m_looked{};
    std::array<std::optional<int64_t>, 4> m_prev{};
};

// One record as a JSON object or a CSV line.
void StructuredRow(CaptureReader& file, OutputFormat format, bool withDelta, JsonWriter& json,
                   std::string& out, LocalCalendar& cal, CaptureFrame& frame,
                   std::optional<int64_t> delta) {
    CursorPosition pos;
    file.GetCursor(pos);
    file.GetFrame(frame);
    DayTime start, end;
    file.GetDayTimes(start, end);
    const int64_t a = LineTicks(DayIndexOf(start.date), static_cast<int64_t>(start.ticks));
    const int64_t b = LineTicks(DayIndexOf(end.date), static_cast<int64_t>(end.ticks));
    const RecordKind kind = frame.Kind();
    std::string data, errors, event;
    if (IsDataKind(kind) && TraitsOf(file.GetProtocol()).dataLines()) {
        AppendHexBytes(data, frame.Data());
        errors = ErrorNames(RecordErrors(file.GetProtocol(), frame.Header()));
    }
    if (kind == RecordKind::kEvent && TraitsOf(file.GetProtocol()).breakEvents) {
        if (frame.Value() & kEventSdBreak) event = "SD_BREAK";
        if (frame.Value() & kEventRdBreak) event += event.empty() ? "RD_BREAK" : " RD_BREAK";
    }
    const std::string lines = LineNamesOn(frame.LineState());
    if (format == OutputFormat::kJson) {
        json.BeginObject().Field("record", pos.frame + 1);
        json.Key("start").String(cal.Iso(a));
        json.Key("end").String(cal.Iso(b));
        json.Field("kind", std::string_view(KindName(kind)));
        json.Field("data", data).Field("errors", errors).Field("lines", lines);
        json.Field("event", event);
        if (withDelta) {
            json.Key("delta_ns");
            delta ? json.Int(*delta * 10) : json.Null();
        }
        json.EndObject();
        return;
    }
    CsvLine line(out);
    line.UInt(pos.frame + 1).Field(cal.Iso(a)).Field(cal.Iso(b)).Field(KindName(kind));
    line.Field(data).Field(errors).Field(lines).Field(event);
    if (withDelta) delta ? line.Int(*delta * 10) : line.Empty();
    line.End();
}

void List(const ListOptions& o) {
    int code = CodeNumber(o.code);
    const OutputFormat format = FormatOf(o.format);
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    OpenOrFail(file, o.capture);
    if (!o.time.empty()) {
        auto t = ParseTypedTime(o.time);
        if (!t)
            throw CommandError{kExitUsage,
                               "bad time \"" + o.time + "\" for --time; use " + kTypedTimeForms};
        int rc = file.GoToTime(t->at);
        if (rc != 0) throw CommandError{kExitFailure, ReaderCodeText(rc)};
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
    MonitorRowFiller filler(DisplayCodeTable(), names, m.Line, file.GetProtocol(), code);
    filler.Begin(file);
    OutputBuffer out;
    JsonWriter json(out.Text());
    LocalCalendar cal = CaptureCalendar();
    CaptureFrame frame;
    DeltaColumn deltas;
    const std::string deltaHead = o.delta ? " DELTA(s)   " : "";
    std::string line;
    if (format == OutputFormat::kJson)
        json.BeginArray();
    else if (format == OutputFormat::kCsv)
        out.Text() += std::string("record,start,end,kind,data,errors,lines,event") +
                      (o.delta ? ",delta_ns" : "") + "\n";
    else
        PrintListingLine(line, MonitorHeaderRow(names), file.GetProtocol(), deltaHead);
    MonitorRow row;
    bool gap = false, atEnd = !file.HasRecord();
    // A capture without a record (an empty stream decoded) lists none.
    for (uint64_t i = 0; file.HasRecord() && (o.count == 0 || i < o.count); ++i) {
        std::optional<int64_t> delta;
        if (o.delta) {
            uint8_t header = 0;
            file.GetHeaderByte(header);
            delta = deltas.Of(file, HeaderKind(header), DeltaColumn::EndOf(file));
        }
        if (format != OutputFormat::kText) {
            StructuredRow(file, format, o.delta, json, out.Text(), cal, frame, delta);
            out.Step();
        } else {
            if (filler.Fill(file, row) != 0) break;
            std::string d = o.delta ? DeltaColumn::Text(delta) : "";
            if (o.delta) d.resize(std::max<size_t>(d.size(), 11), ' '), d += ' ';
            PrintListingLine(line, row, file.GetProtocol(), d);
        }
        CursorPosition at;
        file.GetCursor(at);
        int rc = file.NextRecord();
        // A chunk that cannot be read is a gap, said where it is; the
        // listing goes on with the chunks after it. Each gap starts past the
        // one before, so the walk ends whatever holes the capture has.
        uint64_t want = at.frame + 1;
        while (rc != kQvrOk && rc != kQvrNotFound && file.GetFailedChunk() != 0) {
            uint32_t bad = file.GetFailedChunk();
            if (file.ChunkFirstFrame(bad) > want ||
                (bad < file.GetChunkCount() && file.ChunkFirstFrame(bad + 1) <= want)) {
                for (bad = 1; bad < file.GetChunkCount() && file.ChunkFirstFrame(bad + 1) <= want;)
                    ++bad;
            }
            const uint64_t from = want;
            const uint64_t to = bad < file.GetChunkCount() ? file.ChunkFirstFrame(bad + 1)
                                                            : file.GetTotalRecords();
            out.Flush();
            std::fflush(stdout);
            std::fprintf(stderr, "qvtool: %s: %s: records %llu to %llu are missing\n",
                         file.ChunkPath(bad).c_str(), ReaderCodeText(rc).c_str(),
                         static_cast<unsigned long long>(from + 1),
                         static_cast<unsigned long long>(to));
            gap = true;
            if (to >= file.GetTotalRecords()) {
                rc = kQvrNotFound;
                break;
            }
            want = to;
            rc = file.GoToFrame(to);
            if (rc == kQvrOk) filler.Begin(file);
        }
        if (rc != kQvrOk) {
            atEnd = rc == kQvrNotFound;
            break;
        }
    }
    if (format == OutputFormat::kJson) {
        json.EndArray();
        json.End();
    }
    out.Flush();
    if (gap) throw CommandError{kExitFailure, "the listing has gaps where chunk files are missing"};
    // The records after a malformed chunk entry cannot be placed: the
    // listing that reached it is not the whole capture.
    if (atEnd && file.GetMalformedEntry() != 0)
        throw CommandError{kExitFailure, "the listing stops early: " + MalformedEntryText(file)};
}

}  // namespace

void AddCaptureCommands(CLI::App& app) {
    auto* info = app.add_subcommand(
        "info", "Show a capture's settings, times, totals, marks and trigger records");
    auto capture = std::make_shared<std::string>();
    auto infoFormat = std::make_shared<std::string>("text");
    info->add_option("CAPTURE", *capture, "The capture's .qvr index or its folder")->required();
    AddFormatOption(*info, *infoFormat);
    info->callback([capture, infoFormat] { PrintInfo(*capture, FormatOf(*infoFormat)); });

    auto* list = app.add_subcommand(
        "list", "List a capture's records, one line each, as the Monitor window shows them");
    auto o = std::make_shared<ListOptions>();
    list->add_option("CAPTURE", o->capture, "The capture's .qvr index or its folder")->required();
    auto* frame =
        list->add_option("--frame", o->frame, "Start at record N (1-based, the TR column)")
            ->check(CLI::PositiveNumber);
    list->add_option("--time", o->time,
                     "Start at a record time \"YY/MM/DD hh:mm:ss[ 000m000u000n]\" or "
                     "\"YYYY-MM-DDThh:mm:ss[.fraction]\"")
        ->excludes(frame);
    list->add_option("--count", o->count, "Records to list (0: to the end)")
        ->capture_default_str()
        ->check(CountOf(UINT64_MAX / 2));
    AddCodeOption(*list, o->code, "Data code");
    list->add_flag("--delta", o->delta,
                   "Add the time since the previous record of the same direction (SD, RD, line "
                   "change, event)");
    AddFormatOption(*list, o->format);
    list->callback([o] { List(*o); });
}

}  // namespace qv::cli
