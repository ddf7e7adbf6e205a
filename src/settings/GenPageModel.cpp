// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/GenPageModel.h"

#include <cstdio>

#include "settings/VbrPageModel.h"

namespace pelmora {

std::string GenPageModel::BitrateText(int index) const {
    char text[64];
    std::snprintf(text, sizeof text, "Current bitrate: %d kbit", BitrateAt(host_.ActiveBitrateTable(), index));
    return text;
}

void GenPageModel::OnBitrateScroll() {
    if (!view_) return;
    const int index = view_->BitrateSlider();
    view_->SetBitrateLabel(BitrateText(index));
    RecSettings& s = host_.Settings();
    s.minBitrateIndex = index;
    // The maximum never falls below the minimum through this page.
    if (s.maxBitrateIndex < index) {
        s.maxBitrateIndex = index;
        if (xbr_) xbr_->MoveMaxSlider(index);
    }
    host_.BuildEncoderCommand();
}

void GenPageModel::MoveBitrateSlider(int index) {
    if (view_) view_->SetBitrateSlider(index);
}

void GenPageModel::UpdateBitrateLabel() {
    if (view_) view_->SetBitrateLabel(BitrateText(view_->BitrateSlider()));
}

}  // namespace pelmora
