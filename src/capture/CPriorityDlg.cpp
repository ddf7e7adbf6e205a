// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/CTuningDialogs.h"
#include "capture/PriorityDlgModel.h"
#include "settings/CTuningDialog.h"

namespace pelmora {

namespace {

using C = DialogControl;
using M = PriorityDlgModel;

// One slider with its caption above and its value text under it.
void AddSlider(std::vector<DialogControl>& out, int captionId, const char* caption, int slider, int text, int x,
               int y) {
    out.push_back({captionId, C::Label, caption, x, y, 145, 9});
    out.push_back({slider, C::Slider, "", x, y + 10, 145, 18});
    out.push_back({text, C::Label, "", x, y + 29, 145, 9});
}

std::vector<DialogControl> Layout() {
    std::vector<DialogControl> l = {{2701, C::Group, "Pelmora process", 7, 7, 315, 142},
                                    {2702, C::Group, "Lame process", 7, 155, 315, 58}};
    AddSlider(l, 2711, "Process priority class", M::kProcessClass, M::kProcessClassText, 15, 19);
    AddSlider(l, 2712, "Interface thread priority", M::kUiThread, M::kUiThreadText, 15, 61);
    AddSlider(l, 2713, "Sound receiving thread priority", M::kReceiveThread, M::kReceiveThreadText, 15, 103);
    AddSlider(l, 2714, "Sound preprocessing thread priority", M::kPreprocessThread, M::kPreprocessThreadText, 170,
              61);
    AddSlider(l, 2715, "Pelmora to Lame pipe thread priority", M::kWriterThread, M::kWriterThreadText, 170, 103);
    AddSlider(l, 2716, "Process priority class", M::kEncoderClass, M::kEncoderClassText, 15, 167);
    AddSlider(l, 2717, "Thread priority", M::kEncoderThread, M::kEncoderThreadText, 170, 167);
    // The buttons follow the groups closely: the dialog has no empty band above them.
    l.push_back({M::kWindowsDefault, C::Button, "Windows Default", 7, 220, 70, 14});
    l.push_back({M::kRecommendedBoost, C::Button, "Recomended Boost", 82, 220, 75, 14});
    l.push_back({M::kOk, C::Button, "OK", 162, 220, 50, 14});
    l.push_back({M::kCancel, C::Button, "Cancel", 217, 220, 50, 14});
    l.push_back({M::kApply, C::Button, "Apply", 272, 220, 50, 14});
    return l;
}

}  // namespace

void ShowPriorityDialog(wxWindow* parent, TuningHost& host) {
    PriorityDlgModel model(host);
    CTuningDialog dialog(parent, "Priority setup (you know what you do...)", 329, 241, model, Layout());
    dialog.RunModal();
}

}  // namespace pelmora
