// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: the settings sheet inside the main window and the base of its pages.

#include <wx/notebook.h>
#include <wx/panel.h>

#include <vector>

namespace pelmora {

/// A settings page. Pages write every change into the settings record at once.
class CPropertyPage : public wxPanel {
public:
    CPropertyPage(wxWindow* parent, const wxString& title);

    const wxString& Title() const { return title_; }
    /// 1 locks the page for a recording, 2 unlocks it and applies its own dependencies.
    virtual void EnablePageControls(int mode) = 0;
    /// Copies the settings record into the page's values and controls.
    virtual void ShowSettings() = 0;
    /// The sheet brought the page to the front.
    virtual void OnSetActive() = 0;
    /// The sheet is about to switch away from the page.
    virtual void OnKillActive() {}

    /// Converts a rectangle in the page's dialog units to pixels.
    wxRect DluRect(int x, int y, int w, int h) const;

protected:
    bool firstActivation_ = true;

private:
    wxString title_;
};

/// The tabbed sheet; it places itself at the top left of its parent.
class propsheet : public wxNotebook {
public:
    propsheet(wxWindow* parent, const wxRect& rect, const wxFont& tabFont);

    /// Adds a page behind the others (tab order = order of adding).
    void AddPage(CPropertyPage* page);
    CPropertyPage* ActivePage() const;
    int ActiveIndex() const { return GetSelection(); }
    const std::vector<CPropertyPage*>& Pages() const { return pages_; }

    static wxColour BackgroundColour() { return wxColour(80, 150, 100); }
    /// Colour of the tab titles on the sheet's background.
    static wxColour TabTitleColour();

private:
    void OnPageChanging(wxBookCtrlEvent& event);
    void OnPageChanged(wxBookCtrlEvent& event);

    std::vector<CPropertyPage*> pages_;
};

}  // namespace pelmora
