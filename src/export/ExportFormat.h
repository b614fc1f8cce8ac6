// One way of saving a range of a capture (a new capture, CSV files, a pcapng
// file, ...): its name, where it writes, its choices and the pass itself.
// Every format is registered once in ExportFormats(); the save command, the
// save dialog and the save worker know formats only through this interface.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "core/SettingsStore.h"
#include "core/UiLanguage.h"
#include "export/MessageSplitter.h"
#include "export/SaveRange.h"

namespace qv {

class CaptureReader;

// A text shown to the user in either interface language.
struct ExportText {
    const char* japanese;
    const char* english;
    const char* In(UiLanguage l) const { return InUiLanguage(l, japanese, english); }
};

// One choice a format offers besides the range and the destination; the
// first of its values is the default.
struct ExportChoiceValue {
    std::string_view name;  // as the command line spells it
    ExportText label;
};
struct ExportChoice {
    std::string_view name;  // the command line's option without "--"
    ExportText label;
    std::span<const ExportChoiceValue> values;
    const char* help;  // for the command line
};

// What a save pass is asked to do.
struct ExportRequest {
    std::string source;  // the capture's index
    // The range's two keys in either order; none: the whole capture.
    std::optional<std::pair<DayTime, DayTime>> range;
    std::string destination;  // a folder, or a file ("-": standard output)
    bool overwrite = false;
    // A copy that could not be written whole is removed; the caller made its
    // folder when `madeFolder`.
    bool discardOnFailure = false, madeFolder = false;
    uint64_t fileRecords = SettingsStore::kFileRecords;       // per chunk or CSV file
    std::map<std::string, std::string, std::less<>> choices;  // choice name -> value name
    MessageRule rule;         // for formats that group characters into messages
    std::string application;  // the program, for files that name their writer
    // The zone the capture's times are taken in ("" its own, else this
    // machine's), for formats that write instants.
    std::string timeZone;

    // The value chosen for `name`, else the choice's default.
    std::string_view Choice(const ExportChoice& choice) const;
};

// How a pass ended. `error` says why in the command line's words when it did
// not end complete; `usage` marks a refusal of what the command line named.
struct ExportResult {
    SaveReport ending = SaveReport::kFailed;
    uint64_t written = 0;  // records copied, rows or packets written
    uint64_t files = 0;
    bool made = false;            // the output is there and whole (possibly with gaps marked)
    bool discarded = false;       // a partial copy was removed
    std::string unreadableChunk;  // the source's chunk file that could not be read
    std::string error;
    bool usage = false;
    std::string summary;  // what was written, for the command line
};

class ExportFormat {
  public:
    enum class Target { kFolder, kFile };

    virtual ~ExportFormat() = default;
    virtual std::string_view Name() const = 0;  // "capture", "csv", "pcapng"
    virtual ExportText Label() const = 0;       // for the save dialog
    // What the save dialog says was written ("CSVファイル").
    virtual ExportText OutputName() const = 0;
    // What the count of ExportResult::written counts, put after the number
    // ("件", " records").
    virtual ExportText CountUnit() const { return {"件", " records"}; }
    virtual const char* Noun() const = 0;         // "CSV files", for the command line
    virtual const char* CommandHelp() const = 0;  // the command line's option
    virtual Target Writes() const = 0;
    // The file name ending the save dialog adds to a file format's name.
    virtual std::string_view Extension() const { return {}; }
    virtual std::span<const ExportChoice> Choices() const { return {}; }
    // Whether the capture can be saved in this format at all (a pcapng file
    // needs characters to group into messages). `file` is opened.
    virtual bool Takes(CaptureReader& /*file*/) const { return true; }
    // Refuses a request before anything is made: the range outside the
    // capture, or a destination it must not write (the capture's own
    // folder, an earlier output without `overwrite`). `file` is opened.
    virtual std::optional<ExportResult> Refusal(CaptureReader& file,
                                                const ExportRequest& request) const = 0;
    // One pass; progress, notices and nothing else go to `sink` (may be
    // null). A set `cancel` ends it before the next record with what was
    // written so far complete (kEnded). `file` is opened and used by the
    // pass alone.
    virtual ExportResult Run(CaptureReader& file, const ExportRequest& request, ISaveReport* sink,
                             const std::atomic<bool>& cancel) const = 0;
};

}  // namespace qv
