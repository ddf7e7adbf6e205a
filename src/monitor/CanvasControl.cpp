// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/CanvasControl.h"

#include <gdk/gdk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif
#include <wx/dcbuffer.h>
#include <wx/dcclient.h>
#include <wx/settings.h>

#include <algorithm>

#include "monitor/PictureRender.h"
#include "monitor/ScreenPixels.h"

namespace pelmora {

namespace {

// Whether a window may be drawn on outside its paint handler (an X11 display; not Wayland).
bool DirectDrawingPossible() {
#ifdef GDK_WINDOWING_X11
    static const bool possible = GDK_IS_X11_DISPLAY(gdk_display_get_default());
    return possible;
#else
    return false;
#endif
}

}  // namespace

CanvasControl::CanvasControl(wxWindow* parent, int id, const wxRect& rect, long border)
    : wxWindow(parent, id, rect.GetPosition(), rect.GetSize(), border | wxFULL_REPAINT_ON_RESIZE),
      fill_(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE)) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    // Fixed once: a window without its own colours asks the theme again on every paint.
    SetOwnForegroundColour(GetForegroundColour());
    SetOwnBackgroundColour(GetBackgroundColour());
    Bind(wxEVT_PAINT, &CanvasControl::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& event) {
        if (onClick_) onClick_();
        event.Skip();
    });
}

void CanvasControl::SetImage(const wxBitmap& image) {
    image_ = image;
    shown_.Resize(0, 0);
    Refresh(false);
}

void CanvasControl::SetPixels(const PixelImage& pixels) {
    const int w = pixels.Width(), h = pixels.Height();
    wxRect changed(0, 0, w, h);
    if (shown_.Width() == w && shown_.Height() == h && w > 0 && h > 0) {
        // Bounding box of the pixels that differ.
        int left = w, right = -1, top = h, bottom = -1;
        const Rgb* a = pixels.Pixels().data();
        const Rgb* b = shown_.Pixels().data();
        for (int y = 0; y < h; ++y) {
            const Rgb* ra = a + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
            const Rgb* rb = b + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
            if (std::equal(ra, ra + w, rb)) continue;
            int x0 = 0;
            while (ra[x0] == rb[x0]) ++x0;
            int x1 = w - 1;
            while (ra[x1] == rb[x1]) --x1;
            left = std::min(left, x0);
            right = std::max(right, x1);
            top = std::min(top, y);
            bottom = y;
        }
        if (right < 0) return;
        changed = wxRect(left, top, right - left + 1, bottom - top + 1);
    }
    // Converted on paint, and only the part the paint asks for.
    shown_.Assign(pixels);
    image_ = wxBitmap();
    // Live pictures go straight to the screen where the display allows it: a repaint through
    // the toolkit's frame cycle costs many times the drawing itself. Exposures still paint.
    if (DirectDrawingPossible() && IsShownOnScreen() && text_.empty()) {
        if (PutScreenPixels(GTKGetDrawingWindow(), shown_, changed.x, changed.y, changed.width, changed.height))
            return;
        wxClientDC dc(this);
        dc.DrawBitmap(ToBitmap(shown_, changed.x, changed.y, changed.width, changed.height), changed.x, changed.y,
                      false);
        return;
    }
    RefreshRect(changed, false);
}

void CanvasControl::ClearImage() {
    if (!HasImage()) return;
    image_ = wxBitmap();
    shown_.Resize(0, 0);
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
    const wxSize client = GetClientSize();
    const wxRect pixels(0, 0, shown_.Width(), shown_.Height());
    const wxRect asked = GetUpdateRegion().GetBox();
    // Pixels that cover what the paint asks for are all it draws.
    if (text_.empty() && !image_.IsOk() && pixels.Contains(asked) && !asked.IsEmpty()) {
        dc.DrawBitmap(ToBitmap(shown_, asked.x, asked.y, asked.width, asked.height), asked.x, asked.y, false);
        return;
    }
    dc.SetBackground(wxBrush(fill_));
    dc.Clear();
    if (image_.IsOk()) dc.DrawBitmap(image_, 0, 0, false);
    else if (!pixels.IsEmpty()) {
        const wxRect part = pixels.Intersect(wxRect(client));
        if (!part.IsEmpty()) dc.DrawBitmap(ToBitmap(shown_, part.x, part.y, part.width, part.height), 0, 0, false);
    }
    if (!text_.empty()) {
        dc.SetFont(GetFont());
        dc.SetTextForeground(GetForegroundColour());
        dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
        int y = text_.Find('\n') == wxNOT_FOUND ? (client.y - dc.GetCharHeight()) / 2 : 0;
        for (const wxString& line : wxSplit(text_, '\n', '\0')) {
            dc.DrawText(line, 2, y);
            y += dc.GetCharHeight();
        }
    }
}

}  // namespace pelmora
