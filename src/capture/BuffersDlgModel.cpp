// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/BuffersDlgModel.h"

#include <algorithm>
#include <cstdio>

#include "capture/BufferGeometry.h"

namespace pelmora {

namespace {

std::string StorageText(int seconds, int averageBytesPerSecond, int bufferBytes) {
    const int64_t n = bufferBytes > 0 ? static_cast<int64_t>(seconds) * averageBytesPerSecond / bufferBytes : 0;
    char text[64];
    std::snprintf(text, sizeof text, "%d sec (%d buffers, %d B)", seconds, static_cast<int>(n),
                  static_cast<int>(n * bufferBytes));
    return text;
}

int BufferBytesFor(int averageBytesPerSecond, int blockAlign, int rateIndex) {
    if (averageBytesPerSecond <= 0 || blockAlign <= 0) return 0;
    // Whole frames, as the device open sizes them.
    const double perBuffer = averageBytesPerSecond / BuffersPerSecond(rateIndex) / blockAlign;
    return blockAlign * static_cast<int>(perBuffer);
}

}  // namespace

BufferTexts ComputeBufferTexts(int averageBytesPerSecond, int blockAlign, int rateIndex, int deviceSeconds,
                               int receivedSeconds, int outputSeconds) {
    const int bytes = BufferBytesFor(averageBytesPerSecond, blockAlign, rateIndex);
    BufferTexts t;
    char text[64];
    std::snprintf(text, sizeof text, "%.2f sec (buffer size = %d B)", 1.0 / BuffersPerSecond(rateIndex), bytes);
    t.rate = text;
    t.device = StorageText(deviceSeconds, averageBytesPerSecond, bytes);
    t.received = StorageText(receivedSeconds, averageBytesPerSecond, bytes);
    t.output = StorageText(outputSeconds, averageBytesPerSecond, bytes);
    return t;
}

void BuffersDlgModel::OnInitDialog() {
    const RecSettings& s = host_.Settings();
    rate_ = std::clamp<int>(s.meterRateIndex, 0, 3);
    deviceSeconds_ = std::clamp<int>(s.deviceQueueSeconds, 1, 10);
    receivedSeconds_ = std::clamp<int>(s.receivedStoreSeconds, 1, 10);
    outputSeconds_ = std::clamp<int>(s.outputStoreSeconds, 1, 10);
    controls_->SetRange(kRateSlider, 0, 3);
    for (int id : {kDeviceSlider, kReceivedSlider, kOutputSlider}) controls_->SetRange(id, 1, 10);
    ShowPositions();
    ShowTexts();
    controls_->Enable(kApply, false);
}

void BuffersDlgModel::ShowPositions() {
    controls_->SetPosition(kRateSlider, rate_);
    controls_->SetPosition(kDeviceSlider, deviceSeconds_);
    controls_->SetPosition(kReceivedSlider, receivedSeconds_);
    controls_->SetPosition(kOutputSlider, outputSeconds_);
}

void BuffersDlgModel::ShowTexts() {
    const int a = host_.CaptureBytesPerSecond();
    const int k = host_.CaptureBlockAlign();
    bufferBytes_ = BufferBytesFor(a, k, rate_);
    const BufferTexts t = ComputeBufferTexts(a, k, rate_, deviceSeconds_, receivedSeconds_, outputSeconds_);
    controls_->SetText(kRateText, t.rate);
    controls_->SetText(kDeviceText, t.device);
    controls_->SetText(kReceivedText, t.received);
    controls_->SetText(kOutputText, t.output);
}

void BuffersDlgModel::OnScroll(int id) {
    const int position = controls_->Position(id);
    switch (id) {
    case kRateSlider: rate_ = std::clamp(position, 0, 3); break;
    case kDeviceSlider: deviceSeconds_ = std::clamp(position, 1, 10); break;
    case kReceivedSlider: receivedSeconds_ = std::clamp(position, 1, 10); break;
    case kOutputSlider: outputSeconds_ = std::clamp(position, 1, 10); break;
    default: return;
    }
    ShowTexts();
    controls_->Enable(kApply, true);
}

void BuffersDlgModel::OnClicked(int id) {
    switch (id) {
    case kDefault:
        rate_ = 2;
        deviceSeconds_ = receivedSeconds_ = outputSeconds_ = 3;
        ShowPositions();
        controls_->Enable(kApply, true);
        ShowTexts();
        break;
    case kApply:
        Apply();
        break;
    case kOk:
        Apply();
        Close(true);
        break;
    case kCancel:
        Close(false);
        break;
    default:
        break;
    }
}

void BuffersDlgModel::Apply() {
    RecSettings& s = host_.Settings();
    s.meterRateIndex = rate_;
    s.deviceQueueSeconds = deviceSeconds_;
    s.receivedStoreSeconds = receivedSeconds_;
    s.outputStoreSeconds = outputSeconds_;
    host_.ApplyBufferSettings();
    controls_->Enable(kApply, false);
}

}  // namespace pelmora
