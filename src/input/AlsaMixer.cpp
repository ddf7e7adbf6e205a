// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/AlsaMixer.h"
#include "capture/ThreadRoles.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace pelmora {

namespace {

constexpr uint32_t kDestinationId = 0;
constexpr uint32_t kListControlId = 1;
constexpr uint32_t kFirstLineId = 0x10;
constexpr uint32_t kFirstVolumeId = 0x100;

std::string Unquoted(std::string s) {
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front()) s = s.substr(1, s.size() - 2);
    return s;
}

std::string ElementName(snd_mixer_elem_t* e) {
    std::string name = snd_mixer_selem_get_name(e);
    const unsigned index = snd_mixer_selem_get_index(e);
    if (index > 0) name += " " + std::to_string(index);
    return name;
}

struct MixerCloser {
    void operator()(snd_mixer_t* m) const { snd_mixer_close(m); }
};
using MixerHandlePtr = std::unique_ptr<snd_mixer_t, MixerCloser>;

// One capture volume: the element and the channels it has values for.
struct Volume {
    snd_mixer_elem_t* element = nullptr;
    std::vector<snd_mixer_selem_channel_id_t> channels;
    long minimum = 0;
    long maximum = 0;
    long offset = 0;  // added to every value, so that the bounds are not negative
    uint32_t controlId = 0;
};

// One line of the source-selection control.
struct Item {
    std::string name;
    snd_mixer_elem_t* switchElement = nullptr;  // null for an item of the enumerated control
    int volume = -1;                            // index into the volumes; -1: none
};

class AlsaMixerDevice final : public Mixer {
public:
    AlsaMixerDevice(MixerHandlePtr mixer, MixerMessageTarget* target)
        : mixer_(std::move(mixer)), target_(target), handle_(NextMixerHandle()) {
        BuildLines();
        StartWatcher();
    }

    ~AlsaMixerDevice() override {
        if (watcher_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                quit_ = true;
            }
            Wake();
            watcher_.join();
        }
        if (wakeFd_ >= 0) ::close(wakeFd_);
        for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer_.get()); e; e = snd_mixer_elem_next(e))
            snd_mixer_elem_set_callback(e, nullptr);
    }

    uint64_t Handle() const override { return handle_; }

    MixerResult GetDestinationLine(MixerLine* line) override {
        line->lineId = kDestinationId;
        line->channels = 2;
        line->controls = items_.empty() ? 0 : 1;
        line->name = "Capture";
        return 0;
    }

    MixerResult GetSourceLine(uint32_t destinationId, uint32_t index, MixerLine* line) override {
        if (destinationId != kDestinationId || index >= items_.size()) return -EINVAL;
        const Item& item = items_[index];
        line->lineId = kFirstLineId + index;
        line->name = item.name;
        if (HasVolume(item)) {
            line->channels = static_cast<uint32_t>(volumes_[static_cast<std::size_t>(item.volume)].channels.size());
            line->controls = 1;
        } else {
            // A capture switch alone is a control too; it has no volume.
            line->channels = 2;
            line->controls = item.switchElement ? 1 : 0;
        }
        return 0;
    }

    MixerResult GetLineControls(uint32_t lineId, std::vector<MixerControlInfo>* controls) override {
        controls->clear();
        if (lineId != kDestinationId) return -EINVAL;
        if (items_.empty() || (enumList_ && !enumElement_)) return 0;
        MixerControlInfo list;
        list.controlId = kListControlId;
        list.items = static_cast<uint32_t>(items_.size());
        if (enumList_) {
            list.type = kMixerControlMux;
            list.flags = kMixerControlUniform | kMixerControlMultiple;
        } else {
            list.type = kMixerControlMixer;
            list.flags = kMixerControlMultiple;
        }
        controls->push_back(list);
        return 0;
    }

    MixerResult GetVolumeControl(uint32_t lineId, MixerControlInfo* control) override {
        const uint32_t index = lineId - kFirstLineId;
        if (lineId < kFirstLineId || index >= items_.size()) return -EINVAL;
        if (!HasVolume(items_[index])) return -ENOENT;
        const Volume& v = volumes_[static_cast<std::size_t>(items_[index].volume)];
        control->controlId = v.controlId;
        control->type = kMixerControlVolume;
        control->flags = 0;
        control->items = 0;
        control->minimum = static_cast<uint32_t>(v.minimum + v.offset);
        control->maximum = static_cast<uint32_t>(v.maximum + v.offset);
        return 0;
    }

    MixerResult GetListTexts(const MixerControlDetails& d, std::vector<std::string>* texts) override {
        if (!ListMatches(d)) return -EINVAL;
        texts->clear();
        for (const Item& item : items_)
            for (uint32_t c = 0; c < d.channels; ++c) texts->push_back(item.name);
        return 0;
    }

    MixerResult GetValues(const MixerControlDetails& d, std::vector<uint32_t>* values) override {
        if (d.controlId == kListControlId) return ReadList(d, values);
        const Volume* v = VolumeOf(d);
        if (!v) return -EINVAL;
        if (!v->element) return -ENOENT;
        values->clear();
        for (snd_mixer_selem_channel_id_t ch : v->channels) {
            long value = 0;
            const int err = snd_mixer_selem_get_capture_volume(v->element, ch, &value);
            if (err < 0) return err;
            values->push_back(static_cast<uint32_t>(std::clamp(value, v->minimum, v->maximum) + v->offset));
        }
        return 0;
    }

    MixerResult SetValues(const MixerControlDetails& d, const std::vector<uint32_t>& values) override {
        if (d.controlId == kListControlId) return WriteList(d, values);
        const Volume* v = VolumeOf(d);
        if (!v || values.size() != v->channels.size()) return -EINVAL;
        if (!v->element) return -ENOENT;
        for (std::size_t i = 0; i < values.size(); ++i) {
            const long value = std::clamp(static_cast<long>(values[i]) - v->offset, v->minimum, v->maximum);
            const int err = v->channels.size() == 1 ? snd_mixer_selem_set_capture_volume_all(v->element, value)
                                                    : snd_mixer_selem_set_capture_volume(v->element, v->channels[i], value);
            if (err < 0) return err;
        }
        return 0;
    }

    MixerChanges TakeChanges() override {
        std::vector<pollfd> seen;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            seen = seen_;
        }
        int err = 0;
        if (!seen.empty()) {
            unsigned short revents = 0;
            for (const pollfd& p : seen) revents |= p.revents;
            if (!(revents & kHangUp)) {
                revents = 0;
                err = snd_mixer_poll_descriptors_revents(mixer_.get(), seen.data(), static_cast<unsigned>(seen.size()),
                                                         &revents);
            }
            if (err >= 0 && (revents & kHangUp)) err = -ENODEV;
        }
        // Runs the element callbacks, which collect the changed and removed controls. A
        // control device whose server died stays readable and fails here every time.
        if (err >= 0) err = std::min(snd_mixer_handle_events(mixer_.get()), 0);
        MixerChanges out;
        out.changed.swap(changes_);
        out.removed.swap(removed_);
        if (err < 0) {
            // The watch ends here: the watcher is not armed again, so it cannot spin.
            out.failure = err;
            return out;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            armed_ = true;
        }
        Wake();
        return out;
    }

private:
    static constexpr short kHangUp = POLLERR | POLLHUP | POLLNVAL;

    static int OnElement(snd_mixer_elem_t* e, unsigned int mask) {
        auto* self = static_cast<AlsaMixerDevice*>(snd_mixer_elem_get_callback_private(e));
        if (!self) return 0;
        if (mask == SND_CTL_EVENT_MASK_REMOVE) self->ElementRemoved(e);
        else if (mask & SND_CTL_EVENT_MASK_VALUE) self->ElementChanged(e);
        return 0;
    }

    // alsa-lib frees the element when this returns: no pointer to it may stay.
    void ElementRemoved(snd_mixer_elem_t* e) {
        auto note = [this](uint32_t id) {
            if (std::find(removed_.begin(), removed_.end(), id) == removed_.end()) removed_.push_back(id);
        };
        if (e == enumElement_) {
            enumElement_ = nullptr;
            note(kListControlId);
        }
        for (std::size_t k = 0; k < items_.size(); ++k)
            if (items_[k].switchElement == e) {
                items_[k].switchElement = nullptr;
                note(kFirstLineId + static_cast<uint32_t>(k));
            }
        for (Volume& v : volumes_)
            if (v.element == e) {
                v.element = nullptr;
                note(v.controlId);
            }
    }

    bool HasVolume(const Item& item) const {
        return item.volume >= 0 && volumes_[static_cast<std::size_t>(item.volume)].element != nullptr;
    }

    void ElementChanged(snd_mixer_elem_t* e) {
        auto note = [this](uint32_t id) {
            if (std::find(changes_.begin(), changes_.end(), id) == changes_.end()) changes_.push_back(id);
        };
        if (e == enumElement_) note(kListControlId);
        for (const Item& item : items_)
            if (item.switchElement == e) note(kListControlId);
        for (const Volume& v : volumes_)
            if (v.element == e) note(v.controlId);
    }

    int AddVolume(snd_mixer_elem_t* e) {
        for (std::size_t i = 0; i < volumes_.size(); ++i)
            if (volumes_[i].element == e) return static_cast<int>(i);
        Volume v;
        v.element = e;
        if (snd_mixer_selem_is_capture_mono(e) || snd_mixer_selem_has_capture_volume_joined(e)) {
            v.channels.push_back(SND_MIXER_SCHN_MONO);
        } else {
            for (int ch = 0; ch <= SND_MIXER_SCHN_LAST; ++ch)
                if (snd_mixer_selem_has_capture_channel(e, static_cast<snd_mixer_selem_channel_id_t>(ch)))
                    v.channels.push_back(static_cast<snd_mixer_selem_channel_id_t>(ch));
        }
        if (v.channels.empty() || snd_mixer_selem_get_capture_volume_range(e, &v.minimum, &v.maximum) < 0) return -1;
        if (v.minimum < 0) v.offset = -v.minimum;
        v.controlId = kFirstVolumeId + static_cast<uint32_t>(volumes_.size());
        volumes_.push_back(v);
        return static_cast<int>(volumes_.size()) - 1;
    }

    void BuildLines() {
        std::vector<snd_mixer_elem_t*> elements;
        for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer_.get()); e; e = snd_mixer_elem_next(e)) {
            if (!snd_mixer_selem_is_active(e)) continue;
            elements.push_back(e);
            snd_mixer_elem_set_callback_private(e, this);
            snd_mixer_elem_set_callback(e, &AlsaMixerDevice::OnElement);
        }
        snd_mixer_elem_t* capture = nullptr;
        for (snd_mixer_elem_t* e : elements) {
            if (!enumElement_ && snd_mixer_selem_is_enumerated(e) && snd_mixer_selem_is_enum_capture(e)) enumElement_ = e;
            if (!capture && ElementName(e) == "Capture" && snd_mixer_selem_has_capture_volume(e)) capture = e;
        }
        enumList_ = enumElement_ != nullptr;
        // A line without a volume of its own is set with the card's capture volume.
        auto volumeFor = [&](snd_mixer_elem_t* own) {
            if (own && snd_mixer_selem_has_capture_volume(own)) return AddVolume(own);
            return capture ? AddVolume(capture) : -1;
        };
        if (enumElement_) {
            const int count = snd_mixer_selem_get_enum_items(enumElement_);
            for (int i = 0; i < count; ++i) {
                char name[64] = {};
                if (snd_mixer_selem_get_enum_item_name(enumElement_, static_cast<unsigned>(i), sizeof name - 1, name) < 0)
                    name[0] = '\0';
                Item item;
                item.name = name;
                snd_mixer_elem_t* own = nullptr;
                for (snd_mixer_elem_t* e : elements)
                    if (ElementName(e) == item.name && snd_mixer_selem_has_capture_volume(e)) own = e;
                item.volume = volumeFor(own);
                items_.push_back(item);
            }
            return;
        }
        for (snd_mixer_elem_t* e : elements) {
            if (!snd_mixer_selem_has_capture_switch(e)) continue;
            Item item;
            item.name = ElementName(e);
            item.switchElement = e;
            item.volume = volumeFor(e);
            items_.push_back(item);
        }
    }

    bool ListMatches(const MixerControlDetails& d) const {
        return d.controlId == kListControlId && d.items == items_.size() && d.channels == (enumList_ ? 1u : 2u);
    }

    const Volume* VolumeOf(const MixerControlDetails& d) const {
        if (d.controlId < kFirstVolumeId || d.controlId - kFirstVolumeId >= volumes_.size()) return nullptr;
        const Volume& v = volumes_[d.controlId - kFirstVolumeId];
        return d.channels == v.channels.size() ? &v : nullptr;
    }

    static bool HasSeparateSwitches(snd_mixer_elem_t* e) {
        return !snd_mixer_selem_is_capture_mono(e) && !snd_mixer_selem_has_capture_switch_joined(e) &&
               snd_mixer_selem_has_capture_channel(e, SND_MIXER_SCHN_FRONT_RIGHT);
    }

    MixerResult ReadList(const MixerControlDetails& d, std::vector<uint32_t>* values) {
        if (!ListMatches(d)) return -EINVAL;
        values->assign(d.Count(), 0);
        if (enumList_) {
            if (!enumElement_) return -ENOENT;
            unsigned current = 0;
            const int err = snd_mixer_selem_get_enum_item(enumElement_, SND_MIXER_SCHN_MONO, &current);
            if (err < 0) return err;
            if (current < items_.size()) (*values)[current] = 1;
            return 0;
        }
        for (std::size_t k = 0; k < items_.size(); ++k) {
            snd_mixer_elem_t* e = items_[k].switchElement;
            if (!e) continue;  // removed: not selected
            int left = 0, right = 0;
            int err = snd_mixer_selem_get_capture_switch(e, SND_MIXER_SCHN_FRONT_LEFT, &left);
            if (err >= 0 && HasSeparateSwitches(e)) err = snd_mixer_selem_get_capture_switch(e, SND_MIXER_SCHN_FRONT_RIGHT, &right);
            else right = left;
            if (err < 0) return err;
            for (uint32_t c = 0; c < d.channels; ++c) (*values)[k * d.channels + c] = left ? 1 : 0;
            (*values)[k * d.channels + d.channels - 1] = right ? 1 : 0;
        }
        return 0;
    }

    MixerResult WriteList(const MixerControlDetails& d, const std::vector<uint32_t>& values) {
        if (!ListMatches(d) || values.size() != d.Count()) return -EINVAL;
        if (enumList_) {
            if (!enumElement_) return -ENOENT;
            for (unsigned k = 0; k < items_.size(); ++k) {
                if (values[k] == 0) continue;
                // Every channel of the element gets the item; the first refusal ends them.
                for (int ch = 0; ch <= SND_MIXER_SCHN_LAST; ++ch) {
                    const int err = snd_mixer_selem_set_enum_item(
                        enumElement_, static_cast<snd_mixer_selem_channel_id_t>(ch), k);
                    if (err < 0) {
                        if (ch == 0) return err;
                        break;
                    }
                }
                return 0;
            }
            return 0;
        }
        for (std::size_t k = 0; k < items_.size(); ++k) {
            snd_mixer_elem_t* e = items_[k].switchElement;
            const int left = values[k * d.channels] ? 1 : 0;
            const int right = values[k * d.channels + d.channels - 1] ? 1 : 0;
            if (!e) {
                if (left || right) return -ENOENT;  // a removed line cannot be selected
                continue;
            }
            int current = 0;
            int err = snd_mixer_selem_get_capture_switch(e, SND_MIXER_SCHN_FRONT_LEFT, &current);
            if (err < 0) return err;
            if (!HasSeparateSwitches(e)) {
                if (current != left) err = snd_mixer_selem_set_capture_switch_all(e, left);
                if (err < 0) return err;
                continue;
            }
            if (current != left) err = snd_mixer_selem_set_capture_switch(e, SND_MIXER_SCHN_FRONT_LEFT, left);
            if (err >= 0) err = snd_mixer_selem_get_capture_switch(e, SND_MIXER_SCHN_FRONT_RIGHT, &current);
            if (err >= 0 && current != right) err = snd_mixer_selem_set_capture_switch(e, SND_MIXER_SCHN_FRONT_RIGHT, right);
            if (err < 0) return err;
        }
        return 0;
    }

    // --- watcher ---

    void StartWatcher() {
        if (!target_) return;
        const int count = snd_mixer_poll_descriptors_count(mixer_.get());
        if (count <= 0) return;
        fds_.resize(static_cast<std::size_t>(count));
        if (snd_mixer_poll_descriptors(mixer_.get(), fds_.data(), static_cast<unsigned>(count)) < 0) return;
        wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wakeFd_ < 0) return;
        watcher_ = ThreadRoles::Instance().StartThread(ThreadRole::Process, "pelmora-mixer", [this] { Watch(); });
    }

    void Wake() {
        if (wakeFd_ < 0) return;
        const uint64_t one = 1;
        if (::write(wakeFd_, &one, sizeof one) < 0) {
            // The counter cannot overflow in practice; a wake-up is pending anyway.
        }
    }

    // Waits for the control device to have news, announces it once, and waits until the main
    // thread has taken it (TakeChanges) before it looks again.
    void Watch() {
        bool armed = true;
        std::vector<pollfd> set;
        for (;;) {
            set.assign(1, pollfd{wakeFd_, POLLIN, 0});
            if (armed) set.insert(set.end(), fds_.begin(), fds_.end());
            for (pollfd& p : set) p.revents = 0;
            if (::poll(set.data(), set.size(), -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (set[0].revents) {
                uint64_t count = 0;
                if (::read(wakeFd_, &count, sizeof count) < 0) {
                    // Nothing to read: another wake-up took it.
                }
                std::lock_guard<std::mutex> lock(mutex_);
                if (quit_) return;
                armed = armed_;
            }
            if (!armed || set.size() == 1) continue;
            bool news = false;
            for (std::size_t i = 1; i < set.size(); ++i) news = news || set[i].revents != 0;
            if (!news) continue;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                seen_.assign(set.begin() + 1, set.end());
                armed_ = armed = false;
            }
            target_->PostMixerChange(handle_);
        }
    }

    MixerHandlePtr mixer_;
    MixerMessageTarget* target_;
    const uint64_t handle_;
    snd_mixer_elem_t* enumElement_ = nullptr;  // null once removed
    bool enumList_ = false;                    // the lines are the items of an enumerated element
    std::vector<Item> items_;
    std::vector<Volume> volumes_;
    std::vector<uint32_t> changes_;  // main thread: filled by the element callbacks
    std::vector<uint32_t> removed_;  // likewise

    std::vector<pollfd> fds_;
    int wakeFd_ = -1;
    std::thread watcher_;
    std::mutex mutex_;  // guards the three below
    bool quit_ = false;
    bool armed_ = true;
    std::vector<pollfd> seen_;
};

}  // namespace

std::string ControlDeviceFor(const std::string& pcmName) {
    const std::size_t colon = pcmName.find(':');
    if (colon == std::string::npos) return pcmName;
    const std::string base = pcmName.substr(0, colon);
    std::vector<std::string> args;
    std::size_t start = colon + 1;
    while (start <= pcmName.size()) {
        const std::size_t comma = pcmName.find(',', start);
        const std::size_t end = comma == std::string::npos ? pcmName.size() : comma;
        args.push_back(pcmName.substr(start, end - start));
        start = end + 1;
    }
    std::string card;
    for (const std::string& arg : args)
        if (arg.compare(0, 5, "CARD=") == 0) card = Unquoted(arg.substr(5));
    static const char* const kCardDevices[] = {"hw", "plughw", "sysdefault", "dsnoop", "front"};
    const bool cardDevice = std::find(std::begin(kCardDevices), std::end(kCardDevices), base) != std::end(kCardDevices);
    if (card.empty() && cardDevice && !args.empty() && args[0].find('=') == std::string::npos) card = Unquoted(args[0]);
    if (card.empty()) return pcmName;
    const bool number = std::all_of(card.begin(), card.end(), [](char c) { return c >= '0' && c <= '9'; });
    return number ? "hw:" + card : "hw:CARD=" + card;
}

MixerResult AlsaMixer::GetMixerId(const std::string& captureDevice, std::string* mixerId) {
    const std::string name = ControlDeviceFor(captureDevice);
    snd_ctl_t* ctl = nullptr;
    const int err = snd_ctl_open(&ctl, name.c_str(), SND_CTL_NONBLOCK);
    if (err < 0) return err;
    snd_ctl_close(ctl);
    *mixerId = name;
    return 0;
}

MixerResult AlsaMixer::Open(const std::string& mixerId, MixerMessageTarget* target, std::unique_ptr<Mixer>* mixer) {
    snd_mixer_t* raw = nullptr;
    int err = snd_mixer_open(&raw, 0);
    if (err < 0) return err;
    MixerHandlePtr handle(raw);
    err = snd_mixer_attach(raw, mixerId.c_str());
    if (err >= 0) err = snd_mixer_selem_register(raw, nullptr, nullptr);
    if (err >= 0) err = snd_mixer_load(raw);
    if (err < 0) return err;
    *mixer = std::make_unique<AlsaMixerDevice>(std::move(handle), target);
    return 0;
}

std::string AlsaMixer::ErrorText(MixerResult code) {
    if (code == 0) return {};
    const char* text = snd_strerror(code);
    return text ? text : "";
}

}  // namespace pelmora
