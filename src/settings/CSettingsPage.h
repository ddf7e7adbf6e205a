// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: a settings page built from a table of controls at dialog-unit rectangles.
// It binds the controls to the page's rules (PageModel) and forwards their notifications.

#include <wx/window.h>

#include <map>
#include <string>
#include <vector>

#include "settings/ControlTable.h"
#include "settings/PageModel.h"
#include "settings/PlaceControls.h"
#include "settings/PropSheet.h"

namespace pelmora {

struct ControlEntry {
    enum Kind { Group, Label, Check, Radio, RadioFirst, Edit, ReadOnlyEdit, List, Slider, Spin, Button, BrowseButton, Progress };
    enum Align { Left, Right, Centre };
    int id;
    Kind kind;
    std::string caption;
    int x, y, w, h;
    std::vector<std::string> items = {};  // list entries
    Align align = Left;
};

class CSettingsPage : public CPropertyPage {
public:
    CSettingsPage(wxWindow* parent, const wxString& title, PageModel& model, const std::vector<ControlEntry>& layout);

    void EnablePageControls(int mode) override { model_.EnablePageControls(mode); }
    /// The sheet puts the record into the page rules; nothing to do here.
    void ShowSettings() override {}
    /// The first time, the page's controls are made first (a page never opened costs nothing).
    void OnSetActive() override {
        Build();
        model_.Activate();
    }
    void OnKillActive() override { model_.OnKillActive(); }

    /// A control of the page by its id; nullptr for an unknown id.
    wxWindow* Control(int id) const { return table_.Control(id); }

protected:
    /// After the controls are made, before the page rules first show them.
    virtual void OnControlsCreated() {}

private:
    void Build();
    void Create(const ControlEntry& control);
    void AlignLabelsWithBoxes();
    static void ShortenToFit(wxWindow* w);

    PageModel& model_;
    ControlTable table_;
    std::vector<ControlEntry> layout_;
    std::vector<PlacedControl> placed_;  // while the controls are made
    bool built_ = false;
};

}  // namespace pelmora
