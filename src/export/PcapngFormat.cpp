// The range as one pcapng file (PcapngExport): one packet per message, for
// Wireshark and tshark, with the payload handed to a chosen dissector.
#include <fcntl.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>

#include "capture/CaptureReader.h"
#include "capture/OpenFailure.h"
#include "core/FileUtil.h"
#include "core/Leftovers.h"
#include "export/CaptureTexts.h"
#include "export/ExportFormat.h"
#include "export/ExportSteps.h"
#include "export/PcapngExport.h"
#include "export/RecordWalk.h"
#include "settings/MonitorSettings.h"

namespace qv {

namespace {

constexpr ExportChoiceValue kPayloads[] = {
    {"none", {"なし", "None"}},
    {"modbus-rtu", {"Modbus RTU", "Modbus RTU"}},
    {"dnp3", {"DNP3", "DNP3"}},
};
constexpr ExportChoice kChoices[] = {
    {"payload",
     {"ペイロード：", "Payload:"},
     kPayloads,
     "What the messages carry: none, modbus-rtu or dnp3 (dnp3 also ends a message at the end of "
     "its link frame)"}};

PayloadKind PayloadOf(std::string_view name) {
    return PayloadKindOf(name).value_or(PayloadKind::kNone);
}

// The file is written under a temporary name beside its place and renamed
// when complete, so an existing file is only ever replaced by a whole one,
// and a failed export leaves nothing half written.
class OutputFile {
  public:
    explicit OutputFile(const std::string& path) : m_path(path) {
        if (path == "-") {
            m_fd = 1;
            m_stdout = true;
            return;
        }
        // A killed export's part file (up to the size of the export) goes first.
        RemoveLeftovers(DirName(path), BaseName(path) + ".part");
        m_temp = path + ".part" + std::to_string(::getpid());
        m_fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0) m_temp.clear();
    }
    ~OutputFile() {
        if (m_temp.empty()) return;
        if (m_fd >= 0) ::close(m_fd);
        ::unlink(m_temp.c_str());
    }
    bool Opened() const { return m_fd >= 0; }
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

ExportResult Failed(SaveReport ending, std::string why) {
    ExportResult out;
    out.ending = ending;
    out.error = std::move(why);
    return out;
}

class Pcapng final : public ExportFormat {
  public:
    std::string_view Name() const override { return "pcapng"; }
    ExportText Label() const override { return {"pcapng形式による保存", "Save as pcapng"}; }
    ExportText OutputName() const override { return {"pcapngファイル", "pcapng file"}; }
    ExportText CountUnit() const override { return {"件", " packets"}; }
    const char* Noun() const override { return "a pcapng file"; }
    const char* CommandHelp() const override {
        return "Write a pcapng file (- for standard output): one packet per message, RTAC "
               "serial link type, for Wireshark and tshark";
    }
    Target Writes() const override { return Target::kFile; }
    std::string_view Extension() const override { return ".pcapng"; }
    std::span<const ExportChoice> Choices() const override { return kChoices; }

    bool Takes(CaptureReader& file) const override {
        struct NoMessages : IMessageSink {
            void OnMessage(const Message&) override {}
        } none;
        const MessageSplitter splitter(file.GetProtocol(), file.GetCharTiming(), MessageRule{},
                                       none);
        return UnsplittableReason(file.GetProtocol(), splitter.CanSplit()).empty();
    }

    std::optional<ExportResult> Refusal(CaptureReader& file,
                                        const ExportRequest& r) const override {
        // Without a range the walk takes every record, whatever the index's span.
        if (r.range)
            if (auto refused = RefusedRange(file, r)) return refused;
        if (r.destination == "-") return std::nullopt;
        if (PathExists(r.destination) && !r.overwrite)
            return Refused(r.destination + " exists; give --overwrite to replace it");
        if (IsDirectory(r.destination)) return Refused(r.destination + " is a folder");
        return std::nullopt;
    }

    ExportResult Run(CaptureReader& file, const ExportRequest& r, ISaveReport* sink,
                     const std::atomic<bool>& cancel) const override {
        MonitorSettings m;
        SamplingSettings s;
        file.GetMonitorSettings(m, s);
        RecordWalk walk(file);
        if (!r.range) {
            walk.BeginAll();
        } else {
            SaveRange range;
            if (!CheckSaveRange(file, r.range->first, r.range->second, range) ||
                !walk.BeginRange(range))
                return Failed(SaveReport::kStartRefused, "the range lies outside the capture");
        }
        PcapngOptions options;
        options.rule = r.rule;
        options.payload = PayloadOf(r.Choice(kChoices[0]));
        options.rule.framing =
            options.payload == PayloadKind::kDnp3 ? Framing::kDnp3 : Framing::kGap;
        options.application = r.application;
        options.source = file.GetIndexPath();
        options.lineSummary = LineSummary(m);
        options.zone = CaptureZone(file, r.timeZone);

        OutputFile outFile(r.destination);
        if (!outFile.Opened())
            return Failed(SaveReport::kStartRefused, "cannot write " + r.destination);
        PcapngWriter writer(outFile.Fd());
        PcapngExport exporter(writer, file.GetProtocol(), file.GetCharTiming(), options);
        const std::string unsplittable =
            UnsplittableReason(file.GetProtocol(), exporter.CanSplit());
        if (!unsplittable.empty()) return Failed(SaveReport::kStartRefused, unsplittable);
        exporter.Begin();
        bool missing = false;
        const SaveReport ending = Walk(file, walk, exporter, writer, sink, cancel, missing);
        exporter.Finish();

        ExportResult out;
        out.written = writer.Packets();
        if (!writer.Flush() || !outFile.Commit())
            return Failed(SaveReport::kFailed,
                          "writing " + r.destination + " failed; no file was made");
        out.made = true;
        out.files = outFile.ToStdout() ? 0 : 1;
        out.ending = missing && ending != SaveReport::kEnded ? SaveReport::kFailed : ending;
        if (missing)
            out.error =
                "records are missing where chunk files are damaged; the file marks each gap "
                "with a CAPTURE_DATA_LOST packet";
        char text[128];
        std::snprintf(text, sizeof text,
                      "%" PRIu64 " packets (%" PRIu64 " messages) from %" PRIu64 " records in ",
                      writer.Packets(), exporter.Messages(), walk.Given());
        out.summary =
            text + (outFile.ToStdout() ? std::string("standard output") : r.destination) + "\n";
        if (options.payload != PayloadKind::kNone && !outFile.ToStdout())
            out.summary += "read it with: tshark -r " + r.destination + " " +
                           TsharkDecodeOption(options.payload) + "\n";
        return out;
    }

  private:
    // Feeds every record of the walk to the exporter, a gap as a packet of
    // its own and a notice. `missing`: records no file holds were met.
    static SaveReport Walk(CaptureReader& file, RecordWalk& walk, PcapngExport& exporter,
                           PcapngWriter& writer, ISaveReport* sink, const std::atomic<bool>& cancel,
                           bool& missing) {
        SaveProgress progress(sink, walk.Expected());
        WalkRecord rec;
        for (;;) {
            if (cancel.load(std::memory_order_relaxed)) return SaveReport::kEnded;
            const RecordWalk::Step step = walk.Next(rec);
            if (step == RecordWalk::Step::kEnd) {
                // A chunk table cut at a malformed entry: the records after it
                // are missing as surely as a lost chunk's.
                const bool atEnd = walk.ReachedCaptureEnd();
                if (atEnd && file.GetMalformedEntry() != 0) {
                    if (sink) sink->OnSaveNotice(MalformedEntryText(file));
                    missing = true;
                }
                return atEnd ? SaveReport::kCaptureEnd : SaveReport::kRangeDone;
            }
            if (step == RecordWalk::Step::kGap) {
                const WalkGap& gap = walk.Gap();
                if (sink) sink->OnSaveNotice(GapText(file, gap));
                exporter.AddGap(gap, file.ChunkPath(gap.chunk) + ": " + ReaderCodeText(gap.code));
                missing = true;
                continue;
            }
            exporter.Add(rec);
            if (!writer.Ok()) return SaveReport::kFailed;
            progress.Update(walk.Given());
        }
    }
};

}  // namespace

const ExportFormat& PcapngFormat() {
    static const Pcapng format;
    return format;
}

}  // namespace qv
