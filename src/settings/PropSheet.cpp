// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/PropSheet.h"

#include <wx/settings.h>

#include "monitor/Contrast.h"
#include "settings/LockingCost.h"
#include "settings/SheetStyle.h"

namespace pelmora {

CPropertyPage::CPropertyPage(wxWindow* parent, const wxString& title)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL), title_(title) {
    KeepLayoutRequestsInside(this);
}

wxRect CPropertyPage::DluRect(int x, int y, int w, int h) const {
    wxPoint pos = ConvertDialogToPixels(wxPoint(x, y));
    wxSize size = ConvertDialogToPixels(wxSize(w, h));
    return wxRect(pos, size);
}

propsheet::propsheet(wxWindow* parent, const wxRect& rect, const wxFont& tabFont)
    : wxNotebook(parent, wxID_ANY, rect.GetPosition(), rect.GetSize(), wxNB_TOP | wxTAB_TRAVERSAL) {
    SetBackgroundColour(BackgroundColour());
    SetFont(tabFont);
    TightenTabs(this);
    SetPadding(wxSize(0, 0));
    Bind(wxEVT_NOTEBOOK_PAGE_CHANGING, &propsheet::OnPageChanging, this);
    Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, &propsheet::OnPageChanged, this);
}

wxColour propsheet::TabTitleColour() {
    // The theme's text colour, its lightness moved until it reads on the sheet's green.
    const wxColour text = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT);
    const wxColour back = BackgroundColour();
    const Rgb readable = WithContrast(MakeRgb(text.Red(), text.Green(), text.Blue()),
                                      MakeRgb(back.Red(), back.Green(), back.Blue()), kTextContrastAim);
    return wxColour(RedOf(readable), GreenOf(readable), BlueOf(readable));
}

void propsheet::AddPage(CPropertyPage* page) {
    pages_.push_back(page);
    wxNotebook::AddPage(page, page->Title(), pages_.size() == 1);
    SetTabTitleColour(this, page, TabTitleColour());
    if (pages_.size() == 1) page->OnSetActive();
}

CPropertyPage* propsheet::ActivePage() const {
    int index = GetSelection();
    if (index < 0 || static_cast<std::size_t>(index) >= pages_.size()) return nullptr;
    return pages_[static_cast<std::size_t>(index)];
}

void propsheet::OnPageChanging(wxBookCtrlEvent& event) {
    if (CPropertyPage* page = ActivePage()) page->OnKillActive();
    event.Skip();
}

void propsheet::OnPageChanged(wxBookCtrlEvent& event) {
    int index = event.GetSelection();
    if (index >= 0 && static_cast<std::size_t>(index) < pages_.size()) pages_[static_cast<std::size_t>(index)]->OnSetActive();
    event.Skip();
}

}  // namespace pelmora
