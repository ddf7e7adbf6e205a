#include "settings/CTuningDialog.h"

#include <wx/button.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

namespace pelmora {

namespace {

wxString FromUtf8(const std::string& s) { return wxString::FromUTF8(s.c_str()); }
std::string ToUtf8(const wxString& s) { return std::string(s.utf8_str()); }

}  // namespace

CTuningDialog::CTuningDialog(wxWindow* parent, const wxString& title, int width, int height, DialogModel& model,
                             const std::vector<DialogControl>& layout)
    : wxDialog(parent, wxID_ANY, title), model_(model) {
    // The template's font: dialog units follow from it.
    SetFont(wxFont(wxFontInfo(8).Family(wxFONTFAMILY_SWISS)));
    SetClientSize(ConvertDialogToPixels(wxSize(width, height)));
    for (const DialogControl& spec : layout) Create(spec);
    model_.Attach(*this);
    // Esc and the close box: Cancel, which stores nothing.
    SetEscapeId(wxID_CANCEL);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Clicked(DialogModel::kCancel); });
}

int CTuningDialog::RunModal() {
    model_.OnInitDialog();
    return ShowModal();
}

void CTuningDialog::Create(const DialogControl& spec) {
    const int id = spec.id;
    const wxString caption = FromUtf8(spec.caption);
    const wxRect rect(ConvertDialogToPixels(wxPoint(spec.x, spec.y)), ConvertDialogToPixels(wxSize(spec.w, spec.h)));
    wxWindow* w = nullptr;
    switch (spec.kind) {
    case DialogControl::Group:
        w = new wxStaticBox(this, wxID_ANY, caption);
        break;
    case DialogControl::Label: {
        long style = wxST_NO_AUTORESIZE;
        if (spec.align == DialogControl::Right) style |= wxALIGN_RIGHT;
        if (spec.align == DialogControl::Centre) style |= wxALIGN_CENTRE_HORIZONTAL;
        w = new wxStaticText(this, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize, style);
        break;
    }
    case DialogControl::Slider:
    case DialogControl::PlainSlider: {
        long style = wxSL_HORIZONTAL;
        if (spec.kind == DialogControl::Slider) style |= wxSL_AUTOTICKS;
        auto* s = new wxSlider(this, wxID_ANY, 0, 0, 100, wxDefaultPosition, wxDefaultSize, style);
        if (spec.kind == DialogControl::Slider) s->SetTickFreq(1);
        s->SetName(caption);
        s->Bind(wxEVT_SLIDER, [this, id](wxCommandEvent&) { model_.OnScroll(id); });
        w = s;
        break;
    }
    case DialogControl::Button: {
        const wxWindowID wid = id == DialogModel::kOk ? wxID_OK : id == DialogModel::kCancel ? wxID_CANCEL : wxID_ANY;
        auto* b = new wxButton(this, wid, caption);
        b->Bind(wxEVT_BUTTON, [this, id](wxCommandEvent&) { Clicked(id); });
        if (id == DialogModel::kOk) b->SetDefault();
        w = b;
        break;
    }
    case DialogControl::Frame:
        w = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxBORDER_SUNKEN);
        break;
    }
    w->SetSize(rect);
    controls_[id] = w;
}

void CTuningDialog::Clicked(int id) {
    model_.OnClicked(id);
    if (id == DialogModel::kCancel || model_.Closed()) {
        OnClosing();
        if (IsModal()) EndModal(model_.Accepted() ? wxID_OK : wxID_CANCEL);
    }
}

wxWindow* CTuningDialog::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

std::string CTuningDialog::Text(int id) const {
    wxWindow* w = Control(id);
    return w ? ToUtf8(w->GetLabel()) : std::string();
}

void CTuningDialog::SetText(int id, const std::string& text) {
    wxWindow* w = Control(id);
    const wxString value = FromUtf8(text);
    if (w && w->GetLabel() != value) w->SetLabel(value);
}

int CTuningDialog::Position(int id) const {
    if (auto* s = dynamic_cast<wxSlider*>(Control(id))) return s->GetValue();
    return 0;
}

void CTuningDialog::SetPosition(int id, int position) {
    if (auto* s = dynamic_cast<wxSlider*>(Control(id)))
        if (s->GetValue() != position) s->SetValue(position);
}

void CTuningDialog::SetRange(int id, int minimum, int maximum) {
    if (auto* s = dynamic_cast<wxSlider*>(Control(id))) s->SetRange(minimum, maximum);
}

bool CTuningDialog::Enabled(int id) const {
    wxWindow* w = Control(id);
    return w && w->IsThisEnabled();
}

void CTuningDialog::Enable(int id, bool on) {
    wxWindow* w = Control(id);
    if (w && w->IsThisEnabled() != on) w->Enable(on);
}

void CTuningDialog::ShowMessage(const std::string& text) {
    wxMessageBox(FromUtf8(text), "Pelmora", wxOK | wxICON_EXCLAMATION, this);
}

}  // namespace pelmora
