// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/PerfPageModel.h"

#include <cstdio>

namespace pelmora {

namespace {

std::string FillText(int32_t percent, double seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%d%% free (%.2f sec)", percent, seconds);
    return text;
}

}  // namespace

void PerfPageModel::OnInitDialog() {
    for (int bar : {kDeviceBar, kReceivedBar, kOutputBar}) controls_->SetRange(bar, 0, 100);
}

void PerfPageModel::OnSetActive() {
    FrameworkActivate();
    EnablePageControls(ActivationMode());
}

void PerfPageModel::EnablePageControls(int mode) {
    if (mode != 1 && mode != 2) return;
    EnableAll({kBuffersSetup}, mode == 2);
    EnableAll({kChangePriorities}, true);  // priorities may change during a recording too
}

void PerfPageModel::OnClicked(int id) {
    if (id == kBuffersSetup) host_.ShowBuffersDialog();
    else if (id == kChangePriorities) host_.ShowPriorityDialog();
}

void PerfPageModel::ShowBufferFill(int32_t devicePercent, int32_t receivedPercent, int32_t outputPercent,
                                   double deviceSeconds, double receivedSeconds, double outputSeconds) {
    if (!Created()) return;
    controls_->SetPosition(kDeviceBar, devicePercent);
    controls_->SetText(kDeviceText, FillText(devicePercent, deviceSeconds));
    controls_->SetPosition(kReceivedBar, receivedPercent);
    controls_->SetText(kReceivedText, FillText(receivedPercent, receivedSeconds));
    controls_->SetPosition(kOutputBar, outputPercent);
    controls_->SetText(kOutputText, FillText(outputPercent, outputSeconds));
}

}  // namespace pelmora
