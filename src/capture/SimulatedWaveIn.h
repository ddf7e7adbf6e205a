// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A wave-input backend without hardware: a deterministic sound source behind the WaveIn
// interface, paced in real time or as fast as buffers are queued, with injectable faults.
// Returned buffers go to the target strictly in queueing order, from the device's own thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "capture/WaveIn.h"

namespace pelmora {

enum class SimulatedSource {
    kSilence,    // every sample at zero level
    kConstant,   // every sample at constantOffset
    kSine,       // sineAmplitude x full scale at sineFrequency, same on every channel
    kFullScale,  // frames alternating between the most negative and the most positive value
    kSupplied,   // the bytes of `supplied`, repeated
};

enum class SimulatedPace {
    kRealTime,  // one buffer per buffer duration; with nothing queued the sound is discarded
    kFlatOut,   // queued buffers are filled and returned at once, all but the newest
};

struct SimulatedWaveInConfig {
    SimulatedSource source = SimulatedSource::kSilence;
    int constantOffset = 0;        // sample units (8-bit: around 128)
    double sineFrequency = 1000.0;
    double sineAmplitude = 0.5;    // fraction of full scale
    std::vector<uint8_t> supplied;
    SimulatedPace pace = SimulatedPace::kFlatOut;

    // Faults. Call numbers count from 1 over the device's whole life; 0 = never.
    std::function<bool(const WaveFormat&)> acceptsFormat;  // null: PCM 8/16-bit, 1-2 channels
    bool deviceBusy = false;        // Open fails
    int failPrepareCall = 0;
    int failUnprepareCall = 0;
    int failAddCall = 0;
    bool failStart = false;
    bool failReset = false;         // Reset still returns the buffers but reports failure
    bool failClose = false;
    int stallAfterBuffers = 0;      // return this many buffers, then stop returning any
    bool startStalled = false;      // return nothing until the probe lets it
    int dieAfterBuffers = 0;        // return this many, then one half filled, then fail every call
    // Return this many, then run on without delivering anything, whatever the pace (a dead
    // server behind a plugin whose every read overruns and every recovery succeeds): calls
    // succeed, the position moves on in real time, all of it discarded.
    int noDataAfterBuffers = 0;
    bool serverDown = false;        // no sound server: neither QueryFormats nor Open reach the device
    int stallAddCall = 0;           // this Add call takes addStall before it does anything
    std::chrono::milliseconds addStall{0};
    int jumpBeforeBuffer = 0;       // before returning this buffer, the position leaps ahead
    uint64_t jumpBytes = 0;
    bool noErrorText = false;       // ErrorText has nothing to say
};

struct SimulatedDeviceCore;

/// What a test can see of and do to the simulated devices of one backend.
class SimulatedWaveInProbe {
public:
    int OpenDevices() const { return openDevices_.load(); }
    int OpenCalls() const { return openCalls_.load(); }
    int QueuedBuffers() const { return queued_.load(); }     // at the device, not yet returned
    int PreparedBuffers() const { return prepared_.load(); } // prepared, not unprepared
    uint64_t ReturnedBuffers() const;
    /// Waits until `count` buffers have been returned in all; false on timeout.
    bool WaitReturned(uint64_t count, std::chrono::milliseconds timeout) const;
    /// Stops or resumes the returning of buffers by the open device.
    void SetStalled(bool stalled);
    /// Lets the open device return `count` more buffers, then stall again.
    void ReturnMore(uint64_t count);
    /// Moves the open device's position ahead, as if it had captured and discarded `bytes`.
    void JumpPosition(uint64_t bytes);
    /// Waits until the stalling Add call (stallAddCall) has begun; false on timeout.
    bool WaitAddStalling(std::chrono::milliseconds timeout) const;

private:
    friend class SimulatedWaveInDevice;
    friend class SimulatedWaveInBackend;

    void CountReturned();
    void NoteAddStalling();
    std::shared_ptr<SimulatedDeviceCore> Current() const;

    std::atomic<int> openDevices_{0};
    std::atomic<int> openCalls_{0};
    std::atomic<int> queued_{0};
    std::atomic<int> prepared_{0};

    mutable std::mutex mutex_;  // guards the three below
    mutable std::condition_variable returnedChanged_;
    uint64_t returned_ = 0;
    bool addStalling_ = false;
    std::weak_ptr<SimulatedDeviceCore> current_;
};

class SimulatedWaveInBackend : public WaveInBackend {
public:
    explicit SimulatedWaveInBackend(SimulatedWaveInConfig config = {});

    std::vector<WaveInDeviceInfo> Devices() override;
    std::vector<WaveResult> QueryFormats(int deviceId, const std::vector<WaveFormat>& candidates,
                                         WaveResult* openError = nullptr) override;
    WaveResult Open(int deviceId, const WaveFormat& format, WaveMessageTarget* target,
                    std::unique_ptr<WaveInDevice>* device) override;
    std::string ErrorText(WaveResult code) override;

    /// Applies to devices opened from now on.
    void SetConfig(SimulatedWaveInConfig config);
    SimulatedWaveInProbe& Probe() { return *probe_; }

private:
    bool Accepts(const WaveFormat& format) const;

    SimulatedWaveInConfig config_;
    std::shared_ptr<SimulatedWaveInProbe> probe_;
};

}  // namespace pelmora
