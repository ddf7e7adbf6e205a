// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CAboutDlg.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

namespace pelmora {

CAboutDlg::CAboutDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "About Pelmora") {
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(new wxStaticText(this, wxID_ANY, "Pelmora Version 1.3"), 0, wxALL, FromDIP(10));
    sizer->Add(new wxStaticText(this, wxID_ANY, "Sound recorder with level meters, DC filter and MP3 output"), 0,
               wxLEFT | wxRIGHT, FromDIP(10));
    sizer->Add(new wxButton(this, wxID_OK, "OK"), 0, wxALIGN_RIGHT | wxALL, FromDIP(10));
    SetSizerAndFit(sizer);
    CentreOnParent();
}

}  // namespace pelmora
