// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CMainApp.h"

#include <signal.h>

#include <cstdio>

#include "app/AppCore.h"
#include "app/CMainDlg.h"
#include "app/CommandLine.h"
#include "app/RemoteClient.h"
#include "app/ProgramFolder.h"
#include "app/ToolkitSettings.h"

namespace pelmora {

// Made before the toolkit is initialised.
CMainApp::CMainApp() { PrepareToolkitEnvironment(); }

bool CMainApp::OnInit() {
    RestoreToolkitEnvironment();
    // A dead encoder must show as a failed write, not end the program.
    ::signal(SIGPIPE, SIG_IGN);
    guard_ = std::make_unique<SingleInstance>();
    owner_ = guard_->Acquire(100);
    // A second copy ends silently, before any window exists.
    if (!owner_) return true;
    // No window asks for idle or update-UI events: without these modes every event would
    // send both to each of the settings pages' controls.
    wxIdleEvent::SetMode(wxIDLE_PROCESS_SPECIFIED);
    wxUpdateUIEvent::SetMode(wxUPDATE_UI_PROCESS_SPECIFIED);
    DisableToolkitAnimations();
    UseImageCheckMarks();
    return true;  // the options were read before the toolkit started
}

int CMainApp::OnRun() {
    if (!owner_) return 0;
    AppCore core(CurrentProgramPaths());
    {
        auto* dialog = new CMainDlg(core);
        SetTopWindow(dialog);
        dialog->OnInitDialog();
        // Not modal: the lame console beside it must stay usable. The loop ends when the
        // window is destroyed after its close sequence.
        dialog->Show();
        wxApp::OnRun();
    }
    // Let the window's pending destruction finish before the core goes.
    DeletePendingObjects();
    return 0;
}

int CMainApp::OnExit() {
    if (guard_) guard_->Release();
    return wxApp::OnExit();
}

}  // namespace pelmora

wxIMPLEMENT_APP_NO_MAIN(pelmora::CMainApp);

int main(int argc, char** argv) {
    using pelmora::CommandAction;
    const pelmora::CommandLine line = pelmora::ParseCommandLine(argc, argv);
    switch (line.action) {
        case CommandAction::Window:
            return wxEntry(argc, argv);
        case CommandAction::Help:
            std::fputs(pelmora::HelpText().c_str(), stdout);
            return 0;
        case CommandAction::Version:
            std::fputs(pelmora::VersionText().c_str(), stdout);
            return 0;
        case CommandAction::Record:
        case CommandAction::Stop:
        case CommandAction::Pause:
        case CommandAction::Toggle:
        case CommandAction::Status:
        {
            std::string self = pelmora::PathEnvironment::FromProcess().executablePath;
            return pelmora::RunRemoteCommand(line.action, self.empty() ? argv[0] : self);
        }
        case CommandAction::Invalid:
        default:
            std::fprintf(stderr, "pelmora: %s\n%s\n", line.error.c_str(), pelmora::UsageLine().c_str());
            return 2;
    }
}
