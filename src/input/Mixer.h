// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The mixer layer: one interface over the mixer backends (ALSA simple mixer, simulated).
// A mixer is seen as the recording destination line with its source lines and controls:
// a source-selection list control on the destination, a volume control on each source line.
// All calls on a mixer come from one thread (the main window's); only the message target is
// called from the mixer's own watcher thread.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pelmora {

/// Result codes: 0 success, otherwise a negative errno-style value; ErrorText explains it.
using MixerResult = int;

// Control types and flags, with the values the line-control rules test for.
constexpr uint32_t kMixerControlClassMask = 0xF0000000;
constexpr uint32_t kMixerControlClassList = 0x70000000;
constexpr uint32_t kMixerControlSingleSelect = 0x70010000;
constexpr uint32_t kMixerControlMux = 0x70010001;
constexpr uint32_t kMixerControlMultipleSelect = 0x71010000;
constexpr uint32_t kMixerControlMixer = 0x71010001;
constexpr uint32_t kMixerControlVolume = 0x50030001;
constexpr uint32_t kMixerControlUniform = 0x1;
constexpr uint32_t kMixerControlMultiple = 0x2;

struct MixerLine {
    uint32_t lineId = 0;
    uint32_t channels = 0;
    uint32_t controls = 0;  // number of controls of the line
    std::string name;
};

struct MixerControlInfo {
    uint32_t controlId = 0;
    uint32_t type = 0;
    uint32_t flags = 0;          // kMixerControlUniform, kMixerControlMultiple
    uint32_t items = 0;          // selectable items of a list control with multiple items
    uint32_t minimum = 0;        // bounds of a volume control
    uint32_t maximum = 0;
};

/// Which values a read or write covers: `channels` values per item, items one after another
/// (`items` = 0 for a control without items, which has `channels` values).
struct MixerControlDetails {
    uint32_t controlId = 0;
    uint32_t channels = 0;
    uint32_t items = 0;
    std::size_t Count() const { return static_cast<std::size_t>(channels) * (items == 0 ? 1 : items); }
};

/// Where a mixer announces that some of its controls changed. Called on the mixer's watcher
/// thread (or the test's); must not block. The receiver arranges for Mixer::TakeChanges to
/// run on the main thread, with the handle to check that the mixer is still the open one.
class MixerMessageTarget {
public:
    virtual ~MixerMessageTarget() = default;
    virtual void PostMixerChange(uint64_t handle) = 0;
};

/// What a mixer announced since the last look.
struct MixerChanges {
    std::vector<uint32_t> changed;  // controls whose values changed (the program's own writes among them)
    std::vector<uint32_t> removed;  // controls and source lines (by line id) that no longer exist
    /// Not 0: the mixer's device failed or went away. Nothing more is announced; close it.
    MixerResult failure = 0;
};

/// An open mixer. Closing is the destructor; no message for it is posted after it returns.
class Mixer {
public:
    virtual ~Mixer() = default;
    /// Unique over the process's life, so that a message of a closed mixer is recognised.
    virtual uint64_t Handle() const = 0;

    /// The recording destination line.
    virtual MixerResult GetDestinationLine(MixerLine* line) = 0;
    /// Source line `index` of destination `destinationId`.
    virtual MixerResult GetSourceLine(uint32_t destinationId, uint32_t index, MixerLine* line) = 0;
    /// Every control of a line.
    virtual MixerResult GetLineControls(uint32_t lineId, std::vector<MixerControlInfo>* controls) = 0;
    /// The volume control of a line.
    virtual MixerResult GetVolumeControl(uint32_t lineId, MixerControlInfo* control) = 0;
    /// Item names of a list control, one per value (each item's name repeated per channel).
    virtual MixerResult GetListTexts(const MixerControlDetails& details, std::vector<std::string>* texts) = 0;
    /// Current values: booleans of a list control, levels of a volume control.
    virtual MixerResult GetValues(const MixerControlDetails& details, std::vector<uint32_t>* values) = 0;
    virtual MixerResult SetValues(const MixerControlDetails& details, const std::vector<uint32_t>& values) = 0;

    /// Main thread, after a PostMixerChange: what changed since the last call. Lets the mixer
    /// announce again, unless it failed.
    virtual MixerChanges TakeChanges() = 0;
};

class MixerBackend {
public:
    virtual ~MixerBackend() = default;
    /// The mixer that belongs to the capture device of that name.
    virtual MixerResult GetMixerId(const std::string& captureDevice, std::string* mixerId) = 0;
    /// Opens the mixer; its changes are announced to `target`, which must outlive it.
    virtual MixerResult Open(const std::string& mixerId, MixerMessageTarget* target,
                             std::unique_ptr<Mixer>* mixer) = 0;
    /// Text for a result code; empty when there is none.
    virtual std::string ErrorText(MixerResult code) = 0;
};

/// A fresh handle for an opened mixer.
uint64_t NextMixerHandle();

}  // namespace pelmora
