// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/SimulatedMixer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace pelmora {

class SimulatedMixerDevice;

struct SimulatedMixerState {
    mutable std::mutex mutex;  // guards everything below
    SimulatedMixerConfig config;
    std::vector<std::vector<uint32_t>> volumes;  // per line
    std::vector<uint32_t> listValues;
    std::vector<SimulatedMixerDevice*> open;
    int openCalls = 0;
    int volumeLookups = 0;
    int listWrites = 0;
    int volumeWrites = 0;
    std::string lastCaptureDevice;
    std::vector<uint32_t> removed;  // control ids gone from the mixer
    MixerResult failure = 0;        // the device is gone: every look at changes fails

    bool Removed(uint32_t controlId) const {
        return std::find(removed.begin(), removed.end(), controlId) != removed.end();
    }

    uint32_t ListChannels() const { return config.uniformList ? 1 : config.destinationChannels; }
    bool Fails(SimulatedMixerStep step) const { return config.failAt == step; }
    void Announce(uint32_t controlId);  // with the mutex held
    void AnnounceRemoval(uint32_t controlId);
    void AnnounceFailure();
};

class SimulatedMixerDevice final : public Mixer {
public:
    SimulatedMixerDevice(std::shared_ptr<SimulatedMixerState> state, MixerMessageTarget* target)
        : state_(std::move(state)), target_(target), handle_(NextMixerHandle()) {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->open.push_back(this);
    }
    ~SimulatedMixerDevice() override {
        std::lock_guard<std::mutex> lock(state_->mutex);
        auto& open = state_->open;
        open.erase(std::remove(open.begin(), open.end(), this), open.end());
    }

    uint64_t Handle() const override { return handle_; }

    MixerResult GetDestinationLine(MixerLine* line) override {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->Fails(SimulatedMixerStep::kDestinationLine)) return -ENODEV;
        line->lineId = kSimulatedDestinationId;
        line->channels = state_->config.destinationChannels;
        line->controls = state_->config.hasListControl ? 2 : 1;
        line->name = "Recording Control";
        return 0;
    }

    MixerResult GetSourceLine(uint32_t destinationId, uint32_t index, MixerLine* line) override {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->Fails(SimulatedMixerStep::kSourceLine)) return -EIO;
        if (destinationId != kSimulatedDestinationId || index >= state_->config.lines.size()) return -EINVAL;
        const SimulatedMixerLine& l = state_->config.lines[index];
        line->lineId = SimulatedLineId(index);
        line->channels = l.channels;
        line->controls = l.controls;
        line->name = l.name;
        return 0;
    }

    MixerResult GetLineControls(uint32_t lineId, std::vector<MixerControlInfo>* controls) override {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->Fails(SimulatedMixerStep::kLineControls)) return -EIO;
        if (lineId != kSimulatedDestinationId) return -EINVAL;
        controls->clear();
        // A control of another class first, so the list control must be searched for.
        MixerControlInfo mute;
        mute.controlId = 99;
        mute.type = 0x20010002;
        mute.flags = kMixerControlUniform;
        controls->push_back(mute);
        if (state_->config.hasListControl && !state_->Removed(kSimulatedListControlId)) {
            MixerControlInfo list;
            list.controlId = kSimulatedListControlId;
            list.type = state_->config.singleSelect ? kMixerControlMux : kMixerControlMixer;
            list.flags = kMixerControlMultiple | (state_->config.uniformList ? kMixerControlUniform : 0);
            list.items = static_cast<uint32_t>(state_->config.lines.size());
            controls->push_back(list);
        }
        return 0;
    }

    MixerResult GetVolumeControl(uint32_t lineId, MixerControlInfo* control) override {
        std::lock_guard<std::mutex> lock(state_->mutex);
        ++state_->volumeLookups;
        if (state_->Fails(SimulatedMixerStep::kVolumeControl)) return -EIO;
        const uint32_t index = lineId - SimulatedLineId(0);
        if (index >= state_->config.lines.size()) return -EINVAL;
        const SimulatedMixerLine& l = state_->config.lines[index];
        if (!l.hasVolume || state_->Removed(SimulatedVolumeControlId(index))) return -ENOENT;
        control->controlId = SimulatedVolumeControlId(index);
        control->type = kMixerControlVolume;
        control->flags = 0;
        control->items = 0;
        control->minimum = l.minimum;
        control->maximum = l.maximum;
        return 0;
    }

    MixerResult GetListTexts(const MixerControlDetails& d, std::vector<std::string>* texts) override {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->Fails(SimulatedMixerStep::kListTexts)) return -EIO;
        if (!ListMatches(d)) return -EINVAL;
        texts->clear();
        for (const SimulatedMixerLine& l : state_->config.lines)
            for (uint32_t c = 0; c < d.channels; ++c) texts->push_back(l.listName.empty() ? l.name : l.listName);
        return 0;
    }

    MixerResult GetValues(const MixerControlDetails& d, std::vector<uint32_t>* values) override {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->Removed(d.controlId)) return -ENOENT;
        if (d.controlId == kSimulatedListControlId) {
            if (state_->Fails(SimulatedMixerStep::kReadList)) return -EIO;
            if (!ListMatches(d)) return -EINVAL;
            *values = state_->listValues;
            return 0;
        }
        if (state_->Fails(SimulatedMixerStep::kReadVolume)) return -EIO;
        const uint32_t line = d.controlId - SimulatedVolumeControlId(0);
        if (!VolumeMatches(line, d)) return -EINVAL;
        *values = state_->volumes[line];
        return 0;
    }

    MixerResult SetValues(const MixerControlDetails& d, const std::vector<uint32_t>& values) override {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->Removed(d.controlId)) return -ENOENT;
        if (d.controlId == kSimulatedListControlId) {
            ++state_->listWrites;
            if (state_->Fails(SimulatedMixerStep::kWriteList)) return -EIO;
            if (!ListMatches(d) || values.size() != state_->listValues.size()) return -EINVAL;
            state_->listValues = values;
            state_->Announce(d.controlId);
            return 0;
        }
        ++state_->volumeWrites;
        if (state_->Fails(SimulatedMixerStep::kWriteVolume)) return -EIO;
        const uint32_t line = d.controlId - SimulatedVolumeControlId(0);
        if (!VolumeMatches(line, d) || values.size() != d.channels) return -EINVAL;
        state_->volumes[line] = values;
        state_->Announce(d.controlId);
        return 0;
    }

    MixerChanges TakeChanges() override {
        std::lock_guard<std::mutex> lock(state_->mutex);
        MixerChanges changes;
        changes.changed.swap(pending_);
        changes.removed.swap(pendingRemovals_);
        changes.failure = state_->failure;
        // Like a control device that has hung up: it has news again as soon as it is asked.
        if (state_->failure != 0 && target_) target_->PostMixerChange(handle_);
        return changes;
    }

    // With the state's mutex held.
    void Changed(uint32_t controlId) { Note(pending_, controlId); }
    void Removed(uint32_t controlId) { Note(pendingRemovals_, controlId); }
    void Failed() {
        if (target_) target_->PostMixerChange(handle_);
    }

private:
    bool ListMatches(const MixerControlDetails& d) const {
        return state_->config.hasListControl && d.controlId == kSimulatedListControlId &&
               d.channels == state_->ListChannels() && d.items == state_->config.lines.size();
    }
    bool VolumeMatches(uint32_t line, const MixerControlDetails& d) const {
        return line < state_->config.lines.size() && state_->config.lines[line].hasVolume &&
               d.channels == state_->config.lines[line].channels;
    }

    std::shared_ptr<SimulatedMixerState> state_;
    MixerMessageTarget* target_;
    const uint64_t handle_;
    void Note(std::vector<uint32_t>& list, uint32_t controlId) {
        const bool first = pending_.empty() && pendingRemovals_.empty();
        if (std::find(list.begin(), list.end(), controlId) == list.end()) list.push_back(controlId);
        if (first && target_) target_->PostMixerChange(handle_);
    }

    std::vector<uint32_t> pending_;
    std::vector<uint32_t> pendingRemovals_;
};

void SimulatedMixerState::Announce(uint32_t controlId) {
    for (SimulatedMixerDevice* device : open) device->Changed(controlId);
}

void SimulatedMixerState::AnnounceRemoval(uint32_t controlId) {
    for (SimulatedMixerDevice* device : open) device->Removed(controlId);
}

void SimulatedMixerState::AnnounceFailure() {
    for (SimulatedMixerDevice* device : open) device->Failed();
}

SimulatedMixerConfig SimulatedMixerBackend::DefaultConfig() {
    SimulatedMixerConfig c;
    SimulatedMixerLine line;
    line.name = "Line In";
    line.volume = {40000, 20000};
    c.lines.push_back(line);
    line.name = "Microphone";
    line.volume = {30000, 30000};
    c.lines.push_back(line);
    c.selected = {0};
    return c;
}

SimulatedMixerBackend::SimulatedMixerBackend(SimulatedMixerConfig config)
    : state_(std::make_shared<SimulatedMixerState>()) {
    state_->config = std::move(config);
    for (const SimulatedMixerLine& l : state_->config.lines) {
        std::vector<uint32_t> v = l.volume;
        v.resize(l.channels, l.minimum);
        state_->volumes.push_back(v);
    }
    state_->listValues.assign(state_->config.lines.size() * state_->ListChannels(), 0);
    for (int item : state_->config.selected)
        for (uint32_t c = 0; c < state_->ListChannels(); ++c)
            state_->listValues[static_cast<std::size_t>(item) * state_->ListChannels() + c] = 1;
}

SimulatedMixerBackend::~SimulatedMixerBackend() = default;

MixerResult SimulatedMixerBackend::GetMixerId(const std::string& captureDevice, std::string* mixerId) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->lastCaptureDevice = captureDevice;
    if (state_->Fails(SimulatedMixerStep::kGetMixerId)) return -ENODEV;
    *mixerId = "simulated:" + captureDevice;
    return 0;
}

MixerResult SimulatedMixerBackend::Open(const std::string&, MixerMessageTarget* target,
                                        std::unique_ptr<Mixer>* mixer) {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        ++state_->openCalls;
        if (state_->Fails(SimulatedMixerStep::kOpen)) return -EBUSY;
    }
    *mixer = std::make_unique<SimulatedMixerDevice>(state_, target);
    return 0;
}

std::string SimulatedMixerBackend::ErrorText(MixerResult code) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (code == 0 || state_->config.noErrorText) return {};
    return std::strerror(code < 0 ? -code : code);
}

void SimulatedMixerBackend::SetFailAt(SimulatedMixerStep step) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->config.failAt = step;
}

int SimulatedMixerBackend::OpenMixers() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return static_cast<int>(state_->open.size());
}

int SimulatedMixerBackend::OpenCalls() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->openCalls;
}

int SimulatedMixerBackend::VolumeLookups() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->volumeLookups;
}

int SimulatedMixerBackend::ListWrites() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->listWrites;
}

int SimulatedMixerBackend::VolumeWrites() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->volumeWrites;
}

std::vector<uint32_t> SimulatedMixerBackend::LineVolume(uint32_t line) const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return line < state_->volumes.size() ? state_->volumes[line] : std::vector<uint32_t>{};
}

std::vector<uint32_t> SimulatedMixerBackend::ListValues() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->listValues;
}

void SimulatedMixerBackend::ChangeVolumeFromOutside(uint32_t line, std::vector<uint32_t> values) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (line >= state_->volumes.size()) return;
    state_->volumes[line] = std::move(values);
    state_->Announce(SimulatedVolumeControlId(line));
}

void SimulatedMixerBackend::ChangeListFromOutside(std::vector<uint32_t> values) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->listValues = std::move(values);
    state_->Announce(kSimulatedListControlId);
}

void SimulatedMixerBackend::RemoveControl(uint32_t controlId) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->Removed(controlId)) return;
    state_->removed.push_back(controlId);
    state_->AnnounceRemoval(controlId);
}

void SimulatedMixerBackend::FailDevice(MixerResult code) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->failure = code;
    state_->AnnounceFailure();
}

std::string SimulatedMixerBackend::LastCaptureDevice() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->lastCaptureDevice;
}

}  // namespace pelmora
