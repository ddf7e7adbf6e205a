// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The mixer line control of the General page: the Source list, the Volume and Balance
// sliders and the padlock, acting on the mixer of the open capture device. Window-free; the
// page shows it through MixerView. Main window thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "input/Mixer.h"
#include "input/MixerView.h"
#include "recording/LogSink.h"
#include "settings/RecSettings.h"

namespace pelmora {

class MixerControl {
public:
    /// `isRecording` tells whether a recording runs (for the line-change warning).
    MixerControl(MixerBackend& backend, RecSettings& settings, LogSink& log, std::function<bool()> isRecording);
    ~MixerControl();
    MixerControl(const MixerControl&) = delete;
    MixerControl& operator=(const MixerControl&) = delete;

    /// The page's controls; null shows nothing.
    void AttachView(MixerView* view);
    /// Where opened mixers announce their changes; null: changes are not followed.
    void SetMessageTarget(MixerMessageTarget* target) { target_ = target; }

    /// The padlock's start-up state: unlocked, and the focus on Record.
    void InitPadlock();
    /// Opens the mixer of the capture device `captureDevice` and fills the controls from it.
    void SetupMixer(const std::string& captureDevice);
    /// Writes the Source list's selection to the mixer.
    void SelectSourceLine();
    /// Looks up the selected line's volume control and shows its values; the volume flag.
    bool FindVolumeControl();
    void ToggleMixerControls();
    /// Closes the mixer; the controls are disabled.
    void ReleaseMixer();
    /// A message from an opened mixer: its changes are taken and followed.
    void OnMixerEvents(uint64_t handle);
    void OnMixerControlChange(uint64_t handle, uint32_t controlId);
    /// A control or source line of the open mixer no longer exists: if it was the shown line
    /// or its volume, those controls are disabled.
    void OnMixerControlRemoved(uint32_t controlId);

    // The page's controls.
    void OnSourceSelected(int position);
    /// Any scroll notification of the Volume or Balance slider, with both positions.
    void OnVolumeBalanceScroll(int volumePosition, int balancePosition);
    /// Shows sourceLineIndex in the Source list (0 when it names no line).
    void ShowSettings();

    // What the controls show.
    bool MixerLocked() const { return mixerLocked_; }
    bool MixerOpen() const { return mixerOpen_; }
    bool SourceListReady() const { return sourceListFlag_; }
    bool VolumeReady() const { return volumeFlag_; }
    const std::vector<std::string>& SourceLines() const { return sourceLines_; }
    int SourceSelection() const { return sourceSelection_; }
    int VolumePosition() const { return volumePosition_; }
    int BalancePosition() const { return balancePosition_; }
    double Balance() const { return balance_; }
    uint32_t SelectedLineChannels() const { return selectedLineChannels_; }
    /// Handle of the open mixer; 0 when none is open.
    uint64_t MixerHandle() const { return mixer_ ? mixer_->Handle() : 0; }

private:
    void ReportWaveError(MixerResult code);
    void EnableLabels();
    void Enable(MixerItem item, bool enable);
    void ShowVolume(const std::vector<uint32_t>& values, bool keepBalanceAtMinimum);
    void AdoptMixerSelection();
    int FirstSelectedItem(const std::vector<uint32_t>& values) const;
    MixerControlDetails ListDetails() const;
    void LogLineChange(int position);

    MixerBackend& backend_;
    RecSettings& settings_;
    LogSink& log_;
    std::function<bool()> isRecording_;
    MixerView* view_;
    MixerMessageTarget* target_ = nullptr;

    std::string mixerId_;
    std::unique_ptr<Mixer> mixer_;
    bool mixerOpen_ = false;
    bool sourceListFlag_ = false;
    bool volumeFlag_ = false;
    uint32_t destinationLineId_ = 0;
    int listControlPosition_ = -1;
    bool singleSelect_ = false;
    uint32_t listControlId_ = 0;
    uint32_t listChannels_ = 0;
    uint32_t listItems_ = 0;
    std::vector<uint32_t> listValues_;  // last values written to or read from the mixer
    uint32_t selectedLineChannels_ = 0;
    uint32_t volumeMinimum_ = 0;
    uint32_t volumeMaximum_ = 0;
    uint32_t volumeControlId_ = 0;
    double balance_ = 0.0;
    int selectedLinePosition_ = -1;
    uint32_t selectedLineId_ = 0;
    std::vector<uint32_t> volumeValues_;  // last values written to or read from the mixer
    bool volumeWriteFailed_ = false;
    bool mixerLocked_ = false;

    // Mirrors of the page's controls.
    std::vector<std::string> sourceLines_;
    int sourceSelection_ = -1;
    int volumePosition_ = 0;
    int balancePosition_ = 0;
};

}  // namespace pelmora
