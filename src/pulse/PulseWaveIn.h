// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Wave input on a desktop with a sound server: "Default source" first (the stream follows
// the desktop's default), then every source of the server by its description, monitors of
// outputs included, then the ALSA devices that can capture on their own (not the plugins
// that lead into the server, not the cards the server holds). Without a server the list is
// ALSA's. Every server source takes every candidate format: the server converts.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "capture/AlsaWaveIn.h"
#include "capture/WaveIn.h"
#include "pulse/PulseConnection.h"

namespace pelmora {

/// The name of the "Default source" entry.
inline constexpr const char* kDefaultSourceName = "@DEFAULT_SOURCE@";

class PulseWaveIn final : public WaveInBackend {
public:
    /// On `connection`, or ALSA alone when it is null.
    explicit PulseWaveIn(std::shared_ptr<PulseConnection> connection);

    /// Lists the devices afresh; device ids of the other calls index this list.
    std::vector<WaveInDeviceInfo> Devices() override;
    std::vector<WaveResult> QueryFormats(int deviceId, const std::vector<WaveFormat>& candidates,
                                         WaveResult* openError = nullptr) override;
    WaveResult Open(int deviceId, const WaveFormat& format, WaveMessageTarget* target,
                    std::unique_ptr<WaveInDevice>* device) override;
    std::string ErrorText(WaveResult code) override;

    const std::shared_ptr<PulseConnection>& Connection() const { return connection_; }
    /// Changes whenever the server's list may have changed, or the server came or went.
    uint64_t ListGeneration() const { return connection_ ? connection_->Generation() : 0; }
    /// The next lists keep the device of this name, where it stood among its kind, also while
    /// it is absent (opening it fails until it is back) or busy (its formats as last seen):
    /// the device in use stays the selected one while the others come and go.
    void KeepListed(const std::string& name) { keep_ = name; }

private:
    struct Entry {
        WaveInDeviceInfo info;
        bool server = false;  // a source of the server (or its default)
        int alsaId = -1;
    };
    const Entry* EntryAt(int deviceId);
    static int DevicePosition(const std::vector<Entry>& entries, const std::string& name);

    std::shared_ptr<PulseConnection> connection_;
    AlsaWaveIn alsa_;
    std::vector<Entry> entries_;
    bool listed_ = false;
    std::string keep_;
    std::map<std::string, std::vector<WaveResult>> alsaFormats_;  // last answers of each ALSA device
};

}  // namespace pelmora
