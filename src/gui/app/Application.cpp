#include "app/Application.h"

#include <QApplication>

#include "app/MainFrame.h"
#include "app/WindowRegistry.h"
#include "core/AppPaths.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/ViewConf.h"
#include "device/DeviceAccess.h"
#include "device/LiveRun.h"
#include "device/UnitList.h"
#include "dialogs/UnitSelectDialog.h"

namespace qv {

struct Application::ServiceObjects {
    Log log;
    SettingsStore store;
    ViewConf conf{log};
    DeviceAccess devices;
    AppServices services{store, conf, log, devices};
};

Application::Application() = default;

AppServices* Application::Services() const {
    return m_objects ? &m_objects->services : nullptr;
}

Application::~Application() {
    // The frame's windows use the services: close them first.
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

    m_objects = std::make_unique<ServiceObjects>();
    m_objects->log.SetPrompt(&m_prompt);
    m_status.OpenStatusFile(WorkingStatusFilePath());
    m_objects->store.Load();
    m_frame->Controller()->SetServices(&m_objects->services);
    // Monitor windows of a running monitoring get a monitoring run of their own.
    m_events = std::make_unique<MonitorEventsBridge>(m_frame.get());
    m_frame->Controller()->SetMonitorFactory([this]() -> std::unique_ptr<ILiveMonitor> {
        return std::make_unique<LiveRun>(
            m_objects->store, m_objects->log, m_objects->devices,
            LiveRunRequest{m_objects->conf.GetSaveDirectory(), &m_prompt, m_events.get()});
    });
    if (!startupFile.isEmpty()) m_startupFile = startupFile.toStdString();

    m_appFolder = AppFolder();

    SelectedUnit none;
    SelectedUnit chosen;
    if (m_chooser) {
        chosen = m_chooser(none);
    } else {
        UnitSelectDialog dlg(m_objects->devices, &m_prompt, m_frame.get());
        dlg.exec();
        chosen = dlg.Selected();
    }
    m_objects->devices.Select(chosen);

    // The capture named on the command line opens once the unit is chosen,
    // unless a signal ended the selection.
    if (!startupFile.isEmpty() && !EndRequested()) m_frame->Controller()->OpenCapture(startupFile.toStdString());
    m_frame->UpdateCommands();
    return 0;
}

int Application::ExitInstance() {
    if (m_frame) {
        m_frame->SavePlacement();
        // The run and the readers use the services: end them first.
        m_frame->Controller()->CloseAllWindows();
        m_frame->Controller()->SetServices(nullptr);
    }
    const SelectedUnit selected = m_objects ? m_objects->devices.Selected() : SelectedUnit{};
    m_objects.reset();
    UnitList list(selected);
    return list.ReleaseAtExit();
}

void Application::EndBySignal(int signalNumber) {
    if (m_objects)
        m_objects->log.Write("INF", "Application", __LINE__,
                             "ending on signal " + std::to_string(signalNumber), false);
    m_endCode = 128 + signalNumber;
    // Every running event loop returns, the nested ones of open dialogs too;
    // the work of ending happens after they have unwound.
    QCoreApplication::exit(m_endCode);
}

}  // namespace qv
