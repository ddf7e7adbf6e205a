// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: the General settings page (input, bitrate, stereo mode, output file).

#include <wx/bmpbuttn.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "input/CMixerControls.h"
#include "settings/GenPageModel.h"
#include "settings/PageHost.h"
#include "settings/PropSheet.h"

namespace pelmora {

class CGenPage : public CPropertyPage, public GenBitrateView {
public:
    CGenPage(wxWindow* parent, PageHost& host);

    void EnablePageControls(int mode) override;
    void ShowSettings() override;
    void OnSetActive() override;
    void OnKillActive() override;

    /// The page's idle state after start-up: labels enabled as the unlocked page shows them.
    void SetIdle();

    wxChoice* DeviceList() const { return device_; }
    wxChoice* FormatList() const { return format_; }
    wxChoice* SourceList() const { return source_; }
    /// The mixer controls act on `mixer` from now on.
    void AttachMixer(MixerControl& mixer) { mixerControls_->Attach(mixer); }
    MixerView* MixerControls() const { return mixerControls_.get(); }
    std::string SelectedText(const wxChoice* list) const;

    // Filled by the device and format enumeration.
    void SetDeviceList(const std::vector<std::string>& items);
    void SetFormatList(const std::vector<std::string>& items);
    void SelectFormat(int position);
    void SelectDevice(int position);
    void SetBitrateLabel(const std::string& text) override;

    /// The bitrate slider's rules, shared with the XBR page.
    void LinkBitrateRules(GenPageModel& rules);
    int BitrateSlider() const override;
    void SetBitrateSlider(int position) override;

    /// Reads the output entry back (ValidateOutputName) and returns the page's copy of it;
    /// nothing, after telling the user why, when the typed name is refused.
    std::optional<std::string> OutputEntry();
    /// Writes a name into the output entry and the page's copy (record start).
    void SetOutputEntry(const std::string& text);
    const std::string& OutputFolderMember() const { return outputFolder_; }

    /// False when the typed name is refused; the box keeps it and the reason waits in refusal_.
    bool ValidateOutputName();
    void BrowseOutputFile();

private:
    void CreateControls();
    void UpdateBitrateLabel();
    void FitBitrateRange();
    void OnBitrateScroll(wxScrollEvent& event);
    void ShowRefusal();
    void ShowRefusalLater();

    PageHost& host_;
    GenPageModel* bitrateRules_ = nullptr;
    wxStaticText* deviceLabel_ = nullptr;
    wxChoice* device_ = nullptr;
    wxStaticText* formatLabel_ = nullptr;
    wxChoice* format_ = nullptr;
    wxBitmapButton* padlock_ = nullptr;
    wxStaticText* sourceLabel_ = nullptr;
    wxChoice* source_ = nullptr;
    wxStaticText* volumeLabel_ = nullptr;
    wxSlider* volume_ = nullptr;
    wxStaticText* balanceLabel_ = nullptr;
    wxSlider* balance_ = nullptr;
    wxSlider* bitrate_ = nullptr;
    wxStaticText* bitrateLabel_ = nullptr;
    wxChoice* stereo_ = nullptr;
    wxTextCtrl* outputFile_ = nullptr;
    wxBitmapButton* browse_ = nullptr;
    wxCheckBox* confirmOverwrite_ = nullptr;
    wxCheckBox* addTimestamp_ = nullptr;
    std::unique_ptr<CMixerControls> mixerControls_;

    std::string outputText_;    // the page's copy of the output entry
    std::string outputFolder_;  // folder the entry is resolved against, with trailing "/"
    std::string refusal_;       // why the last name was refused, until it is shown
};

}  // namespace pelmora
