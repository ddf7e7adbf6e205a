#include "settings/CSettingsPage.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/gauge.h>
#include <wx/msgdlg.h>
#include <wx/radiobut.h>
#include <wx/settings.h>
#include <wx/slider.h>
#include <wx/spinbutt.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/Icons.h"
#include "settings/ChoiceRows.h"
#include "settings/ControlFit.h"

namespace pelmora {

namespace {

wxString FromUtf8(const std::string& s) { return wxString::FromUTF8(s.c_str()); }
std::string ToUtf8(const wxString& s) { return std::string(s.utf8_str()); }

// The arrows keep their own position mid-range; the page rules own the value and its range.
constexpr int kSpinSpan = 1000000;

}  // namespace

CSettingsPage::CSettingsPage(wxWindow* parent, const wxString& title, PageModel& model,
                             const std::vector<ControlSpec>& layout)
    : CPropertyPage(parent, title), model_(model) {
    // The page keeps the dialog colour; only the sheet around it is green.
    SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
    for (const ControlSpec& spec : layout) Create(spec);
    model_.Attach(*this);
}

void CSettingsPage::Create(const ControlSpec& spec) {
    const int id = spec.id;
    const wxString caption = FromUtf8(spec.caption);
    wxRect rect = DluRect(spec.x, spec.y, spec.w, spec.h);
    wxWindow* w = nullptr;
    switch (spec.kind) {
    case ControlSpec::Group:
        w = new wxStaticBox(this, wxID_ANY, caption);
        break;
    case ControlSpec::Label: {
        long style = wxST_NO_AUTORESIZE;
        if (spec.align == ControlSpec::Right) style |= wxALIGN_RIGHT;
        if (spec.align == ControlSpec::Centre) style |= wxALIGN_CENTRE_HORIZONTAL;
        w = new wxStaticText(this, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize, style);
        break;
    }
    case ControlSpec::Check: {
        auto* c = new wxCheckBox(this, wxID_ANY, caption);
        c->Bind(wxEVT_CHECKBOX, [this, id](wxCommandEvent&) { model_.OnClicked(id); });
        w = c;
        rect = AtLeastNaturalSize(c, rect);
        break;
    }
    case ControlSpec::Radio:
    case ControlSpec::RadioFirst: {
        auto* r = new wxRadioButton(this, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize,
                                    spec.kind == ControlSpec::RadioFirst ? wxRB_GROUP : 0);
        r->Bind(wxEVT_RADIOBUTTON, [this, id](wxCommandEvent&) { model_.OnClicked(id); });
        w = r;
        rect = AtLeastNaturalSize(r, rect);
        break;
    }
    case ControlSpec::Edit:
    case ControlSpec::ReadOnlyEdit: {
        long style = spec.align == ControlSpec::Right ? wxTE_RIGHT : 0;
        if (spec.kind == ControlSpec::ReadOnlyEdit) style |= wxTE_READONLY;
        auto* t = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, style);
        t->Bind(wxEVT_TEXT, [this, id](wxCommandEvent&) { model_.OnTextChanged(id); });
        t->Bind(wxEVT_KILL_FOCUS, [this, id](wxFocusEvent& event) {
            model_.OnKillFocus(id);
            event.Skip();
        });
        w = t;
        break;
    }
    case ControlSpec::List: {
        auto* c = new wxChoice(this, wxID_ANY);
        for (const std::string& item : spec.items) c->Append(FromUtf8(item));
        FixChoiceRows(c);
        c->Bind(wxEVT_CHOICE, [this, id](wxCommandEvent&) { model_.OnSelChange(id); });
        w = c;
        // Drop-down lists keep their own height.
        rect.height = c->GetBestSize().y;
        break;
    }
    case ControlSpec::Slider: {
        auto* s = new wxSlider(this, wxID_ANY, 0, 0, 100, wxDefaultPosition, wxDefaultSize,
                               wxSL_HORIZONTAL | wxSL_AUTOTICKS);
        s->SetTickFreq(1);
        s->Bind(wxEVT_SLIDER, [this, id](wxCommandEvent&) { model_.OnScroll(id); });
        w = s;
        break;
    }
    case ControlSpec::Spin: {
        auto* s = new wxSpinButton(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSP_VERTICAL);
        s->SetRange(-kSpinSpan, kSpinSpan);
        s->SetValue(0);
        s->Bind(wxEVT_SPIN_UP, [this, id, s](wxSpinEvent&) {
            s->SetValue(0);
            model_.OnSpin(id, +1);
        });
        s->Bind(wxEVT_SPIN_DOWN, [this, id, s](wxSpinEvent&) {
            s->SetValue(0);
            model_.OnSpin(id, -1);
        });
        w = s;
        rect = AtLeastNaturalSize(s, rect);
        break;
    }
    case ControlSpec::Button: {
        auto* b = new wxButton(this, wxID_ANY, caption);
        b->Bind(wxEVT_BUTTON, [this, id](wxCommandEvent&) { model_.OnClicked(id); });
        w = b;
        break;
    }
    case ControlSpec::BrowseButton: {
        auto* b = NewIconButton(this, wxID_ANY, BrowseIcon(wxSize(rect.height - 6, rect.height - 6)));
        b->Bind(wxEVT_BUTTON, [this, id](wxCommandEvent&) { model_.OnClicked(id); });
        w = b;
        break;
    }
    case ControlSpec::Progress:
        w = new wxGauge(this, wxID_ANY, 100, wxDefaultPosition, wxDefaultSize, wxGA_HORIZONTAL | wxGA_SMOOTH);
        break;
    }
    w->SetSize(rect);
    controls_[id] = w;
}

wxWindow* CSettingsPage::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

std::string CSettingsPage::Text(int id) const {
    wxWindow* w = Control(id);
    if (auto* t = dynamic_cast<wxTextCtrl*>(w)) return ToUtf8(t->GetValue());
    return w ? ToUtf8(w->GetLabel()) : std::string();
}

void CSettingsPage::SetText(int id, const std::string& text) {
    wxWindow* w = Control(id);
    const wxString value = FromUtf8(text);
    if (auto* t = dynamic_cast<wxTextCtrl*>(w)) {
        if (t->GetValue() != value) t->ChangeValue(value);
    } else if (w && w->GetLabel() != value) {
        w->SetLabel(value);
    }
}

bool CSettingsPage::Checked(int id) const {
    wxWindow* w = Control(id);
    if (auto* c = dynamic_cast<wxCheckBox*>(w)) return c->GetValue();
    if (auto* r = dynamic_cast<wxRadioButton*>(w)) return r->GetValue();
    return false;
}

void CSettingsPage::SetChecked(int id, bool on) {
    wxWindow* w = Control(id);
    if (auto* c = dynamic_cast<wxCheckBox*>(w)) {
        if (c->GetValue() != on) c->SetValue(on);
    } else if (auto* r = dynamic_cast<wxRadioButton*>(w)) {
        // A group keeps one button on: only the button turned on is set.
        if (on && !r->GetValue()) r->SetValue(true);
    }
}

int CSettingsPage::Position(int id) const {
    wxWindow* w = Control(id);
    if (auto* c = dynamic_cast<wxChoice*>(w)) return c->GetSelection();
    if (auto* s = dynamic_cast<wxSlider*>(w)) return s->GetValue();
    if (auto* g = dynamic_cast<wxGauge*>(w)) return g->GetValue();
    return 0;
}

void CSettingsPage::SetPosition(int id, int position) {
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

void CSettingsPage::SetRange(int id, int minimum, int maximum) {
    wxWindow* w = Control(id);
    if (auto* s = dynamic_cast<wxSlider*>(w)) s->SetRange(minimum, maximum);
    else if (auto* g = dynamic_cast<wxGauge*>(w)) g->SetRange(maximum);
}

bool CSettingsPage::Enabled(int id) const {
    wxWindow* w = Control(id);
    return w && w->IsThisEnabled();
}

void CSettingsPage::Enable(int id, bool on) {
    wxWindow* w = Control(id);
    if (w && w->IsThisEnabled() != on) w->Enable(on);
}

void CSettingsPage::ShowMessage(const std::string& text) {
    wxMessageBox(FromUtf8(text), "Pelmora", wxOK | wxICON_EXCLAMATION, this);
}

}  // namespace pelmora
