// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Control of the wave-input device: OpenCaptureDevice sizes and allocates every pipeline
// storage, queues the device buffers and starts capturing; CloseCaptureDevice stops it in
// step with the receiving thread so that every buffer is back or accounted for before the
// device is closed.

#include <chrono>
#include <functional>
#include <optional>

#include "capture/DeviceObjects.h"
#include "capture/PipelineState.h"
#include "capture/WaveIn.h"
#include "recording/LogSink.h"
#include "settings/RecSettings.h"

namespace pelmora {

class CWaveThread;
class PreprocessThread;

/// What the device control changes outside the pipeline. The main window implements it;
/// every call comes on the main window's thread.
class CaptureView {
public:
    virtual ~CaptureView() = default;
    virtual void EnableRecordButton(bool enable) = 0;
    /// Status panel in its ready state.
    virtual void ShowDeviceReady() = 0;
    /// Status panel in its failure state.
    virtual void ShowDeviceFailure() = 0;
    /// Both level-meter images cleared to black and copied to the screen.
    virtual void BlankMeters() = 0;
    /// The supervision's clip trackers: clipRunSeconds, clipCount to 0, manyClipsMode off.
    virtual void ResetClipTrackers() = 0;
    /// Releases the mixer of the device; called first when an open device is closed.
    virtual void ReleaseMixer() = 0;
};

/// The capture format of (deviceIndex, formatIndex), or none while the format list is not
/// ready (formatListReady false).
using CaptureFormatLookup = std::function<std::optional<WaveFormat>(int deviceIndex, int formatIndex)>;

class CaptureDevice {
public:
    CaptureDevice(PipelineState& state, DeviceObjects& device, const RecSettings& settings, WaveInBackend& backend,
                  CWaveThread& waveThread, PreprocessThread& preprocess, LogSink& log, CaptureView& view,
                  CaptureFormatLookup formats);
    ~CaptureDevice();  // CloseCaptureDevice() if still open, then frees the device buffers
    CaptureDevice(const CaptureDevice&) = delete;
    CaptureDevice& operator=(const CaptureDevice&) = delete;

    /// True when capturing. Reads deviceIndex, formatIndex, deviceQueueSeconds,
    /// receivedStoreSeconds, outputStoreSeconds and the pipeline's buffersPerSecond.
    bool OpenCaptureDevice();
    void CloseCaptureDevice();
    void ReportWaveError(WaveResult code);
    /// After the device failed while capturing and the failure was reported (deviceFailed,
    /// deviceFailureReported): closes it and tries to open it again, logging only a success.
    /// For the once-a-second supervision while no recording runs; true once it captures again.
    bool ReopenFailedDevice();

    /// How long the close waits for buffers to come back after the device reset: one
    /// buffer duration and 100 ms.
    std::chrono::milliseconds ReturnWaitLimit() const;

private:
    bool FailureTail(bool opened);
    void FreeBuffers();
    /// Where failure lines go: nowhere while a reopen attempt runs.
    LogSink& FailureLog();

    PipelineState& state_;
    DeviceObjects& device_;
    const RecSettings& settings_;
    WaveInBackend& backend_;
    CWaveThread& waveThread_;
    PreprocessThread& preprocess_;
    LogSink& log_;
    CaptureView& view_;
    CaptureFormatLookup formats_;
    bool reopening_ = false;      // the device failed while capturing; not open again yet
    bool quietFailures_ = false;  // a reopen attempt is running
};

}  // namespace pelmora
