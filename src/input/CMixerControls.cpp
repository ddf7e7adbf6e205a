// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/CMixerControls.h"

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/toplevel.h>

namespace pelmora {

int CMixerControls::ModalCounter::Enter(wxDialog* dialog) {
    if (dialog != wxTheApp->GetTopWindow()) ++open;
    return wxID_NONE;
}

void CMixerControls::ModalCounter::Exit(wxDialog* dialog) {
    if (dialog != wxTheApp->GetTopWindow() && open > 0) --open;
}

CMixerControls::CMixerControls(const Widgets& widgets, const wxBitmapBundle& openIcon, const wxBitmapBundle& closedIcon,
                               PageHost& host)
    : w_(widgets), openIcon_(openIcon), closedIcon_(closedIcon), host_(host) {
    modal_.Register();
}

CMixerControls::~CMixerControls() { modal_.Unregister(); }

void CMixerControls::Attach(MixerControl& model) {
    model_ = &model;
    w_.source->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { model_->OnSourceSelected(w_.source->GetSelection()); });
    // Every change of either slider, by mouse, keyboard or assistive technology.
    auto scrolled = [this](wxCommandEvent&) { model_->OnVolumeBalanceScroll(w_.volume->GetValue(), w_.balance->GetValue()); };
    w_.volume->Bind(wxEVT_SLIDER, scrolled);
    w_.balance->Bind(wxEVT_SLIDER, scrolled);
    w_.padlock->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { model_->ToggleMixerControls(); });
}

void CMixerControls::ShowSettings() {
    if (model_) model_->ShowSettings();
}

wxWindow* CMixerControls::Item(MixerItem item) const {
    switch (item) {
        case MixerItem::kSourceList: return w_.source;
        case MixerItem::kVolumeSlider: return w_.volume;
        case MixerItem::kBalanceSlider: return w_.balance;
        case MixerItem::kSourceLabel: return w_.sourceLabel;
        case MixerItem::kVolumeLabel: return w_.volumeLabel;
        case MixerItem::kBalanceLabel: return w_.balanceLabel;
    }
    return nullptr;
}

void CMixerControls::EnableMixerItem(MixerItem item, bool enable) {
    if (wxWindow* w = Item(item)) w->Enable(enable);
}

void CMixerControls::SetSourceLines(const std::vector<std::string>& lines) {
    w_.source->Clear();
    for (const std::string& line : lines) w_.source->Append(wxString::FromUTF8(line.c_str()));
}

void CMixerControls::SelectSourceLine(int position) {
    if (position >= 0 && static_cast<unsigned>(position) < w_.source->GetCount()) w_.source->SetSelection(position);
    else w_.source->SetSelection(wxNOT_FOUND);
}

void CMixerControls::SetVolumePosition(int position) { w_.volume->SetValue(position); }

void CMixerControls::SetBalancePosition(int position) { w_.balance->SetValue(position); }

void CMixerControls::ShowPadlock(bool locked) { w_.padlock->SetBitmap(locked ? closedIcon_ : openIcon_); }

void CMixerControls::FocusRecordButton() { host_.FocusRecordButton(); }

bool CMixerControls::ProgramIsActive() const {
    if (modal_.open > 0) return true;
    for (wxWindow* w : wxTopLevelWindows) {
        auto* top = wxDynamicCast(w, wxTopLevelWindow);
        if (top && top->IsActive()) return true;
    }
    return false;
}

}  // namespace pelmora
