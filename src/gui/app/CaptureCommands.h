// The Edit and File commands that work on the current window's capture:
// search, frame jump, trigger jump, marks, saving a range and printing.
// Each runs its dialog on the current reader and moves the window through
// the window controller.
#pragma once

#include <string>

#include "export/ExportFormat.h"

namespace qv {

class WindowRegistry;

class CaptureCommands {
  public:
    explicit CaptureCommands(WindowRegistry& ctrl) : m_ctrl(ctrl) {}

    void Search();
    void FrameJump();
    void TriggerJump();
    // Codes: 0; -8 a mark number outside 1..5 or no current record; -15 no
    // reader; -1 the mark is not set (jump) or cannot be written (set).
    int JumpToMark(int n);
    int SetMark(int n);
    void Save();
    // The current Monitor window's selected records, as pcapng with
    // `payload` ("none", "modbus-rtu", "dnp3"), opened in Wireshark.
    void SelectionToWireshark(const std::string& payload);
    void Print();

  private:
    void ExportToWireshark(ExportRequest request);
    WindowRegistry& m_ctrl;
};

}  // namespace qv
