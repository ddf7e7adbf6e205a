#pragma once
// Window code: a modal tuning dialog built from a table of controls at dialog-unit
// rectangles. It binds the controls to the dialog's rules (DialogModel), forwards their
// notifications and closes when the rules say so.

#include <wx/dialog.h>

#include <map>
#include <string>
#include <vector>

#include "settings/DialogModel.h"
#include "settings/PageControls.h"

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

class CTuningDialog : public wxDialog, public PageControls {
public:
    /// `width` x `height` dialog units of client area.
    CTuningDialog(wxWindow* parent, const wxString& title, int width, int height, DialogModel& model,
                  const std::vector<DialogControl>& layout);

    /// OnInitDialog of the rules, then the modal loop.
    int RunModal();
    wxWindow* Control(int id) const;

    // PageControls
    std::string Text(int id) const override;
    void SetText(int id, const std::string& text) override;
    bool Checked(int) const override { return false; }
    void SetChecked(int, bool) override {}
    int Position(int id) const override;
    void SetPosition(int id, int position) override;
    void SetRange(int id, int minimum, int maximum) override;
    bool Enabled(int id) const override;
    void Enable(int id, bool on) override;
    void ShowMessage(const std::string& text) override;

protected:
    /// The dialog is about to close; stop what runs for it.
    virtual void OnClosing() {}

private:
    void Create(const DialogControl& spec);
    void Clicked(int id);

    DialogModel& model_;
    std::map<int, wxWindow*> controls_;
};

}  // namespace pelmora
