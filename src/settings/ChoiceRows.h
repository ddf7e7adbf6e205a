#pragma once
// Window code: a drop-down list's rows measured once, after it is filled. GTK otherwise lays
// out the text of every row whenever the list is resized or changes state (enabled, locked),
// which with a few dozen formats costs more than the rest of a Record click.

class wxChoice;

namespace pelmora {

/// Fixes the height of the list's rows and their width to the widest item. Call after the
/// items change; does nothing where the toolkit has no such rows.
void FixChoiceRows(wxChoice* choice);

}  // namespace pelmora
