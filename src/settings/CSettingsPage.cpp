// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/CSettingsPage.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dcclient.h>
#include <wx/gauge.h>
#include <wx/radiobut.h>
#include <wx/settings.h>
#include <wx/slider.h>
#include <wx/spinbutt.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/Icons.h"
#include "settings/LockingCost.h"
#include "settings/PlaceControls.h"
#include "settings/SheetStyle.h"

namespace pelmora {

namespace {

wxString FromUtf8(const std::string& s) { return wxString::FromUTF8(s.c_str()); }

// The arrows keep their own position mid-range; the page rules own the value and its range.
constexpr int kSpinSpan = 1000000;

}  // namespace

CSettingsPage::CSettingsPage(wxWindow* parent, const wxString& title, PageModel& model,
                             const std::vector<ControlEntry>& layout)
    : CPropertyPage(parent, title), model_(model), table_(this) {
    // The page keeps the dialog colour; only the sheet around it is green.
    SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
    layout_ = layout;
    // Until then the page rules see no controls: they fill them at the first activation.
    model_.Attach(table_);
}

void CSettingsPage::Build() {
    if (built_) return;
    built_ = true;
    for (const ControlEntry& control : layout_) Create(control);
    const wxSize room = GetClientSize();
    PlaceControls(placed_, DluRect(0, 0, 0, 4).height, room.x - DluRect(0, 0, 4, 0).width, room.y - 1);
    for (const PlacedControl& p : placed_) ShortenToFit(p.window);
    placed_.clear();
    AlignLabelsWithBoxes();
    layout_.clear();
    OnControlsCreated();
}

namespace {

bool IsBox(ControlEntry::Kind kind) {
    return kind == ControlEntry::Edit || kind == ControlEntry::ReadOnlyEdit || kind == ControlEntry::List;
}

// A label beside a box on the same line (a unit, or a caption right before it).
bool LabelsBox(const ControlEntry& label, const ControlEntry& box) {
    const int overlap = std::min(label.y + label.h, box.y + box.h) - std::max(label.y, box.y);
    if (overlap * 2 < std::min(label.h, box.h)) return false;
    const int gap = label.x >= box.x + box.w ? label.x - (box.x + box.w) : box.x - (label.x + label.w);
    return gap >= 0 && gap <= 8;
}

}  // namespace

void CSettingsPage::ShortenToFit(wxWindow* w) {
    // A caption that still has no room (a long path) gives up its middle, not its end.
    if (!dynamic_cast<wxCheckBox*>(w) && !dynamic_cast<wxRadioButton*>(w)) return;
    const int natural = w->GetBestSize().x;
    if (natural <= w->GetSize().x) return;
    const wxString label = w->GetLabel();
    wxClientDC dc(w);
    dc.SetFont(w->GetFont());
    const int mark = natural - dc.GetTextExtent(label).x;
    w->SetLabel(wxControl::Ellipsize(label, dc, wxELLIPSIZE_MIDDLE, w->GetSize().x - mark));
}

void CSettingsPage::AlignLabelsWithBoxes() {
    // A label is drawn from its top; one line high and centred on its box, its text stands on
    // the box's baseline.
    for (const ControlEntry& label : layout_) {
        if (label.kind != ControlEntry::Label || label.caption.empty()) continue;
        for (const ControlEntry& box : layout_) {
            if (!IsBox(box.kind) || !LabelsBox(label, box)) continue;
            wxWindow* l = table_.Control(label.id);
            const wxRect boxRect = table_.Control(box.id)->GetRect();
            wxRect r = l->GetRect();
            r.height = l->GetBestSize().y;
            r.y = boxRect.y + (boxRect.height - r.height) / 2;
            l->SetSize(r);
            break;
        }
    }
}

void CSettingsPage::Create(const ControlEntry& control) {
    const int id = control.id;
    const wxString caption = FromUtf8(control.caption);
    wxRect rect = DluRect(control.x, control.y, control.w, control.h);
    wxWindow* w = nullptr;
    switch (control.kind) {
    case ControlEntry::Group:
        w = new wxStaticBox(this, wxID_ANY, caption);
        break;
    case ControlEntry::Label: {
        long style = wxST_NO_AUTORESIZE;
        if (control.align == ControlEntry::Right) style |= wxALIGN_RIGHT;
        if (control.align == ControlEntry::Centre) style |= wxALIGN_CENTRE_HORIZONTAL;
        w = new wxStaticText(this, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize, style);
        break;
    }
    case ControlEntry::Check: {
        auto* c = new wxCheckBox(this, wxID_ANY, caption);
        c->Bind(wxEVT_CHECKBOX, [this, id](wxCommandEvent&) { model_.OnClicked(id); });
        w = c;
        break;
    }
    case ControlEntry::Radio:
    case ControlEntry::RadioFirst: {
        auto* r = new wxRadioButton(this, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize,
                                    control.kind == ControlEntry::RadioFirst ? wxRB_GROUP : 0);
        r->Bind(wxEVT_RADIOBUTTON, [this, id](wxCommandEvent&) { model_.OnClicked(id); });
        w = r;
        break;
    }
    case ControlEntry::Edit:
    case ControlEntry::ReadOnlyEdit: {
        long style = control.align == ControlEntry::Right ? wxTE_RIGHT : 0;
        if (control.kind == ControlEntry::ReadOnlyEdit) style |= wxTE_READONLY;
        auto* t = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, style);
        FixHiddenTextCharacter(t);
        t->Bind(wxEVT_TEXT, [this, id](wxCommandEvent&) { model_.OnTextChanged(id); });
        t->Bind(wxEVT_KILL_FOCUS, [this, id](wxFocusEvent& event) {
            model_.OnKillFocus(id);
            event.Skip();
        });
        w = t;
        break;
    }
    case ControlEntry::List: {
        auto* c = new wxChoice(this, wxID_ANY);
        for (const std::string& item : control.items) c->Append(FromUtf8(item));
        MeasureShownRowOnly(c);
        c->Bind(wxEVT_CHOICE, [this, id](wxCommandEvent&) { model_.OnSelChange(id); });
        w = c;
        break;
    }
    case ControlEntry::Slider: {
        auto* s = new wxSlider(this, wxID_ANY, 0, 0, 100, wxDefaultPosition, wxDefaultSize,
                               wxSL_HORIZONTAL | wxSL_AUTOTICKS);
        s->SetTickFreq(1);
        s->Bind(wxEVT_SLIDER, [this, id](wxCommandEvent&) { model_.OnScroll(id); });
        w = s;
        break;
    }
    case ControlEntry::Spin: {
        auto* s = new wxSpinButton(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSP_VERTICAL);
        s->SetRange(-kSpinSpan, kSpinSpan);
        s->SetValue(0);
        // Vetoed, the arrows stay at 0 without a further event (setting them back here
        // would raise a second event the other way on GTK).
        s->Bind(wxEVT_SPIN_UP, [this, id](wxSpinEvent& event) {
            event.Veto();
            model_.OnSpin(id, +1);
        });
        s->Bind(wxEVT_SPIN_DOWN, [this, id](wxSpinEvent& event) {
            event.Veto();
            model_.OnSpin(id, -1);
        });
        w = s;
        HideSpinText(s);
        break;
    }
    case ControlEntry::Button: {
        auto* b = new wxButton(this, wxID_ANY, caption);
        b->Bind(wxEVT_BUTTON, [this, id](wxCommandEvent&) { model_.OnClicked(id); });
        w = b;
        break;
    }
    case ControlEntry::BrowseButton: {
        auto* b = NewIconButton(this, wxID_ANY, BrowseIcon(wxSize(rect.height - 6, rect.height - 6)));
        b->Bind(wxEVT_BUTTON, [this, id](wxCommandEvent&) { model_.OnClicked(id); });
        w = b;
        break;
    }
    case ControlEntry::Progress:
        w = new wxGauge(this, wxID_ANY, 100, wxDefaultPosition, wxDefaultSize, wxGA_HORIZONTAL | wxGA_SMOOTH);
        break;
    }
    w->SetSize(rect);
    PlacedControl placed{w, rect};
    placed.group = control.kind == ControlEntry::Group;
    placed.label = control.kind == ControlEntry::Label;
    placed.growWidth = control.kind == ControlEntry::Check || control.kind == ControlEntry::Radio ||
                       control.kind == ControlEntry::RadioFirst || control.kind == ControlEntry::Spin;
    placed.naturalHeight = control.kind != ControlEntry::Slider && control.kind != ControlEntry::Progress;
    placed_.push_back(placed);
    table_.Add(id, w);
}

}  // namespace pelmora
