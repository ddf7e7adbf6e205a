// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A mixer backend without hardware: one recording destination with a source-selection control
// (single- or multiple-select) over configurable source lines, each with or without a volume
// control of its own bounds. Faults can be injected at each step of a set-up, and the test can
// change values "from outside" as a system mixer would, remove controls, or take the whole
// device away. Like a real mixer, every change (the program's own writes included) is
// announced to the message target.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "input/Mixer.h"

namespace pelmora {

struct SimulatedMixerLine {
    std::string name;
    std::string listName;      // its name in the source list; empty: the same as `name`
    uint32_t channels = 2;
    uint32_t controls = 1;     // a line with none gets no volume control, silently
    bool hasVolume = true;     // false with controls > 0: the volume look-up fails
    uint32_t minimum = 0;
    uint32_t maximum = 65535;
    std::vector<uint32_t> volume;  // one value per channel; empty: all at the minimum
};

enum class SimulatedMixerStep {
    kNone,
    kGetMixerId,
    kOpen,
    kDestinationLine,
    kLineControls,
    kListTexts,
    kWriteList,
    kReadList,
    kSourceLine,
    kVolumeControl,
    kReadVolume,
    kWriteVolume,
};

struct SimulatedMixerConfig {
    bool hasListControl = true;
    bool singleSelect = true;
    bool uniformList = false;          // one value per item instead of one per channel
    uint32_t destinationChannels = 2;
    std::vector<SimulatedMixerLine> lines;
    std::vector<int> selected;         // items selected at the start
    SimulatedMixerStep failAt = SimulatedMixerStep::kNone;
    bool noErrorText = false;
};

/// Control and line ids of the simulated mixer.
constexpr uint32_t kSimulatedDestinationId = 1;
constexpr uint32_t kSimulatedListControlId = 100;
constexpr uint32_t SimulatedLineId(uint32_t line) { return 10 + line; }
constexpr uint32_t SimulatedVolumeControlId(uint32_t line) { return 200 + line; }

struct SimulatedMixerState;

class SimulatedMixerBackend : public MixerBackend {
public:
    explicit SimulatedMixerBackend(SimulatedMixerConfig config = DefaultConfig());
    ~SimulatedMixerBackend() override;

    /// Two stereo lines "Line In" and "Microphone" (0..65535) under a single-select control.
    static SimulatedMixerConfig DefaultConfig();

    MixerResult GetMixerId(const std::string& captureDevice, std::string* mixerId) override;
    MixerResult Open(const std::string& mixerId, MixerMessageTarget* target, std::unique_ptr<Mixer>* mixer) override;
    std::string ErrorText(MixerResult code) override;

    // --- for the test ---
    void SetFailAt(SimulatedMixerStep step);
    int OpenMixers() const;
    int OpenCalls() const;
    int VolumeLookups() const;     // GetVolumeControl calls
    int ListWrites() const;
    int VolumeWrites() const;
    std::vector<uint32_t> LineVolume(uint32_t line) const;
    /// The list control's values, item by item, each item's channel entries together.
    std::vector<uint32_t> ListValues() const;
    /// Changes as another program would; the open mixer announces them.
    void ChangeVolumeFromOutside(uint32_t line, std::vector<uint32_t> values);
    void ChangeListFromOutside(std::vector<uint32_t> values);
    /// The control (list or volume) disappears, as a driver or server may remove it; the
    /// open mixer announces the removal, and later calls on it fail.
    void RemoveControl(uint32_t controlId);
    /// The mixer's device goes away (server gone, card unplugged): the open mixer announces
    /// news that fails with `code` every time it is asked.
    void FailDevice(MixerResult code);
    /// The capture device named at the last GetMixerId.
    std::string LastCaptureDevice() const;

private:
    std::shared_ptr<SimulatedMixerState> state_;
};

}  // namespace pelmora
