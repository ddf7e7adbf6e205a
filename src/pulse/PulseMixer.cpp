// SPDX-License-Identifier: GPL-3.0-or-later
#include "pulse/PulseMixer.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "pulse/PulseWaveIn.h"

namespace pelmora {
namespace {

constexpr const char* kServerPrefix = "server:";
constexpr int kAnswerWaitMs = 3000;

struct SourceState {
    uint32_t index = PA_INVALID_INDEX;
    std::string name;
    std::string description;
    pa_channel_map map{};
    std::vector<uint32_t> volume;  // per channel
    std::vector<std::string> portNames, portTexts;
    int activePort = 0;
    bool muted = false;
};

SourceState StateOf(const pa_source_info& info) {
    SourceState s;
    s.index = info.index;
    s.name = info.name ? info.name : "";
    s.description = info.description && *info.description ? info.description : s.name;
    s.map = info.channel_map;
    for (uint8_t c = 0; c < info.volume.channels; ++c) s.volume.push_back(info.volume.values[c]);
    for (uint32_t i = 0; i < info.n_ports; ++i) {
        s.portNames.push_back(info.ports[i]->name ? info.ports[i]->name : "");
        s.portTexts.push_back(info.ports[i]->description && *info.ports[i]->description ? info.ports[i]->description
                                                                                       : s.portNames.back());
        if (info.ports[i] == info.active_port) s.activePort = static_cast<int>(i);
    }
    s.muted = info.mute != 0;
    return s;
}

class PulseMixerDevice final : public Mixer {
public:
    PulseMixerDevice(std::shared_ptr<PulseConnection> connection, SourceState state, MixerMessageTarget* target)
        : connection_(std::move(connection)), target_(target), handle_(NextMixerHandle()), state_(std::move(state)) {
        PulseConnection::Lock lock(*connection_);
        watcher_ = connection_->AddSourceWatcher([this](uint32_t index) {
            if (index == state_.index) Fetch();
        });
    }
    ~PulseMixerDevice() override {
        PulseConnection::Lock lock(*connection_);
        connection_->RemoveSourceWatcher(watcher_);
        closed_ = true;
        // Answers still on their way find the device closed; a server that went away sends
        // none.
        if (fetching_ > 0)
            connection_->Wait(
                [this] {
                    pa_context* c = connection_->Context();
                    return fetching_ == 0 || c == nullptr || pa_context_get_state(c) != PA_CONTEXT_READY;
                },
                kAnswerWaitMs);
    }

    uint64_t Handle() const override { return handle_; }

    MixerResult GetDestinationLine(MixerLine* line) override {
        std::lock_guard<std::mutex> lock(mutex_);
        line->lineId = kServerDestinationId;
        line->channels = Channels();
        line->controls = 1;
        line->name = state_.description;
        return 0;
    }

    MixerResult GetSourceLine(uint32_t destinationId, uint32_t index, MixerLine* line) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (destinationId != kServerDestinationId || index >= Lines()) return -EINVAL;
        line->lineId = ServerLineId(index);
        line->channels = Channels();
        line->controls = 1;
        line->name = LineName(index);
        return 0;
    }

    MixerResult GetLineControls(uint32_t lineId, std::vector<MixerControlInfo>* controls) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (lineId != kServerDestinationId) return -EINVAL;
        MixerControlInfo list;
        list.controlId = kServerListControlId;
        list.type = kMixerControlMux;
        list.flags = kMixerControlMultiple;
        list.items = Lines();
        *controls = {list};
        return 0;
    }

    MixerResult GetVolumeControl(uint32_t lineId, MixerControlInfo* control) override {
        std::lock_guard<std::mutex> lock(mutex_);
        const uint32_t index = lineId - ServerLineId(0);
        if (index >= Lines()) return -EINVAL;
        control->controlId = ServerVolumeControlId(index);
        control->type = kMixerControlVolume;
        control->flags = 0;
        control->items = 0;
        control->minimum = PA_VOLUME_MUTED;
        control->maximum = PA_VOLUME_NORM;
        return 0;
    }

    MixerResult GetListTexts(const MixerControlDetails& d, std::vector<std::string>* texts) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!ListMatches(d)) return -EINVAL;
        texts->clear();
        for (uint32_t i = 0; i < Lines(); ++i)
            for (uint32_t c = 0; c < d.channels; ++c) texts->push_back(LineName(i));
        return 0;
    }

    MixerResult GetValues(const MixerControlDetails& d, std::vector<uint32_t>* values) override {
        std::lock_guard<std::mutex> lock(mutex_);
        values->clear();
        if (d.controlId == kServerListControlId) {
            if (!ListMatches(d)) return -EINVAL;
            for (uint32_t i = 0; i < Lines(); ++i)
                for (uint32_t c = 0; c < d.channels; ++c)
                    values->push_back(static_cast<int>(i) == state_.activePort && !state_.muted ? 1 : 0);
            return 0;
        }
        if (!VolumeMatches(d)) return -EINVAL;
        // Above the normal volume reads as the control's maximum.
        for (uint32_t v : state_.volume) values->push_back(std::min<uint32_t>(v, PA_VOLUME_NORM));
        return 0;
    }

    MixerResult SetValues(const MixerControlDetails& d, const std::vector<uint32_t>& values) override {
        if (values.size() != d.Count()) return -EINVAL;
        PulseConnection::Lock lock(*connection_);
        pa_context* context = connection_->Context();
        if (context == nullptr || pa_context_get_state(context) != PA_CONTEXT_READY) return -ECONNREFUSED;
        std::unique_lock<std::mutex> guard(mutex_);
        if (d.controlId == kServerListControlId) {
            if (!ListMatches(d)) return -EINVAL;
            const auto on = std::find_if(values.begin(), values.end(), [](uint32_t v) { return v != 0; });
            if (on == values.end()) return 0;  // single select: something stays selected
            const int item = static_cast<int>((on - values.begin()) / std::max<uint32_t>(d.channels, 1));
            std::vector<pa_operation*> ops;
            if (!state_.portNames.empty() && item != state_.activePort)
                ops.push_back(pa_context_set_source_port_by_index(
                    context, state_.index, state_.portNames[static_cast<std::size_t>(item)].c_str(), &Done, this));
            // Selecting the line, as on a card, turns the recording on.
            if (state_.muted) ops.push_back(pa_context_set_source_mute_by_index(context, state_.index, 0, &Done, this));
            guard.unlock();
            return Finish(ops);
        }
        if (!VolumeMatches(d)) return -EINVAL;
        pa_cvolume volume{};
        volume.channels = static_cast<uint8_t>(values.size());
        for (std::size_t c = 0; c < values.size(); ++c) volume.values[c] = std::min<uint32_t>(values[c], PA_VOLUME_NORM);
        const uint32_t index = state_.index;
        guard.unlock();
        return Finish({pa_context_set_source_volume_by_index(context, index, &volume, &Done, this)});
    }

    MixerChanges TakeChanges() override {
        std::lock_guard<std::mutex> lock(mutex_);
        MixerChanges changes;
        changes.changed.swap(pending_);
        return changes;
    }

private:
    static void Done(pa_context*, int success, void* userdata) {
        auto* self = static_cast<PulseMixerDevice*>(userdata);
        if (!success) self->writeFailed_ = true;
        self->connection_->Signal();
    }

    // Under the connection's lock: waits for the server's answers to `ops`.
    MixerResult Finish(const std::vector<pa_operation*>& ops) {
        writeFailed_ = false;
        bool ok = true;
        for (pa_operation* op : ops) {
            if (op == nullptr) {
                ok = false;
                continue;
            }
            ok = connection_->Wait([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; }, kAnswerWaitMs) && ok;
            if (pa_operation_get_state(op) == PA_OPERATION_RUNNING) pa_operation_cancel(op);
            pa_operation_unref(op);
        }
        return ok && !writeFailed_ ? 0 : -EIO;
    }

    // Client thread: asks for the source again; its answer announces what changed.
    void Fetch() {
        pa_context* context = connection_->Context();
        if (context == nullptr || closed_) return;
        pa_operation* op = pa_context_get_source_info_by_index(
            context, state_.index,
            [](pa_context*, const pa_source_info* info, int eol, void* userdata) {
                auto* self = static_cast<PulseMixerDevice*>(userdata);
                if (eol != 0) {
                    --self->fetching_;
                    self->connection_->Signal();
                    return;
                }
                if (!self->closed_) self->Update(StateOf(*info));
            },
            this);
        if (op) {
            ++fetching_;
            pa_operation_unref(op);
        }
    }

    void Update(SourceState fresh) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<uint32_t> changed;
        if (fresh.activePort != state_.activePort || fresh.muted != state_.muted || fresh.portNames != state_.portNames)
            changed.push_back(kServerListControlId);
        if (fresh.volume != state_.volume)
            for (uint32_t i = 0; i < std::max<std::size_t>(fresh.portNames.size(), 1); ++i)
                changed.push_back(ServerVolumeControlId(i));
        state_ = std::move(fresh);
        if (changed.empty()) return;
        const bool first = pending_.empty();
        for (uint32_t id : changed)
            if (std::find(pending_.begin(), pending_.end(), id) == pending_.end()) pending_.push_back(id);
        if (first && target_) target_->PostMixerChange(handle_);
    }

    uint32_t Channels() const { return static_cast<uint32_t>(state_.volume.size()); }
    uint32_t Lines() const { return static_cast<uint32_t>(std::max<std::size_t>(state_.portNames.size(), 1)); }
    std::string LineName(uint32_t i) const {
        return state_.portTexts.empty() ? state_.description : state_.portTexts[i];
    }
    bool ListMatches(const MixerControlDetails& d) const {
        return d.controlId == kServerListControlId && d.items == Lines() && (d.channels == Channels() || d.channels == 1);
    }
    bool VolumeMatches(const MixerControlDetails& d) const {
        const uint32_t line = d.controlId - ServerVolumeControlId(0);
        return line < Lines() && d.channels == Channels();
    }

    const std::shared_ptr<PulseConnection> connection_;
    MixerMessageTarget* const target_;
    const uint64_t handle_;
    int watcher_ = 0;
    // Under the connection's lock.
    bool closed_ = false;
    int fetching_ = 0;
    bool writeFailed_ = false;

    mutable std::mutex mutex_;  // the source as last seen, and the changes not yet taken
    SourceState state_;
    std::vector<uint32_t> pending_;
};

}  // namespace

PulseMixerBackend::PulseMixerBackend(std::shared_ptr<PulseConnection> connection, std::unique_ptr<MixerBackend> other)
    : connection_(std::move(connection)), other_(std::move(other)) {}

MixerResult PulseMixerBackend::GetMixerId(const std::string& captureDevice, std::string* mixerId) {
    bool server = captureDevice == kDefaultSourceName;
    if (connection_ && !server)
        for (const ServerSource& s : connection_->Sources()) server = server || s.name == captureDevice;
    if (!server) return other_ ? other_->GetMixerId(captureDevice, mixerId) : -ENODEV;
    if (!connection_ || !connection_->Ready()) return -ECONNREFUSED;
    *mixerId = kServerPrefix + captureDevice;
    return 0;
}

MixerResult PulseMixerBackend::Open(const std::string& mixerId, MixerMessageTarget* target,
                                    std::unique_ptr<Mixer>* mixer) {
    if (mixerId.compare(0, std::strlen(kServerPrefix), kServerPrefix) != 0)
        return other_ ? other_->Open(mixerId, target, mixer) : -ENODEV;
    if (!connection_) return -ECONNREFUSED;
    std::string name = mixerId.substr(std::strlen(kServerPrefix));
    if (name == kDefaultSourceName) name = connection_->DefaultSource();
    struct Answer {
        PulseConnection* connection;
        bool done = false;
        bool found = false;
        SourceState state;
    } answer{connection_.get(), false, false, {}};
    {
        PulseConnection::Lock lock(*connection_);
        pa_context* context = connection_->Context();
        if (context == nullptr || pa_context_get_state(context) != PA_CONTEXT_READY) return -ECONNREFUSED;
        pa_operation* op = pa_context_get_source_info_by_name(
            context, name.c_str(),
            [](pa_context*, const pa_source_info* info, int eol, void* userdata) {
                auto* a = static_cast<Answer*>(userdata);
                if (eol == 0 && info) {
                    a->state = StateOf(*info);
                    a->found = true;
                    return;
                }
                a->done = true;
                a->connection->Signal();
            },
            &answer);
        if (op == nullptr) return -EIO;
        connection_->Wait([&answer] { return answer.done; }, kAnswerWaitMs);
        if (!answer.done) pa_operation_cancel(op);
        pa_operation_unref(op);
    }
    if (!answer.found) return -ENODEV;
    *mixer = std::make_unique<PulseMixerDevice>(connection_, std::move(answer.state), target);
    return 0;
}

std::string PulseMixerBackend::ErrorText(MixerResult code) {
    if (code == 0) return {};
    if (code < 0 && code > -4096) return std::strerror(-code);
    return other_ ? other_->ErrorText(code) : std::string();
}

}  // namespace pelmora
