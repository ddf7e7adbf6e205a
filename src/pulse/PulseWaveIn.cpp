// SPDX-License-Identifier: GPL-3.0-or-later
#include "pulse/PulseWaveIn.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "pulse/PulseCaptureDevice.h"

namespace pelmora {
namespace {

// PipeWire serves JACK clients too: there, ALSA's jack plugin leads into the same server.
bool PipeWireRuns() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && ::access((std::string(runtime) + "/pipewire-0").c_str(), F_OK) == 0;
}

// ALSA devices that only lead into the sound server, which the list shows by its sources.
bool LeadsIntoServer(const WaveInDeviceInfo& d) {
    const std::string base = d.name.substr(0, d.name.find(':'));
    if (base == "default" || base == "sysdefault" || base == "pulse" || base == "pipewire") return true;
    if (base == "jack" && PipeWireRuns()) return true;
    return d.description.find("PulseAudio") != std::string::npos ||
           d.description.find("PipeWire") != std::string::npos;
}

bool ServerTakes(const WaveFormat& f) {
    return f.formatTag == 1 && (f.bitsPerSample == 8 || f.bitsPerSample == 16) && f.channels >= 1 &&
           f.channels <= 2 && f.samplesPerSec >= 1000 && f.samplesPerSec <= 384000 &&
           f.blockAlign == f.channels * f.bitsPerSample / 8;
}

}  // namespace

PulseWaveIn::PulseWaveIn(std::shared_ptr<PulseConnection> connection) : connection_(std::move(connection)) {}

std::vector<WaveInDeviceInfo> PulseWaveIn::Devices() {
    const std::vector<Entry> before = std::move(entries_);
    entries_.clear();
    const bool server = connection_ && connection_->Ready();
    bool kept = keep_.empty();
    if (server) {
        entries_.push_back({{kDefaultSourceName, "Default source"}, true, -1});
        for (const ServerSource& s : connection_->Sources()) entries_.push_back({{s.name, s.description}, true, -1});
        kept = kept || DevicePosition(entries_, keep_) >= 0;
    }
    // A source in use that went away keeps its place until it is back.
    if (!kept)
        for (std::size_t i = 0; i < before.size(); ++i)
            if (before[i].server && before[i].info.name == keep_) {
                entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(std::min(i, entries_.size())),
                                before[i]);
                kept = true;
            }
    const std::vector<WaveInDeviceInfo> alsa = alsa_.Devices();
    for (std::size_t i = 0; i < alsa.size(); ++i) {
        if (server) {
            if (LeadsIntoServer(alsa[i])) continue;
            // Only what opens: the server holds its cards, and those are its sources already.
            // The device in use is busy with us.
            WaveResult openError = 0;
            alsa_.QueryFormats(static_cast<int>(i), {MakePcmFormat(44100, 16, 2)}, &openError);
            if (openError != 0 && alsa[i].name != keep_) continue;
        }
        entries_.push_back({alsa[i], false, static_cast<int>(i)});
    }
    listed_ = true;
    std::vector<WaveInDeviceInfo> list;
    for (const Entry& e : entries_) list.push_back(e.info);
    return list;
}

int PulseWaveIn::DevicePosition(const std::vector<Entry>& entries, const std::string& name) {
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].info.name == name) return static_cast<int>(i);
    return -1;
}

const PulseWaveIn::Entry* PulseWaveIn::EntryAt(int deviceId) {
    if (!listed_) Devices();
    if (deviceId < 0 || static_cast<std::size_t>(deviceId) >= entries_.size()) return nullptr;
    return &entries_[static_cast<std::size_t>(deviceId)];
}

std::vector<WaveResult> PulseWaveIn::QueryFormats(int deviceId, const std::vector<WaveFormat>& candidates,
                                                  WaveResult* openError) {
    if (openError) *openError = 0;
    const Entry* e = EntryAt(deviceId);
    if (e == nullptr) {
        if (openError) *openError = -ENODEV;
        return std::vector<WaveResult>(candidates.size(), -ENODEV);
    }
    if (!e->server) {
        WaveResult error = 0;
        std::vector<WaveResult> results = alsa_.QueryFormats(e->alsaId, candidates, &error);
        const auto known = alsaFormats_.find(e->info.name);
        if (error == -EBUSY && known != alsaFormats_.end() && known->second.size() == candidates.size())
            return known->second;  // in use, by us or another program: as it answered before
        if (error == 0) alsaFormats_[e->info.name] = results;
        if (openError) *openError = error;
        return results;
    }
    std::vector<WaveResult> results;
    for (const WaveFormat& f : candidates) results.push_back(ServerTakes(f) ? 0 : -EINVAL);
    return results;
}

WaveResult PulseWaveIn::Open(int deviceId, const WaveFormat& format, WaveMessageTarget* target,
                             std::unique_ptr<WaveInDevice>* device) {
    if (device == nullptr || target == nullptr) return -EINVAL;
    device->reset();
    const Entry* e = EntryAt(deviceId);
    if (e == nullptr) return -ENODEV;
    if (!e->server) return alsa_.Open(e->alsaId, format, target, device);
    if (!ServerTakes(format)) return -EINVAL;
    if (!connection_->Ready()) return -ECONNREFUSED;
    const bool isDefault = e->info.name == kDefaultSourceName;
    if (!isDefault) {
        bool present = false;
        for (const ServerSource& s : connection_->Sources()) present = present || s.name == e->info.name;
        if (!present) return -ENODEV;
    }
    *device = std::make_unique<PulseCaptureDevice>(connection_, isDefault ? std::string() : e->info.name, format,
                                                   target);
    return 0;
}

std::string PulseWaveIn::ErrorText(WaveResult code) {
    if (code == 0) return {};
    if (code < 0 && code > -4096) return std::strerror(-code);
    return alsa_.ErrorText(code);
}

}  // namespace pelmora
