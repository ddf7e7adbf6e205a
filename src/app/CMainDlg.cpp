// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CMainDlg.h"

#include <wx/dcmemory.h>
#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/settings.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include <atomic>
#include <cstring>

#include "app/ButtonCaption.h"
#include "app/CAboutDlg.h"
#include "app/CLameConsole.h"
#include "app/DBusService.h"
#include "app/Icons.h"
#include "app/MainLayout.h"
#include "app/ProgramFolder.h"
#include "app/TuningBridge.h"
#include "capture/CTuningDialogs.h"
#include "input/CGenPage.h"
#include "monitor/CDcFilterDlg.h"
#include "monitor/CInpane.h"
#include "monitor/CanvasControl.h"
#include "monitor/MeterLevel.h"
#include "monitor/PictureRender.h"
#include "recording/CLogList.h"
#include "settings/LockingCost.h"
#include "settings/PropSheet.h"
#include "settings/SettingsPageWindows.h"
#include "settings/SettingsFile.h"

namespace pelmora {

namespace {

constexpr int kCmdAbout = 16;
constexpr int kTimerId = 1;
constexpr std::size_t kMaxPresetName = 250;
constexpr int kClosedListHeightDu = 14;

wxString FromUtf8(const std::string& s) { return wxString::FromUTF8(s.c_str()); }
std::string ToUtf8(const wxString& s) { return std::string(s.utf8_str()); }

void SetCaption(wxButton* button, const std::string& caption) { SetButtonCaption(button, FromUtf8(caption)); }

}  // namespace

// Hands notifications from worker threads to the main thread; never after the window is gone.
struct CMainDlg::Bridge {
    std::mutex mutex;
    CMainDlg* window = nullptr;
    std::atomic<bool> metersPending{false};

    // The encoder's console reader has new text (called on its thread, never blocks).
    void EncoderOutput() {
        std::lock_guard<std::mutex> lock(mutex);
        if (window) window->CallAfter([this] { window->UpdateLameConsole(); });
    }

    void MetersPublished() {
        if (metersPending.exchange(true)) return;
        std::lock_guard<std::mutex> lock(mutex);
        if (window) window->CallAfter([this] {
            metersPending = false;
            window->UpdateMeters();
        });
    }

    void MixerChanged(uint64_t handle) {
        std::lock_guard<std::mutex> lock(mutex);
        if (window) window->CallAfter([w = window, handle] { w->core_.OnMixerChange(handle); });
    }
};

// Runs on the preprocessing thread: composes both meters, hands them over, tells the window.
class CMainDlg::MeterHookImpl : public MeterBlockHook {
public:
    MeterHookImpl(MeterDrawer& drawer, std::shared_ptr<Bridge> bridge) : drawer_(drawer), bridge_(std::move(bridge)) {}
    void OnMeterBlock(const MeterSnapshot& m) override {
        const bool drawn = drawer_.DrawMeters(
            m.dbRange, MeterReading{m.inputLevelLeft, m.inputLevelRight, m.inputHoldLeft, m.inputHoldRight},
            MeterReading{m.processedLevelLeft, m.processedLevelRight, m.processedHoldLeft, m.processedHoldRight});
        // The window is told only of something new to show: a frame or a hold text.
        const bool textsChanged = std::strcmp(m.inputText, inputText_) != 0 || std::strcmp(m.processedText, processedText_) != 0;
        if (!drawn && !textsChanged) return;
        std::memcpy(inputText_, m.inputText, sizeof inputText_);
        std::memcpy(processedText_, m.processedText, sizeof processedText_);
        bridge_->MetersPublished();
    }

private:
    MeterDrawer& drawer_;
    std::shared_ptr<Bridge> bridge_;
    char inputText_[sizeof MeterSnapshot::inputText] = "";
    char processedText_[sizeof MeterSnapshot::processedText] = "";
};

// Counts the program's open modal dialogs (message boxes, file choosers, tuning dialogs):
// while one is open the main window's buttons cannot be pressed.
class CMainDlg::DialogWatch : public wxModalDialogHook {
public:
    DialogWatch() { Register(); }
    ~DialogWatch() override { Unregister(); }
    int Open() const { return open_; }

protected:
    int Enter(wxDialog*) override {
        ++open_;
        return wxID_NONE;
    }
    void Exit(wxDialog*) override { --open_; }

private:
    int open_ = 0;
};

// The window as the remote commands see it: its buttons, its state and what it tells.
class CMainDlg::RemotePanel : public ButtonPanel {
public:
    explicit RemotePanel(CMainDlg& window) : w_(window) {}
    bool RecordEnabled() const override { return w_.record_->IsEnabled(); }
    bool PauseEnabled() const override { return w_.pause_->IsEnabled(); }
    bool Recording() const override { return w_.core_.IsRecording(); }
    bool Paused() const override { return w_.core_.IsPaused(); }
    bool DialogOpen() const override { return dialogs_.Open() > 0; }
    std::string StateName() const override { return InpaneStateText(w_.state_); }
    std::string OutputPath() const override { return w_.core_.OutputPath(); }
    double WriteTime() const override { return w_.core_.Pipeline().writeTime.Load(); }
    void BeginReasons() override {
        logMark_ = w_.core_.Log().LineCount();
        notes_.clear();
        collecting_ = true;
    }
    std::string Reasons() const override {
        std::string text = notes_;
        const std::vector<std::string> lines = w_.core_.Log().Lines();
        for (std::size_t i = logMark_; i < lines.size(); ++i) {
            // Without the time stamp ("hh:mm:ss.cc - ").
            const std::size_t dash = lines[i].find(" - ");
            text += (dash == std::string::npos ? lines[i] : lines[i].substr(dash + 3)) + "\n";
        }
        while (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }
    void PressRecord() override { Press([this] { w_.OnRecord(); }); }
    void PressPause() override { Press([this] { w_.OnPause(); }); }

    /// A question or message shown while a command runs: brought where the user sees it,
    /// and kept as a reason.
    bool Collecting() const { return collecting_; }
    void Note(const std::string& text) { notes_ += text + "\n"; }

private:
    template <class F>
    void Press(F press) {
        press();
        collecting_ = false;
    }

    CMainDlg& w_;
    DialogWatch dialogs_;
    std::size_t logMark_ = 0;
    std::string notes_;
    bool collecting_ = false;
};

CMainDlg::CMainDlg(AppCore& core)
    : wxDialog(nullptr, wxID_ANY, "Pelmora", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX),
      core_(core),
      bridge_(std::make_shared<Bridge>()),
      timer_(this, kTimerId),
      presetFolder_(core.ProgramFolder()) {
    bridge_->window = this;
    core_.EncoderOutput().SetNotifier([bridge = bridge_] { bridge->EncoderOutput(); });
    // The template's font: a small sans-serif face; dialog units follow from it.
    SetFont(wxFont(wxFontInfo(8).Family(wxFONTFAMILY_SWISS)));
    // The theme's colours, fixed once: otherwise each paint of the window asks the theme again.
    SetOwnForegroundColour(GetForegroundColour());
    SetOwnBackgroundColour(GetBackgroundColour());
    SetEscapeId(wxID_NONE);
    SetAffirmativeId(wxID_NONE);
    const wxIconBundle icons = AppIcon();
    if (!icons.IsEmpty()) SetIcons(icons);
    SetClientSize(ConvertDialogToPixels(wxSize(kMainWidthDu, kMainHeightDu)));
    CreateControls();

    Bind(wxEVT_CLOSE_WINDOW, &CMainDlg::OnClose, this);
    Bind(wxEVT_CHAR_HOOK, &CMainDlg::OnCharHook, this);
    Bind(wxEVT_CONTEXT_MENU, &CMainDlg::OnContextMenu, this);
    Bind(wxEVT_TIMER, &CMainDlg::OnTimer, this, kTimerId);
    Centre();
}

CMainDlg::~CMainDlg() {
    core_.EncoderOutput().SetNotifier({});
    // The pages' controls go before the rules they call.
    if (sheet_) sheet_->Destroy();
    std::lock_guard<std::mutex> lock(bridge_->mutex);
    bridge_->window = nullptr;
}

wxRect CMainDlg::DluRect(int x, int y, int w, int h) const {
    return wxRect(ConvertDialogToPixels(wxPoint(x, y)), ConvertDialogToPixels(wxSize(w, h)));
}

void CMainDlg::CreateControls() {
    for (const DlgItem& item : kMainTemplate) {
        wxRect r = DluRect(item.x, item.y, item.w, item.h);
        wxWindow* w = nullptr;
        switch (item.kind) {
            case ItemKind::GroupBox:
                w = new wxStaticBox(this, item.id, item.caption, r.GetPosition(), r.GetSize());
                break;
            case ItemKind::Button: {
                auto* b = new wxButton(this, item.id, item.caption, r.GetPosition(), r.GetSize());
                if (item.id == kIdRecord) record_ = b;
                if (item.id == kIdPause) pause_ = b;
                if (item.id == kIdLoad) load_ = b;
                if (item.id == kIdSave) save_ = b;
                w = b;
                break;
            }
            case ItemKind::Edit:
                presetName_ = new wxTextCtrl(this, item.id, "", r.GetPosition(), r.GetSize());
                presetName_->SetMaxLength(kMaxPresetName);
                FixHiddenTextCharacter(presetName_);
                w = presetName_;
                break;
            case ItemKind::ReadOnlyEdit:
                compression_ = new wxTextCtrl(this, item.id, "", r.GetPosition(), r.GetSize(), wxTE_READONLY);
                FixHiddenTextCharacter(compression_);
                w = compression_;
                break;
            case ItemKind::Label:
            case ItemKind::RightLabel:
                w = new wxStaticText(this, item.id, item.caption, r.GetPosition(), r.GetSize(),
                                     wxST_NO_AUTORESIZE |
                                         (item.kind == ItemKind::RightLabel ? wxALIGN_RIGHT : wxALIGN_LEFT));
                break;
            case ItemKind::Canvas: {
                auto* c = new CanvasControl(this, item.id, r);
                if (item.id == kIdInputMeter) inputMeter_ = c;
                if (item.id == kIdProcessedMeter) processedMeter_ = c;
                if (item.id == kIdInputHold) inputHold_ = c;
                if (item.id == kIdProcessedHold) processedHold_ = c;
                if (item.id == kIdCpuGraph) cpuGraph_ = c;
                if (item.id == kIdStatusPanel) statusPanel_ = c;
                w = c;
                break;
            }
            case ItemKind::ListBox:
                // A list box of one line that takes no selection: drawn as that line.
                brief_ = new CanvasControl(this, item.id, r, wxBORDER_SIMPLE);
                brief_->SetFill(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW));
                brief_->SetForegroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT));
                w = brief_;
                break;
            case ItemKind::DropDown: {
                logBox_ = new CLogList(this, item.id, core_.Log());
                // The template's height is that of the open list; closed, it is one line.
                logBox_->SetSize(r.x, r.y, r.width, ConvertDialogToPixels(wxSize(0, kClosedListHeightDu)).y);
                logBox_->CacheButtonImages();
                w = logBox_;
                break;
            }
        }
        (void)w;
    }
    record_->Disable();
    pause_->Disable();
    for (CanvasControl* meter : {inputMeter_, processedMeter_}) meter->SetFill(*wxBLACK);
    inputMeter_->SetOnClick([this] { core_.ClearHolds(PeakHolds::kInput); });
    inputHold_->SetOnClick([this] { core_.ClearHolds(PeakHolds::kInput); });
    processedMeter_->SetOnClick([this] { core_.ClearHolds(PeakHolds::kProcessed); });
    processedHold_->SetOnClick([this] { core_.ClearHolds(PeakHolds::kProcessed); });
    for (CanvasControl* hold : {inputHold_, processedHold_}) hold->SetText("-inf\n-inf");
    record_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnRecord(); });
    pause_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnPause(); });
    load_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnLoad(); });
    save_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnSave(); });
    presetName_->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { OnPresetNameChanged(); });
    core_.Log().SetDescriptionSource(this);
    status_ = std::make_unique<StatusPanelControl>(statusPanel_, cpuGraph_);
}

void CMainDlg::OnInitDialog() {
    core_.Start(*this);
    // On the bus once the state is known.
    remotePanel_ = std::make_unique<RemotePanel>(*this);
    remote_ = std::make_unique<RemoteCommands>(*remotePanel_);
    bus_ = std::make_unique<DBusService>(*remote_);
    bus_->Own();
}

// --- start-up and close steps ---

void CMainDlg::CreateSettingsSheet() {
    // Tabs get "Arial" at one fiftieth of the window's client width.
    int height = GetClientSize().x / 50;
    sheetFont_ = wxFont(wxFontInfo(wxSize(0, height)).FaceName("Arial").Family(wxFONTFAMILY_SWISS));
    sheet_ = new propsheet(this, DluRect(kSheetRect.x, kSheetRect.y, kSheetRect.w, kSheetRect.h), sheetFont_);
    pages_ = std::make_unique<SettingsPages>(*this);
    genPage_ = new CGenPage(sheet_, *this);
    genPage_->LinkBitrateRules(pages_->general);
    sheet_->AddPage(genPage_);
    genPage_->AttachMixer(core_.Mixer());
    sheet_->AddPage(new CAdvPage(sheet_, pages_->advanced));
    sheet_->AddPage(new CVBRPage(sheet_, pages_->xbr));
    sheet_->AddPage(new CExpPage(sheet_, pages_->expert));
    sheet_->AddPage(new CAupPage(sheet_, pages_->audio));
    sheet_->AddPage(new CPerfPage(sheet_, pages_->performance));
    sheet_->AddPage(new COperPage(sheet_, pages_->operations));
}

MixerView* CMainDlg::MixerControlsView() { return genPage_ ? genPage_->MixerControls() : nullptr; }

void CMainDlg::PostMixerChange(uint64_t handle) { bridge_->MixerChanged(handle); }

void CMainDlg::ShowSettings() {
    if (sheet_) {
        genPage_->ShowSettings();
        pages_->ShowSettings(sheet_->ActiveIndex());
    }
    presetName_->ChangeValue(FromUtf8(TextField(core_.Settings().presetName)));
    UpdateDescriptionTexts();
}

void CMainDlg::BuildStatusPanel() { status_->BuildBackground(); }

void CMainDlg::StartTimer() { timer_.Start(1000); }

void CMainDlg::SetupCpuGraph() { status_->SetupCpuGraph(); }

void CMainDlg::SetupMeters() {
    wxSize size = inputMeter_->GetClientSize();
    double dbRange = DbRangeForBits(core_.Pipeline().format.captureBits.load());
    meterDrawer_ = std::make_unique<MeterDrawer>(size.x, size.y, dbRange);
    meterHook_ = std::make_unique<MeterHookImpl>(*meterDrawer_, bridge_);
}

MeterBlockHook* CMainDlg::MeterHook() { return meterHook_.get(); }

void CMainDlg::BlankMeters() {
    metersBlank_ = true;
    // The drawing side sends its next frame even if it equals the last: it lights them again.
    if (meterDrawer_) meterDrawer_->RequestFrame();
    inputMeter_->ClearImage();
    processedMeter_->ClearImage();
}

void CMainDlg::UpdateMeters() {
    if (!meterDrawer_) return;
    // Black while no device captures; a new frame after the device opened lights them again.
    if (!core_.Pipeline().pipelineReady.load()) {
        BlankMeters();
        return;
    }
    if (!meterDrawer_->TakeNewest() && metersBlank_) return;
    metersBlank_ = false;
    const MeterPictures& pictures = meterDrawer_->Newest();
    inputMeter_->SetPixels(pictures.input);
    processedMeter_->SetPixels(pictures.processed);
    MeterSnapshot m = core_.Meters();
    inputHold_->SetText(wxString::FromUTF8(m.inputText));
    processedHold_->SetText(wxString::FromUTF8(m.processedText));
}

void CMainDlg::SetGeneralPageIdle() {
    if (genPage_) genPage_->SetIdle();
}

void CMainDlg::ReleaseImages() {
    inputMeter_->ClearImage();
    processedMeter_->ClearImage();
    status_->Release();
}

void CMainDlg::DestroySettingsSheet() {
    if (!sheet_) return;
    sheet_->Destroy();
    sheet_ = nullptr;
    genPage_ = nullptr;
    pages_.reset();
}

void CMainDlg::StopTimer() { timer_.Stop(); }

void CMainDlg::ReportSettingsWriteFailure(const std::string& path, const std::string& reason) {
    wxMessageBox(FromUtf8(path) + "\n" + FromUtf8(reason), "Pelmora", wxOK | wxICON_ERROR, this);
}

void CMainDlg::SetCompressionOptions(const std::string& text) {
    // An entry given its own text again is laid out and redrawn all the same.
    const wxString value = FromUtf8(text);
    if (compression_->GetValue() != value) compression_->ChangeValue(value);
    std::lock_guard<std::mutex> lock(textMutex_);
    compressionText_ = text;
}

void CMainDlg::SetDescription(const std::string& text) {
    brief_->SetText(FromUtf8(text));
}

void CMainDlg::SetDeviceList(const std::vector<std::string>& items) {
    if (genPage_) genPage_->SetDeviceList(items);
}

void CMainDlg::SetFormatList(const std::vector<std::string>& items) {
    if (genPage_) genPage_->SetFormatList(items);
}

void CMainDlg::SelectFormat(int position) {
    if (genPage_) genPage_->SelectFormat(position);
}

void CMainDlg::SelectDevice(int position) {
    if (genPage_) genPage_->SelectDevice(position);
}

void CMainDlg::SetBitrateLabel(const std::string& text) {
    if (genPage_) genPage_->SetBitrateLabel(text);
}

void CMainDlg::SetAbrRange(int minimum, int maximum) {
    if (pages_) pages_->xbr.SetAbrRange(minimum, maximum);
}

void CMainDlg::SetAbrValue(int value) {
    if (pages_) pages_->xbr.SetAbrValue(value);
}

void CMainDlg::ShowBufferFill(const BufferFill& fill) {
    if (!sheet_ || sheet_->ActiveIndex() != SettingsPages::kPerformance || !core_.Pipeline().pipelineReady.load())
        return;
    pages_->performance.ShowBufferFill(fill.devicePercent, fill.receivedPercent, fill.outputPercent,
                                       fill.deviceSeconds, fill.receivedSeconds, fill.outputSeconds);
}

// --- RecordingView ---

void CMainDlg::BringForwardForRemote() {
    if (!remotePanel_ || !remotePanel_->Collecting()) return;
    // Asked from outside: the question must reach a user whose window is covered.
    if (IsIconized()) Iconize(false);
    Raise();
}

bool CMainDlg::AskYesNo(const std::string& text) {
    BringForwardForRemote();
    const bool yes = wxMessageBox(FromUtf8(text), "Pelmora", wxYES_NO | wxICON_QUESTION, this) == wxYES;
    if (remotePanel_ && remotePanel_->Collecting() && !yes) remotePanel_->Note(text + " - No");
    return yes;
}

void CMainDlg::ShowMessage(const std::string& text) {
    BringForwardForRemote();
    wxMessageBox(FromUtf8(text), "Pelmora", wxOK, this);
    if (remotePanel_ && remotePanel_->Collecting()) remotePanel_->Note(text);
}

void CMainDlg::SetRecordCaption(const std::string& caption) { SetCaption(record_, caption); }

void CMainDlg::EnableRecord(bool enabled) {
    bool hadFocus = wxWindow::FindFocus() == record_;
    record_->Enable(enabled);
    // Disabling the focused button leaves the window without keyboard focus (no keys, not
    // even Alt+F4, would arrive); give it back.
    if (enabled && (hadFocus || wxWindow::FindFocus() == nullptr)) record_->SetFocus();
}

void CMainDlg::ShowPendingChanges() { Update(); }

void CMainDlg::SetPauseCaption(const std::string& caption) { SetCaption(pause_, caption); }

void CMainDlg::EnablePause(bool enabled) { pause_->Enable(enabled); }

void CMainDlg::SetState(int state) {
    status_->SetState(state);
    state_ = state;
    if (bus_) bus_->StateChanged();
}

void CMainDlg::SetStatusValues(const StatusValues& v) {
    status_->SetProcessValues({v.writeTime, v.fileSize, v.level, v.dcLeft, v.dcRight, v.dataLost});
}

void CMainDlg::ShowValues() { status_->ShowValues(); }

void CMainDlg::BlinkState(int phase) { status_->BlinkState(phase); }

std::optional<std::string> CMainDlg::OutputFileEntry() {
    return genPage_ ? genPage_->OutputEntry() : std::optional<std::string>(std::string());
}

void CMainDlg::ShowOutputFileEntry(const std::string& entry) {
    if (genPage_) genPage_->SetOutputEntry(entry);
}

void CMainDlg::CpuTick() { status_->CpuTick(core_.SampleCpu()); }

// --- PageHost ---

void CMainDlg::BuildEncoderCommand() {
    core_.BuildEncoderCommand();
    UpdateDescriptionTexts();
}

void CMainDlg::FocusRecordButton() { record_->SetFocus(); }

bool CMainDlg::PipelineReady() const { return core_.Pipeline().pipelineReady.load(); }

void CMainDlg::ShowBuffersDialog() {
    TuningBridge host(core_);
    pelmora::ShowBuffersDialog(this, host);
}

void CMainDlg::ShowPriorityDialog() {
    TuningBridge host(core_);
    pelmora::ShowPriorityDialog(this, host);
}

void CMainDlg::ShowDcFilterDialog() {
    TuningBridge host(core_);
    pelmora::ShowDcFilterDialog(this, host);
}

int CMainDlg::CaptureSampleRate() const {
    const WaveFormat* format = core_.SelectedFormat();
    return format ? static_cast<int>(format->samplesPerSec) : 0;
}

std::string CMainDlg::ChooseFile(const FileChoice& choice) {
    wxString wildcard;
    for (const auto& [description, pattern] : choice.filters) {
        if (!wildcard.empty()) wildcard += "|";
        wildcard += FromUtf8(description) + "|" + FromUtf8(pattern);
    }
    wxFileDialog dialog(this, FromUtf8(choice.title), FromUtf8(choice.startFolder), "", wildcard,
                        wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return {};
    return ToUtf8(dialog.GetPath());
}

void CMainDlg::OnDeviceSelected(int position) {
    core_.OnDeviceSelected(position);
    UpdateDescriptionTexts();
}

void CMainDlg::OnFormatSelected(int position) {
    core_.OnFormatSelected(position);
    UpdateDescriptionTexts();
}

// --- DescriptionSource ---

void CMainDlg::UpdateDescriptionTexts() {
    if (!genPage_) return;
    std::lock_guard<std::mutex> lock(textMutex_);
    deviceText_ = genPage_->SelectedText(genPage_->DeviceList());
    sourceText_ = genPage_->SelectedText(genPage_->SourceList());
    formatText_ = genPage_->SelectedText(genPage_->FormatList());
}

std::string CMainDlg::DeviceText() const {
    std::lock_guard<std::mutex> lock(textMutex_);
    return deviceText_;
}
std::string CMainDlg::SourceText() const {
    std::lock_guard<std::mutex> lock(textMutex_);
    return sourceText_;
}
std::string CMainDlg::FormatText() const {
    std::lock_guard<std::mutex> lock(textMutex_);
    return formatText_;
}
std::string CMainDlg::CompressionOptionsText() const {
    std::lock_guard<std::mutex> lock(textMutex_);
    return compressionText_;
}

// --- handlers ---

void CMainDlg::OnClose(wxCloseEvent&) {
    // No command from the bus once the close has begun.
    bus_.reset();
    // Every way out of the window runs the close sequence first.
    core_.Close();
    core_.Log().SetDescriptionSource(nullptr);
    if (IsModal())
        EndModal(0);
    else
        Destroy();
}

void CMainDlg::OnCharHook(wxKeyEvent& event) {
    // Escape would end the dialog without the close sequence; it does nothing here.
    if (event.GetKeyCode() == WXK_ESCAPE) return;
    // Alt+F4 closes through the close sequence also where no window manager takes the key.
    if (event.GetKeyCode() == WXK_F4 && event.GetModifiers() == wxMOD_ALT) {
        Close();
        return;
    }
    event.Skip();
}

void CMainDlg::OnContextMenu(wxContextMenuEvent& event) {
    // GTK gives the program no system menu, so the About item lives in the window's own
    // context menu (right click on the window background).
    if (event.GetEventObject() != this) {
        event.Skip();
        return;
    }
    wxMenu menu;
    menu.Append(kCmdAbout, "&About Pelmora...");
    wxPoint p = event.GetPosition();
    if (p != wxDefaultPosition) p = ScreenToClient(p);
    if (GetPopupMenuSelectionFromUser(menu, p) == kCmdAbout) {
        CAboutDlg about(this);
        about.ShowModal();
    }
}

void CMainDlg::OnTimer(wxTimerEvent&) { core_.OnTimer(); }

void CMainDlg::OnRecord() {
    UpdateDescriptionTexts();
    core_.OnRecord();
    // The encoder may have been found at another place.
    if (pages_) pages_->advanced.ShowEncoderPath();
    if (core_.IsRecording() && !core_.Settings().writeUncompressed && core_.EncoderOutput().Forwarding())
        ShowLameConsole();
}

void CMainDlg::ShowLameConsole() {
    if (!lameConsole_) lameConsole_ = new CLameConsole(this);
    lameConsole_->Restart();
    lameConsole_->AddOutput(core_.EncoderOutput().TakePending());
    // Shown beside the main window, which keeps the keyboard.
    if (!lameConsole_->IsShown()) lameConsole_->ShowWithoutActivating();
}

void CMainDlg::UpdateLameConsole() {
    // Taken even when no window shows it, so the text never piles up.
    const std::string text = core_.EncoderOutput().TakePending();
    if (lameConsole_) lameConsole_->AddOutput(text);
}

void CMainDlg::OnPause() { core_.OnPause(); }

void CMainDlg::SetRecordingControls(int mode) {
    if (mode != 1 && mode != 2) return;
    if (sheet_)
        if (CPropertyPage* page = sheet_->ActivePage()) page->EnablePageControls(mode);
    bool enable = mode == 2;
    presetName_->Enable(enable);
    load_->Enable(enable);
    save_->Enable(enable);
}

void CMainDlg::OnPresetNameChanged() {
    SetTextField(core_.Settings().presetName, ToUtf8(presetName_->GetValue()));
}

void CMainDlg::OnLoad() {
    wxFileDialog dialog(this, wxFileSelectorPromptStr, FromUtf8(presetFolder_), "",
                        "Pelmora options  (*.pmr, *.ini)|*.pmr;*.ini", wxFD_OPEN);
    if (dialog.ShowModal() != wxID_OK) return;
    std::string path = ToUtf8(dialog.GetPath());
    presetFolder_ = FolderOf(path);
    core_.LoadPreset(path);
    UpdateDescriptionTexts();
}

void CMainDlg::OnSave() {
    wxFileDialog dialog(this, wxFileSelectorPromptStr, FromUtf8(presetFolder_), "",
                        "Pelmora options  (*.pmr)|*.pmr", wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK) return;
    const std::string chosen = ToUtf8(dialog.GetPath());
    presetFolder_ = FolderOf(chosen);
    std::string path, error;
    if (core_.SavePreset(chosen, ToUtf8(presetName_->GetValue()), &path, &error) == PresetSave::Failed)
        wxMessageBox(FromUtf8(path) + "\n" + FromUtf8(error), "Pelmora", wxOK | wxICON_ERROR, this);
}

}  // namespace pelmora
