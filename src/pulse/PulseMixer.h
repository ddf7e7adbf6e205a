// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The mixer of a sound-server source: its ports are the source lines, under one
// single-select list control (one line named after the source when it has no ports), and
// the source's channel volumes are every line's volume control, from silence to the
// server's normal volume. Changes made elsewhere (the desktop's sound settings) arrive
// through the server's subscription events. Devices that are not the server's go to the
// other backend.

#include <memory>
#include <string>

#include "input/Mixer.h"
#include "pulse/PulseConnection.h"

namespace pelmora {

class PulseMixerBackend final : public MixerBackend {
public:
    PulseMixerBackend(std::shared_ptr<PulseConnection> connection, std::unique_ptr<MixerBackend> other);

    MixerResult GetMixerId(const std::string& captureDevice, std::string* mixerId) override;
    MixerResult Open(const std::string& mixerId, MixerMessageTarget* target, std::unique_ptr<Mixer>* mixer) override;
    std::string ErrorText(MixerResult code) override;

private:
    std::shared_ptr<PulseConnection> connection_;
    std::unique_ptr<MixerBackend> other_;
};

/// Control and line ids of a server source's mixer.
constexpr uint32_t kServerDestinationId = 1;
constexpr uint32_t kServerListControlId = 100;
constexpr uint32_t ServerLineId(uint32_t line) { return 10 + line; }
constexpr uint32_t ServerVolumeControlId(uint32_t line) { return 200 + line; }

}  // namespace pelmora
