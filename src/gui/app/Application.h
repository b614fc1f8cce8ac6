// The application: start-up and exit in their fixed order. Start-up shows the
// main frame, creates the log, settings store and conf, binds the working
// status file, reads the settings store, asks for the monitor unit and then
// opens a capture named on the command line. Exit releases the unit in the unit list.
#pragma once

#include <QStringList>
#include <functional>
#include <memory>
#include <string>

#include "app/AppServices.h"
#include "app/MonitorEventsBridge.h"
#include "app/QtPrompt.h"
#include "device/UnitList.h"
#include "settings/StatusFile.h"

namespace qv {

class MainFrame;

class Application {
  public:
    // How the unit is chosen at start-up; the selection dialog by default.
    using UnitChooser = std::function<SelectedUnit(const SelectedUnit&)>;

    Application();
    ~Application();

    void SetUnitChooser(UnitChooser chooser) { m_chooser = std::move(chooser); }
    // `args` without the program name. 0 on success.
    int InitInstance(const QStringList& args);
    // Ends a running or paused monitoring (so its capture is finished on
    // disk), closes the capture windows and rewrites the unit list with the
    // selected unit no longer in use.
    int ExitInstance();

    // A termination signal arrived: leaves every event loop, the modal ones
    // included, so that ExitInstance runs next. The exit status is the
    // shell's for a signal, 128 + its number.
    void EndBySignal(int signalNumber);
    bool EndRequested() const { return m_endCode != 0; }
    int EndCode() const { return m_endCode; }

    MainFrame* Frame() const { return m_frame.get(); }
    // The services while the application runs; null before start-up and after exit.
    AppServices* Services() const;
    // The capture named on the command line; empty when none was.
    const std::string& StartupFile() const { return m_startupFile; }
    const std::string& AppFolderPath() const { return m_appFolder; }
    StatusFile& WorkingStatus() { return m_status; }

  private:
    std::unique_ptr<MainFrame> m_frame;
    // The log, settings store and conf, made at start-up and ended at exit.
    struct ServiceObjects;
    std::unique_ptr<ServiceObjects> m_objects;
    std::string m_startupFile;
    StatusFile m_status;
    QtPrompt m_prompt;
    std::unique_ptr<MonitorEventsBridge> m_events;
    UnitChooser m_chooser;
    std::string m_appFolder;
    int m_endCode = 0;
};

}  // namespace qv
