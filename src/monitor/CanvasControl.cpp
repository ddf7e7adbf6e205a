#include "monitor/CanvasControl.h"

#include <wx/dcbuffer.h>
#include <wx/settings.h>

namespace pelmora {

CanvasControl::CanvasControl(wxWindow* parent, int id, const wxRect& rect, long border)
    : wxWindow(parent, id, rect.GetPosition(), rect.GetSize(), border | wxFULL_REPAINT_ON_RESIZE),
      fill_(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE)) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CanvasControl::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& event) {
        if (onClick_) onClick_();
        event.Skip();
    });
}

void CanvasControl::SetImage(const wxBitmap& image) {
    image_ = image;
    Refresh(false);
}

void CanvasControl::ClearImage() {
    image_ = wxBitmap();
    Refresh(false);
}

void CanvasControl::SetText(const wxString& text) {
    if (text == text_) return;
    text_ = text;
    Refresh(false);
}

void CanvasControl::SetFill(const wxColour& colour) {
    if (colour == fill_) return;
    fill_ = colour;
    Refresh(false);
}

void CanvasControl::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(fill_));
    dc.Clear();
    if (image_.IsOk()) dc.DrawBitmap(image_, 0, 0, false);
    if (!text_.empty()) {
        dc.SetFont(GetFont());
        dc.SetTextForeground(GetForegroundColour());
        dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
        int y = text_.Find('\n') == wxNOT_FOUND ? (GetClientSize().y - dc.GetCharHeight()) / 2 : 0;
        for (const wxString& line : wxSplit(text_, '\n', '\0')) {
            dc.DrawText(line, 2, y);
            y += dc.GetCharHeight();
        }
    }
}

}  // namespace pelmora
