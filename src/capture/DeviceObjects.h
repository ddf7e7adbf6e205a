// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The open wave-input device and its buffers, shared by the device control (main thread)
// and the receiving thread. The main thread changes them only while the receiving thread
// ignores the device (pipelineReady clear) or is parked in the close handshake.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "capture/WaveIn.h"

namespace pelmora {

/// One device buffer: its header and the SoundBuffer it owns.
struct DeviceBuffer {
    explicit DeviceBuffer(int bytes) : sound(static_cast<std::size_t>(bytes)) {
        header.data = sound.data();
        header.bufferLength = static_cast<uint32_t>(bytes);
    }
    WaveHeader header;
    std::vector<uint8_t> sound;
};

struct DeviceObjects {
    std::unique_ptr<WaveInDevice> waveIn;
    /// The device buffers in the order first queued; a cleared entry is retired.
    std::vector<WaveHeader*> deviceHeaders;
    /// Index into deviceHeaders of the buffer expected back next.
    std::atomic<int> currentHeaderIndex{0};
    /// Buffers queued at the device that have not come back yet.
    std::atomic<int> liveHeaderCount{0};
    /// Storage of every buffer of this open. Freed by the main thread once the device is
    /// closed and the receiving thread holds no header any more, so a buffer that never
    /// comes back (failed or stalled device) is still freed, and never freed twice.
    std::vector<std::unique_ptr<DeviceBuffer>> buffers;
};

}  // namespace pelmora
