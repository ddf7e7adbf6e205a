// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: the About box.

#include <wx/dialog.h>

namespace pelmora {

class CAboutDlg : public wxDialog {
public:
    explicit CAboutDlg(wxWindow* parent);
};

}  // namespace pelmora
