#include "settings/ChoiceRows.h"

#include <wx/choice.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace pelmora {

void MeasureShownRowOnly(wxChoice* choice) {
#ifdef __WXGTK__
    GtkWidget* combo = choice ? choice->GetHandle() : nullptr;
    if (!combo || !GTK_IS_COMBO_BOX(combo)) return;
    // The closed list's row: a cell view that would otherwise fit itself to every row.
    GtkWidget* shown = gtk_bin_get_child(GTK_BIN(combo));
    if (shown && GTK_IS_CELL_VIEW(shown)) gtk_cell_view_set_fit_model(GTK_CELL_VIEW(shown), FALSE);
#else
    (void)choice;
#endif
}

}  // namespace pelmora
