// qvtool print: the print listing of a capture as text, pages separated by a
// form feed.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>

#include "capture/CaptureReader.h"
#include "cli/CaptureOpen.h"
#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/RangeArgs.h"
#include "core/CodeTable.h"
#include "core/FileUtil.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "print/PrintJob.h"
#include "settings/StatusFile.h"

namespace qv::cli {

namespace {

struct PrintOptions {
    RangeArgs range;
    std::string capture;
    std::string code = "ASCII";
    std::string out;
};

// Writes the pages to a file or standard output and keeps the system's
// reason for the first write that failed.
class PageWriter : public IPrintReport {
  public:
    PageWriter(std::FILE* out, std::string name) : m_out(out), m_name(std::move(name)) {}
    bool OnPrintPage(int number, const std::vector<std::string>& lines) override {
        if (number > 1) Put("\f");
        for (const auto& l : lines) {
            Put(l);
            Put("\n");
        }
        return m_error == 0;
    }
    std::string PageRefusal() const override { return Refusal(); }
    void OnPrintProgress(int, int) override {}
    void OnPrintFailed(std::string_view reason) override { failure = reason; }
    void OnPrintEnded(bool) override {}
    // Flushes what is buffered: a full disk may show only here.
    bool Finish() {
        if (m_error == 0 && std::fflush(m_out) != 0) m_error = errno;
        return m_error == 0;
    }
    std::string Refusal() const {
        return std::string(MessageText(MessageId::kPrintFileUnwritable, CliLanguage())) + " " +
               m_name + ": " + std::strerror(m_error);
    }
    std::string failure;

  private:
    void Put(std::string_view s) {
        if (m_error == 0 && std::fwrite(s.data(), 1, s.size(), m_out) != s.size())
            m_error = errno != 0 ? errno : EIO;
    }
    std::FILE* m_out;
    std::string m_name;
    int m_error = 0;
};

void Print(const PrintOptions& o) {
    const int code = CodeNumber(o.code);
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    OpenOrFail(file, o.capture);
    PrintListingInput input;
    input.codeMode = code;
    input.frequency = store.GetFrequency();
    // The triggers the capture was made with, which its index carries.
    StatusFile index;
    index.SetPath(file.GetIndexPath());
    for (int n = 1; n <= kTriggerCount; ++n)
        index.ReadTrigger(input.triggers[static_cast<size_t>(n - 1)], n);
    RangeArgs whole;
    auto capture = ResolveRange(file, whole);
    PrintRangeChoice choice;
    // The picked pair is taken as given: its end already includes the
    // second's remainder where the user left it out.
    choice.marks = ResolveRange(file, o.range);
    std::tie(input.start, input.end) = ResolvePrintRange(capture.first, capture.second, choice);

    // "-" is standard output, as no --out is.
    const bool toStdout = o.out.empty() || o.out == "-";
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> fileOut(nullptr, &std::fclose);
    if (!toStdout) {
        fileOut.reset(std::fopen(o.out.c_str(), "wb"));
        if (!fileOut)
            throw CommandError{kExitFailure, "cannot write " + o.out + ": " + std::strerror(errno)};
    }
    std::cout.flush();
    PageWriter writer(toStdout ? stdout : fileOut.get(), toStdout ? "(standard output)" : o.out);
    std::atomic<bool> cancel{false};
    RunPrintListing(file, DisplayCodeTable(), input, writer, cancel);
    if (writer.failure.empty() && !writer.Finish()) writer.failure = writer.Refusal();
    if (!toStdout && writer.failure.empty() && std::fclose(fileOut.release()) != 0)
        writer.failure = std::string(MessageText(MessageId::kPrintFileUnwritable, CliLanguage())) +
                         " " + o.out + ": " + std::strerror(errno);
    if (!writer.failure.empty()) {
        // A listing cut short is not left to pass for a whole one.
        if (!toStdout) {
            fileOut.reset();
            // Only a file of ours: never a device such as /dev/full.
            if (IsRegularFileNoFollow(o.out)) std::remove(o.out.c_str());
        }
        throw CommandError{kExitFailure, writer.failure};
    }
    // A chunk file that is gone ends the listing early: not a success.
    if (file.GetFailedCode() == kQvrChunkOpen)
        throw CommandError{kExitFailure, file.ChunkPath(file.GetFailedChunk()) +
                                             " cannot be opened: the listing stops before it"};
}

}  // namespace

void AddPrintCommands(CLI::App& app) {
    auto* print = app.add_subcommand(
        "print", "Write a capture's print listing as text (pages separated by form feeds)");
    auto o = std::make_shared<PrintOptions>();
    print->add_option("CAPTURE", o->capture, "The capture's .qvr index or its folder")->required();
    AddRangeOptions(*print, o->range);
    AddCodeOption(*print, o->code, "Character code");
    print->add_option("--out", o->out, "Write to this file instead of standard output (- is standard output)");
    print->callback([o] { Print(*o); });
}

}  // namespace qv::cli
