#include "app/MonitorQvrApp.h"

#include <QApplication>

#include "app/MainFrame.h"
#include "app/QvrWndCtrl.h"
#include "core/AppPaths.h"
#include "core/QvrCmn.h"
#include "device/QvrMonitor.h"
#include "dialogs/DlgSelUnit.h"

namespace qv {

CMonitorQvrApp::CMonitorQvrApp() = default;

CMonitorQvrApp::~CMonitorQvrApp() {
    // The frame's windows use the common services: close them first.
    m_frame.reset();
}

int CMonitorQvrApp::InitInstance(const QStringList& args) {
    m_frame = std::make_unique<CMainFrame>();
    m_prompt.SetParent(m_frame.get());
    QString startupFile;
    for (const QString& a : args) {
        if (!a.startsWith('-')) {
            startupFile = a;
            break;
        }
    }
    m_frame->show();

    m_cmn = std::make_unique<CQvrCmn>();
    m_cmn->SetPrompt(&m_prompt);
    m_status.OpenStatusFile(WorkingStatusFilePath());
    m_cmn->LoadRegistrySettings();
    m_frame->Controller()->SetCommon(m_cmn.get());
    // Monitor windows of a running monitoring get a monitoring run of their own.
    m_events = std::make_unique<MonitorEventsBridge>(m_frame.get());
    m_frame->Controller()->SetMonitorFactory([this]() -> std::unique_ptr<ILiveMonitor> {
        return std::make_unique<CQvrMonitor>(*m_cmn, &m_prompt, m_events.get());
    });
    if (!startupFile.isEmpty()) m_cmn->SetStartupFile(startupFile.toStdString());

    m_appFolder = AppFolder();

    SelectedUnit none;
    SelectedUnit chosen;
    if (m_chooser) {
        chosen = m_chooser(none);
    } else {
        CDlgSelUnit dlg(none, &m_prompt, m_frame.get());
        dlg.exec();
        chosen = dlg.Selected();
    }
    SetSelectedUnit(chosen);

    // The capture named on the command line opens once the unit is chosen,
    // unless a signal ended the selection.
    if (!startupFile.isEmpty() && !EndRequested()) m_frame->Controller()->OpenCapture(startupFile.toStdString());
    m_frame->UpdateCommands();
    return 0;
}

int CMonitorQvrApp::ExitInstance() {
    if (m_frame) {
        m_frame->SavePlacement();
        // The run and the readers use the common services: end them first.
        m_frame->Controller()->CloseAllWindows();
        m_frame->Controller()->SetCommon(nullptr);
    }
    m_cmn.reset();
    CUnitList list(GetSelectedUnit());
    return list.ReleaseAtExit();
}

void CMonitorQvrApp::EndBySignal(int signalNumber) {
    if (m_cmn)
        m_cmn->WriteLog("INF", "MonitorQvrApp", __LINE__,
                        "ending on signal " + std::to_string(signalNumber), false);
    m_endCode = 128 + signalNumber;
    // Every running event loop returns, the nested ones of open dialogs too;
    // the work of ending happens after they have unwound.
    QCoreApplication::exit(m_endCode);
}

}  // namespace qv
