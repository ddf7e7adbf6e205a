// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsPageWindows.h"

namespace pelmora {

namespace {

using C = ControlEntry;
using M = PerfPageModel;

std::vector<ControlEntry> PageLayout() {
    return {
        {M::kBuffersGroup, C::Group, "Sound buffers", 7, 3, 250, 116},
        {M::kDeviceText, C::Label, "", 21, 17, 93, 8},
        {M::kDeviceBar, C::Progress, "", 21, 29, 129, 7},
        {M::kDeviceLabel, C::Label, "Free buffers queued\nto input device.", 166, 20, 70, 20},
        {M::kReceivedText, C::Label, "", 21, 45, 93, 8},
        {M::kReceivedBar, C::Progress, "", 21, 57, 129, 7},
        {M::kReceivedLabel, C::Label, "Storage available for data received from input device.", 166, 49, 80, 23},
        {M::kOutputText, C::Label, "", 21, 73, 93, 8},
        {M::kOutputBar, C::Progress, "", 21, 85, 129, 7},
        {M::kOutputLabel, C::Label, "Storage available for data to be encoded or written to the hard disk.", 166, 78,
         85, 34},
        {M::kBuffersSetup, C::Button, "Buffers' Setup", 21, 101, 74, 14},
        {M::kPriorityGroup, C::Group, "Processes and threads priorirty setup", 7, 124, 250, 37},
        {M::kChangePriorities, C::Button, "Change Priorities", 166, 140, 74, 14},
    };
}

}  // namespace

CPerfPage::CPerfPage(wxWindow* parent, PerfPageModel& model) : CSettingsPage(parent, "Performance", model, PageLayout()) {}

}  // namespace pelmora
