// qvtool print: the print listing of a capture as text, pages separated by a
// form feed.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>

#include "capture/CaptureReader.h"
#include "cli/CaptureOpen.h"
#include "cli/Commands.h"
#include "cli/RangeArgs.h"
#include "core/CodeTable.h"
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

class PageWriter : public IPrintReport {
  public:
    explicit PageWriter(std::ostream& out) : m_out(out) {}
    bool OnPrintPage(int number, const std::vector<std::string>& lines) override {
        if (number > 1) m_out << '\f';
        for (const auto& l : lines)
            m_out << l << '\n';
        return static_cast<bool>(m_out);
    }
    void OnPrintProgress(int, int) override {}
    void OnPrintFailed(std::string_view reason) override { failure = reason; }
    void OnPrintEnded(bool) override {}
    std::string failure;

  private:
    std::ostream& m_out;
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

    std::ofstream file_out;
    // "-" is standard output, as no --out is.
    const bool toStdout = o.out.empty() || o.out == "-";
    if (!toStdout) {
        file_out.open(o.out, std::ios::binary | std::ios::trunc);
        if (!file_out) throw CommandError{kExitFailure, "cannot write " + o.out};
    }
    PageWriter writer(toStdout ? std::cout : file_out);
    std::atomic<bool> cancel{false};
    RunPrintListing(file, DisplayCodeTable(), input, writer, cancel);
    if (!writer.failure.empty()) throw CommandError{kExitFailure, writer.failure};
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
    print->add_option("--code", o->code, "Character code: HEX ASCII JIS7 JIS8 EBCDIC SJIS")
        ->capture_default_str();
    print->add_option("--out", o->out, "Write to this file instead of standard output (- is standard output)");
    print->callback([o] { Print(*o); });
}

}  // namespace qv::cli
