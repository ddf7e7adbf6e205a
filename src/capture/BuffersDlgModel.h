// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Rules of the "Sound buffers" dialog: the buffer rate and the three storage sizes in
// seconds, their texts from the capture format, and the device reopening of Apply.

#include <string>

#include "settings/DialogModel.h"

namespace pelmora {

/// The four value texts of the dialog for a capture format (average bytes per second A,
/// block align K; 0 without a format).
struct BufferTexts {
    std::string rate;      // "%.2f sec (buffer size = %d B)"
    std::string device;    // "%d sec (%d buffers, %d B)"
    std::string received;
    std::string output;
};
BufferTexts ComputeBufferTexts(int averageBytesPerSecond, int blockAlign, int rateIndex, int deviceSeconds,
                               int receivedSeconds, int outputSeconds);

class BuffersDlgModel : public DialogModel {
public:
    enum Id {
        kRateSlider = 1120,
        kDeviceSlider = 1121,
        kReceivedSlider = 1122,
        kOutputSlider = 1123,
        kRateText = 1131,
        kDeviceText = 1132,
        kReceivedText = 1133,
        kOutputText = 1134,
        kDefault = 1130,
        kApply = 1119,
    };

    using DialogModel::DialogModel;

    void OnInitDialog() override;
    void OnScroll(int id) override;
    void OnClicked(int id) override;

    int RateIndex() const { return rate_; }

private:
    void ShowTexts();
    void ShowPositions();
    void Apply();

    int rate_ = 2;
    int deviceSeconds_ = 3;
    int receivedSeconds_ = 3;
    int outputSeconds_ = 3;
    int bufferBytes_ = 0;  // last computed
};

}  // namespace pelmora
