// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The wave input devices, the capture formats each accepts, and the reaction to a new
// choice of either. Built once at start-up; main window thread only.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/WaveIn.h"
#include "input/CandidateFormats.h"
#include "input/InputSelectionView.h"
#include "recording/LogSink.h"
#include "settings/BitrateTable.h"
#include "settings/RecSettings.h"

namespace pelmora {

class InputEnumeration {
public:
    using FormatRow = std::array<WaveFormat, kFormatSlots>;

    InputEnumeration(WaveInBackend& backend, RecSettings& settings, BitrateState& bitrate, LogSink& log,
                     InputSelectionView& view);

    /// Lists the devices, probes every candidate format on each and fills the Device list.
    void EnumerateInputDevices();
    /// Fills the Format list for the stored device and sets formatListReady. A stored
    /// deviceIndex or formatIndex outside the lists is replaced by the entry the lists show
    /// (0), with a warning, so that the device opens with what the user sees.
    void FillFormatList();
    /// 0 when device `deviceId` accepts `format`.
    WaveResult QueryFormat(int deviceId, const WaveFormat& format);
    /// The Device list's selection changed to `position`.
    void OnDeviceSelected(int position);
    /// The Format list's selection changed to `position`. Re-choosing the current format
    /// does nothing while the device captures (`pipelineReady`), and retries the opening otherwise.
    void OnFormatSelected(int position, bool pipelineReady);

    /// True when the Format list of the selected device holds at least one format.
    bool formatListReady() const { return formatListReady_; }
    int32_t deviceCount() const { return static_cast<int32_t>(devices_.size()); }
    const std::vector<WaveInDeviceInfo>& devices() const { return devices_; }
    const std::vector<int32_t>& formatCounts() const { return formatCounts_; }
    /// Per device, the accepted formats in probing order in the first formatCounts() slots.
    const std::vector<FormatRow>& formatTable() const { return formatTable_; }

    /// The format at (`device`, `index`); nullptr outside the accepted formats.
    const WaveFormat* FormatAt(int device, int index) const;
    /// The stored deviceIndex, read as 0 when it names no device.
    int SelectedDevice() const;
    /// The capture format of the stored deviceIndex and formatIndex, each read as 0 when it
    /// lies outside the table; nullptr when that device accepts nothing.
    const WaveFormat* SelectedFormat() const;
    /// True when the selected device could not be opened at all to ask for its formats.
    bool SelectedDeviceUnreachable() const;

private:
    void SwitchBitrateTable(const WaveFormat& format);
    void ApplyChoice(bool newSampleWidth);

    WaveInBackend& backend_;
    RecSettings& settings_;
    BitrateState& bitrate_;
    LogSink& log_;
    InputSelectionView& view_;

    std::vector<WaveInDeviceInfo> devices_;
    std::vector<int32_t> formatCounts_;
    std::vector<WaveResult> openErrors_;  // per device: why it could not be asked, or 0
    std::vector<FormatRow> formatTable_;
    bool formatListReady_ = false;
};

}  // namespace pelmora
