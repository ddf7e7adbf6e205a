// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: "lame console", a read-only window that shows the encoder's own output while
// an MP3 recording runs. Closing it only hides it; the recording goes on.

#include <wx/frame.h>
#include <wx/textctrl.h>

#include <string>

#include "encoder/ConsoleLines.h"

namespace pelmora {

class CLameConsole : public wxFrame {
public:
    explicit CLameConsole(wxWindow* parent);

    /// Empties the window for a new encoder.
    void Restart();
    /// Adds the encoder's text as a console shows it ("\r" rewrites the current line).
    void AddOutput(const std::string& text);

private:
    void OnClose(wxCloseEvent& event);

    wxTextCtrl* text_ = nullptr;
    ConsoleLines lines_{2000};
};

}  // namespace pelmora
