// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppCore.h"

#include "app/RememberedDevice.h"

#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "capture/AlsaMessages.h"
#include "capture/CaptureDevice.h"
#include "capture/ThreadRoles.h"
#include "input/FormatText.h"
#include "input/AlsaMixer.h"
#include "input/InputEnumeration.h"
#include "input/MixerControl.h"
#include "input/SimulatedMixer.h"
#include "pulse/PulseMixer.h"
#include "pulse/PulseWaveIn.h"
#include "recording/ProcessEncoder.h"
#include "recording/RecordingControl.h"
#include "recording/Supervision.h"
#include "settings/ConfFile.h"
#include "settings/SettingsFile.h"

namespace pelmora {

namespace {

PriorityPlan PlanOf(const RecSettings& s) {
    PriorityPlan plan;
    plan.processClass = s.processPriorityClass;
    plan.uiLevel = s.uiThreadPriority;
    plan.receiveLevel = s.receiveThreadPriority;
    plan.preprocessLevel = s.preprocessThreadPriority;
    plan.writerLevel = s.writerThreadPriority;
    plan.encoderClass = s.encoderPriorityClass;
    plan.encoderLevel = s.encoderThreadPriority;
    return plan;
}

}  // namespace

// The enumeration's view: lists go to the window, device changes to the core.
class AppCore::InputBridge : public InputSelectionView {
public:
    explicit InputBridge(AppCore& core) : core_(core) {}
    void SetDeviceList(const std::vector<std::string>& items) override { core_.view_->SetDeviceList(items); }
    void SetFormatList(const std::vector<std::string>& items) override { core_.view_->SetFormatList(items); }
    void SelectFormat(int position) override { core_.view_->SelectFormat(position); }
    void SetAbrRange(int minimum, int maximum) override { core_.view_->SetAbrRange(minimum, maximum); }
    void SetAbrValue(int value) override { core_.view_->SetAbrValue(value); }
    void SetBitrateLabel(const std::string& text) override { core_.view_->SetBitrateLabel(text); }
    void BuildEncoderCommand() override { core_.BuildEncoderCommand(); }
    void CloseCaptureDevice() override { core_.CloseCaptureDevice(); }
    void PaintMeterGradients() override {}  // the meter pictures repaint on a range change
    bool OpenCaptureDevice() override { return core_.OpenCaptureDevice(); }
    void SetUpMixer() override { core_.SetupMixer(); }

private:
    AppCore& core_;
};

// The device control's view: recording controls and status panel through the window.
class AppCore::CaptureBridge : public CaptureView {
public:
    explicit CaptureBridge(AppCore& core) : core_(core) {}
    void EnableRecordButton(bool enable) override { core_.view_->EnableRecord(enable); }
    void ShowDeviceReady() override {
        core_.view_->SetState(kStateReady);
        core_.view_->ShowValues();
    }
    void ShowDeviceFailure() override {
        core_.view_->SetState(kStateInitFailed);
        core_.view_->ShowValues();
    }
    void BlankMeters() override { core_.view_->BlankMeters(); }
    void ResetClipTrackers() override { core_.supervisionState_.ResetClipTrackers(); }
    void ReleaseMixer() override { core_.mixer_->ReleaseMixer(); }

private:
    AppCore& core_;
};

AppCore::AppCore(std::string programFolder, std::unique_ptr<WaveInBackend> backend,
                 std::unique_ptr<MixerBackend> mixerBackend)
    : AppCore(ProgramPaths::InFolder(programFolder), std::move(backend), std::move(mixerBackend)) {}

AppCore::AppCore(const ProgramPaths& paths, std::unique_ptr<WaveInBackend> backend,
                 std::unique_ptr<MixerBackend> mixerBackend)
    : programFolder_(paths.programFolder),
      outputFolder_(paths.outputFolder),
      pathProblem_(paths.problem),
      encoderProcess_(programFolder_, paths.EncoderFolders()),
      server_(backend || mixerBackend ? nullptr : PulseConnection::Start()),
      mixerBackend_(mixerBackend ? std::move(mixerBackend)
                    : backend    ? std::unique_ptr<MixerBackend>(std::make_unique<SimulatedMixerBackend>())
                                 : std::make_unique<PulseMixerBackend>(server_, std::make_unique<AlsaMixer>())),
      backend_(backend ? std::move(backend) : std::make_unique<PulseWaveIn>(server_)),
      cpu_(*(log_ = std::make_unique<EventLog>(settings_, programFolder_))),
      writer_(pipeline_, output_),
      waveThread_(pipeline_, deviceObjects_, settings_, *backend_, *log_),
      preprocess_(pipeline_, settings_, dcFilter_) {
    SetDefaultSettings(settings_, outputFolder_);
    // Before any priority is set: the launcher keeps the one the process started with.
    ThreadRoles::Instance().StartLauncher();
    ThreadRoles::Instance().SetLog(log_.get());
    mixer_ = std::make_unique<MixerControl>(*mixerBackend_, settings_, *log_, [this] { return pipeline_.isRecording.load(); });
    encoder_ = std::make_unique<ProcessEncoder>(encoderProcess_, settings_, *log_, [this] { return encoderArgs_; });
}

AppCore::~AppCore() {
    Close();
    ThreadRoles::Instance().SetLog(nullptr);
}

std::string AppCore::OutputPath() const { return recorder_ ? recorder_->OutputPath() : std::string(); }

const WaveFormat* AppCore::SelectedFormat() const { return input_ ? input_->SelectedFormat() : nullptr; }

EncoderInputFormat AppCore::EncoderFormat() const {
    EncoderInputFormat f;
    if (const WaveFormat* w = SelectedFormat()) {
        f.channels = w->channels;
        f.sampleRate = w->samplesPerSec;
        f.bits = w->bitsPerSample;
        f.formatText = FormatListText(*w);
    }
    return f;
}

void AppCore::ChooseStoredBitrateTable() {
    const WaveFormat* w = SelectedFormat();
    const BitrateTable table =
        ChooseBitrateTable(settings_.resampleIndex, w ? static_cast<int>(w->samplesPerSec) : 44100);
    // The table, lsfMode and the ABR range go together, for stored settings too: a range
    // left from the table before would clamp the loaded ABR target.
    const int32_t abrBefore = settings_.abrBitrate;
    ApplyBitrateTable(bitrate_, table, settings_);
    const AbrRange range = AbrRangeOf(bitrate_);
    view_->SetAbrRange(range.minimum, range.maximum);
    if (settings_.abrBitrate != abrBefore) view_->SetAbrValue(settings_.abrBitrate);
}

void AppCore::BuildEncoderCommand() {
    if (!view_) return;
    EncoderCommand command =
        pelmora::BuildEncoderCommand(settings_, EncoderFormat(), bitrate_.activeBitrateTable, pipeline_.format, *view_);
    encoderArgs_ = command.encoderArgs;
}

void AppCore::Start(AppView& view) {
    if (view_) return;
    view_ = &view;
    // The program folder is the working folder: relative names resolve there.
    if (::chdir(programFolder_.c_str()) != 0) {
        // Stays where it was started; every path used is absolute anyway.
    }
    if (!pathProblem_.empty()) log_->AddLogLine("ERROR:   " + pathProblem_);
    LoadSettings(settings_, IniPath(), programFolder_, *log_, outputFolder_);
    conf_ = std::make_unique<ConfFile>(ConfPath(), *log_);

    inputBridge_ = std::make_unique<InputBridge>(*this);
    input_ = std::make_unique<InputEnumeration>(*backend_, settings_, bitrate_, *log_, *inputBridge_);
    view.CreateSettingsSheet();
    mixer_->AttachView(view.MixerControlsView());
    mixer_->SetMessageTarget(view.MixerMessages());
    mixer_->InitPadlock();
    // The General page's initialisation: devices, their formats, the bitrate table.
    input_->EnumerateInputDevices();
    if (auto* server = dynamic_cast<PulseWaveIn*>(backend_.get())) listGeneration_ = server->ListGeneration();
    const int remembered = RememberedDevicePosition(*conf_, input_->devices(), *log_, &rememberedAbsent_);
    if (remembered >= 0) settings_.deviceIndex = remembered;
    input_->FillFormatList();
    ChooseStoredBitrateTable();

    pipeline_.buffersPerSecond = BuffersPerSecond(settings_.meterRateIndex);
    view.ShowSettings();
    BuildEncoderCommand();

    cpuActive_ = cpu_.InitCpuUsage();
    log_->AddLogLine(cpuActive_ ? kCpuCounterInitialized : kCpuCounterFailed);
    view.BuildStatusPanel();
    view.StartTimer();
    view.SetupCpuGraph();
    dcFilter_.BuildWeights(settings_.dcAveragePeriod, pipeline_.buffersPerSecond.load());
    dcFilter_.ClearHistory();
    view.SetupMeters();
    preprocess_.SetMeterHook(view.MeterHook());

    pipeline_.isRecording = false;
    RecordingDeps deps{settings_, pipeline_, *log_, view, output_, supervisionState_, encoder_.get()};
    recorder_ = std::make_unique<RecordingControl>(deps);
    supervision_ = std::make_unique<Supervision>(settings_, pipeline_, *log_, view, *recorder_, supervisionState_,
                                                 [this] {
                                                     MeterSnapshot m = preprocess_.Meters();
                                                     return LevelReadings{m.processedPeakLeft, m.processedPeakRight,
                                                                          m.dcOffsetLeft, m.dcOffsetRight};
                                                 });
    captureBridge_ = std::make_unique<CaptureBridge>(*this);
    capture_ = std::make_unique<CaptureDevice>(
        pipeline_, deviceObjects_, settings_, *backend_, waveThread_, preprocess_, *log_, *captureBridge_,
        [this](int device, int format) -> std::optional<WaveFormat> {
            if (!input_ || !input_->formatListReady()) return std::nullopt;
            const WaveFormat* w = input_->FormatAt(device, format);
            if (!w) return std::nullopt;
            return *w;
        });

    // Each worker starts at its own level; then the process class and every thread's level.
    ThreadRoles::Instance().SetPlan(PlanOf(settings_));
    writer_.Start();
    preprocess_.Start();
    waveThread_.Start();
    ApplyPriorities();

    if (OpenCaptureDevice()) SetupMixer();
    view.SetGeneralPageIdle();
}

bool AppCore::OpenCaptureDevice() {
    if (!capture_) return false;
    if (capture_->OpenCaptureDevice()) return true;
    // A device that could not even be opened to list its formats has failed to open too.
    if (input_ && input_->SelectedDeviceUnreachable()) {
        captureBridge_->BlankMeters();
        captureBridge_->ShowDeviceFailure();
    }
    return false;
}

void AppCore::CloseCaptureDevice() {
    if (capture_) capture_->CloseCaptureDevice();
}

void AppCore::SetupMixer() {
    if (!input_ || input_->deviceCount() <= 0) return;
    mixer_->SetupMixer(input_->devices()[static_cast<std::size_t>(input_->SelectedDevice())].name);
}

void AppCore::ApplyPriorities() {
    // The encoder's class and its main thread's level are, on Linux, one setting of the
    // thread carrying its process id.
    ThreadRoles::Instance().Apply(PlanOf(settings_), encoderProcess_.IsRunning() ? encoderProcess_.Pid() : 0);
}

pid_t AppCore::ServerThreadId() const { return server_ ? server_->ThreadId() : 0; }

void AppCore::ApplyBufferSettings() {
    pipeline_.buffersPerSecond = BuffersPerSecond(settings_.meterRateIndex);
    // The weights span the averaging period in blocks: a new rate needs a new set.
    RebuildDcWeights();
    CloseCaptureDevice();
    if (OpenCaptureDevice()) SetupMixer();
}

void AppCore::RebuildDcWeights() {
    dcFilter_.BuildWeights(settings_.dcAveragePeriod, pipeline_.buffersPerSecond.load());
}

void AppCore::OnMixerChange(uint64_t handle) {
    if (!closed_) mixer_->OnMixerEvents(handle);
}

void AppCore::Close() {
    if (!view_ || closed_) return;
    closed_ = true;
    AppView& view = *view_;
    if (pipeline_.isRecording) recorder_->OnRecord();  // stops and waits for the flush
    CloseCaptureDevice();
    // Closed with the device; also when the device had failed, so no watcher outlives the window.
    mixer_->ReleaseMixer();
    mixer_->AttachView(nullptr);
    mixer_->SetMessageTarget(nullptr);

    settings_.settingsVersion = kSettingsVersion;
    std::string error;
    RememberSelectedDevice();
    const bool iniWritten = WriteSettingsFile(IniPath(), settings_, &error);
    if (!iniWritten) view.ReportSettingsWriteFailure(IniPath(), error);
    // A folder that took no pelmora.ini takes no pelmora.conf either: one message says it.
    if (!conf_->Save(&error) && iniWritten) view.ReportSettingsWriteFailure(ConfPath(), error);

    if (cpuActive_) cpu_.StopCpuUsage();
    view.ReleaseImages();
    // Writer first, then the preprocessing thread; the ring goes with the device objects.
    writer_.Quit();
    preprocess_.Quit();
    view.DestroySettingsSheet();
    view.StopTimer();
}

void AppCore::OnRecord() {
    if (recorder_ && !closed_) recorder_->OnRecord();
}

void AppCore::OnPause() {
    if (recorder_ && !closed_) recorder_->OnPause();
}

void AppCore::OnTimer() {
    if (log_)
        for (const std::string& message : TakeAlsaMessages()) log_->AddLogLine(message);
    if (!supervision_ || closed_) return;
    ThreadRoles::Instance().ReportRealTimeFallbacks(encoderProcess_.IsRunning() ? encoderProcess_.Pid() : 0);
    FollowDeviceList();
    supervision_->OnTimer();
    // A device that failed while capturing is tried again every second, so that capture
    // comes back by itself with the sound server.
    if (capture_ && capture_->ReopenFailedDevice()) inputBridge_->SetUpMixer();
}

void AppCore::OnDeviceSelected(int position) {
    if (!input_) return;
    input_->OnDeviceSelected(position);
    if (settings_.deviceIndex == position) {
        // The user's choice: remembered from now on, also when it was an absent one before.
        rememberedAbsent_ = false;
        RememberSelectedDevice();
    }
}

// Sources came or went, or the sound server did: the lists show what is there now, and the
// selected device stays selected by name, a recording from it undisturbed.
void AppCore::FollowDeviceList() {
    auto* server = dynamic_cast<PulseWaveIn*>(backend_.get());
    if (server == nullptr || !input_ || server->ListGeneration() == listGeneration_) return;
    listGeneration_ = server->ListGeneration();
    const std::string current =
        input_->deviceCount() > 0 ? input_->devices()[static_cast<std::size_t>(input_->SelectedDevice())].name : "";
    server->KeepListed(current);
    input_->EnumerateInputDevices();
    const int position = DevicePosition(input_->devices(), current);
    if (position >= 0) settings_.deviceIndex = position;
    input_->FillFormatList();
    view_->SelectDevice(input_->SelectedDevice());
    view_->SelectFormat(settings_.formatIndex);
}

void AppCore::RememberSelectedDevice() {
    if (!input_ || !conf_ || input_->deviceCount() <= 0 || rememberedAbsent_) return;
    conf_->SetText(kInputDeviceKey, input_->devices()[static_cast<std::size_t>(input_->SelectedDevice())].name);
}

void AppCore::OnFormatSelected(int position) {
    if (input_) input_->OnFormatSelected(position, pipeline_.pipelineReady.load());
}

int32_t AppCore::SampleCpu() {
    int32_t sample = 0;
    if (cpuActive_ && !cpu_.ReadCpuUsage(sample)) sample = 0;
    return sample;
}

void AppCore::LoadPreset(const std::string& path) {
    if (!view_) return;
    // The capture threads read the record while the device runs: the file is loaded and
    // checked in a copy, which takes the record's place once the device is closed.
    RecSettings loaded = settings_;
    LoadSettings(loaded, path, programFolder_, *log_, outputFolder_);
    CloseCaptureDevice();
    {
        auto quiet = preprocess_.HoldOffBlocks();
        settings_ = loaded;
    }
    pipeline_.buffersPerSecond = BuffersPerSecond(settings_.meterRateIndex);
    RebuildDcWeights();
    if (input_) input_->FillFormatList();
    ChooseStoredBitrateTable();
    view_->ShowSettings();
    if (OpenCaptureDevice()) SetupMixer();
    BuildEncoderCommand();
}

PresetSave AppCore::SavePreset(const std::string& chosenPath, const std::string& presetBoxText, std::string* path,
                               std::string* error) {
    // The dialog asked about the name it returned, not about the one with ".pmr" added.
    const std::string target = PresetSavePath(chosenPath);
    if (path) *path = target;
    struct stat st {};
    if (target != chosenPath && ::stat(target.c_str(), &st) == 0 && view_ &&
        !view_->AskYesNo(ReplaceFileQuestion(target)))
        return PresetSave::Declined;
    SetTextField(settings_.presetName, presetBoxText);
    settings_.settingsVersion = kSettingsVersion;
    return WriteSettingsFile(target, settings_, error) ? PresetSave::Saved : PresetSave::Failed;
}

}  // namespace pelmora
