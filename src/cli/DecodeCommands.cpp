// qvtool decode: turns a raw capture stream (the bytes of endpoint 0x88, as a
// file) into a finished capture folder, with the same code a monitoring run
// uses. qvtool gen-stream writes such a stream from a seed, for tests and
// benchmarks.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <vector>
#include <memory>
#include <thread>

#include "capture/CaptureIndexText.h"
#include "cli/CaptureOpen.h"
#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "core/FileUtil.h"
#include "core/Log.h"
#include "core/RunNotice.h"
#include "core/SettingsStore.h"
#include "core/StreamReadAhead.h"
#include "core/TimeText.h"
#include "device/CaptureSession.h"
#include "settings/MonitorSettings.h"
#include "settings/StatusFile.h"
#include "settings/StatusSet.h"
#include "traffic/StreamGenerator.h"

namespace qv::cli {

namespace {

// The local time the stream had reached, or now when it never told its date.
std::time_t StreamClock(const StreamDecoder& d) {
    const std::string& date = d.DateText();
    if (!d.DateSeen() || date.size() != 6) return std::time(nullptr);
    std::tm tm{};
    tm.tm_year = 100 + std::stoi(date.substr(0, 2));
    tm.tm_mon = std::stoi(date.substr(2, 2)) - 1;
    tm.tm_mday = std::stoi(date.substr(4, 2));
    const uint64_t seconds = std::min<uint64_t>(d.RunningTime(), kTicksPerDay) / kTicksPerSecond;
    tm.tm_hour = static_cast<int>(seconds / 3600);
    tm.tm_min = static_cast<int>(seconds / 60 % 60);
    tm.tm_sec = static_cast<int>(seconds % 60);
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    return t == static_cast<std::time_t>(-1) ? std::time(nullptr) : t;
}

// The --protocol words: the names of the protocols.
std::vector<std::string> ProtocolNames() {
    std::vector<std::string> names;
    for (Protocol p : kEveryProtocol)
        names.emplace_back(ProtocolName(p));
    return names;
}
// The stored code of a --protocol word the option accepted.
int CodeOfName(const std::string& name) {
    return ProtocolCode(ProtocolFromName(name).value_or(Protocol::kAsync));
}

// The run's notices: the stop notices counted, the status texts shown once
// each on stderr.
class StderrNotices : public RunNoticeSink {
  public:
    void OnNotice(RunNotice notice) override {
        if (notice == RunNotice::kStop) {
            ++m_notices;
            return;
        }
        const std::string_view text = RunNoticeText(notice);
        if (text == m_last) return;
        m_last = text;
        std::cerr << "qvtool: " << text << "\n";
    }
    uint64_t Notices() const { return m_notices; }

  private:
    std::string m_last;
    uint64_t m_notices = 0;
};

// The status file of a stream's line settings: "<stream>.qvs".
std::string SettingsBeside(const std::string& stream) {
    return stream + ".qvs";
}

struct DecodeArgs {
    std::string stream;
    std::string out;
    std::string settings;
    std::string date;
    std::string protocol;
};

// "-" is standard input or output, which stays open after use.
std::unique_ptr<std::FILE, int (*)(std::FILE*)> OpenFile(const std::string& path,
                                                         const char* mode) {
    if (path == "-")
        return {mode[0] == 'r' ? stdin : stdout, [](std::FILE*) { return 0; }};
    return {std::fopen(path.c_str(), mode), &std::fclose};
}

void Decode(const DecodeArgs& a) {
    auto in = OpenFile(a.stream, "rb");
    // A folder opens but gives no byte: refused before a capture is made.
    if (!in || (a.stream != "-" && IsDirectory(a.stream)))
        throw CommandError{kExitFailure, "cannot read " + a.stream};
    // A missing folder is made, as save makes its own.
    if (!IsDirectory(a.out) && MakeDirectories(a.out) != 0)
        throw CommandError{kExitFailure, "cannot make the folder " + a.out};
    if (!a.date.empty() && !IsValidDateText(a.date))
        throw CommandError{kExitUsage, "bad value \"" + a.date + "\" for --date: YYMMDD"};

    SettingsStore store;
    store.Load();
    CaptureStartInfo info;
    info.directory = a.out;
    info.frameMax = store.GetFrameMax();
    info.fileRecords = SettingsStore::kFileRecords;
    // Without --settings, the line settings a stream carries beside it (what
    // gen-stream writes): a rate left at the default would put wrong
    // character times, gaps and packet times into everything read later.
    std::string settings = a.settings;
    if (settings.empty() && a.stream != "-" && PathExists(SettingsBeside(a.stream)))
        settings = SettingsBeside(a.stream);
    if (!settings.empty() && ImportStatusSet(settings, info.settings, std::time(nullptr)) != 0)
        throw CommandError{kExitFailure, "cannot read the status file " + settings};
    MonitorSettings& m = info.settings.status.monitor;
    if (m.Memory != kMemoryRing) m.Memory = kMemoryFix;  // what a new status file carries
    if (!a.protocol.empty()) m.Protocol = static_cast<uint8_t>(CodeOfName(a.protocol));
    if (!IsValidProtocol(m.Protocol))
        throw CommandError{kExitFailure, "the settings name no protocol a capture can have"};

    // A capture folder is named by the second it starts in; wait for a fresh
    // second rather than mix two captures in one folder.
    std::time_t now = std::time(nullptr);
    for (int i = 0; i < 30 && PathExists(JoinPath(a.out, CaptureFolderName(now))); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        now = std::time(nullptr);
    }
    info.folderTime = info.startClock = now;

    StderrNotices notices;
    Log log;
    CaptureSession session(&log, &notices);
    const int rc = session.Start(info);
    if (rc == kErrCaptureFolder)
        throw CommandError{kExitFailure,
                           a.out + Say(" に管理ファイルを作成することができませんでした.",
                                       ": the capture index could not be created.")};
    if (rc != 0)
        throw CommandError{kExitFailure, "cannot create the capture in " + session.FolderPath() +
                                             ": " + StartError(rc) + RecoverHint(session.IndexPath())};
    if (!a.date.empty()) {
        // A dump cut from a running capture has no date item before its data.
        std::vector<uint8_t> date;
        AppendStreamItem(date,
                         StreamItem::Date(static_cast<uint8_t>(std::stoi(a.date.substr(0, 2))),
                                          static_cast<uint8_t>(std::stoi(a.date.substr(2, 2))),
                                          static_cast<uint8_t>(std::stoi(a.date.substr(4, 2)))));
        session.Feed(date);
    }
    // Blocks read ahead on their own thread are decoded where they lie; the
    // bytes of an item cut at a block's end go in front of the next block.
    StreamDecoder& decoder = session.Decoder();
    StreamReadAhead input(fileno(in.get()));
    size_t carried = 0;
    uint64_t bytesRead = 0;
    for (std::span<const uint8_t> bytes; !(bytes = input.Next(bytes.last(carried))).empty();) {
        bytesRead += bytes.size() - carried;
        carried = bytes.size() - decoder.Decode(bytes.data(), bytes.size());
        // More than an item left over: decoding stopped in front of an item
        // it will never take (a FIX run that is full takes no new day).
        if (carried > StreamReadAhead::kCarryRoom) break;
    }
    const bool readError = input.Failed();
    // A dump ends with its last record, not when it was decoded: the capture's
    // end time is taken from the stream's own clock when it has one.
    const int stopRc = session.Stop(StreamClock(session.Decoder()));

    const StreamDecoder& d = session.Decoder();
    const ChunkSink& capture = session.Capture();
    const CaptureTotals& t = capture.Totals();
    std::cout << session.IndexPath() << "\n";
    std::printf(
        "records %llu (SD %llu, RD %llu, line changes %llu, events %llu)\n",
        static_cast<unsigned long long>(t.records), static_cast<unsigned long long>(t.kinds[0]),
        static_cast<unsigned long long>(t.kinds[1]), static_cast<unsigned long long>(t.kinds[2]),
        static_cast<unsigned long long>(t.kinds[3]));
    std::printf("chunks %llu, trigger events %zu%s, stream bytes %llu, left undecoded %zu\n",
                static_cast<unsigned long long>(session.KeptChunks()), capture.TriggerEvents().size(),
                d.BufferFull() ? " (instrument memory overflowed)" : "",
                static_cast<unsigned long long>(bytesRead), carried);
    if (notices.Notices() > 0)
        std::printf("notices %llu\n", static_cast<unsigned long long>(notices.Notices()));
    if (readError) throw CommandError{kExitFailure, "read error in " + a.stream};
    if (stopRc != 0)
        throw CommandError{kExitFailure, "cannot write the index " + session.IndexPath() +
                                             RecoverHint(session.IndexPath())};
    if (capture.WriteFailures() > 0)
        throw CommandError{kExitFailure, std::to_string(capture.WriteFailures()) +
                                             " chunk writes failed (disk full?)" +
                                             RecoverHint(session.IndexPath())};
}

struct GenArgs {
    std::string out;
    std::string protocol = "ASYNC";
    uint64_t events = 100000;
    uint64_t seed = 1;
    double baud = 115200.0;
    std::string date = "240101";
    std::string start = "10:00:00";
    uint32_t fillers = 0;
    bool notice = false;
};

void Generate(const GenArgs& a) {
    if (!IsValidDateText(a.date))
        throw CommandError{kExitUsage, "bad value \"" + a.date + "\" for --date: YYMMDD"};
    if (!ParseClockText(a.start))
        throw CommandError{kExitUsage, "bad value \"" + a.start + "\" for --start: HH:MM:SS"};
    sim::GeneratorOptions g;
    g.traffic.protocol = CodeOfName(a.protocol);
    g.traffic.seed = a.seed;
    g.traffic.sdBaudrate = g.traffic.rdBaudrate = a.baud;
    g.traffic.startTicks = TextToTicks(a.start + " 000:000:000");
    g.firstDay = {2000 + std::stoi(a.date.substr(0, 2)), std::stoi(a.date.substr(2, 2)),
                  std::stoi(a.date.substr(4, 2))};
    g.events = a.events;
    g.fillerOneIn = a.fillers;
    g.noticeAtEnd = a.notice;
    std::vector<uint8_t> bytes;
    const uint64_t items = sim::GenerateStream(g, bytes);
    auto out = OpenFile(a.out, "wb");
    if (!out || std::fwrite(bytes.data(), 1, bytes.size(), out.get()) != bytes.size() ||
        std::fflush(out.get()) != 0)
        throw CommandError{kExitFailure, "cannot write " + a.out};
    if (a.out != "-") {
        // The line settings go beside the stream, where decode finds them.
        MonitorSettings m;
        m.Protocol = static_cast<uint8_t>(g.traffic.protocol);
        m.SD_Baudrate = m.RD_Baudrate = a.baud;
        StatusFile status;
        status.SetPath(SettingsBeside(a.out));
        if (status.WriteMonitorStatus(m, SamplingSettings{}, 0) != 0)
            throw CommandError{kExitFailure, "cannot write " + SettingsBeside(a.out)};
    }
    // The summary leaves standard output to the stream when that is where it went.
    std::fprintf(a.out == "-" ? stderr : stdout, "%s: %zu bytes, %llu data items\n",
                 a.out.c_str(), bytes.size(), static_cast<unsigned long long>(items));
}

}  // namespace

void AddDecodeCommands(CLI::App& app) {
    auto dec = std::make_shared<DecodeArgs>();
    CLI::App* d = app.add_subcommand(
        "decode", "Rebuild a capture from a raw capture stream (the bytes of endpoint 0x88)");
    d->add_option("STREAM", dec->stream, "stream file (- for standard input)")->required();
    d->add_option("--out", dec->out, "folder the capture folder is made in")->required();
    d->add_option("--settings", dec->settings,
                  "status file (.qvs) with the settings of the run; default: STREAM.qvs when "
                  "there (gen-stream writes it), else a new status file's settings");
    d->add_option("--date", dec->date, "YYMMDD of the records before the stream's first date item");
    d->add_option("--protocol", dec->protocol, "overrides the protocol of the settings")
        ->check(CLI::IsMember(ProtocolNames()));
    d->callback([dec] { Decode(*dec); });

    auto gen = std::make_shared<GenArgs>();
    CLI::App* g = app.add_subcommand("gen-stream", "Write a generated capture stream for tests");
    g->add_option("OUT", gen->out,
                  "stream file to write (- for standard output); its line settings go to "
                  "OUT.qvs, where decode finds them")
        ->required();
    g->add_option("--protocol", gen->protocol, "ASYNC, SYNC, HDLC or LOGIC")
        ->check(CLI::IsMember(ProtocolNames()));
    // The stream is built in memory before it is written: a bound keeps a
    // mistyped count from taking all of it.
    g->add_option("--events", gen->events, "line events to generate (at most 50,000,000)")
        ->check(CountOf(50'000'000));
    g->add_option("--seed", gen->seed, "seed of the line traffic");
    g->add_option("--baud", gen->baud, "bit rate of both lines")
        ->check(kFiniteNumber & CLI::Range(10.0, 12.5e6));
    g->add_option("--date", gen->date, "YYMMDD of the first day");
    g->add_option("--start", gen->start, "HH:MM:SS of the first event");
    g->add_option("--fillers", gen->fillers, "a filler item after one event in N (0: none)");
    g->add_flag("--notice", gen->notice, "end with a notice item (ASYNC/LOGIC)");
    g->callback([gen] { Generate(*gen); });
}

}  // namespace qv::cli
