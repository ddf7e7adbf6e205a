#pragma once
// Window code: a settings page built from a table of controls at dialog-unit rectangles.
// It binds the controls to the page's rules (PageModel) and forwards their notifications.

#include <wx/window.h>

#include <map>
#include <string>
#include <vector>

#include "settings/PageControls.h"
#include "settings/PageModel.h"
#include "settings/PropSheet.h"

namespace pelmora {

struct ControlSpec {
    enum Kind { Group, Label, Check, Radio, RadioFirst, Edit, ReadOnlyEdit, List, Slider, Spin, Button, BrowseButton, Progress };
    enum Align { Left, Right, Centre };
    int id;
    Kind kind;
    std::string caption;
    int x, y, w, h;
    std::vector<std::string> items = {};  // list entries
    Align align = Left;
};

class CSettingsPage : public CPropertyPage, public PageControls {
public:
    CSettingsPage(wxWindow* parent, const wxString& title, PageModel& model, const std::vector<ControlSpec>& layout);

    void EnablePageControls(int mode) override { model_.EnablePageControls(mode); }
    /// The sheet puts the record into the page rules; nothing to do here.
    void ShowSettings() override {}
    void OnSetActive() override { model_.Activate(); }
    void OnKillActive() override { model_.OnKillActive(); }

    /// A control of the page by its id; nullptr for an unknown id.
    wxWindow* Control(int id) const;

    // PageControls
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
    void Create(const ControlSpec& spec);

    PageModel& model_;
    std::map<int, wxWindow*> controls_;
};

}  // namespace pelmora
