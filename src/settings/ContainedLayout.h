#pragma once
// Window code: a settings page lays out its own controls again when one of them changes size
// or look, instead of passing the request up to the sheet. GTK's notebook redraws itself whole,
// every control of the page included, each time it is laid out; with the request kept in the
// page, locking the page for a recording redraws only the controls that changed.

class wxWindow;

namespace pelmora {

/// Call once for each page of the sheet; does nothing where the toolkit has no such notion.
void KeepLayoutRequestsInside(wxWindow* page);

}  // namespace pelmora
