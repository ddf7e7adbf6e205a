// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: the main window. It implements the views the engine talks to and forwards
// the user's actions; all the work is AppCore's.

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <memory>
#include <mutex>
#include <string>

#include "app/AppCore.h"
#include "app/RemoteCommands.h"
#include "monitor/MeterDrawer.h"
#include "monitor/StatusPanelControl.h"
#include "settings/PageHost.h"
#include "settings/SettingsPages.h"

namespace pelmora {

class CanvasControl;
class DBusService;
class RemoteCommands;
class CGenPage;
class CLameConsole;
class CLogList;
class propsheet;

class CMainDlg : public wxDialog, public AppView, public PageHost, public DescriptionSource, public MixerMessageTarget {
public:
    explicit CMainDlg(AppCore& core);
    ~CMainDlg() override;

    /// Main window initialisation (the start-up sequence); call before showing it.
    void OnInitDialog();

    // AppView
    void CreateSettingsSheet() override;
    void ShowSettings() override;
    void BuildStatusPanel() override;
    void StartTimer() override;
    void SetupCpuGraph() override;
    void SetupMeters() override;
    void SetGeneralPageIdle() override;
    void ReleaseImages() override;
    void DestroySettingsSheet() override;
    void StopTimer() override;
    void ReportSettingsWriteFailure(const std::string& path, const std::string& reason) override;
    void SetCompressionOptions(const std::string& text) override;
    void SetDescription(const std::string& text) override;
    void SetDeviceList(const std::vector<std::string>& items) override;
    void SetFormatList(const std::vector<std::string>& items) override;
    void SelectFormat(int position) override;
    void SelectDevice(int position) override;
    void SetBitrateLabel(const std::string& text) override;
    void SetAbrRange(int minimum, int maximum) override;
    void SetAbrValue(int value) override;
    void BlankMeters() override;
    MeterBlockHook* MeterHook() override;
    MixerView* MixerControlsView() override;
    MixerMessageTarget* MixerMessages() override { return this; }

    // MixerMessageTarget: from a mixer's watcher thread.
    void PostMixerChange(uint64_t handle) override;

    // RecordingView
    bool AskYesNo(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    void SetRecordingControls(int state) override;
    void SetRecordCaption(const std::string& caption) override;
    void EnableRecord(bool enabled) override;
    void ShowPendingChanges() override;
    void SetPauseCaption(const std::string& caption) override;
    void EnablePause(bool enabled) override;
    void SetState(int state) override;
    void SetStatusValues(const StatusValues& values) override;
    void ShowValues() override;
    void BlinkState(int phase) override;
    void ShowBufferFill(const BufferFill& fill) override;
    std::optional<std::string> OutputFileEntry() override;
    void ShowOutputFileEntry(const std::string& entry) override;
    void CpuTick() override;

    // PageHost
    RecSettings& Settings() override { return core_.Settings(); }
    const std::string& ProgramFolder() const override { return core_.ProgramFolder(); }
    const std::string& DefaultOutputFolder() const override { return core_.DefaultOutputFolder(); }
    bool IsRecording() const override { return core_.IsRecording(); }
    bool PipelineReady() const override;
    void BuildEncoderCommand() override;
    BitrateTable ActiveBitrateTable() const override { return core_.ActiveBitrateTable(); }
    BitrateState& Bitrate() override { return core_.Bitrate(); }
    int CaptureSampleRate() const override;
    std::string ChooseFile(const FileChoice& choice) override;
    void FocusRecordButton() override;
    void OnDeviceSelected(int position) override;
    void OnFormatSelected(int position) override;
    void ShowBuffersDialog() override;
    void ShowPriorityDialog() override;
    void ShowDcFilterDialog() override;

    // DescriptionSource: texts kept on the main thread, read by the log from any thread.
    std::string DeviceText() const override;
    std::string SourceText() const override;
    std::string FormatText() const override;
    std::string CompressionOptionsText() const override;

private:
    struct Bridge;
    class MeterHookImpl;
    class RemotePanel;
    class DialogWatch;

    wxRect DluRect(int x, int y, int w, int h) const;
    void CreateControls();
    void UpdateDescriptionTexts();
    void BringForwardForRemote();
    void UpdateMeters();
    void ShowLameConsole();
    void UpdateLameConsole();

    void OnClose(wxCloseEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnContextMenu(wxContextMenuEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnRecord();
    void OnPause();
    void OnLoad();
    void OnSave();
    void OnPresetNameChanged();

    AppCore& core_;
    std::shared_ptr<Bridge> bridge_;

    wxButton* record_ = nullptr;
    wxButton* pause_ = nullptr;
    wxButton* load_ = nullptr;
    wxButton* save_ = nullptr;
    wxTextCtrl* compression_ = nullptr;
    wxTextCtrl* presetName_ = nullptr;
    CanvasControl* brief_ = nullptr;  // one line, nothing to select
    CanvasControl* inputMeter_ = nullptr;
    CanvasControl* processedMeter_ = nullptr;
    CanvasControl* inputHold_ = nullptr;
    CanvasControl* processedHold_ = nullptr;
    CanvasControl* cpuGraph_ = nullptr;
    CanvasControl* statusPanel_ = nullptr;
    CLogList* logBox_ = nullptr;
    propsheet* sheet_ = nullptr;
    std::unique_ptr<SettingsPages> pages_;  // the pages' rules; outlive the sheet
    CGenPage* genPage_ = nullptr;
    CLameConsole* lameConsole_ = nullptr;
    wxFont sheetFont_;
    wxTimer timer_;

    std::unique_ptr<StatusPanelControl> status_;
    std::unique_ptr<MeterDrawer> meterDrawer_;
    std::unique_ptr<MeterHookImpl> meterHook_;
    bool metersBlank_ = true;
    std::string presetFolder_;

    // Commands from the session bus, acting through the buttons' handlers.
    int state_ = kStateInitFailed;
    std::unique_ptr<RemotePanel> remotePanel_;
    std::unique_ptr<RemoteCommands> remote_;
    std::unique_ptr<DBusService> bus_;

    mutable std::mutex textMutex_;  // guards the four description texts
    std::string deviceText_, sourceText_, formatText_, compressionText_;
};

}  // namespace pelmora
