#include "cli/PcapngSave.h"

#include <fcntl.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>

#include "capture/CaptureReader.h"
#include "cli/CaptureOpen.h"
#include "cli/Commands.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/FileUtil.h"
#include "core/Leftovers.h"
#include "export/PcapngExport.h"
#include "settings/MonitorSettings.h"

namespace qv::cli {

namespace {

PayloadKind PayloadOf(const std::string& name) {
    if (name == "modbus-rtu") return PayloadKind::kModbusRtu;
    if (name == "dnp3") return PayloadKind::kDnp3;
    return PayloadKind::kNone;
}

// The file is written under a temporary name beside its place and renamed
// when complete, so an existing file is only ever replaced by a whole one,
// and a failed export leaves nothing half written.
class OutputFile {
  public:
    OutputFile(const std::string& path, bool overwrite) : m_path(path) {
        if (path == "-") {
            m_fd = 1;
            m_stdout = true;
            return;
        }
        if (PathExists(path) && !overwrite)
            throw CommandError{kExitUsage, path + " exists; give --overwrite to replace it"};
        if (IsDirectory(path)) throw CommandError{kExitUsage, path + " is a folder"};
        // A killed export's part file (up to the size of the export) goes first.
        RemoveLeftovers(DirName(path), BaseName(path) + ".part");
        m_temp = path + ".part" + std::to_string(::getpid());
        m_fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0) throw CommandError{kExitFailure, "cannot write " + path};
    }
    ~OutputFile() {
        if (m_temp.empty()) return;
        if (m_fd >= 0) ::close(m_fd);
        ::unlink(m_temp.c_str());
    }
    int Fd() const { return m_fd; }
    bool ToStdout() const { return m_stdout; }
    // Gives the file its name; false when it could not be finished.
    bool Commit() {
        if (m_temp.empty()) return true;
        const bool ok = ::fsync(m_fd) == 0 && ::close(m_fd) == 0;
        m_fd = -1;
        if (!ok || ::rename(m_temp.c_str(), m_path.c_str()) != 0) return false;
        m_temp.clear();
        return true;
    }

  private:
    std::string m_path, m_temp;
    int m_fd = -1;
    bool m_stdout = false;
};

}  // namespace

void SavePcapng(const PcapngArgs& a) {
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    OpenOrFail(file, a.capture);
    MonitorSettings m;
    SamplingSettings s;
    file.GetMonitorSettings(m, s);
    RecordWalk walk(file);
    BeginWalk(file, a.range, walk);

    PcapngOptions options;
    options.rule = RuleOf(a.message);
    options.payload = PayloadOf(a.message.payload);
    options.application = std::string("qvtool ") + QVORT_VERSION;
    options.source = file.GetIndexPath();
    options.lineSummary = LineSummary(m);

    OutputFile out(a.file, a.overwrite);
    PcapngWriter writer(out.Fd());
    PcapngExport exporter(writer, file.GetProtocol(), file.GetCharTiming(), options);
    CheckSplittable(file.GetProtocol(), exporter.CanSplit());
    exporter.Begin();
    const bool missing = WalkRecords(
        file, walk,
        [&](const WalkRecord& r) {
            exporter.Add(r);
            return writer.Ok();
        },
        [&](const WalkGap& gap) {
            exporter.AddGap(gap, file.ChunkPath(gap.chunk) + ": " + ReaderError(gap.code));
        });
    exporter.Finish();
    if (!writer.Flush() || !out.Commit())
        throw CommandError{kExitFailure, "writing " + a.file + " failed; no file was made"};
    std::FILE* report = out.ToStdout() ? stderr : stdout;
    std::fprintf(report, "%" PRIu64 " packets (%" PRIu64 " messages) from %" PRIu64
                         " records in %s\n",
                 writer.Packets(), exporter.Messages(), walk.Given(),
                 out.ToStdout() ? "standard output" : a.file.c_str());
    if (options.payload != PayloadKind::kNone && !out.ToStdout())
        std::fprintf(report, "read it with: tshark -r %s %s\n", a.file.c_str(),
                     TsharkDecodeOption(options.payload));
    if (missing)
        throw CommandError{kExitFailure,
                           "records are missing where chunk files are damaged; the file marks "
                           "each gap with a CAPTURE_DATA_LOST packet"};
}

}  // namespace qv::cli
