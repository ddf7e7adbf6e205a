// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The mixer layer on alsa-lib's simple mixer, on the control device of the capture device.
// The source-selection control is the first enumerated capture element (its items are the
// lines, one selected at a time); without one, the capture switches of the elements that have
// them form a multiple-select control (each element a line). A line's volume is the capture
// volume of the element of its name, else the "Capture" element's. A watcher thread polls the
// control device and announces changes; all other calls stay on the caller's thread.

#include <memory>
#include <string>

#include "input/Mixer.h"

namespace pelmora {

/// The control device of a capture PCM: the card's ("hw:0", "hw:CARD=PCH") for a PCM that
/// names a card, else the control device of the PCM's own name ("default", "pulse").
std::string ControlDeviceFor(const std::string& pcmName);

class AlsaMixer final : public MixerBackend {
public:
    /// Finds the control device and checks that it opens.
    MixerResult GetMixerId(const std::string& captureDevice, std::string* mixerId) override;
    MixerResult Open(const std::string& mixerId, MixerMessageTarget* target, std::unique_ptr<Mixer>* mixer) override;
    std::string ErrorText(MixerResult code) override;
};

}  // namespace pelmora
