// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: one-call toolkit adjustments made to controls as they are created, so that
// locking and unlocking them (at Record and Stop) costs little more than redrawing what
// changed. Each does nothing where the toolkit has no such behaviour.

class wxChoice;
class wxTextCtrl;
class wxWindow;

namespace pelmora {

/// A drop-down list measures only the row it shows. GTK otherwise lays out the text of every
/// row whenever the list is resized or changes state, which with a few dozen formats costs
/// more than the rest of a Record click. The list's width is set by the layout; a row too
/// long for it is shortened with an ellipsis, and the open list still shows every row in full.
void MeasureShownRowOnly(wxChoice* choice);

/// A settings page lays out its own controls again when one of them changes size or look,
/// instead of passing the request up to the sheet. GTK's notebook redraws itself whole, every
/// control of the page included, each time it is laid out. Call once for each page.
void KeepLayoutRequestsInside(wxWindow* page);

/// A one-line text box gets a fixed character for hidden text. Without one, GTK looks through
/// the font for a suitable character (laying out a few candidates) every time the box is
/// enabled, disabled or restyled. None of the program's boxes hide their text, so the
/// character is never seen.
void FixHiddenTextCharacter(wxTextCtrl* text);

}  // namespace pelmora
