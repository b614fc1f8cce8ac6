// qvtool messages and stats: the traffic of a capture as messages split at
// idle gaps, and its timing statistics, read in one pass in constant memory.
#include <cinttypes>
#include <cstdio>
#include <iostream>
#include <memory>

#include "capture/CaptureReader.h"
#include "cli/CaptureOpen.h"
#include "cli/CaptureWalk.h"
#include "cli/Commands.h"
#include "cli/GapList.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "export/LineClock.h"
#include "export/LineStats.h"
#include "settings/MonitorSettings.h"

namespace qv::cli {

namespace {

struct TrafficOptions {
    std::string capture;
    RangeArgs range;
    MessageArgs message;
    std::string format = "text";
};

// Ticks as microseconds with their 10 ns: "3645.83".
std::string Micros(int64_t ticks) {
    char text[32];
    std::snprintf(text, sizeof text, "%" PRId64 ".%02d", ticks / 100, static_cast<int>(ticks % 100));
    return text;
}

// Writes each message as it completes, in the chosen format.
class MessagePrinter : public IMessageSink {
  public:
    MessagePrinter(OutputFormat format, OutputBuffer& out)
        : m_format(format), m_out(out), m_json(out.Text()) {
        if (m_format == OutputFormat::kJson) m_json.BeginArray();
        if (m_format == OutputFormat::kCsv)
            m_out.Text() +=
                "number,start,end,direction,length,gap_before_ns,bytes,errors,first_record,"
                "last_record\n";
        if (m_format == OutputFormat::kText)
            std::printf("%7s  %-30s %-30s %-3s %6s %12s  %s\n", "NUMBER", "START", "END", "DIR",
                        "LENGTH", "GAP(us)", "BYTES");
    }
    void End() {
        if (m_format == OutputFormat::kJson) {
            m_json.EndArray();
            m_json.End();
        }
        m_out.Flush();
    }

    void OnMessage(const Message& m) override {
        std::string& t = m_out.Text();
        const std::string errors = ErrorNames(m.errors);
        switch (m_format) {
            case OutputFormat::kText: {
                char number[24];
                std::snprintf(number, sizeof number, "%7" PRIu64, m.number + 1);
                t += number;
                t += "  " + RecordTimeOf(m.start) + " " + RecordTimeOf(m.end) + " ";
                t += DirectionName(m.dir);
                char mid[48];
                std::snprintf(mid, sizeof mid, "  %6zu %12s  ", m.bytes.size(),
                              m.gapBefore < 0 ? "-" : Micros(m.gapBefore).c_str());
                t += mid;
                AppendHexBytes(t, m.bytes);
                if (!errors.empty()) t += "  [" + errors + " error]";
                if (m.cut) t += "  [continues]";
                t += '\n';
                break;
            }
            case OutputFormat::kJson: {
                m_json.BeginObject().Field("number", m.number + 1);
                m_json.Key("start").String(m_calendar.Iso(m.start));
                m_json.Key("end").String(m_calendar.Iso(m.end));
                m_json.Field("direction", std::string_view(DirectionName(m.dir)));
                m_json.Field("length", static_cast<uint64_t>(m.bytes.size()));
                m_json.Key("gap_before_ns");
                if (m.gapBefore < 0)
                    m_json.Null();
                else
                    m_json.Int(m.gapBefore * 10);
                std::string hex;
                AppendHexBytes(hex, m.bytes);
                m_json.Field("bytes", hex).Field("errors", errors);
                m_json.Field("first_record", m.firstFrame + 1).Field("last_record", m.lastFrame + 1);
                m_json.Field("continues", m.cut).EndObject();
                break;
            }
            case OutputFormat::kCsv: {
                CsvLine line(t);
                line.UInt(m.number + 1).Field(m_calendar.Iso(m.start)).Field(m_calendar.Iso(m.end));
                line.Field(DirectionName(m.dir)).UInt(m.bytes.size());
                if (m.gapBefore < 0)
                    line.Empty();
                else
                    line.Int(m.gapBefore * 10);
                std::string hex;
                AppendHexBytes(hex, m.bytes);
                line.Field(hex).Field(errors).UInt(m.firstFrame + 1).UInt(m.lastFrame + 1);
                line.End();
                break;
            }
        }
        m_out.Step();
    }

  private:
    OutputFormat m_format;
    OutputBuffer& m_out;
    JsonWriter m_json;
    LocalCalendar m_calendar = CaptureCalendar();
};

void Messages(const TrafficOptions& o) {
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    OpenOrFail(file, o.capture);
    RecordWalk walk(file);
    BeginWalk(file, o.range, walk);
    OutputBuffer out;
    MessagePrinter printer(FormatOf(o.format), out);
    MessageSplitter splitter(file.GetProtocol(), file.GetCharTiming(), RuleOf(o.message), printer);
    CheckSplittable(file.GetProtocol(), splitter.CanSplit());
    uint8_t events = 0;
    const bool missing = WalkRecords(
        file, walk,
        [&](const WalkRecord& r) {
            if (IsDataKind(r.kind)) {
                splitter.AddData(r);
                return;
            }
            splitter.Idle(r.end);
            if (r.kind == RecordKind::kEvent && TraitsOf(file.GetProtocol()).breakEvents) {
                const uint8_t began = static_cast<uint8_t>(r.value & ~events);
                if (began & kEventSdBreak) splitter.Break(kDirSd);
                if (began & kEventRdBreak) splitter.Break(kDirRd);
                events = r.value;
            }
        },
        [&](const WalkGap&) { splitter.Finish(); });
    splitter.Finish();
    printer.End();
    if (missing) throw CommandError{kExitFailure, "records are missing where chunk files are damaged"};
}

// --- stats

const char* const kLineNames[8] = {"RS", "CS", "ER", "DR", "CD", "CI", "EXTIN", "EXTOUT"};

struct Row {
    const char* name;
    uint64_t DirectionStats::*field;
};
const Row kErrorRows[] = {{"parity_errors", &DirectionStats::parity},
                          {"framing_errors", &DirectionStats::framing},
                          {"overrun_errors", &DirectionStats::overrun},
                          {"fcs_errors", &DirectionStats::fcs},
                          {"aborts", &DirectionStats::abort},
                          {"breaks", &DirectionStats::breaks}};

struct DistRow {
    const char* name;
    Distribution DirectionStats::*field;
    bool ticks;  // a time (shown in us, given in ns), else a byte count
};
const DistRow kDistRows[] = {{"length", &DirectionStats::lengths, false},
                             {"gap", &DirectionStats::gaps, true},
                             {"turnaround", &DirectionStats::turnaround, true}};

void PrintStatsText(const LineStats& s, const MessageRule& rule, int64_t thresholdSd,
                    int64_t thresholdRd) {
    LocalCalendar cal = CaptureCalendar();
    std::printf("Records:      %" PRIu64 "\n", s.Records());
    if (s.Missing()) std::printf("Missing:      %" PRIu64 "\n", s.Missing());
    if (s.Records()) {
        std::printf("From:         %s\nTo:           %s\n", RecordTimeOf(s.First()).c_str(),
                    RecordTimeOf(s.Last()).c_str());
        std::printf("Seconds:      %.8f\n", static_cast<double>(s.Last() - s.First()) / 1e8);
    }
    if (rule.gapTicks > 0)
        std::printf("Messages end: after %s us of idle line\n", Micros(rule.gapTicks).c_str());
    else if (thresholdSd != INT64_MAX)
        std::printf("Messages end: after %.2f idle characters (SD %s us, RD %s us)\n", rule.gapChars,
                    Micros(thresholdSd).c_str(), Micros(thresholdRd).c_str());
    std::printf("\n%-26s %18s %18s\n", "", "SD", "RD");
    auto line = [](const char* name, const std::string& sd, const std::string& rd) {
        std::printf("%-26s %18s %18s\n", name, sd.c_str(), rd.c_str());
    };
    const DirectionStats& sd = s.Direction(kDirSd);
    const DirectionStats& rd = s.Direction(kDirRd);
    line("bytes", std::to_string(sd.bytes), std::to_string(rd.bytes));
    line("messages", std::to_string(sd.messages), std::to_string(rd.messages));
    char a[32], b[32];
    std::snprintf(a, sizeof a, "%.1f", s.CharRate(kDirSd));
    std::snprintf(b, sizeof b, "%.1f", s.CharRate(kDirRd));
    line("characters per second", a, b);
    for (const DistRow& d : kDistRows) {
        const Distribution& x = sd.*(d.field);
        const Distribution& y = rd.*(d.field);
        auto v = [&](const Distribution& dist, int64_t value) {
            if (dist.Count() == 0) return std::string("-");
            return d.ticks ? Micros(value) : std::to_string(value);
        };
        const std::string unit = d.ticks ? " (us)" : " (bytes)";
        line((std::string(d.name) + " count").c_str(), std::to_string(x.Count()),
             std::to_string(y.Count()));
        line((std::string(d.name) + " min" + unit).c_str(), v(x, x.Min()), v(y, y.Min()));
        line((std::string(d.name) + " median" + unit).c_str(), v(x, x.Quantile(0.5)),
             v(y, y.Quantile(0.5)));
        line((std::string(d.name) + " 99%" + unit).c_str(), v(x, x.Quantile(0.99)),
             v(y, y.Quantile(0.99)));
        line((std::string(d.name) + " max" + unit).c_str(), v(x, x.Max()), v(y, y.Max()));
    }
    for (const Row& r : kErrorRows)
        line(r.name, std::to_string(sd.*(r.field)), std::to_string(rd.*(r.field)));
    std::printf("\nControl-line changes:");
    for (int i = 0; i < 8; ++i)
        std::printf(" %s %" PRIu64, kLineNames[i], s.LineChanges()[static_cast<size_t>(i)]);
    std::printf("\n");
    if (!sd.lengths.Exact() || !rd.lengths.Exact() || !sd.gaps.Exact() || !rd.gaps.Exact())
        std::printf("(quantiles of more than %zu values are read from a histogram, to 0.4%%)\n",
                    Distribution::kExactLimit);
}

void PrintStatsJson(const LineStats& s, const MessageRule& rule, int64_t thresholds[2]) {
    LocalCalendar cal = CaptureCalendar();
    OutputBuffer out;
    JsonWriter j(out.Text());
    j.BeginObject();
    j.Field("records", s.Records()).Field("missing_records", s.Missing());
    j.Key("start");
    s.Records() ? j.String(cal.Iso(s.First())) : j.Null();
    j.Key("end");
    s.Records() ? j.String(cal.Iso(s.Last())) : j.Null();
    j.Field("seconds", static_cast<double>(s.Last() - s.First()) / 1e8);
    j.Key("gap_chars");
    rule.gapTicks > 0 ? j.Null() : j.Number(rule.gapChars);
    j.Key("directions").BeginObject();
    for (int dir : {kDirSd, kDirRd}) {
        const DirectionStats& d = s.Direction(dir);
        j.Key(DirectionName(dir)).BeginObject();
        j.Field("bytes", d.bytes).Field("messages", d.messages);
        j.Field("chars_per_second", s.CharRate(dir));
        j.Key("gap_threshold_ns");
        thresholds[dir] == INT64_MAX ? j.Null() : j.Int(thresholds[dir] * 10);
        for (const DistRow& r : kDistRows) {
            const Distribution& x = d.*(r.field);
            const int64_t k = r.ticks ? 10 : 1;
            j.Key(std::string(r.name) + (r.ticks ? "_ns" : "_bytes")).BeginObject();
            j.Field("count", x.Count());
            auto v = [&](const char* name, int64_t value) {
                j.Key(name);
                x.Count() ? j.Int(value * k) : j.Null();
            };
            v("min", x.Min());
            v("median", x.Quantile(0.5));
            v("p99", x.Quantile(0.99));
            v("max", x.Max());
            j.Key("mean");
            x.Count() ? j.Number(x.Mean() * static_cast<double>(k)) : j.Null();
            j.Field("exact", x.Exact()).EndObject();
        }
        for (const Row& r : kErrorRows)
            j.Field(r.name, d.*(r.field));
        j.EndObject();
    }
    j.EndObject();
    j.Key("line_changes").BeginObject();
    for (int i = 0; i < 8; ++i)
        j.Field(kLineNames[i], s.LineChanges()[static_cast<size_t>(i)]);
    j.EndObject().EndObject();
    j.End();
}

// Tidy rows "section,name,value", one quantity each, for pandas.
void PrintStatsCsv(const LineStats& s, int64_t thresholds[2]) {
    OutputBuffer out;
    std::string& t = out.Text();
    LocalCalendar cal = CaptureCalendar();
    t += "section,name,value\n";
    auto put = [&](std::string_view section, std::string_view name, auto value) {
        CsvLine line(t);
        line.Field(section).Field(name);
        if constexpr (std::is_same_v<decltype(value), std::string>)
            line.Field(value);
        else if constexpr (std::is_floating_point_v<decltype(value)>)
            line.Number(value);
        else
            line.Int(static_cast<int64_t>(value));
        line.End();
    };
    put("capture", "records", s.Records());
    put("capture", "missing_records", s.Missing());
    if (s.Records()) {
        put("capture", "start", cal.Iso(s.First()));
        put("capture", "end", cal.Iso(s.Last()));
    }
    put("capture", "seconds", static_cast<double>(s.Last() - s.First()) / 1e8);
    for (int dir : {kDirSd, kDirRd}) {
        const DirectionStats& d = s.Direction(dir);
        const char* sec = DirectionName(dir);
        put(sec, "bytes", d.bytes);
        put(sec, "messages", d.messages);
        put(sec, "chars_per_second", s.CharRate(dir));
        if (thresholds[dir] != INT64_MAX) put(sec, "gap_threshold_ns", thresholds[dir] * 10);
        for (const DistRow& r : kDistRows) {
            const Distribution& x = d.*(r.field);
            const int64_t k = r.ticks ? 10 : 1;
            const std::string base = std::string(r.name) + (r.ticks ? "_ns" : "_bytes");
            put(sec, base + "_count", x.Count());
            if (!x.Count()) continue;
            put(sec, base + "_min", x.Min() * k);
            put(sec, base + "_median", x.Quantile(0.5) * k);
            put(sec, base + "_p99", x.Quantile(0.99) * k);
            put(sec, base + "_max", x.Max() * k);
            put(sec, base + "_mean", x.Mean() * static_cast<double>(k));
        }
        for (const Row& r : kErrorRows)
            put(sec, r.name, d.*(r.field));
    }
    for (int i = 0; i < 8; ++i)
        put("line_changes", kLineNames[i], s.LineChanges()[static_cast<size_t>(i)]);
}

void Stats(const TrafficOptions& o) {
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    OpenOrFail(file, o.capture);
    RecordWalk walk(file);
    BeginWalk(file, o.range, walk);
    const MessageRule rule = RuleOf(o.message);
    LineStats stats(file.GetProtocol(), file.GetCharTiming(), rule);
    CheckSplittable(file.GetProtocol(), stats.CanSplit());
    int64_t thresholds[2] = {stats.Threshold(kDirSd), stats.Threshold(kDirRd)};
    const bool missing = WalkRecords(
        file, walk, [&](const WalkRecord& r) { stats.Add(r); },
        [&](const WalkGap& g) { stats.AddMissing(g.to - g.from); });
    stats.Finish();
    switch (FormatOf(o.format)) {
        case OutputFormat::kText:
            PrintStatsText(stats, rule, thresholds[0], thresholds[1]);
            std::fflush(stdout);
            PrintCaptureGaps(file);
            break;
        case OutputFormat::kJson:
            PrintStatsJson(stats, rule, thresholds);
            break;
        case OutputFormat::kCsv:
            PrintStatsCsv(stats, thresholds);
            break;
    }
    if (missing) throw CommandError{kExitFailure, "records are missing where chunk files are damaged"};
}

}  // namespace

void AddTrafficCommands(CLI::App& app) {
    auto* messages = app.add_subcommand(
        "messages", "List the messages of a capture: characters split at idle gaps");
    auto o = std::make_shared<TrafficOptions>();
    messages->add_option("CAPTURE", o->capture, "The capture's .qvr index or its folder")
        ->required();
    AddRangeOptions(*messages, o->range);
    AddMessageOptions(*messages, o->message, true);
    AddFormatOption(*messages, o->format);
    messages->callback([o] { Messages(*o); });

    auto* stats = app.add_subcommand(
        "stats", "Timing statistics of a capture per direction: bytes, messages, gaps, "
                 "turnaround, character rate, line errors, control-line changes");
    auto s = std::make_shared<TrafficOptions>();
    stats->add_option("CAPTURE", s->capture, "The capture's .qvr index or its folder")->required();
    AddRangeOptions(*stats, s->range);
    AddMessageOptions(*stats, s->message, true);
    AddFormatOption(*stats, s->format);
    stats->callback([s] { Stats(*s); });
}

}  // namespace qv::cli
