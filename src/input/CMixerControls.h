// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: the General page's mixer controls (padlock, Source list, Volume and Balance
// sliders with their labels) shown for the window-free MixerControl, and their events
// passed to it.

#include <wx/bmpbndl.h>
#include <wx/bitmap.h>
#include <wx/bmpbuttn.h>
#include <wx/choice.h>
#include <wx/modalhook.h>
#include <wx/slider.h>
#include <wx/stattext.h>

#include "input/MixerControl.h"
#include "input/MixerView.h"
#include "settings/PageHost.h"

namespace pelmora {

class CMixerControls final : public MixerView {
public:
    struct Widgets {
        wxBitmapButton* padlock = nullptr;
        wxStaticText* sourceLabel = nullptr;
        wxChoice* source = nullptr;
        wxStaticText* volumeLabel = nullptr;
        wxSlider* volume = nullptr;
        wxStaticText* balanceLabel = nullptr;
        wxSlider* balance = nullptr;
    };

    CMixerControls(const Widgets& widgets, const wxBitmapBundle& openIcon, const wxBitmapBundle& closedIcon, PageHost& host);
    ~CMixerControls() override;
    CMixerControls(const CMixerControls&) = delete;
    CMixerControls& operator=(const CMixerControls&) = delete;

    /// From now on the controls act on `model`.
    void Attach(MixerControl& model);
    /// Shows sourceLineIndex in the Source list.
    void ShowSettings();

    // MixerView
    void EnableMixerItem(MixerItem item, bool enable) override;
    void SetSourceLines(const std::vector<std::string>& lines) override;
    void SelectSourceLine(int position) override;
    void SetVolumePosition(int position) override;
    void SetBalancePosition(int position) override;
    void ShowPadlock(bool locked) override;
    void FocusRecordButton() override;
    bool ProgramIsActive() const override;

private:
    // Counts the program's modal dialogs other than the main window (message boxes and file
    // dialogs are not tracked as active windows by the toolkit).
    class ModalCounter : public wxModalDialogHook {
    public:
        int Enter(wxDialog* dialog) override;
        void Exit(wxDialog* dialog) override;
        int open = 0;
    };

    wxWindow* Item(MixerItem item) const;

    Widgets w_;
    wxBitmapBundle openIcon_;
    wxBitmapBundle closedIcon_;
    PageHost& host_;
    MixerControl* model_ = nullptr;
    ModalCounter modal_;
};

}  // namespace pelmora
