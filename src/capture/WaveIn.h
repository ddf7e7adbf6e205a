// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The wave-input layer: one interface over the capture backends (ALSA, simulated).
// A device returns every queued buffer, strictly in queueing order, as a message to the
// receiving thread's WaveMessageTarget.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "recording/LogSink.h"

namespace pelmora {

/// PCM format record, stored byte for byte as the platform's 18-byte format record.
#pragma pack(push, 1)
struct WaveFormat {
    uint16_t formatTag = 1;  // 1 = PCM
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormat) == 18);

WaveFormat MakePcmFormat(uint32_t rate, uint16_t bits, uint16_t channels);

/// One device buffer. The layer fills `data` up to `bufferLength` and sets `bytesRecorded`.
struct WaveHeader {
    uint8_t* data = nullptr;
    uint32_t bufferLength = 0;
    uint32_t bytesRecorded = 0;
    uintptr_t user = 0;
    uint32_t flags = 0;
};

constexpr uint32_t kWaveHeaderPrepared = 0x2;
constexpr uint32_t kWaveHeaderDone = 0x1;
constexpr uint32_t kWaveHeaderInQueue = 0x10;

/// Result codes: 0 success, otherwise a negative errno-style value; ErrorText explains it.
using WaveResult = int;

/// Where a device posts its returned buffers (the receiving thread's message queue).
/// Posting never blocks the caller for longer than a short queue operation.
class WaveMessageTarget {
public:
    virtual ~WaveMessageTarget() = default;
    virtual void PostWaveData(WaveHeader* header) = 0;
};

/// An open capture device.
class WaveInDevice {
public:
    virtual ~WaveInDevice() = default;
    virtual WaveResult Prepare(WaveHeader* header) = 0;
    virtual WaveResult Unprepare(WaveHeader* header) = 0;
    /// Queues a prepared buffer behind the others.
    virtual WaveResult Add(WaveHeader* header) = 0;
    virtual WaveResult Start() = 0;
    /// Bytes the device has delivered since start, including bytes it had to discard.
    virtual WaveResult Position(uint64_t* bytes) = 0;
    /// Position together with the part of it that never reached a buffer (read while
    /// nothing was queued, or gone in an overrun), taken at one moment.
    virtual WaveResult Counters(uint64_t* position, uint64_t* discarded) {
        *discarded = 0;
        return Position(position);
    }
    /// Returns every queued buffer (as messages) and stops capturing.
    virtual WaveResult Reset() = 0;
    virtual WaveResult Close() = 0;
};

struct WaveInDeviceInfo {
    std::string name;         // identifier used to open it (ALSA PCM name)
    std::string description;  // text shown in the Device list
};

class WaveInBackend {
public:
    virtual ~WaveInBackend() = default;
    virtual std::vector<WaveInDeviceInfo> Devices() = 0;
    /// Asks the device about every candidate without opening it for capture;
    /// results[i] is 0 where candidate i is accepted. When the device cannot be opened to be
    /// asked at all, every result is that error and so is *openError (if given; else 0).
    virtual std::vector<WaveResult> QueryFormats(int deviceId, const std::vector<WaveFormat>& candidates,
                                                 WaveResult* openError = nullptr) = 0;
    virtual WaveResult Open(int deviceId, const WaveFormat& format, WaveMessageTarget* target,
                            std::unique_ptr<WaveInDevice>* device) = 0;
    /// Text for a result code; empty when there is none.
    virtual std::string ErrorText(WaveResult code) = 0;
};

/// Logs the device's text for `code`, or "ERROR:   Unpredictable error occured" when it has
/// none. The caller logs its own line after it.
void ReportWaveError(WaveInBackend& backend, LogSink& log, WaveResult code);

}  // namespace pelmora
