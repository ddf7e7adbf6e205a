// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: the settings pages after the General page, each a table of controls bound
// to its rules.

#include "capture/PerfPageModel.h"
#include "recording/OperPageModel.h"
#include "settings/AdvPageModel.h"
#include "settings/AupPageModel.h"
#include "settings/CSettingsPage.h"
#include "settings/ExpPageModel.h"
#include "settings/VbrPageModel.h"

namespace pelmora {

class CAdvPage : public CSettingsPage {
public:
    CAdvPage(wxWindow* parent, AdvPageModel& model);
};

class CVBRPage : public CSettingsPage {
public:
    CVBRPage(wxWindow* parent, VbrPageModel& model);
};

class CExpPage : public CSettingsPage {
public:
    CExpPage(wxWindow* parent, ExpPageModel& model);

protected:
    void OnControlsCreated() override;
};

class CAupPage : public CSettingsPage {
public:
    CAupPage(wxWindow* parent, AupPageModel& model);
};

class CPerfPage : public CSettingsPage {
public:
    CPerfPage(wxWindow* parent, PerfPageModel& model);
};

class COperPage : public CSettingsPage {
public:
    COperPage(wxWindow* parent, OperPageModel& model);
};

}  // namespace pelmora
