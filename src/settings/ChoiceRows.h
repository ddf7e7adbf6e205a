#pragma once
// Window code: a drop-down list measures only the row it shows. GTK otherwise lays out the
// text of every row whenever the list is resized or changes state (enabled, locked), which
// with a few dozen formats costs more than the rest of a Record click. The list's width is
// set by the layout; a row too long for it is shortened with an ellipsis, and the open list
// still shows every row in full.

class wxChoice;

namespace pelmora {

/// Call once after creating the list; does nothing where the toolkit has no such rows.
void MeasureShownRowOnly(wxChoice* choice);

}  // namespace pelmora
