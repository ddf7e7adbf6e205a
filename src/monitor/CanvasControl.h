// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: a plain control that shows an off-screen image (meters, status panel, CPU
// graph) or a few lines of text, and reports clicks. Drawn only on the main thread.

#include <wx/bitmap.h>
#include <wx/window.h>

#include <functional>

#include "monitor/PixelImage.h"

namespace pelmora {

class CanvasControl : public wxWindow {
public:
    CanvasControl(wxWindow* parent, int id, const wxRect& rect, long border = wxBORDER_NONE);

    /// The image copied to the control from its top left corner on every paint.
    void SetImage(const wxBitmap& image);
    /// Shows composed pixels; only the part that differs from what is shown is redrawn, and
    /// nothing when they are the same.
    void SetPixels(const PixelImage& pixels);
    void ClearImage();
    bool HasImage() const { return image_.IsOk() || (shown_.Width() > 0 && shown_.Height() > 0); }
    /// Text shown instead of an image, one line per "\n".
    void SetText(const wxString& text);
    void SetFill(const wxColour& colour);
    void SetOnClick(std::function<void()> onClick) { onClick_ = std::move(onClick); }

private:
    void OnPaint(wxPaintEvent& event);

    wxBitmap image_;
    PixelImage shown_;  // the pixels from SetPixels, shown when image_ is empty
    wxString text_;
    wxColour fill_;
    std::function<void()> onClick_;
};

}  // namespace pelmora
