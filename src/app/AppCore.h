// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program without its window: owns the settings record, the event log, the pipeline
// state, the worker threads, the capture device and the recorder, and runs the start-up and
// close sequences in their order. The window takes part through AppView.

#include <memory>
#include <string>
#include <vector>

#include "app/ProgramFolder.h"
#include "capture/DcFilter.h"
#include "capture/DeviceObjects.h"
#include "capture/MeterSnapshot.h"
#include "capture/PipelineState.h"
#include "capture/PreprocessThread.h"
#include "capture/WaveThread.h"
#include "capture/WaveIn.h"
#include "capture/WriterOutput.h"
#include "capture/WriterThread.h"
#include "encoder/EncoderCommand.h"
#include "encoder/EncoderProcess.h"
#include "input/Mixer.h"
#include "input/MixerView.h"
#include "monitor/CpuUsage.h"
#include "recording/EventLog.h"
#include "recording/RecordingView.h"
#include "recording/SupervisionState.h"
#include "settings/BitrateTable.h"
#include "settings/RecSettings.h"

namespace pelmora {

class CaptureDevice;
class PulseConnection;
class ConfFile;
class InputEnumeration;
class MixerControl;
class ProcessEncoder;
class RecordingControl;
class Supervision;

/// The window's part of start-up and close, and what the engine shows through it.
class AppView : public EncoderCommandView, public RecordingView {
public:
    virtual void CreateSettingsSheet() = 0;
    /// Puts the record into every page and the preset name box.
    virtual void ShowSettings() = 0;
    virtual void BuildStatusPanel() = 0;
    virtual void StartTimer() = 0;
    virtual void SetupCpuGraph() = 0;
    virtual void SetupMeters() = 0;
    virtual void SetGeneralPageIdle() = 0;
    virtual void ReleaseImages() = 0;
    virtual void DestroySettingsSheet() = 0;
    virtual void StopTimer() = 0;
    /// pelmora.ini could not be written at close; the close goes on.
    virtual void ReportSettingsWriteFailure(const std::string& path, const std::string& reason) = 0;

    // General page lists, each call replacing the whole list.
    virtual void SetDeviceList(const std::vector<std::string>& items) = 0;
    virtual void SetFormatList(const std::vector<std::string>& items) = 0;
    virtual void SelectFormat(int position) = 0;
    virtual void SelectDevice(int position) { (void)position; }
    virtual void SetBitrateLabel(const std::string& text) = 0;
    /// The active bitrate table switched: the XBR page's ABR limits, and its value when it moved.
    virtual void SetAbrRange(int minimum, int maximum) { (void)minimum, (void)maximum; }
    virtual void SetAbrValue(int value) { (void)value; }
    /// The device failed to open: both meters black.
    virtual void BlankMeters() = 0;
    /// Composes the meter pictures on the preprocessing thread; made by SetupMeters().
    virtual MeterBlockHook* MeterHook() { return nullptr; }
    /// The General page's mixer controls (made by CreateSettingsSheet), and where mixers
    /// post their change messages for the main thread; none: not shown, not followed.
    virtual MixerView* MixerControlsView() { return nullptr; }
    virtual MixerMessageTarget* MixerMessages() { return nullptr; }
};

enum class PresetSave { Saved, Declined, Failed };

class AppCore {
public:
    /// `programFolder` ends with "/"; it holds pelmora.ini and is the default output folder.
    /// Without a backend the sound server's sources and the system's ALSA devices are used,
    /// with the server's and ALSA's mixers; with a wave-input backend but no mixer backend, a simulated mixer.
    explicit AppCore(std::string programFolder, std::unique_ptr<WaveInBackend> backend = nullptr,
                     std::unique_ptr<MixerBackend> mixerBackend = nullptr);
    /// With the folders decided at start-up.
    explicit AppCore(const ProgramPaths& paths, std::unique_ptr<WaveInBackend> backend = nullptr,
                     std::unique_ptr<MixerBackend> mixerBackend = nullptr);
    ~AppCore();
    AppCore(const AppCore&) = delete;
    AppCore& operator=(const AppCore&) = delete;

    /// Main window initialisation, in order. Call once.
    void Start(AppView& view);
    /// Main window close, in order: stops a recording, closes the device, saves
    /// pelmora.ini, ends the threads. Runs once; later calls do nothing.
    void Close();
    bool Started() const { return view_ != nullptr; }
    bool Closed() const { return closed_; }

    // The window's controls.
    void OnRecord();
    void OnPause();
    void OnTimer();
    void OnDeviceSelected(int position);
    void OnFormatSelected(int position);
    /// Rebuilds the encoder arguments and texts (after any output setting changed).
    void BuildEncoderCommand();
    /// Loads a settings file chosen by the user (Load button) and brings the program in
    /// line with it.
    void LoadPreset(const std::string& path);
    /// The Save button once its dialog chose `chosenPath`: ".pmr" is added to a name without
    /// an extension, and an existing file the dialog did not ask about is replaced only when
    /// the user agrees. Sets presetName from the preset box's text and writes the record to
    /// the final path (given back in `path`); `error` holds the reason of a failure.
    PresetSave SavePreset(const std::string& chosenPath, const std::string& presetBoxText, std::string* path,
                          std::string* error);

    /// One CPU sample in percent: 0 while the counter is off or a reading fails.
    int32_t SampleCpu();
    /// Clears the peak holds of one meter (a click on it or its readout).
    void ClearHolds(PeakHolds::Meter meter) { preprocess_.Holds().Clear(meter); }
    /// The preprocessing thread's latest values (hold texts among them).
    MeterSnapshot Meters() const { return preprocess_.Meters(); }

    RecSettings& Settings() { return settings_; }
    const RecSettings& Settings() const { return settings_; }
    EventLog& Log() { return *log_; }
    PipelineState& Pipeline() { return pipeline_; }
    const std::string& ProgramFolder() const { return programFolder_; }
    std::string IniPath() const { return programFolder_ + "pelmora.ini"; }
    /// Settings beyond the record, beside pelmora.ini; read at Start, written at Close.
    std::string ConfPath() const { return programFolder_ + "pelmora.conf"; }
    /// The key file of ConfPath(); null before Start.
    ConfFile* Conf() { return conf_.get(); }
    /// Where output goes by default, and bare output names are resolved.
    const std::string& DefaultOutputFolder() const { return outputFolder_; }
    BitrateTable ActiveBitrateTable() const { return bitrate_.activeBitrateTable; }
    BitrateState& Bitrate() { return bitrate_; }
    const std::string& EncoderArgs() const { return encoderArgs_; }
    /// The running encoder's console output ("Show lame console").
    EncoderConsole& EncoderOutput() { return encoderProcess_.Console(); }
    bool IsRecording() const { return pipeline_.isRecording.load(); }
    bool IsPaused() const { return pipeline_.isPaused.load(); }
    /// The current recording's output file; the last one after a stop; empty before any.
    std::string OutputPath() const;
    /// The capture format selected by deviceIndex and formatIndex; nullptr without one.
    const WaveFormat* SelectedFormat() const;

    /// Device control (the capture device when one exists).
    bool OpenCaptureDevice();
    void CloseCaptureDevice();
    /// Sets up the mixer of the open capture device.
    void SetupMixer();
    /// The General page's mixer line control.
    MixerControl& Mixer() { return *mixer_; }
    /// A mixer's change message reached the main thread.
    void OnMixerChange(uint64_t handle);

    // Tuning.
    /// The seven priority settings: the running encoder's class and thread, the program's
    /// process class and every thread's level in it, each set once; what the system refuses
    /// is logged, with the nearest permitted value in force. Call on the window's thread.
    void ApplyPriorities();
    /// The buffer settings took new values: buffersPerSecond from meterRateIndex and the DC
    /// filter's weights for it, then the device is closed and opened again with them, and its
    /// mixer set up.
    void ApplyBufferSettings();
    /// dcAveragePeriod took a new value: the DC filter's weights are rebuilt from it and the
    /// buffer rate in force.
    void RebuildDcWeights();
    const DcFilter& Dc() const { return dcFilter_; }
    /// Kernel ids of the receiving, preprocessing and writer threads.
    pid_t ReceiveThreadId() const { return waveThread_.Tid(); }
    pid_t PreprocessThreadId() const { return preprocess_.Tid(); }
    pid_t WriterThreadId() const { return writer_.Tid(); }
    /// The sound server's client thread; 0 without one.
    pid_t ServerThreadId() const;
    /// The running encoder's process id; 0 when none runs.
    pid_t EncoderProcessId() const { return encoderProcess_.Pid(); }

private:
    class InputBridge;
    class CaptureBridge;
    EncoderInputFormat EncoderFormat() const;
    /// Puts in force the bitrate table the stored settings and the selected format call
    /// for, with its lsfMode and ABR range.
    void ChooseStoredBitrateTable();
    /// Puts the selected device's name into pelmora.conf, unless the remembered one was
    /// absent at start-up and the user chose none since.
    void RememberSelectedDevice();
    void FollowDeviceList();

    std::string programFolder_;
    std::string outputFolder_;
    std::string pathProblem_;
    RecSettings settings_{};
    std::unique_ptr<ConfFile> conf_;
    bool rememberedAbsent_ = false;
    uint64_t listGeneration_ = 0;  // of the sound server's list last shown
    std::unique_ptr<EventLog> log_;
    PipelineState pipeline_;
    BitrateState bitrate_;
    std::string encoderArgs_;
    SupervisionState supervisionState_;
    WriterOutput output_;
    EncoderProcess encoderProcess_;
    std::unique_ptr<ProcessEncoder> encoder_;
    std::shared_ptr<PulseConnection> server_;     // the sound server, when the backends are the system's
    std::unique_ptr<MixerBackend> mixerBackend_;  // before backend_: chosen by whether one was given
    std::unique_ptr<WaveInBackend> backend_;
    std::unique_ptr<MixerControl> mixer_;
    std::unique_ptr<InputBridge> inputBridge_;
    std::unique_ptr<InputEnumeration> input_;
    std::unique_ptr<RecordingControl> recorder_;
    std::unique_ptr<Supervision> supervision_;
    CpuUsageCounter cpu_;
    bool cpuActive_ = false;
    WriterThread writer_;
    DcFilter dcFilter_;
    DeviceObjects deviceObjects_;
    CWaveThread waveThread_;
    PreprocessThread preprocess_;
    std::unique_ptr<CaptureBridge> captureBridge_;
    std::unique_ptr<CaptureDevice> capture_;  // before the threads it uses are gone

    AppView* view_ = nullptr;
    bool closed_ = false;
};

}  // namespace pelmora
