// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsPages.h"

namespace pelmora {

SettingsPages::SettingsPages(PageHost& host)
    : general(host), advanced(host), xbr(host), expert(host), audio(host), performance(host), operations(host) {
    general.LinkXbrPage(xbr);
    xbr.LinkGeneralPage(general);
    audio.LinkXbrPage(xbr);
}

PageModel* SettingsPages::At(int tab) {
    switch (tab) {
    case kAdvanced: return &advanced;
    case kXbr: return &xbr;
    case kExpert: return &expert;
    case kAudioProcessing: return &audio;
    case kPerformance: return &performance;
    case kOperations: return &operations;
    default: return nullptr;
    }
}

void SettingsPages::ShowSettings(int activeTab) {
    for (int tab = kAdvanced; tab < kTabCount; ++tab) At(tab)->ShowSettings();
    // Settings are shown only while no recording runs; the others apply theirs when shown.
    if (PageModel* page = At(activeTab)) page->EnablePageControls(2);
}

}  // namespace pelmora
