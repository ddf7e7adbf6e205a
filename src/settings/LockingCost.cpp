// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/LockingCost.h"

#include <wx/choice.h>
#include <wx/textctrl.h>
#include <wx/window.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace pelmora {

#ifdef __WXGTK__

void MeasureShownRowOnly(wxChoice* choice) {
    GtkWidget* combo = choice ? choice->GetHandle() : nullptr;
    if (!combo || !GTK_IS_COMBO_BOX(combo)) return;
    // The closed list's row: a cell view that would otherwise fit itself to every row.
    GtkWidget* shown = gtk_bin_get_child(GTK_BIN(combo));
    if (shown && GTK_IS_CELL_VIEW(shown)) gtk_cell_view_set_fit_model(GTK_CELL_VIEW(shown), FALSE);
}

void KeepLayoutRequestsInside(wxWindow* page) {
    GtkWidget* widget = page ? page->GetHandle() : nullptr;
    if (!widget || !GTK_IS_CONTAINER(widget)) return;
    // Deprecated in GTK 3 but still honoured: a page's size is set by the sheet and never by
    // its contents, so its requests can be answered within it.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_container_set_resize_mode(GTK_CONTAINER(widget), GTK_RESIZE_QUEUE);
    G_GNUC_END_IGNORE_DEPRECATIONS
}

void FixHiddenTextCharacter(wxTextCtrl* text) {
    GtkWidget* entry = text ? text->GetHandle() : nullptr;
    if (entry && GTK_IS_ENTRY(entry)) gtk_entry_set_invisible_char(GTK_ENTRY(entry), '*');
}

#else

void MeasureShownRowOnly(wxChoice*) {}
void KeepLayoutRequestsInside(wxWindow*) {}
void FixHiddenTextCharacter(wxTextCtrl*) {}

#endif

}  // namespace pelmora
