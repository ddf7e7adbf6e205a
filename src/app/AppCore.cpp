#include "app/AppCore.h"

#include <unistd.h>

#include "settings/SettingsFile.h"

namespace pelmora {

AppCore::AppCore(std::string programFolder) : programFolder_(std::move(programFolder)) {
    SetDefaultSettings(settings_, programFolder_);
    log_ = std::make_unique<EventLog>(settings_, programFolder_);
}

AppCore::~AppCore() = default;

EncoderInputFormat AppCore::SelectedFormat() const { return EncoderInputFormat{}; }

void AppCore::BuildEncoderCommand(EncoderCommandView& view) {
    EncoderCommand command =
        pelmora::BuildEncoderCommand(settings_, SelectedFormat(), bitrate_.activeBitrateTable, pipeline_.format, view);
    encoderArgs_ = command.encoderArgs;
}

void AppCore::Start(AppView& view) {
    if (started_) return;
    started_ = true;
    // The program folder is the working folder: relative output names resolve there.
    if (::chdir(programFolder_.c_str()) != 0) {
    }
    LoadSettings(settings_, IniPath(), programFolder_, *log_);
    view.CreateSettingsSheet();
    pipeline_.buffersPerSecond = BuffersPerSecond(settings_.meterRateIndex);
    view.ShowSettings();
    BuildEncoderCommand(view);
    view.BuildStatusPanel();
    view.StartTimer();
    view.SetupCpuGraph();
    view.SetupMeters();
    pipeline_.isRecording = false;
    view.SetGeneralPageIdle();
}

void AppCore::Close(AppView& view) {
    if (!started_ || closed_) return;
    closed_ = true;
    if (pipeline_.isRecording) view.StopRecording();
    settings_.settingsVersion = kSettingsVersion;
    std::string error;
    if (!WriteSettingsFile(IniPath(), settings_, &error)) view.ReportSettingsWriteFailure(IniPath(), error);
    view.ReleaseImages();
    view.DestroySettingsSheet();
    view.StopTimer();
}

void AppCore::LoadPreset(const std::string& path, AppView& view) {
    LoadSettings(settings_, path, programFolder_, *log_);
    pipeline_.buffersPerSecond = BuffersPerSecond(settings_.meterRateIndex);
    view.ShowSettings();
    BuildEncoderCommand(view);
}

bool AppCore::SavePreset(const std::string& path, std::string* error) {
    settings_.settingsVersion = kSettingsVersion;
    return WriteSettingsFile(path, settings_, error);
}

}  // namespace pelmora
