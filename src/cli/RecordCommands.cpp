// qvtool record and qvtool card: monitoring runs from the command line.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <thread>

#include "capture/CaptureReader.h"
#include "cli/CaptureOpen.h"
#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "core/Log.h"
#include "core/NumberText.h"
#include "core/SettingsStore.h"
#include "core/ViewConf.h"
#include "device/CardRun.h"
#include "device/LiveRun.h"
#include "export/PcapngStream.h"

namespace qv::cli {

namespace {

// Ctrl+C, a kill, a closed terminal or a logout end the run in order: the
// capture is finished on disk and the counters printed. Lock-free, so the
// handler may set it.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);
extern "C" void OnSignal(int) {
    g_interrupted = true;
}
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Catches the ending signals for its lifetime, from before the start (whose
// questions and transfers take a while) until the capture is finished.
class SignalsEndRun {
  public:
    // `streaming`: a write to a stream whose reader has gone fails (and
    // the run ends in order) instead of killing the program.
    explicit SignalsEndRun(bool streaming) : m_streaming(streaming) {
        g_interrupted = false;
        for (int s : kEndingSignals)
            std::signal(s, OnSignal);
        if (m_streaming) std::signal(SIGPIPE, SIG_IGN);
    }
    ~SignalsEndRun() {
        for (int s : kEndingSignals)
            std::signal(s, SIG_DFL);
        if (m_streaming) std::signal(SIGPIPE, SIG_DFL);
    }
    SignalsEndRun(const SignalsEndRun&) = delete;
    SignalsEndRun& operator=(const SignalsEndRun&) = delete;

  private:
    bool m_streaming;
};

// Reports of the run: the instrument's notice ends the run, texts go to stderr.
class RunEvents : public RunNoticeSink {
  public:
    void OnNotice(RunNotice notice) override {
        if (notice == RunNotice::kStop) stop = true;
        const std::string_view text = RunNoticeText(notice);
        if (!text.empty()) std::cerr << "\n" << text << "\n";
    }
    std::atomic<bool> stop{false};
};

constexpr const char* kStoresNothing =
    "no enabled trigger starts storing (\"Start storing\"), so the run would store nothing; "
    "make one with \"qvtool settings check --yes\", or give --store-nothing to run anyway";
// A capture interface has no --store-nothing: an empty capture is never wanted there.
constexpr const char* kStreamStoresNothing =
    "no enabled trigger of the unit starts storing (\"Start storing\"), so the capture would stay "
    "empty; make one with \"qvtool settings check --yes\" (or in the trigger settings) and "
    "start the capture again";

struct RunOptions {
    std::string unit;
    std::string out;      // the folder the capture's folder is made in; empty: the saved one
    double duration = 0;  // seconds; 0: until Ctrl+C
    double idle = 0;      // seconds without new records that end the run (retrieval)
    bool yes = false, no = false;
    bool storeNothing = false;
    std::string pcapng;  // the live pcapng stream's file, "-" for standard output; empty: none
    std::string payload = "none";
    const char* storesNothing = kStoresNothing;  // the failure when no trigger starts storing
};

// --yes answers the start's questions, except whether to run when no trigger
// starts storing: a run that stores nothing is never what "record" is for,
// so only --store-nothing says yes to it.
class RunPrompt : public FlagPrompt {
  public:
    explicit RunPrompt(const RunOptions& o) : FlagPrompt(o.yes, o.no), m_storeNothing(o.storeNothing) {}
    bool AskYesNo(const std::string& text) override {
        if (text != MessageText(MessageId::kAskNoStoreTrigger)) return FlagPrompt::AskYesNo(text);
        std::cerr << text << (m_storeNothing ? " -> yes (--store-nothing)" : " -> no") << "\n";
        declinedNoStore = !m_storeNothing;
        return m_storeNothing;
    }
    bool declinedNoStore = false;

  private:
    bool m_storeNothing;
};

void PrintCounters(const LiveRun& mon, bool final) {
    const bool tty = ShowProgress();
    if (!tty && !final) return;
    std::fprintf(
        stderr, "%s SD %s  RD %s  records %s%s%s", tty ? "\r" : "",
        FormatThousands(static_cast<int32_t>(std::min<uint64_t>(mon.Total(kCountSd), INT32_MAX)))
            .c_str(),
        FormatThousands(static_cast<int32_t>(std::min<uint64_t>(mon.Total(kCountRd), INT32_MAX)))
            .c_str(),
        std::to_string(mon.RecordTotal()).c_str(), mon.BufferFull() ? "  full" : "",
        final ? "\n" : "");
    std::fflush(stderr);
}

// `out`: standard output, or standard error while standard output carries a stream.
void PrintCapture(LiveRun& mon, FILE* out) {
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    std::string index = mon.IndexPath();
    std::fprintf(out, "%s\n", index.c_str());
    if (file.Open(index) != 0 && !file.HasRecord()) {
        std::fputs("records 0\n", out);
        return;
    }
    std::fprintf(out, "records %llu (SD %llu, RD %llu, line changes %llu, events %llu), chunks %u\n",
                static_cast<unsigned long long>(file.GetTotalRecords()),
                static_cast<unsigned long long>(file.GetTotal(kCountSd)),
                static_cast<unsigned long long>(file.GetTotal(kCountRd)),
                static_cast<unsigned long long>(file.GetTotal(kCountLineChanges)),
                static_cast<unsigned long long>(file.GetTotal(kCountEvents)), file.GetChunkCount());
}

// The capture goes under --out when given, else under the folder the
// configuration names (`qvtool config`, the window's save folder).
std::string SaveFolderOf(const RunOptions& o, ViewConf& conf) {
    if (o.out.empty()) return conf.GetSaveDirectory();
    std::error_code ec;
    if (!std::filesystem::is_directory(o.out, ec))
        throw CommandError{kExitFailure, "--out " + o.out + ": no such folder"};
    return std::filesystem::absolute(o.out, ec).lexically_normal().string();
}

// The file of `record --pcapng`, written as the run goes (no temporary name:
// it is read while it grows).
class StreamFile {
  public:
    explicit StreamFile(const std::string& path) {
        if (path.empty()) return;
        if (path == "-") {
            m_fd = 1;
            return;
        }
        // A file that exists is never overwritten; a fifo or device is written to.
        m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        struct stat st {};
        if (m_fd < 0 && errno == EEXIST && ::stat(path.c_str(), &st) == 0) {
            if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))
                throw CommandError{kExitUsage, "--pcapng " + path + " exists"};
            m_fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        }
        m_own = true;
        if (m_fd < 0)
            throw CommandError{kExitFailure,
                               "--pcapng " + path + ": cannot be written: " + std::strerror(errno)};
    }
    ~StreamFile() {
        if (m_own && m_fd >= 0) ::close(m_fd);
    }
    StreamFile(const StreamFile&) = delete;
    StreamFile& operator=(const StreamFile&) = delete;
    int Fd() const { return m_fd; }

  private:
    int m_fd = -1;
    bool m_own = false;
};

void Run(DeviceAccess& devices, const RunOptions& o, bool retrieval) {
    SelectUnitForRun(devices, o.unit);
    FILE* out = o.pcapng == "-" ? stderr : stdout;
    StreamFile streamFile(o.pcapng);
    std::unique_ptr<PcapngStream> stream;
    if (streamFile.Fd() >= 0)
        stream = std::make_unique<PcapngStream>(
            streamFile.Fd(), PayloadKindOf(o.payload).value_or(PayloadKind::kNone), ToolName());
    RunPrompt prompt(o);
    SettingsStore store;
    Log log;
    ViewConf conf(log);
    log.SetPrompt(&prompt);
    RunEvents events;
    // Only counts reach the terminal: the run keeps no ring of live records.
    LiveRun mon(store, log, devices,
                LiveRunRequest{SaveFolderOf(o, conf), &prompt, &events, /*shown=*/false,
                               stream.get()});
    SignalsEndRun signals(stream != nullptr);
    int rc = retrieval ? mon.StartRetrieval() : mon.Start();
    if (rc != 0 && !mon.Running())
        throw CommandError{kExitFailure, prompt.declinedNoStore ? o.storesNothing : StartError(rc)};
    if (!mon.Running()) {
        std::fputs("the instrument stores this run on its memory card\n", out);
        return;
    }
    auto begin = std::chrono::steady_clock::now();
    auto lastChange = begin;
    uint64_t lastTotal = 0;
    bool storing = false;
    const auto step = std::chrono::milliseconds(200);
    const auto end = begin + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                 std::chrono::duration<double>(o.duration));
    std::string streamEnd;  // why the stream ended the run
    while (!g_interrupted && !events.stop) {
        if (stream && stream->Broken()) {
            streamEnd = "the pcapng stream could not be written (its reader has gone); the "
                        "recording stops";
            break;
        }
        if (stream && !stream->Refusal().empty()) {
            streamEnd = "no pcapng stream: " + stream->Refusal();
            break;
        }
        // The counters are read without waiting for the capture, so the
        // duration ends on time whatever the disk does.
        const auto wake = std::chrono::steady_clock::now() + step;
        std::this_thread::sleep_until(o.duration > 0 ? std::min(wake, end) : wake);
        auto now = std::chrono::steady_clock::now();
        // The instrument sends a stream once it stores: from then on a
        // script may start the line's traffic.
        if (!storing && mon.BytesRead() > 0) {
            storing = true;
            std::fprintf(stderr, "%sstoring into %s\n", ShowProgress() ? "\r" : "",
                         mon.CaptureFolder().c_str());
        }
        PrintCounters(mon, false);
        uint64_t total = mon.RecordTotal();
        if (total != lastTotal) lastTotal = total, lastChange = now;
        if (o.duration > 0 && now >= end) break;
        if (o.idle > 0 && std::chrono::duration<double>(now - lastChange).count() >= o.idle) break;
    }
    mon.BeginStop();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    while (mon.Finishing()) {
        if (ShowProgress())
            std::fprintf(stderr, "\r finishing the capture %3.0f%%", 100 * mon.FinishedFraction());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    rc = mon.WaitFinished();
    PrintCounters(mon, true);
    std::fprintf(stderr, "stream %llu bytes in %.1f s (%.2f MiB/s)\n",
                 static_cast<unsigned long long>(mon.BytesRead()), seconds,
                 seconds > 0 ? static_cast<double>(mon.BytesRead()) / seconds / (1 << 20) : 0.0);
    if (rc != 0)
        throw CommandError{kExitFailure,
                           "the capture's index could not be written" + RecoverHint(mon.IndexPath())};
    PrintCapture(mon, out);
    if (!streamEnd.empty()) std::fprintf(stderr, "%s\n", streamEnd.c_str());
    if (stream) std::fprintf(stderr, "pcapng stream: %llu packets\n",
                             static_cast<unsigned long long>(stream->Packets()));
    if (mon.Overflows() > 0)
        std::fprintf(out, "gaps %llu (the instrument overflowed), %.6f s of the line not recorded\n",
                    static_cast<unsigned long long>(mon.Overflows()),
                    static_cast<double>(mon.GapTicks()) / 1e8);
    // Records lost to the disk weigh more than the instrument's gaps, which
    // the capture itself marks.
    if (const uint64_t failures = mon.WriteFailures(); failures > 0)
        throw CommandError{kExitFailure,
                           "writing the capture data failed " + std::to_string(failures) +
                               " times (disk full?); the capture holds only what reached the disk"};
    if (mon.Overflows() > 0)
        throw CommandError{kExitGaps, "recorded, with gaps: the instrument overflowed"};
}

// The runs that make a capture on the computer.
void AddOutOption(CLI::App* cmd, RunOptions& o) {
    cmd->add_option("--out", o.out,
                    "Make the capture's folder in this folder (default: the save folder, "
                    "\"qvtool config\")");
}

void AddRunOptions(CLI::App* cmd, RunOptions& o) {
    cmd->add_option("--unit", o.unit, "The unit with this serial instead of the selected one");
    auto* yes = cmd->add_flag("--yes", o.yes, "Answer Yes to the questions of a start");
    cmd->add_flag("--no", o.no, "Answer No to the questions of a start")->excludes(yes);
}

// Only the runs that monitor: fetching a card's run sends no trigger.
void AddStoreOption(CLI::App* cmd, RunOptions& o) {
    cmd->add_flag("--store-nothing", o.storeNothing,
                  "Run even when no trigger starts storing, so nothing is stored (without it "
                  "such a run is refused; \"qvtool settings check --yes\" makes a trigger store)");
}

}  // namespace

void RecordStream(DeviceAccess& devices, const std::string& serial, const std::string& stream,
                  const std::string& payload) {
    RunOptions o;
    o.unit = serial;
    o.yes = true;
    o.pcapng = stream;
    o.payload = payload;
    o.storesNothing = kStreamStoresNothing;
    Run(devices, o, false);
}

void AddRecordCommands(CLI::App& app, DeviceAccess& devices) {
    auto* record = app.add_subcommand(
        "record", "Monitor the selected unit: record a capture, showing the counters");
    auto ro = std::make_shared<RunOptions>();
    AddRunOptions(record, *ro);
    AddStoreOption(record, *ro);
    AddOutOption(record, *ro);
    record->add_option("--duration", ro->duration, "Stop after this many seconds (default: Ctrl+C)")
        ->check(CLI::NonNegativeNumber);
    record->add_option("--pcapng", ro->pcapng,
                       "Also write the run as a pcapng stream while it goes (- for standard "
                       "output), the packets \"save --pcapng\" writes of the capture");
    record->add_option("--payload", ro->payload,
                       "What the stream's messages carry: none, modbus-rtu or dnp3")
        ->capture_default_str()
        ->check(CLI::IsMember({"none", "modbus-rtu", "dnp3"}));
    record->footer("Exit status 3: recorded, with gaps (the instrument overflowed; the gaps are\n"
                   "counted above and listed by info and stats).");
    record->callback([&devices, ro] { Run(devices, *ro, false); });

    auto* card = app.add_subcommand("card", "Runs stored on the instrument's memory card");
    card->require_subcommand(1);
    auto* start = card->add_subcommand("start", "Set up a card run from the unit's status file");
    auto so = std::make_shared<RunOptions>();
    AddRunOptions(start, *so);
    AddStoreOption(start, *so);
    start->callback([&devices, so] {
        SelectUnitForRun(devices, so->unit);
        RunPrompt prompt(*so);
        Log log;
        CardRunResult r =
            RunCardStart(devices, log, &prompt,
                         [](const std::string& s) { std::cerr << s << "\n"; });
        if (r.code != 0)
            throw CommandError{kExitFailure, prompt.declinedNoStore ? kStoresNothing
                                             : r.message.empty()    ? "the card run was not set up"
                                                                    : r.message};
    });
    auto* fetch = card->add_subcommand("fetch", "Bring the card's stored run back as a capture");
    auto fo = std::make_shared<RunOptions>();
    fo->idle = 3;
    AddRunOptions(fetch, *fo);
    AddOutOption(fetch, *fo);
    fetch->add_option("--duration", fo->duration, "Stop after this many seconds")
        ->check(CLI::NonNegativeNumber);
    fetch->add_option("--idle", fo->idle, "Stop when no record came for this many seconds")
        ->capture_default_str()
        ->check(CLI::NonNegativeNumber);
    fetch->callback([&devices, fo] { Run(devices, *fo, true); });
}

}  // namespace qv::cli
