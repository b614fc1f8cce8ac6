// What several qvtool commands share: answering the core's questions from
// --yes/--no, and choosing the unit a command works on.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>

#include "core/Prompt.h"
#include "core/MessageText.h"
#include "device/DeviceAccess.h"
#include "device/UsbTypes.h"

namespace qv {
class DeviceAccess;
}

namespace qv::cli {

// The language of qvtool's own texts (QVORT_LANG, else the locale), read
// once. What qvtool writes into files never depends on it.
UiLanguage CliLanguage();

// qvtool's name and version: what --version prints and what the files it
// writes give as their writer.
std::string ToolName();

// The zone --tz or --utc chose for the captures' times; empty: each
// capture's own (else this machine's).
const std::string& ChosenZone();
void ChooseZone(const std::string& name);

// Options whose value is a count: decimal digits only (no sign, no blank,
// not empty), at most `max`.
CLI::Validator CountOf(uint64_t max);
// Options whose value is a finite number (NaN and infinities are refused;
// CLI::Range lets NaN through).
extern const CLI::Validator kFiniteNumber;
// Every "--name VALUE" option of the app and its subcommands refuses an
// empty value: an empty --unit, --time or --from would otherwise read as
// if the option had not been given.
void RefuseEmptyValues(CLI::App& app);

// Progress lines (counters, frames searched, records saved) go to stderr
// when it is a terminal, unless --quiet asked for silence.
void SetQuiet(bool quiet);
bool ShowProgress();

// Flushes standard output; false when anything written to it was lost
// (errno then says why, when the flush was what failed).
bool StandardOutputWritten();

// Answers questions from --yes/--no; without either, a question is shown on
// stderr and answered No, so that nothing changes unasked.
class FlagPrompt : public IPrompt {
  public:
    FlagPrompt(bool yes, bool no) : m_yes(yes), m_no(no) {}
    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;

  private:
    bool m_yes, m_no;
};

// qvtool's own selection, the unit "qvtool units select" chose; another
// copy's choice (bit 3 of the unit list) is never taken for it.
SelectedUnit ToolSelection();
int SetToolSelection(const SelectedUnit& unit);

// The unit a command works on: the one with this serial in the unit list, or,
// without a serial, qvtool's own selection. Throws when a serial names no
// known unit.
UnitIdentity ChosenUnit(DeviceAccess& devices, const std::string& serial);

// Makes the chosen unit the selected unit of `devices` (what a monitoring
// run opens), and returns it.
UnitIdentity SelectUnitForRun(DeviceAccess& devices, const std::string& serial);

}  // namespace qv::cli
