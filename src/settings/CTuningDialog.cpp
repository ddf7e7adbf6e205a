// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/CTuningDialog.h"

#include <climits>

#include <wx/button.h>
#include <wx/panel.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "settings/PlaceControls.h"

namespace pelmora {

namespace {

wxString FromUtf8(const std::string& s) { return wxString::FromUTF8(s.c_str()); }

}  // namespace

CTuningDialog::CTuningDialog(wxWindow* parent, const wxString& title, int width, int height, DialogModel& model,
                             const std::vector<DialogControl>& layout)
    : wxDialog(parent, wxID_ANY, title), model_(model), table_(this) {
    // The template's font: dialog units follow from it.
    SetFont(wxFont(wxFontInfo(8).Family(wxFONTFAMILY_SWISS)));
    SetClientSize(ConvertDialogToPixels(wxSize(width, height)));
    for (const DialogControl& control : layout) Create(control);
    // Controls that needed more room move down; the dialog grows with them.
    const int bottom = PlaceControls(placed_, ConvertDialogToPixels(wxSize(0, 4)).y,
                                     GetClientSize().x - ConvertDialogToPixels(wxSize(4, 0)).x, INT_MAX);
    placed_.clear();
    const int margin = ConvertDialogToPixels(wxSize(0, 7)).y;
    if (bottom + margin > GetClientSize().y) SetClientSize(GetClientSize().x, bottom + margin);
    model_.Attach(table_);
    // Esc and the close box: Cancel, which stores nothing.
    SetEscapeId(wxID_CANCEL);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Clicked(DialogModel::kCancel); });
}

int CTuningDialog::RunModal() {
    model_.OnInitDialog();
    return ShowModal();
}

void CTuningDialog::Create(const DialogControl& control) {
    const int id = control.id;
    const wxString caption = FromUtf8(control.caption);
    const wxRect rect(ConvertDialogToPixels(wxPoint(control.x, control.y)), ConvertDialogToPixels(wxSize(control.w, control.h)));
    wxWindow* w = nullptr;
    switch (control.kind) {
    case DialogControl::Group:
        w = new wxStaticBox(this, wxID_ANY, caption);
        break;
    case DialogControl::Label: {
        long style = wxST_NO_AUTORESIZE;
        if (control.align == DialogControl::Right) style |= wxALIGN_RIGHT;
        if (control.align == DialogControl::Centre) style |= wxALIGN_CENTRE_HORIZONTAL;
        w = new wxStaticText(this, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize, style);
        break;
    }
    case DialogControl::Slider:
    case DialogControl::PlainSlider: {
        long style = wxSL_HORIZONTAL;
        if (control.kind == DialogControl::Slider) style |= wxSL_AUTOTICKS;
        auto* s = new wxSlider(this, wxID_ANY, 0, 0, 100, wxDefaultPosition, wxDefaultSize, style);
        if (control.kind == DialogControl::Slider) s->SetTickFreq(1);
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
    PlacedControl placed{w, rect};
    placed.group = control.kind == DialogControl::Group;
    placed.label = control.kind == DialogControl::Label;
    placed.naturalHeight = control.kind == DialogControl::Label || control.kind == DialogControl::Button;
    placed_.push_back(placed);
    table_.Add(id, w);
}

void CTuningDialog::Clicked(int id) {
    model_.OnClicked(id);
    if (id == DialogModel::kCancel || model_.Closed()) {
        OnClosing();
        if (IsModal()) EndModal(model_.Accepted() ? wxID_OK : wxID_CANCEL);
    }
}

}  // namespace pelmora
