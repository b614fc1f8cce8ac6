// The application: start-up and exit in their fixed order. Start-up shows the
// main frame, creates the common services, binds the working status file,
// reads the settings store, asks for the monitor unit and then opens a
// capture named on the command line. Exit releases the unit in the unit list.
#pragma once

#include <QStringList>
#include <functional>
#include <memory>
#include <string>

#include "app/MonitorEventsBridge.h"
#include "app/QtPrompt.h"
#include "device/UnitList.h"
#include "settings/StatusFile.h"

namespace qv {

class MainFrame;
class AppContext;

class Application {
  public:
    // How the unit is chosen at start-up; the selection dialog by default.
    using UnitChooser = std::function<SelectedUnit(const SelectedUnit&)>;

    Application();
    ~Application();

    void SetUnitChooser(UnitChooser chooser) { m_chooser = std::move(chooser); }
    // `args` without the program name. 0 on success.
    int InitInstance(const QStringList& args);
    // Rewrites the unit list with the selected unit no longer in use.
    int ExitInstance();

    MainFrame* Frame() const { return m_frame.get(); }
    AppContext* Common() const { return m_cmn.get(); }
    const std::string& AppFolderPath() const { return m_appFolder; }
    StatusFile& WorkingStatus() { return m_status; }

  private:
    std::unique_ptr<MainFrame> m_frame;
    std::unique_ptr<AppContext> m_cmn;
    StatusFile m_status;
    QtPrompt m_prompt;
    std::unique_ptr<MonitorEventsBridge> m_events;
    UnitChooser m_chooser;
    std::string m_appFolder;
};

}  // namespace qv
