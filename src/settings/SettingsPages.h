// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rules of all settings pages in tab order, linked to each other: the General page's
// bitrate slider and the XBR page's maximum drag each other, and the resampling choice on
// the Audio Processing page switches the XBR page's ABR range.

#include "capture/PerfPageModel.h"
#include "recording/OperPageModel.h"
#include "settings/AdvPageModel.h"
#include "settings/AupPageModel.h"
#include "settings/ExpPageModel.h"
#include "settings/GenPageModel.h"
#include "settings/VbrPageModel.h"

namespace pelmora {

class SettingsPages {
public:
    enum Tab { kGeneral, kAdvanced, kXbr, kExpert, kAudioProcessing, kPerformance, kOperations, kTabCount };

    explicit SettingsPages(PageHost& host);

    /// The page model of a tab; nullptr for the General page, whose window keeps its own rules.
    PageModel* At(int tab);
    /// Puts the record into every page; the page on view re-applies its enabling rules.
    void ShowSettings(int activeTab);

    GenPageModel general;
    AdvPageModel advanced;
    VbrPageModel xbr;
    ExpPageModel expert;
    AupPageModel audio;
    PerfPageModel performance;
    OperPageModel operations;
};

}  // namespace pelmora
