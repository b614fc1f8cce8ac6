// qvtool search, mark and marks: the Edit menu's search and marks from the
// command line.
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>

#include "capture/CaptureIndexText.h"
#include "capture/CaptureReader.h"
#include "capture/OpenFailure.h"
#include "cli/CaptureOpen.h"
#include "cli/CaptureWalk.h"
#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "present/MarkList.h"
#include "present/SearchWorker.h"

namespace qv::cli {

namespace {

struct SearchOptions {
    std::string capture;
    std::string sd, rd, line, error;
    bool orMode = false;
    std::string from;
    uint64_t frame = 0;  // 1-based; 0: not given
    bool backward = false;
    bool all = false;
    std::string format = "text";
};

// A found record in the chosen format; JSON objects go into an array with
// --all.
class MatchPrinter {
  public:
    MatchPrinter(OutputFormat format, bool list) : m_format(format), m_list(list), m_json(m_out.Text()) {
        if (m_format == OutputFormat::kCsv) m_out.Text() += "record,time,time_text\n";
        if (m_format == OutputFormat::kJson && m_list) m_json.BeginArray();
    }
    void Add(const SearchResult& r) {
        if (m_format == OutputFormat::kText) {
            std::printf("%s  frame %" PRIu64 "\n", r.timeText.c_str(), r.frame + 1);
            std::fflush(stdout);
            return;
        }
        const std::string iso = IsoOfRecordTime(m_calendar, r.timeText);
        if (m_format == OutputFormat::kJson) {
            m_json.BeginObject().Field("record", r.frame + 1).Field("time", iso);
            m_json.Field("time_text", r.timeText).EndObject();
            if (!m_list) m_json.End();
        } else {
            CsvLine(m_out.Text()).UInt(r.frame + 1).Field(iso).Field(r.timeText).End();
        }
        m_out.Step();
    }
    void End() {
        if (m_format == OutputFormat::kJson && m_list) {
            m_json.EndArray();
            m_json.End();
        }
        m_out.Flush();
    }

  private:
    OutputFormat m_format;
    bool m_list;
    OutputBuffer m_out;
    JsonWriter m_json;
    LocalCalendar m_calendar = CaptureCalendar();
};

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t comma = text.find(',', pos);
        if (comma == std::string::npos) comma = text.size();
        if (comma > pos) out.push_back(text.substr(pos, comma - pos));
        pos = comma + 1;
    }
    return out;
}

SearchPattern PatternOption(const std::string& text, const char* option) {
    auto p = ParsePattern(text);
    if (!p)
        throw CommandError{kExitUsage, std::string("bad pattern \"") + text + "\" for " + option +
                                           ": up to 16 hex bytes or ** separated by blanks"};
    return *p;
}

SearchCondition BuildCondition(const SearchOptions& o) {
    SearchCondition c;
    c.andMode = !o.orMode;
    if (!o.sd.empty()) c.sd = PatternOption(o.sd, "--sd");
    if (!o.rd.empty()) c.rd = PatternOption(o.rd, "--rd");
    static const std::map<std::string, int> kLines = {{"RS", 0}, {"CS", 1}, {"ER", 2}, {"DR", 3},
                                                      {"CD", 4}, {"CI", 5}, {"IN", 6}, {"OUT", 7}};
    for (const auto& item : SplitList(o.line)) {
        size_t eq = item.find('=');
        std::string name = item.substr(0, eq);
        std::string level = eq == std::string::npos ? "" : item.substr(eq + 1);
        if (level != "0" && level != "1")
            throw CommandError{kExitUsage, "bad line \"" + item + "\": use NAME=0 or NAME=1"};
        const uint8_t v = static_cast<uint8_t>(level[0] - '0');
        if (name == "SD") {
            c.sdLevelEnabled = true, c.sdLevel = v;
        } else if (name == "RD") {
            c.rdLevelEnabled = true, c.rdLevel = v;
        } else if (auto it = kLines.find(name); it != kLines.end()) {
            c.lineEnabled[static_cast<size_t>(it->second)] = true;
            c.lineLevel[static_cast<size_t>(it->second)] = v;
        } else {
            throw CommandError{kExitUsage,
                               "unknown line \"" + name + "\"; use SD RD RS CS ER DR CD CI IN OUT"};
        }
    }
    for (const auto& e : SplitList(o.error)) {
        if (e == "parity")
            c.parity = true;
        else if (e == "overrun")
            c.overrun = true;
        else if (e == "framing")
            c.framing = true;
        else
            throw CommandError{kExitUsage,
                               "unknown error \"" + e + "\"; use parity overrun framing"};
    }
    if (!c.IsSet())
        throw CommandError{kExitUsage, std::string(MessageText(MessageId::kNoSearchCondition))};
    return c;
}

// Collects the worker's reports; shows progress on a terminal.
class SearchSink : public ISearchReport {
  public:
    void OnSearchReport(const SearchResult& r) override {
        if (r.report == SearchReport::kProgress) {
            if (m_tty)
                std::fprintf(stderr, "\r[%" PRIu64 "] %s", r.frame + 1, Say("フレーム", "frames"));
            return;
        }
        if (r.report == SearchReport::kEnded) return;
        if (m_tty) std::fputs("\r\033[K", stderr);
        result = r;
    }
    SearchResult result;

  private:
    bool m_tty = ShowProgress();
};

// Every match, one search after another, each starting after the last
// match; in this thread, on one reader.
void SearchAll(CaptureReader& file, const SearchCondition& c, SearchStart start,
               SearchDirection direction, MatchPrinter& printer) {
    SearchSink sink;
    std::atomic<bool> cancel{false};
    uint64_t found = 0;
    for (;;) {
        const SearchResult r = RunSearch(file, c, start, direction, &sink, cancel);
        if (r.report != SearchReport::kFound) {
            printer.End();
            if (r.report == SearchReport::kBadParameters)
                throw CommandError{kExitUsage,
                                   std::string(MessageText(MessageId::kSearchBadParameters))};
            if (r.report == SearchReport::kError)
                throw CommandError{kExitFailure, ReaderCodeText(r.code)};
            if (found == 0)
                throw CommandError{kExitFailure,
                                   std::string(MessageText(MessageId::kSearchNotFound))};
            return;
        }
        ++found;
        printer.Add(r);
        start.from = SearchFrom::kCurrent;
        start.frame = r.frame;
    }
}

void Search(const SearchOptions& o) {
    SearchCondition c = BuildCondition(o);
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    OpenOrFail(file, o.capture);  // refuse a bad capture before the thread starts
    SearchStart start;
    if (o.frame > 0) {
        if (o.frame > file.GetTotalRecords())
            throw CommandError{kExitUsage, "no record " + std::to_string(o.frame) +
                                               " in the capture (it holds " +
                                               std::to_string(file.GetTotalRecords()) + ")"};
        start.from = SearchFrom::kCurrent;
        start.frame = o.frame - 1;
    } else if (o.from == "current") {
        throw CommandError{kExitUsage, "--from current needs --frame N"};
    } else if (o.from == "end") {
        start.from = SearchFrom::kLast;
    } else if (o.from.empty()) {
        start.from = o.backward ? SearchFrom::kLast : SearchFrom::kFirst;
    } else {
        start.from = SearchFrom::kFirst;
    }
    MatchPrinter printer(FormatOf(o.format), o.all);
    if (o.all) {
        SearchAll(file, c, start,
                  o.backward ? SearchDirection::kBackward : SearchDirection::kForward, printer);
        return;
    }
    SearchSink sink;
    SearchWorker worker(sink);
    worker.Start(file.GetIndexPath(), c, start,
                 o.backward ? SearchDirection::kBackward : SearchDirection::kForward);
    worker.Wait();
    const SearchResult& r = sink.result;
    switch (r.report) {
        case SearchReport::kFound:
            printer.Add(r);
            printer.End();
            return;
        case SearchReport::kNotFound:
            throw CommandError{kExitFailure, std::string(MessageText(MessageId::kSearchNotFound))};
        case SearchReport::kEndOfCapture:
            throw CommandError{kExitFailure,
                               std::string(MessageText(MessageId::kSearchEndOfCapture))};
        case SearchReport::kBadParameters:
            throw CommandError{kExitUsage,
                               std::string(MessageText(MessageId::kSearchBadParameters))};
        default:
            throw CommandError{kExitFailure, ReaderCodeText(r.code)};
    }
}

void Mark(const std::string& capture, int n, uint64_t frame) {
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    OpenOrFail(file, capture);
    if (frame > 0 && file.GoToFrame(frame - 1) != kQvrOk)
        throw CommandError{kExitUsage, "no record " + std::to_string(frame) +
                                           " in the capture (it holds " +
                                           std::to_string(file.GetTotalRecords()) + ")"};
    if (SetMarkHere(file, n) != kQvrOk) {
        const std::string message =
            "cannot write mark " + std::to_string(n) + " to " + file.GetIndexPath();
        log.Write("ERR", "SearchCommands", __LINE__, message);
        throw CommandError{kExitFailure, message};
    }
    for (const auto& m : ReadMarks(file))
        if (m.number == n) std::printf("M%d  %s\n", n, m.timeText.c_str());
}

void Marks(const std::string& capture, OutputFormat format) {
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    OpenOrFail(file, capture);
    if (format != OutputFormat::kText) {
        OutputBuffer out;
        JsonWriter j(out.Text());
        LocalCalendar cal = CaptureCalendar();
        if (format == OutputFormat::kJson)
            j.BeginArray();
        else
            out.Text() += "mark,time,time_text,chunk,kind,comment\n";
        for (const auto& m : ReadMarks(file)) {
            const std::string iso = IsoOfRecordTime(cal, m.timeText);
            const std::string kind(SignalName(m.kind).value_or(""));
            if (format == OutputFormat::kJson) {
                j.BeginObject().Field("mark", static_cast<int64_t>(m.number)).Field("time", iso);
                j.Field("time_text", m.timeText).Field("chunk", static_cast<uint64_t>(m.chunk));
                j.Field("kind", kind).Field("comment", m.comment).EndObject();
            } else {
                CsvLine line(out.Text());
                line.Int(m.number).Field(iso).Field(m.timeText).UInt(m.chunk).Field(kind);
                line.Field(m.comment).End();
            }
        }
        if (format == OutputFormat::kJson) {
            j.EndArray();
            j.End();
        }
        return;
    }
    for (const auto& m : ReadMarks(file))
        std::printf("M%d  %s  chunk %u  %s\n", m.number, m.timeText.c_str(), m.chunk,
                    m.comment.c_str());
}

}  // namespace

void AddSearchCommands(CLI::App& app) {
    auto* search = app.add_subcommand(
        "search", "Find the next record with a data string, line levels or errors");
    auto o = std::make_shared<SearchOptions>();
    search->add_option("CAPTURE", o->capture, "The capture's .qvr index or its folder")->required();
    search->add_option("--sd", o->sd, "SD data string, e.g. \"41 ** 43\" (** is any byte)");
    search->add_option("--rd", o->rd, "RD data string");
    search->add_option("--line", o->line,
                       "Lines that changed to these levels, e.g. RS=1,CS=0 (SD=, RD= in LOGIC)");
    search->add_option("--error", o->error, "Errors in ASYNC captures: parity,overrun,framing");
    search->add_flag("--or", o->orMode, "Any condition suffices (default: all of them)");
    search->add_option("--from", o->from, "Start at: current (with --frame), start or end")
        ->check(CLI::IsMember({"current", "start", "end"}));
    search
        ->add_option("--frame", o->frame,
                     "The current record (1-based); the search starts after it")
        ->check(CLI::PositiveNumber);
    search->add_flag("--backward", o->backward, "Search towards the start");
    search->add_flag("--all", o->all, "List every match, each search starting after the last");
    AddFormatOption(*search, o->format);
    search->callback([o] { Search(*o); });

    auto* mark = app.add_subcommand("mark", "Set mark N (1-5) on a record");
    auto capture = std::make_shared<std::string>();
    auto number = std::make_shared<int>(0);
    auto frame = std::make_shared<uint64_t>(1);
    mark->add_option("CAPTURE", *capture, "The capture's .qvr index or its folder")->required();
    mark->add_option("N", *number, "Mark number")->required()->check(CLI::Range(1, 5));
    mark->add_option("--frame", *frame, "The record (1-based)")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    mark->callback([capture, number, frame] { Mark(*capture, *number, *frame); });

    auto* marks = app.add_subcommand("marks", "List the marks of a capture");
    auto capture2 = std::make_shared<std::string>();
    auto marksFormat = std::make_shared<std::string>("text");
    marks->add_option("CAPTURE", *capture2, "The capture's .qvr index or its folder")->required();
    AddFormatOption(*marks, *marksFormat);
    marks->callback([capture2, marksFormat] { Marks(*capture2, FormatOf(*marksFormat)); });
}

}  // namespace qv::cli
