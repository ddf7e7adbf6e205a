#pragma once
// The program without its window: owns the settings record, the event log, the pipeline
// state, the worker threads, the capture device and the recorder, and runs the start-up and
// close sequences in their order. The window takes part through AppView.

#include <memory>
#include <string>

#include "capture/PipelineState.h"
#include "encoder/EncoderCommand.h"
#include "recording/EventLog.h"
#include "settings/BitrateTable.h"
#include "settings/RecSettings.h"

namespace pelmora {

/// The window's steps of start-up and close, called by AppCore in sequence.
class AppView : public EncoderCommandView {
public:
    virtual void CreateSettingsSheet() = 0;
    /// Puts the record into every page and the preset name box.
    virtual void ShowSettings() = 0;
    virtual void BuildStatusPanel() = 0;
    virtual void StartTimer() = 0;
    virtual void SetupCpuGraph() = 0;
    virtual void SetupMeters() = 0;
    virtual void SetGeneralPageIdle() = 0;
    /// Stops a running recording exactly as the Stop button does, waiting for the flush.
    virtual void StopRecording() = 0;
    virtual void ReleaseImages() = 0;
    virtual void DestroySettingsSheet() = 0;
    virtual void StopTimer() = 0;
    /// pelmora.ini could not be written at close; the close goes on.
    virtual void ReportSettingsWriteFailure(const std::string& path, const std::string& reason) = 0;
};

class AppCore {
public:
    /// `programFolder` ends with "/"; it holds pelmora.ini and is the default output folder.
    explicit AppCore(std::string programFolder);
    ~AppCore();
    AppCore(const AppCore&) = delete;
    AppCore& operator=(const AppCore&) = delete;

    /// Main window initialisation, in order. Call once.
    void Start(AppView& view);
    /// Main window close, in order: stops a recording, closes the device, saves
    /// pelmora.ini, ends the threads. Call once; later calls do nothing.
    void Close(AppView& view);
    bool Started() const { return started_; }
    bool Closed() const { return closed_; }

    /// Rebuilds the encoder arguments and texts (after any output setting changed).
    void BuildEncoderCommand(EncoderCommandView& view);
    /// Loads a settings file chosen by the user (Load button) and brings the program in
    /// line with it.
    void LoadPreset(const std::string& path, AppView& view);
    /// Writes the record to a preset file (Save button); false with the reason on failure.
    bool SavePreset(const std::string& path, std::string* error);

    RecSettings& Settings() { return settings_; }
    const RecSettings& Settings() const { return settings_; }
    EventLog& Log() { return *log_; }
    PipelineState& Pipeline() { return pipeline_; }
    const std::string& ProgramFolder() const { return programFolder_; }
    std::string IniPath() const { return programFolder_ + "pelmora.ini"; }
    BitrateTable ActiveBitrateTable() const { return bitrate_.activeBitrateTable; }
    const std::string& EncoderArgs() const { return encoderArgs_; }
    bool IsRecording() const { return pipeline_.isRecording.load(); }

private:
    EncoderInputFormat SelectedFormat() const;

    std::string programFolder_;
    RecSettings settings_{};
    std::unique_ptr<EventLog> log_;
    PipelineState pipeline_;
    BitrateState bitrate_;
    std::string encoderArgs_;
    bool started_ = false;
    bool closed_ = false;
};

}  // namespace pelmora
