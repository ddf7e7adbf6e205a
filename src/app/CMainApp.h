// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: the application object. One copy runs at a time; the main window runs
// modally and the program ends when it closes.

#include <wx/app.h>

#include <memory>

#include "app/SingleInstance.h"

namespace pelmora {

class CMainApp : public wxApp {
public:
    CMainApp();
    bool OnInit() override;
    int OnRun() override;
    int OnExit() override;

private:
    std::unique_ptr<SingleInstance> guard_;
    bool owner_ = false;
};

}  // namespace pelmora
