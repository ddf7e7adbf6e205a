// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/BuffersDlgModel.h"
#include "capture/CTuningDialogs.h"
#include "settings/CTuningDialog.h"

namespace pelmora {

namespace {

using C = DialogControl;
using M = BuffersDlgModel;

std::vector<DialogControl> Layout() {
    return {
        {M::kRateSlider, C::Slider, "", 7, 7, 140, 18},
        {M::kRateText, C::Label, "", 7, 27, 140, 9},
        {2601, C::Label,
         "Input meters' refresh rate. In fact this value defines the size of the buffers being sent to the record "
         "device.",
         155, 7, 148, 36},
        {M::kDeviceSlider, C::Slider, "", 7, 52, 140, 18},
        {M::kDeviceText, C::Label, "", 7, 72, 140, 9},
        {2602, C::Label, "Total amount of sound buffers being sent to the record device.", 155, 52, 148, 36},
        {M::kReceivedSlider, C::Slider, "", 7, 97, 140, 18},
        {M::kReceivedText, C::Label, "", 7, 117, 140, 9},
        {2603, C::Label,
         "Maximal memory size available for temporary storage of sound buffers received from record device and "
         "awaiting for simple preprocessing.",
         155, 97, 148, 36},
        {M::kOutputSlider, C::Slider, "", 7, 142, 140, 18},
        {M::kOutputText, C::Label, "", 7, 162, 140, 9},
        {2604, C::Label,
         "Maximal memory size available for temporary storage of preprocessed sound buffers awaiting for encoding "
         "or writing to the disk.",
         155, 142, 148, 36},
        {M::kDefault, C::Button, "Default", 7, 189, 50, 14},
        {M::kOk, C::Button, "OK", 141, 189, 50, 14},
        {M::kCancel, C::Button, "Cancel", 197, 189, 50, 14},
        {M::kApply, C::Button, "Apply", 253, 189, 50, 14},
    };
}

}  // namespace

void ShowBuffersDialog(wxWindow* parent, TuningHost& host) {
    BuffersDlgModel model(host);
    CTuningDialog dialog(parent, "Sound buffers", 310, 210, model, Layout());
    dialog.RunModal();
}

}  // namespace pelmora
