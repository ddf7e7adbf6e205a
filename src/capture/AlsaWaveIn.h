// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Wave input through alsa-lib. Devices are the capture PCMs of the name hints, with the
// system's "default" first; an open device captures on its own thread, which fills the
// queued buffers in order and posts each one to the receiving thread.

#include <memory>
#include <string>
#include <vector>

#include "capture/WaveIn.h"

namespace pelmora {

class AlsaWaveIn final : public WaveInBackend {
public:
    /// Lists the devices afresh; device ids of the other calls index this list.
    std::vector<WaveInDeviceInfo> Devices() override;
    /// Opens the device once, non-blocking, and tests every candidate against it.
    std::vector<WaveResult> QueryFormats(int deviceId, const std::vector<WaveFormat>& candidates,
                                         WaveResult* openError = nullptr) override;
    /// Opens for capture in exactly `format`; the device is stopped until Start.
    /// `target` must outlive the device and must not call back into it from PostWaveData.
    WaveResult Open(int deviceId, const WaveFormat& format, WaveMessageTarget* target,
                    std::unique_ptr<WaveInDevice>* device) override;
    std::string ErrorText(WaveResult code) override;

    /// The failing alsa-lib call and its text ("snd_pcm_open(hw:0): Device or resource busy")
    /// of the last QueryFormats or Open that failed; empty after a success.
    const std::string& LastErrorDetail() const { return lastErrorDetail_; }

private:
    const WaveInDeviceInfo* DeviceAt(int deviceId);

    std::vector<WaveInDeviceInfo> devices_;
    bool listed_ = false;
    std::string lastErrorDetail_;
};

}  // namespace pelmora
