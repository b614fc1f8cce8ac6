#include "app/Application.h"

#include <QApplication>

#include "app/MainFrame.h"
#include "app/WindowRegistry.h"
#include "core/AppPaths.h"
#include "core/AppContext.h"
#include "device/MonitoringRun.h"
#include "dialogs/UnitSelectDialog.h"

namespace qv {

Application::Application() = default;

Application::~Application() {
    // The frame's windows use the common services: close them first.
    m_frame.reset();
}

int Application::InitInstance(const QStringList& args) {
    m_frame = std::make_unique<MainFrame>();
    m_prompt.SetParent(m_frame.get());
    QString startupFile;
    for (const QString& a : args) {
        if (!a.startsWith('-')) {
            startupFile = a;
            break;
        }
    }
    m_frame->show();

    m_cmn = std::make_unique<AppContext>();
    m_cmn->SetPrompt(&m_prompt);
    m_status.OpenStatusFile(WorkingStatusFilePath());
    m_cmn->LoadRegistrySettings();
    m_frame->Controller()->SetCommon(m_cmn.get());
    // Monitor windows of a running monitoring get a monitoring run of their own.
    m_events = std::make_unique<MonitorEventsBridge>(m_frame.get());
    m_frame->Controller()->SetMonitorFactory([this]() -> std::unique_ptr<ILiveMonitor> {
        return std::make_unique<MonitoringRun>(*m_cmn, &m_prompt, m_events.get());
    });
    if (!startupFile.isEmpty()) m_cmn->SetStartupFile(startupFile.toStdString());

    m_appFolder = AppFolder();

    SelectedUnit none;
    SelectedUnit chosen;
    if (m_chooser) {
        chosen = m_chooser(none);
    } else {
        UnitSelectDialog dlg(none, &m_prompt, m_frame.get());
        dlg.exec();
        chosen = dlg.Selected();
    }
    SetSelectedUnit(chosen);

    // The capture named on the command line opens once the unit is chosen.
    if (!startupFile.isEmpty()) m_frame->Controller()->OpenCapture(startupFile.toStdString());
    m_frame->UpdateCommands();
    return 0;
}

int Application::ExitInstance() {
    if (m_frame) m_frame->Controller()->SetCommon(nullptr);
    m_cmn.reset();
    UnitList list(GetSelectedUnit());
    return list.ReleaseAtExit();
}

}  // namespace qv
