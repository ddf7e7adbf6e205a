// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: a modal tuning dialog built from a table of controls at dialog-unit
// rectangles. It binds the controls to the dialog's rules (DialogModel), forwards their
// notifications and closes when the rules say so.

#include <wx/dialog.h>

#include <map>
#include <string>
#include <vector>

#include "settings/DialogModel.h"
#include "settings/ControlTable.h"
#include "settings/PlaceControls.h"

namespace pelmora {

struct DialogControl {
    enum Kind { Group, Label, Slider, PlainSlider, Button, Frame };
    enum Align { Left, Right, Centre };
    int id;
    Kind kind;
    std::string caption;
    int x, y, w, h;
    Align align = Left;
};

class CTuningDialog : public wxDialog {
public:
    /// `width` x `height` dialog units of client area.
    CTuningDialog(wxWindow* parent, const wxString& title, int width, int height, DialogModel& model,
                  const std::vector<DialogControl>& layout);

    /// OnInitDialog of the rules, then the modal loop.
    int RunModal();
    wxWindow* Control(int id) const { return table_.Control(id); }

protected:
    /// The dialog is about to close; stop what runs for it.
    virtual void OnClosing() {}

private:
    void Create(const DialogControl& control);
    void Clicked(int id);

    DialogModel& model_;
    ControlTable table_;
    std::vector<PlacedControl> placed_;  // while the controls are made
};

}  // namespace pelmora
