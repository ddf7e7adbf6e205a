// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ControlTable.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/gauge.h>
#include <wx/msgdlg.h>
#include <wx/radiobut.h>
#include <wx/slider.h>
#include <wx/textctrl.h>

#include <algorithm>

namespace pelmora {

namespace {

wxString FromUtf8(const std::string& s) { return wxString::FromUTF8(s.c_str()); }
std::string ToUtf8(const wxString& s) { return std::string(s.utf8_str()); }

}  // namespace

wxWindow* ControlTable::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

std::string ControlTable::Text(int id) const {
    wxWindow* w = Control(id);
    if (auto* t = dynamic_cast<wxTextCtrl*>(w)) return ToUtf8(t->GetValue());
    return w ? ToUtf8(w->GetLabel()) : std::string();
}

void ControlTable::SetText(int id, const std::string& text) {
    wxWindow* w = Control(id);
    const wxString value = FromUtf8(text);
    if (auto* t = dynamic_cast<wxTextCtrl*>(w)) {
        if (t->GetValue() != value) {
            // A box cut short while typing keeps the caret where it was.
            const long caret = t->GetInsertionPoint();
            t->ChangeValue(value);
            t->SetInsertionPoint(std::min(caret, t->GetLastPosition()));
        }
    } else if (w && w->GetLabel() != value) {
        w->SetLabel(value);
    }
}

bool ControlTable::Checked(int id) const {
    wxWindow* w = Control(id);
    if (auto* c = dynamic_cast<wxCheckBox*>(w)) return c->GetValue();
    if (auto* r = dynamic_cast<wxRadioButton*>(w)) return r->GetValue();
    return false;
}

void ControlTable::SetChecked(int id, bool on) {
    wxWindow* w = Control(id);
    if (auto* c = dynamic_cast<wxCheckBox*>(w)) {
        if (c->GetValue() != on) c->SetValue(on);
    } else if (auto* r = dynamic_cast<wxRadioButton*>(w)) {
        // A group keeps one button on: only the button turned on is set.
        if (on && !r->GetValue()) r->SetValue(true);
    }
}

int ControlTable::Position(int id) const {
    wxWindow* w = Control(id);
    if (auto* c = dynamic_cast<wxChoice*>(w)) return c->GetSelection();
    if (auto* s = dynamic_cast<wxSlider*>(w)) return s->GetValue();
    if (auto* g = dynamic_cast<wxGauge*>(w)) return g->GetValue();
    return 0;
}

void ControlTable::SetPosition(int id, int position) {
    wxWindow* w = Control(id);
    if (auto* c = dynamic_cast<wxChoice*>(w)) {
        // A stored index beyond the list selects nothing rather than failing.
        int count = static_cast<int>(c->GetCount());
        int sel = position >= 0 && position < count ? position : wxNOT_FOUND;
        if (c->GetSelection() != sel) c->SetSelection(sel);
    } else if (auto* s = dynamic_cast<wxSlider*>(w)) {
        if (s->GetValue() != position) s->SetValue(position);
    } else if (auto* g = dynamic_cast<wxGauge*>(w)) {
        int value = position < 0 ? 0 : (position > g->GetRange() ? g->GetRange() : position);
        if (g->GetValue() != value) g->SetValue(value);
    }
}

void ControlTable::SetRange(int id, int minimum, int maximum) {
    wxWindow* w = Control(id);
    if (auto* s = dynamic_cast<wxSlider*>(w)) s->SetRange(minimum, maximum);
    else if (auto* g = dynamic_cast<wxGauge*>(w)) g->SetRange(maximum);
}

bool ControlTable::Enabled(int id) const {
    wxWindow* w = Control(id);
    return w && w->IsThisEnabled();
}

void ControlTable::Enable(int id, bool on) {
    wxWindow* w = Control(id);
    if (w && w->IsThisEnabled() != on) w->Enable(on);
}

void ControlTable::ShowMessage(const std::string& text) {
    wxMessageBox(FromUtf8(text), "Pelmora", wxOK | wxICON_EXCLAMATION, owner_);
}

}  // namespace pelmora
