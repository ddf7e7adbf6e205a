// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: the program's icons, loaded from the SVG files shipped with it so they stay
// sharp at any scale. A missing file gives a stand-in, never an error.

#include <wx/bmpbndl.h>
#include <wx/bmpbuttn.h>
#include <wx/iconbndl.h>

namespace pelmora {

/// The padlock of the mixer controls, open or closed, at `size` logical pixels.
wxBitmapBundle PadlockIcon(bool open, const wxSize& size);
/// The browse-folder icon of the file entries.
wxBitmapBundle BrowseIcon(const wxSize& size);
/// The program's icon for the window frame and the task bar, in the usual sizes.
wxIconBundle AppIcon();

/// A button that shows only `icon`, without the theme's padding, which would crop the
/// picture in the small buttons beside entries and lists.
wxBitmapButton* NewIconButton(wxWindow* parent, int id, const wxBitmapBundle& icon);

}  // namespace pelmora
