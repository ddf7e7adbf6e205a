// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Rules of the "Priority setup (you know what you do...)" dialog: the classes of the
// program's and the encoder's processes and the levels of five threads, applied at once.

#include <string>

#include "settings/DialogModel.h"

namespace pelmora {

/// "Idle", "Normal", "High", "Realtime"; empty out of range.
std::string PriorityClassName(int classIndex);
/// "Idle", "Lowest", "Below Normal", "Normal", "Above Normal", "Highest", "Time Critical".
std::string ThreadPriorityName(int priorityIndex);

class PriorityDlgModel : public DialogModel {
public:
    enum Id {
        kProcessClass = 1124,
        kUiThread = 1125,
        kReceiveThread = 1127,
        kPreprocessThread = 1128,
        kWriterThread = 1130,
        kEncoderClass = 1122,
        kEncoderThread = 1123,
        kProcessClassText = 1138,
        kUiThreadText = 1139,
        kReceiveThreadText = 1141,
        kPreprocessThreadText = 1068,
        kWriterThreadText = 1142,
        kEncoderClassText = 1143,
        kEncoderThreadText = 1144,
        kWindowsDefault = 1129,
        kRecommendedBoost = 1145,
        kApply = 1121,
    };

    using DialogModel::DialogModel;

    void OnInitDialog() override;
    void OnScroll(int id) override;
    void OnClicked(int id) override;

private:
    void SetPositions(int processClass, int ui, int receive, int preprocess, int writer, int encoderClass,
                      int encoderThread);
    void ShowText(int sliderId);
    void Apply();
};

}  // namespace pelmora
