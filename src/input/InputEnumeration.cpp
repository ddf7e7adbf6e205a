// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/InputEnumeration.h"

#include <cerrno>
#include <cstdio>

#include "input/FormatText.h"

namespace pelmora {

InputEnumeration::InputEnumeration(WaveInBackend& backend, RecSettings& settings, BitrateState& bitrate,
                                   LogSink& log, InputSelectionView& view)
    : backend_(backend), settings_(settings), bitrate_(bitrate), log_(log), view_(view) {}

void InputEnumeration::EnumerateInputDevices() {
    devices_ = backend_.Devices();
    formatCounts_.assign(devices_.size(), 0);
    formatTable_.assign(devices_.size(), FormatRow{});
    openErrors_.assign(devices_.size(), 0);
    if (devices_.empty()) {
        log_.AddLogLine("ERROR:   There are no suitable input devices");
        formatListReady_ = false;
        return;
    }

    std::vector<std::string> names;
    for (const WaveInDeviceInfo& d : devices_) names.push_back(d.description);
    view_.SetDeviceList(names);

    const std::vector<WaveFormat> candidates(CandidateFormats().begin(), CandidateFormats().end());
    for (std::size_t j = 0; j < devices_.size(); ++j) {
        const std::vector<WaveResult> results = backend_.QueryFormats(static_cast<int>(j), candidates, &openErrors_[j]);
        for (std::size_t i = 0; i < candidates.size() && i < results.size(); ++i)
            if (results[i] == 0 && formatCounts_[j] < kFormatSlots)
                formatTable_[j][static_cast<std::size_t>(formatCounts_[j]++)] = candidates[i];
    }
}

void InputEnumeration::FillFormatList() {
    if (deviceCount() <= 0) return;
    const int d = SelectedDevice();
    if (d != settings_.deviceIndex) {
        // A settings file from another machine, or a device that is gone: use what the list shows.
        log_.AddLogLine("WARNING: Stored input device " + std::to_string(settings_.deviceIndex) +
                        " is not present, using \"" + devices_[static_cast<std::size_t>(d)].description +
                        "\" instead");
        settings_.deviceIndex = d;
    }
    std::vector<std::string> lines;
    for (int i = 0; i < formatCounts_[static_cast<std::size_t>(d)]; ++i) lines.push_back(FormatListText(*FormatAt(d, i)));
    view_.SetFormatList(lines);
    if (lines.empty()) {
        // Not one probe got through to the device: say why first.
        if (const WaveResult error = openErrors_[static_cast<std::size_t>(d)]) ReportWaveError(backend_, log_, error);
        log_.AddLogLine("ERROR:   There is no PCM format supported");
        formatListReady_ = false;
        return;
    }
    if (FormatAt(d, settings_.formatIndex) == nullptr) {
        log_.AddLogLine("WARNING: Stored format " + std::to_string(settings_.formatIndex) + " is not present, using \"" +
                        lines.front() + "\" instead");
        settings_.formatIndex = 0;
    }
    formatListReady_ = true;
}

WaveResult InputEnumeration::QueryFormat(int deviceId, const WaveFormat& format) {
    const std::vector<WaveResult> results = backend_.QueryFormats(deviceId, {format});
    return results.empty() ? -EINVAL : results.front();
}

void InputEnumeration::OnDeviceSelected(int position) {
    if (deviceCount() <= 0) return;
    if (position == settings_.deviceIndex) return;
    if (position < 0 || position >= deviceCount()) return;
    settings_.deviceIndex = position;
    settings_.formatIndex = 0;  // before the list is filled: the old device's index means nothing here
    FillFormatList();
    if (formatCounts_[static_cast<std::size_t>(position)] > 0) view_.SelectFormat(0);
    // A device without formats keeps the table in force: it cannot be opened anyway.
    if (const WaveFormat* first = FormatAt(position, 0)) SwitchBitrateTable(*first);
    ApplyChoice(false);
}

void InputEnumeration::OnFormatSelected(int position, bool pipelineReady) {
    if (position == settings_.formatIndex && pipelineReady) return;
    const WaveFormat* format = FormatAt(SelectedDevice(), position);
    if (format == nullptr) return;  // not a line of the Format list
    settings_.formatIndex = position;
    SwitchBitrateTable(*format);
    ApplyChoice(true);
}

void InputEnumeration::ApplyChoice(bool newSampleWidth) {
    // Close first: blocks still in the old format are measured and corrected at the old
    // sample width; the new capture-format values come with the encoder command after.
    view_.CloseCaptureDevice();
    view_.BuildEncoderCommand();
    if (newSampleWidth) view_.PaintMeterGradients();
    if (view_.OpenCaptureDevice()) view_.SetUpMixer();
}

void InputEnumeration::SwitchBitrateTable(const WaveFormat& format) {
    const BitrateTable table = ChooseBitrateTable(settings_.resampleIndex, static_cast<int>(format.samplesPerSec));
    const int32_t abrBefore = settings_.abrBitrate;
    ApplyBitrateTable(bitrate_, table, settings_);
    const AbrRange range = AbrRangeOf(bitrate_);
    view_.SetAbrRange(range.minimum, range.maximum);
    if (settings_.abrBitrate != abrBefore) view_.SetAbrValue(settings_.abrBitrate);
    char label[64];
    std::snprintf(label, sizeof label, "Current bitrate: %d kbit", BitrateAt(table, settings_.minBitrateIndex));
    view_.SetBitrateLabel(label);
}

const WaveFormat* InputEnumeration::FormatAt(int device, int index) const {
    if (device < 0 || device >= deviceCount()) return nullptr;
    const std::size_t d = static_cast<std::size_t>(device);
    if (index < 0 || index >= formatCounts_[d]) return nullptr;
    return &formatTable_[d][static_cast<std::size_t>(index)];
}

int InputEnumeration::SelectedDevice() const {
    return settings_.deviceIndex >= 0 && settings_.deviceIndex < deviceCount() ? settings_.deviceIndex : 0;
}

bool InputEnumeration::SelectedDeviceUnreachable() const {
    return deviceCount() > 0 && openErrors_[static_cast<std::size_t>(SelectedDevice())] != 0;
}

const WaveFormat* InputEnumeration::SelectedFormat() const {
    const int d = SelectedDevice();
    const WaveFormat* stored = FormatAt(d, settings_.formatIndex);
    return stored != nullptr ? stored : FormatAt(d, 0);
}

}  // namespace pelmora
