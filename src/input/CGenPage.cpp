// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/CGenPage.h"

#include <algorithm>

#include <wx/filedlg.h>
#include <wx/slider.h>
#include <wx/msgdlg.h>
#include <wx/settings.h>
#include <wx/statbox.h>

#include "app/Icons.h"
#include "settings/ControlFit.h"
#include "settings/LockingCost.h"
#include "input/OutputName.h"

namespace pelmora {

namespace {

constexpr int kIdDevice = 1013;
constexpr int kIdFormat = 1021;
constexpr int kIdBitrate = 1019;
constexpr int kIdStereo = 1020;
constexpr int kIdOutputFile = 1018;
constexpr int kIdBrowse = 1136;
constexpr int kIdConfirm = 1005;
constexpr int kIdTimestamp = 1006;
constexpr int kIdPadlock = 1135;

wxString FromUtf8(const std::string& s) { return wxString::FromUTF8(s.c_str()); }
std::string ToUtf8(const wxString& s) { return std::string(s.utf8_str()); }

}  // namespace

CGenPage::CGenPage(wxWindow* parent, PageHost& host) : CPropertyPage(parent, "General"), host_(host) {
    // The page keeps the dialog colour; only the sheet around it is green.
    SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
    CreateControls();
}

void CGenPage::CreateControls() {
    auto place = [this](wxWindow* w, int x, int y, int cw, int ch) { w->SetSize(DluRect(x, y, cw, ch)); };
    auto group = [&](const char* caption, int x, int y, int cw, int ch) {
        place(new wxStaticBox(this, wxID_ANY, caption), x, y, cw, ch);
    };
    auto label = [&](const char* caption, int x, int y, int cw, int ch, long style = 0) {
        auto* l = new wxStaticText(this, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize,
                                   style | wxST_NO_AUTORESIZE);
        place(l, x, y, cw, ch);
        return l;
    };
    // Drop-down lists keep their own height; the template's height is the open list's.
    // A list needs at least its natural height, centred on its place, or its text is cut.
    auto choice = [&](int id, int x, int y, int cw) {
        auto* c = new wxChoice(this, id);
        wxRect r = DluRect(x, y, cw, 14);
        c->SetSize(r);
        MeasureShownRowOnly(c);
        const int natural = c->GetBestSize().y;
        if (natural > r.height) {
            r.y -= (natural - r.height) / 2;
            r.height = natural;
            c->SetSize(r);
        }
        return c;
    };

    group("Input", 5, 0, 253, 77);
    group("Bitrate", 5, 79, 134, 44);
    group("Output stereo mode", 145, 79, 113, 44);
    group("Output file", 5, 123, 253, 40);

    deviceLabel_ = label("Device", 16, 11, 33, 8);
    device_ = choice(kIdDevice, 16, 22, 107);
    formatLabel_ = label("Format", 129, 11, 37, 8);
    format_ = choice(kIdFormat, 136, 22, 113);

    wxRect padRect = DluRect(16, 53, 14, 12);
    padlock_ = NewIconButton(this, kIdPadlock, PadlockIcon(true, wxSize(padRect.height - 4, padRect.height - 4)));
    padlock_->SetSize(padRect);
    sourceLabel_ = label("Source", 39, 43, 38, 8);
    source_ = choice(wxID_ANY, 40, 53, 83);
    volumeLabel_ = label("Volume", 135, 43, 36, 8);
    volume_ = new wxSlider(this, wxID_ANY, 0, 0, 100, wxDefaultPosition, wxDefaultSize, wxSL_HORIZONTAL | wxSL_AUTOTICKS);
    volume_->SetTickFreq(10);
    place(volume_, 131, 53, 83, 19);
    balanceLabel_ = label("Balance", 218, 43, 32, 8);
    balance_ = new wxSlider(this, wxID_ANY, 0, -100, 100, wxDefaultPosition, wxDefaultSize, wxSL_HORIZONTAL | wxSL_AUTOTICKS);
    balance_->SetTickFreq(100);
    place(balance_, 214, 53, 40, 19);
    // Disabled until a mixer is set up.
    for (wxWindow* w : std::initializer_list<wxWindow*>{sourceLabel_, source_, volumeLabel_, volume_, balanceLabel_,
                                                        balance_})
        w->Disable();
    const wxSize padIcon(padRect.height - 4, padRect.height - 4);
    mixerControls_ = std::make_unique<CMixerControls>(
        CMixerControls::Widgets{padlock_, sourceLabel_, source_, volumeLabel_, volume_, balanceLabel_, balance_},
        PadlockIcon(true, padIcon), PadlockIcon(false, padIcon), host_);
    deviceLabel_->Disable();
    formatLabel_->Disable();

    bitrate_ = new wxSlider(this, kIdBitrate, 0, 0, kBitrateCount - 1, wxDefaultPosition, wxDefaultSize,
                            wxSL_HORIZONTAL | wxSL_AUTOTICKS);
    bitrate_->SetTickFreq(1);
    place(bitrate_, 12, 88, 119, 19);
    bitrateLabel_ = label("", 16, 112, 99, 8, wxALIGN_CENTRE_HORIZONTAL);

    stereo_ = choice(kIdStereo, 155, 94, 95);
    for (const char* mode : {"Default", "Stereo", "Joint Stereo", "Forced Joint Stereo", "Downmix to Mono"})
        stereo_->Append(mode);

    outputFile_ = new wxTextCtrl(this, kIdOutputFile, "", wxDefaultPosition, wxDefaultSize, 0);
    FixHiddenTextCharacter(outputFile_);
    place(outputFile_, 15, 134, 218, 14);
    wxRect browseRect = DluRect(235, 134, 15, 14);
    browse_ = NewIconButton(this, kIdBrowse, BrowseIcon(wxSize(browseRect.height - 6, browseRect.height - 6)));
    browse_->SetSize(browseRect);
    confirmOverwrite_ = new wxCheckBox(this, kIdConfirm, "Confirm overwriting");
    confirmOverwrite_->SetSize(AtLeastNaturalSize(confirmOverwrite_, DluRect(15, 151, 80, 10)));
    addTimestamp_ = new wxCheckBox(this, kIdTimestamp, "Add a timestamp");
    addTimestamp_->SetSize(AtLeastNaturalSize(addTimestamp_, DluRect(136, 151, 80, 10)));

    RecSettings& s = host_.Settings();
    confirmOverwrite_->SetValue(s.confirmOverwrite != 0);
    addTimestamp_->SetValue(s.addTimestamp != 0);

    bitrate_->Bind(wxEVT_SCROLL_CHANGED, &CGenPage::OnBitrateScroll, this);
    bitrate_->Bind(wxEVT_SCROLL_THUMBTRACK, &CGenPage::OnBitrateScroll, this);
    bitrate_->Bind(wxEVT_SCROLL_LINEUP, &CGenPage::OnBitrateScroll, this);
    bitrate_->Bind(wxEVT_SCROLL_LINEDOWN, &CGenPage::OnBitrateScroll, this);
    bitrate_->Bind(wxEVT_SCROLL_PAGEUP, &CGenPage::OnBitrateScroll, this);
    bitrate_->Bind(wxEVT_SCROLL_PAGEDOWN, &CGenPage::OnBitrateScroll, this);
    bitrate_->Bind(wxEVT_SCROLL_TOP, &CGenPage::OnBitrateScroll, this);
    bitrate_->Bind(wxEVT_SCROLL_BOTTOM, &CGenPage::OnBitrateScroll, this);
    stereo_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) {
        host_.Settings().stereoMode = stereo_->GetSelection();
        host_.BuildEncoderCommand();
    });
    confirmOverwrite_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
        host_.Settings().confirmOverwrite = confirmOverwrite_->GetValue() ? 1 : 0;
    });
    addTimestamp_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
        host_.Settings().addTimestamp = addTimestamp_->GetValue() ? 1 : 0;
    });
    outputFile_->Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) {
        if (!ValidateOutputName()) ShowRefusalLater();
        event.Skip();
    });
    device_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { host_.OnDeviceSelected(device_->GetSelection()); });
    format_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { host_.OnFormatSelected(format_->GetSelection()); });
    browse_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { BrowseOutputFile(); });
}

void CGenPage::SetDeviceList(const std::vector<std::string>& items) {
    device_->Clear();
    for (const std::string& item : items) device_->Append(FromUtf8(item));
}

void CGenPage::SetFormatList(const std::vector<std::string>& items) {
    format_->Clear();
    for (const std::string& item : items) format_->Append(FromUtf8(item));
}

void CGenPage::SelectFormat(int position) {
    if (position >= 0 && static_cast<unsigned>(position) < format_->GetCount()) format_->SetSelection(position);
}

void CGenPage::FitBitrateRange() {
    // The slider ends where the table in force ends; a stored index above shows as its top.
    const int top = TopBitrateIndex(host_.ActiveBitrateTable());
    if (bitrate_->GetMax() == top) return;
    bitrate_->SetRange(0, top);
    bitrate_->SetValue(std::min(ClampIndex(host_.Settings().minBitrateIndex, kBitrateCount), top));
}

void CGenPage::SelectDevice(int position) {
    if (position >= 0 && static_cast<unsigned>(position) < device_->GetCount()) device_->SetSelection(position);
}

void CGenPage::SetBitrateLabel(const std::string& text) {
    FitBitrateRange();
    const wxString label = FromUtf8(text);
    if (bitrateLabel_->GetLabel() != label) bitrateLabel_->SetLabel(label);
}

std::string CGenPage::SelectedText(const wxChoice* list) const {
    int sel = list->GetSelection();
    return sel == wxNOT_FOUND ? std::string() : ToUtf8(list->GetString(static_cast<unsigned>(sel)));
}

void CGenPage::LinkBitrateRules(GenPageModel& rules) {
    bitrateRules_ = &rules;
    rules.Attach(*this);
}

int CGenPage::BitrateSlider() const { return bitrate_->GetValue(); }

void CGenPage::SetBitrateSlider(int position) {
    if (bitrate_->GetValue() != position) bitrate_->SetValue(position);
}

void CGenPage::UpdateBitrateLabel() {
    FitBitrateRange();
    if (bitrateRules_) bitrateRules_->UpdateBitrateLabel();
}

void CGenPage::OnBitrateScroll(wxScrollEvent&) {
    if (bitrateRules_) bitrateRules_->OnBitrateScroll();
}

void CGenPage::EnablePageControls(int mode) {
    if (mode != 1 && mode != 2) return;
    bool enable = mode == 2;
    for (wxWindow* w : std::initializer_list<wxWindow*>{device_, format_, bitrate_, stereo_, outputFile_,
                                                        confirmOverwrite_, addTimestamp_, browse_, deviceLabel_,
                                                        formatLabel_, bitrateLabel_})
        w->Enable(enable);
}

void CGenPage::ShowSettings() {
    RecSettings& s = host_.Settings();
    auto select = [](wxChoice* list, int32_t index) {
        int count = static_cast<int>(list->GetCount());
        if (count == 0) return;
        list->SetSelection(index >= 0 && index < count ? index : 0);
    };
    select(device_, s.deviceIndex);
    select(format_, s.formatIndex);
    mixerControls_->ShowSettings();
    select(stereo_, s.stereoMode);
    bitrate_->SetValue(std::min(ClampIndex(s.minBitrateIndex, kBitrateCount),
                                TopBitrateIndex(host_.ActiveBitrateTable())));
    UpdateBitrateLabel();
    confirmOverwrite_->SetValue(s.confirmOverwrite != 0);
    addTimestamp_->SetValue(s.addTimestamp != 0);
    outputText_ = TextField(s.outputFileName);
    outputFolder_ = TextField(s.outputFolder);
    outputFile_->ChangeValue(FromUtf8(outputText_));
}

void CGenPage::OnSetActive() {
    UpdateBitrateLabel();
    EnablePageControls(host_.IsRecording() ? 1 : 2);
    firstActivation_ = false;
}

void CGenPage::OnKillActive() {
    if (!ValidateOutputName()) ShowRefusalLater();
}

void CGenPage::SetIdle() {
    EnablePageControls(host_.IsRecording() ? 1 : 2);
}

bool CGenPage::ValidateOutputName() {
    OutputNameResult r = pelmora::ValidateOutputName(ToUtf8(outputFile_->GetValue()), outputText_,
                                                     host_.DefaultOutputFolder(), HomeFolder());
    if (r.refused) {
        if (ToUtf8(outputFile_->GetValue()) != r.boxText) outputFile_->ChangeValue(FromUtf8(r.boxText));
        refusal_ = r.message;
        return false;
    }
    if (!r.changed) return true;
    RecSettings& s = host_.Settings();
    outputText_ = r.memberText;
    outputFolder_ = r.outputFolder;
    SetTextField(s.outputFolder, r.outputFolder);
    SetTextField(s.outputFileName, r.outputFileName);
    if (ToUtf8(outputFile_->GetValue()) != r.boxText) outputFile_->ChangeValue(FromUtf8(r.boxText));
    return true;
}

void CGenPage::ShowRefusal() {
    if (refusal_.empty()) return;
    std::string message;
    message.swap(refusal_);
    wxMessageBox(FromUtf8(message), "Pelmora", wxOK | wxICON_EXCLAMATION, this);
}

void CGenPage::ShowRefusalLater() {
    // No dialog inside a focus change; a Record click that follows shows it first, once.
    CallAfter([this] { ShowRefusal(); });
}

std::optional<std::string> CGenPage::OutputEntry() {
    if (!ValidateOutputName()) {
        ShowRefusal();
        return std::nullopt;
    }
    return outputText_;
}

void CGenPage::SetOutputEntry(const std::string& text) {
    outputText_ = text;
    const wxString value = FromUtf8(text);
    if (outputFile_->GetValue() != value) outputFile_->ChangeValue(value);
}

void CGenPage::BrowseOutputFile() {
    const std::string& programFolder = host_.DefaultOutputFolder();
    outputText_ = TrimSpace(ToUtf8(outputFile_->GetValue()));
    if (outputText_.empty()) {
        outputText_ = "out";
        outputFolder_ = programFolder;
    }
    BrowseKind kind = OutputBrowseKind(host_.Settings());
    std::string proposed = ProposedBrowseName(outputText_, outputFolder_, programFolder);
    wxFileDialog dialog(this, "Out file name", FromUtf8(BrowseStartFolder(outputFolder_, programFolder)),
                        FromUtf8(proposed + "." + kind.extension), FromUtf8(kind.filter), wxFD_SAVE);
    if (dialog.ShowModal() == wxID_OK) {
        OutputNameResult r = ApplyBrowsedPath(ToUtf8(dialog.GetPath()), outputText_, programFolder);
        if (r.refused) {
            // The chosen path stays in the box for correction; nothing is stored.
            outputFile_->ChangeValue(FromUtf8(r.boxText));
            refusal_ = r.message;
            ShowRefusal();
            return;
        }
        RecSettings& s = host_.Settings();
        outputText_ = r.memberText;
        outputFolder_ = r.outputFolder;
        SetTextField(s.outputFolder, r.outputFolder);
        SetTextField(s.outputFileName, r.outputFileName);
    }
    outputFile_->ChangeValue(FromUtf8(outputText_));
}

}  // namespace pelmora
