// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/MixerControl.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "capture/ThreadRoles.h"
#include "input/MixerRules.h"

namespace pelmora {

namespace {

class NullMixerView final : public MixerView {
public:
    void EnableMixerItem(MixerItem, bool) override {}
    void SetSourceLines(const std::vector<std::string>&) override {}
    void SelectSourceLine(int) override {}
    void SetVolumePosition(int) override {}
    void SetBalancePosition(int) override {}
    void ShowPadlock(bool) override {}
    void FocusRecordButton() override {}
    bool ProgramIsActive() const override { return false; }
};

NullMixerView g_nullView;
std::atomic<uint64_t> g_nextHandle{1};

}  // namespace

uint64_t NextMixerHandle() { return g_nextHandle.fetch_add(1); }

MixerControl::MixerControl(MixerBackend& backend, RecSettings& settings, LogSink& log,
                           std::function<bool()> isRecording)
    : backend_(backend), settings_(settings), log_(log), isRecording_(std::move(isRecording)), view_(&g_nullView) {}

MixerControl::~MixerControl() { mixer_.reset(); }

void MixerControl::AttachView(MixerView* view) { view_ = view ? view : &g_nullView; }

void MixerControl::ReportWaveError(MixerResult code) {
    const std::string text = backend_.ErrorText(code);
    log_.AddLogLine(text.empty() ? "ERROR:   Unpredictable error occured" : text);
}

void MixerControl::Enable(MixerItem item, bool enable) { view_->EnableMixerItem(item, enable); }

void MixerControl::InitPadlock() {
    mixerLocked_ = true;
    ToggleMixerControls();
}

MixerControlDetails MixerControl::ListDetails() const { return {listControlId_, listChannels_, listItems_}; }

void MixerControl::SetupMixer(const std::string& captureDevice) {
    // A mixer still open from an earlier set-up goes first, so nothing of it is left behind.
    if (mixer_ || mixerOpen_ || sourceListFlag_ || volumeFlag_) ReleaseMixer();
    sourceListFlag_ = volumeFlag_ = mixerOpen_ = false;

    MixerResult r = backend_.GetMixerId(captureDevice, &mixerId_);
    if (r != 0) {
        ReportWaveError(r);
        log_.AddLogLine("ERROR:   Can not obtain mixer ID. Mixer will be disabled");
        EnableLabels();
        return;
    }
    // The mixer's watcher and a sound server library's threads have no level of their own.
    ThreadRoles::Instance().RunStarting(ThreadRole::Process, [&] { r = backend_.Open(mixerId_, target_, &mixer_); });
    if (r != 0 || !mixer_) {
        mixer_.reset();
        ReportWaveError(r);
        log_.AddLogLine("ERROR:   Can not open mixer. Mixer will be disabled");
        EnableLabels();
        return;
    }
    mixerOpen_ = true;

    MixerLine destination;
    r = mixer_->GetDestinationLine(&destination);
    if (r != 0) {
        ReportWaveError(r);
        log_.AddLogLine("ERROR:   Can not obtain mixer line info. Mixer will be disabled");
        return;
    }
    destinationLineId_ = destination.lineId;
    std::vector<MixerControlInfo> controls;
    r = mixer_->GetLineControls(destination.lineId, &controls);
    if (r != 0) {
        ReportWaveError(r);
        log_.AddLogLine("ERROR:   Can not obtain mixer line controls. Mixer will be disabled");
        controls.clear();
    }

    listControlPosition_ = -1;
    for (std::size_t i = 0; i < controls.size(); ++i)
        if ((controls[i].type & kMixerControlClassMask) == kMixerControlClassList) {
            listControlPosition_ = static_cast<int>(i);
            break;
        }
    if (listControlPosition_ < 0) {
        Enable(MixerItem::kSourceList, false);
        EnableLabels();
        return;
    }
    const MixerControlInfo& list = controls[static_cast<std::size_t>(listControlPosition_)];
    listControlId_ = list.controlId;
    singleSelect_ = list.type == kMixerControlSingleSelect || list.type == kMixerControlMux;
    listChannels_ = (list.flags & kMixerControlUniform) ? 1 : destination.channels;
    listItems_ = (list.flags & kMixerControlMultiple) ? list.items : 0;

    std::vector<std::string> texts;
    r = mixer_->GetListTexts(ListDetails(), &texts);
    if (r != 0) {
        ReportWaveError(r);
        log_.AddLogLine("ERROR:   Can not obtain mixer control details. Mixer will be disabled");
        EnableLabels();
        return;
    }

    listValues_.assign(ListDetails().Count(), 0);
    sourceLines_.clear();
    for (uint32_t k = 0; k < listItems_; ++k) {
        const std::size_t record = static_cast<std::size_t>(k) * listChannels_;
        sourceLines_.push_back(record < texts.size() ? texts[record] : std::string());
    }
    view_->SetSourceLines(sourceLines_);
    sourceSelection_ = -1;
    Enable(MixerItem::kSourceList, !mixerLocked_);
    sourceListFlag_ = true;
    log_.AddLogLine("SUCCESS: Mixer open");

    const int index = settings_.sourceLineIndex;
    if (index >= 0 && index < static_cast<int>(sourceLines_.size())) {
        sourceSelection_ = index;
        view_->SelectSourceLine(index);
        SelectSourceLine();
    } else {
        AdoptMixerSelection();
    }
    EnableLabels();
}

// With no valid stored line the mixer keeps its own selection: it is shown, not overwritten.
void MixerControl::AdoptMixerSelection() {
    view_->SelectSourceLine(-1);
    std::vector<uint32_t> values;
    if (mixer_->GetValues(ListDetails(), &values) != 0 || values.size() != listValues_.size()) return;
    listValues_ = values;
    const int k = FirstSelectedItem(values);
    if (k < 0) return;
    sourceSelection_ = k;
    view_->SelectSourceLine(k);
    settings_.sourceLineIndex = k;
    FindVolumeControl();
}

void MixerControl::EnableLabels() {
    Enable(MixerItem::kSourceLabel, sourceListFlag_ && !mixerLocked_);
    Enable(MixerItem::kVolumeLabel, volumeFlag_ && !mixerLocked_);
    Enable(MixerItem::kBalanceLabel, volumeFlag_ && selectedLineChannels_ == 2 && !mixerLocked_);
}

int MixerControl::FirstSelectedItem(const std::vector<uint32_t>& values) const {
    for (uint32_t k = 0; k < listItems_; ++k) {
        const std::size_t first = static_cast<std::size_t>(k) * listChannels_;
        if (first < values.size() && values[first] == 1) return static_cast<int>(k);
    }
    return -1;
}

void MixerControl::SelectSourceLine() {
    if (!mixer_ || !sourceListFlag_) return;
    const MixerControlDetails details = ListDetails();
    const int s = sourceSelection_;
    if (s < 0) return;  // nothing chosen: the mixer keeps its selection
    const bool changed = s != settings_.sourceLineIndex;
    settings_.sourceLineIndex = s;
    // Lines already selected stay in a multiple-select mix: start from the mixer's values.
    if (!singleSelect_) {
        std::vector<uint32_t> current;
        if (mixer_->GetValues(details, &current) == 0 && current.size() == listValues_.size()) listValues_ = current;
    }
    for (uint32_t k = 0; k < listItems_; ++k) {
        const std::size_t first = static_cast<std::size_t>(k) * listChannels_;
        const std::size_t last = first + listChannels_ - 1;
        if (last >= listValues_.size()) break;
        if (static_cast<int>(k) == s) {
            listValues_[first] = listValues_[last] = 1;
        } else if (singleSelect_) {
            listValues_[first] = listValues_[last] = 0;
        }
    }
    const MixerResult r = mixer_->SetValues(details, listValues_);
    if (r != 0) {
        ReportWaveError(r);
        return;
    }
    FindVolumeControl();
    if (changed && isRecording_ && isRecording_()) LogLineChange(s);
}

void MixerControl::LogLineChange(int position) {
    const std::string name =
        position >= 0 && position < static_cast<int>(sourceLines_.size()) ? sourceLines_[static_cast<std::size_t>(position)] : "";
    log_.AddLogLine("WARNING: Line changed to - " + name);
}

bool MixerControl::FindVolumeControl() {
    if (volumeFlag_) {
        volumeValues_.clear();
        volumeFlag_ = false;
    }
    Enable(MixerItem::kVolumeSlider, false);
    Enable(MixerItem::kBalanceSlider, false);
    Enable(MixerItem::kVolumeLabel, false);
    Enable(MixerItem::kBalanceLabel, false);
    if (!mixer_) return false;

    MixerLine destination;
    MixerResult r = mixer_->GetDestinationLine(&destination);
    if (r != 0) {
        ReportWaveError(r);
        return false;
    }
    const std::string text =
        sourceSelection_ >= 0 && sourceSelection_ < static_cast<int>(sourceLines_.size())
            ? sourceLines_[static_cast<std::size_t>(sourceSelection_)]
            : std::string();
    MixerLine line;
    int found = -1;
    for (std::size_t i = 0; i < sourceLines_.size(); ++i) {
        r = mixer_->GetSourceLine(destination.lineId, static_cast<uint32_t>(i), &line);
        if (r != 0) {
            ReportWaveError(r);
            return false;
        }
        if (line.name == text) {
            found = static_cast<int>(i);
            break;
        }
    }
    if (found < 0) {
        if (sourceSelection_ < 0) return false;
        r = mixer_->GetSourceLine(destination.lineId, static_cast<uint32_t>(sourceSelection_), &line);
        if (r != 0) {
            ReportWaveError(r);
            return false;
        }
        found = sourceSelection_;
    }
    selectedLinePosition_ = found;
    selectedLineId_ = line.lineId;
    selectedLineChannels_ = line.channels;

    if (line.controls >= 1 && line.channels >= 1 && line.channels <= 2) {
        MixerControlInfo volume;
        r = mixer_->GetVolumeControl(line.lineId, &volume);
        if (r != 0) {
            ReportWaveError(r);
            log_.AddLogLine("Can not find line volume control. Will be disabled");
        } else {
            volumeControlId_ = volume.controlId;
            volumeMinimum_ = volume.minimum;
            volumeMaximum_ = volume.maximum;
            volumeFlag_ = true;
            volumeWriteFailed_ = false;
            Enable(MixerItem::kVolumeSlider, !mixerLocked_);
            Enable(MixerItem::kVolumeLabel, !mixerLocked_);
            if (line.channels == 2) {
                Enable(MixerItem::kBalanceSlider, !mixerLocked_);
                Enable(MixerItem::kBalanceLabel, !mixerLocked_);
            }
            std::vector<uint32_t> values;
            r = mixer_->GetValues({volumeControlId_, selectedLineChannels_, 0}, &values);
            if (r != 0) {
                ReportWaveError(r);
            } else if (!values.empty()) {
                volumeValues_ = values;
                ShowVolume(values, false);
            }
        }
    }
    return volumeFlag_;
}

void MixerControl::ShowVolume(const std::vector<uint32_t>& values, bool keepBalanceAtMinimum) {
    const SliderReading reading =
        ReadSliders(values.front(), values.back(), volumeMinimum_, volumeMaximum_, keepBalanceAtMinimum, balance_);
    balance_ = reading.balance;
    volumePosition_ = reading.volumePosition;
    balancePosition_ = reading.balancePosition;
    view_->SetVolumePosition(volumePosition_);
    view_->SetBalancePosition(balancePosition_);
}

void MixerControl::OnVolumeBalanceScroll(int volumePosition, int balancePosition) {
    volumePosition_ = volumePosition;
    balancePosition_ = balancePosition;
    if (!mixer_ || !volumeFlag_) return;
    const ChannelValues c = WriteSliders(volumePosition, balancePosition, volumeMinimum_, volumeMaximum_);
    if (c.balanceSnapped) {
        balancePosition_ = 0;
        view_->SetBalancePosition(0);
    }
    balance_ = c.balance;
    std::vector<uint32_t> values;
    if (selectedLineChannels_ == 1) values = {c.right};
    else values = {c.left, c.right};
    const MixerResult r = mixer_->SetValues({volumeControlId_, selectedLineChannels_, 0}, values);
    if (r != 0) {
        // Once per run of failures: a drag sends many notifications.
        if (!volumeWriteFailed_) ReportWaveError(r);
        volumeWriteFailed_ = true;
        return;
    }
    volumeWriteFailed_ = false;
    volumeValues_ = values;
}

void MixerControl::OnSourceSelected(int position) {
    if (position < 0 || position >= static_cast<int>(sourceLines_.size())) return;
    sourceSelection_ = position;
    SelectSourceLine();
}

void MixerControl::ShowSettings() {
    if (sourceLines_.empty()) return;
    const int index = settings_.sourceLineIndex;
    sourceSelection_ = index >= 0 && index < static_cast<int>(sourceLines_.size()) ? index : 0;
    view_->SelectSourceLine(sourceSelection_);
}

void MixerControl::ToggleMixerControls() {
    mixerLocked_ = !mixerLocked_;
    if (mixerLocked_) {
        view_->ShowPadlock(true);
        for (MixerItem item : {MixerItem::kSourceList, MixerItem::kVolumeSlider, MixerItem::kBalanceSlider,
                               MixerItem::kSourceLabel, MixerItem::kVolumeLabel, MixerItem::kBalanceLabel})
            Enable(item, false);
    } else {
        view_->ShowPadlock(false);
        if (sourceListFlag_) {
            Enable(MixerItem::kSourceList, true);
            Enable(MixerItem::kSourceLabel, true);
        }
        if (volumeFlag_) {
            Enable(MixerItem::kVolumeSlider, true);
            Enable(MixerItem::kVolumeLabel, true);
            if (selectedLineChannels_ == 2) {
                Enable(MixerItem::kBalanceSlider, true);
                Enable(MixerItem::kBalanceLabel, true);
            }
        }
    }
    view_->FocusRecordButton();
}

void MixerControl::ReleaseMixer() {
    if (sourceListFlag_) {
        listValues_.clear();
        sourceListFlag_ = false;
        for (MixerItem item : {MixerItem::kVolumeSlider, MixerItem::kBalanceSlider, MixerItem::kSourceList,
                               MixerItem::kSourceLabel, MixerItem::kVolumeLabel, MixerItem::kBalanceLabel})
            Enable(item, false);
    }
    // Closing stops the mixer's watcher; a message it posted before carries a stale handle.
    mixer_.reset();
    mixerOpen_ = false;
    if (volumeFlag_) {
        volumeFlag_ = false;
        volumeValues_.clear();
    }
}

void MixerControl::OnMixerEvents(uint64_t handle) {
    if (!mixer_ || handle != mixer_->Handle()) return;
    // Taken even while changes are not followed, so the mixer can announce the next ones.
    const MixerChanges changes = mixer_->TakeChanges();
    if (changes.failure != 0) {
        // The device went away (sound server gone, card unplugged): it would only keep
        // failing. The next opening of the capture device sets the mixer up again.
        const std::string text = backend_.ErrorText(changes.failure);
        log_.AddLogLine("ERROR:   Mixer device lost" + (text.empty() ? std::string() : " (" + text + ")") +
                        ". Mixer will be disabled");
        ReleaseMixer();
        return;
    }
    for (uint32_t controlId : changes.removed) OnMixerControlRemoved(controlId);
    for (uint32_t controlId : changes.changed) {
        if (!mixer_ || handle != mixer_->Handle()) return;
        if (std::find(changes.removed.begin(), changes.removed.end(), controlId) != changes.removed.end()) continue;
        OnMixerControlChange(handle, controlId);
    }
}

void MixerControl::OnMixerControlRemoved(uint32_t controlId) {
    const bool shownLine = sourceListFlag_ && (controlId == listControlId_ || controlId == selectedLineId_);
    if (shownLine) {
        // Without its line the Source list shows nothing that could be set.
        sourceListFlag_ = false;
        listValues_.clear();
        Enable(MixerItem::kSourceList, false);
        Enable(MixerItem::kSourceLabel, false);
    }
    if (volumeFlag_ && (shownLine || controlId == volumeControlId_)) {
        volumeFlag_ = false;
        volumeValues_.clear();
        for (MixerItem item :
             {MixerItem::kVolumeSlider, MixerItem::kBalanceSlider, MixerItem::kVolumeLabel, MixerItem::kBalanceLabel})
            Enable(item, false);
    }
}

void MixerControl::OnMixerControlChange(uint64_t handle, uint32_t controlId) {
    // Changes are followed only while the user works in another program.
    if (view_->ProgramIsActive()) return;
    if (!mixer_ || handle != mixer_->Handle()) return;

    if (volumeFlag_ && controlId == volumeControlId_) {
        std::vector<uint32_t> values;
        const MixerResult r = mixer_->GetValues({volumeControlId_, selectedLineChannels_, 0}, &values);
        if (r != 0) {
            ReportWaveError(r);
            return;
        }
        // The values the program itself wrote or last read are no outside change.
        if (values.empty() || values == volumeValues_) return;
        volumeValues_ = values;
        ShowVolume(values, true);
        return;
    }
    if (sourceListFlag_ && controlId == listControlId_) {
        std::vector<uint32_t> values;
        const MixerResult r = mixer_->GetValues(ListDetails(), &values);
        if (r != 0) {
            ReportWaveError(r);
            return;
        }
        if (values == listValues_) return;
        listValues_ = values;
        const int k = FirstSelectedItem(values);
        if (k < 0) return;
        const int previous = settings_.sourceLineIndex;
        sourceSelection_ = k;
        view_->SelectSourceLine(k);
        settings_.sourceLineIndex = k;
        if (k != std::abs(previous) && isRecording_ && isRecording_()) LogLineChange(k);
        FindVolumeControl();
    }
}

}  // namespace pelmora
