// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CLameConsole.h"

#include <wx/sizer.h>

namespace pelmora {

namespace {

wxString FromConsole(const std::string& s) {
    wxString text = wxString::FromUTF8(s.c_str(), s.size());
    // Not UTF-8 (a name in another encoding): show the bytes as Latin-1 rather than nothing.
    if (text.empty() && !s.empty()) text = wxString(s.c_str(), wxConvISO8859_1, s.size());
    return text;
}
}  // namespace

CLameConsole::CLameConsole(wxWindow* parent)
    : wxFrame(parent, wxID_ANY, "lame console", wxDefaultPosition, wxDefaultSize,
              wxDEFAULT_FRAME_STYLE) {
    text_ = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
                           wxTE_MULTILINE | wxTE_READONLY | wxTE_DONTWRAP);
    text_->SetFont(wxFont(wxFontInfo(9).Family(wxFONTFAMILY_TELETYPE)));
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(text_, 1, wxEXPAND);
    SetSizer(sizer);
    SetSize(FromDIP(wxSize(640, 320)));
    Bind(wxEVT_CLOSE_WINDOW, &CLameConsole::OnClose, this);
}

void CLameConsole::Restart() {
    lines_.Clear();
    text_->Clear();
}

void CLameConsole::AddOutput(const std::string& text) {
    if (text.empty()) return;
    lines_.Append(text);
    text_->ChangeValue(FromConsole(lines_.Text()));
    text_->ShowPosition(text_->GetLastPosition());
}

void CLameConsole::OnClose(wxCloseEvent& event) {
    // The window goes with the main window; closed by the user it is only hidden.
    if (event.CanVeto()) {
        event.Veto();
        Hide();
        return;
    }
    event.Skip();
}

}  // namespace pelmora
