// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: the controls of a page or dialog by id, as its rules see them. Each change is
// made only when it changes something, so GTK lays out and redraws nothing in vain.

#include <wx/window.h>

#include <map>
#include <string>

#include "settings/PageControls.h"

namespace pelmora {

class ControlTable : public PageControls {
public:
    /// `owner` is the window validation messages belong to.
    explicit ControlTable(wxWindow* owner) : owner_(owner) {}

    void Add(int id, wxWindow* control) { controls_[id] = control; }
    /// A control by its id; nullptr for an unknown id.
    wxWindow* Control(int id) const;

    std::string Text(int id) const override;
    void SetText(int id, const std::string& text) override;
    bool Checked(int id) const override;
    void SetChecked(int id, bool on) override;
    int Position(int id) const override;
    void SetPosition(int id, int position) override;
    void SetRange(int id, int minimum, int maximum) override;
    bool Enabled(int id) const override;
    void Enable(int id, bool on) override;
    void ShowMessage(const std::string& text) override;

private:
    wxWindow* owner_;
    std::map<int, wxWindow*> controls_;
};

}  // namespace pelmora
