#include "settings/EntryMask.h"

#include <wx/textctrl.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace pelmora {

void FixHiddenTextCharacter(wxTextCtrl* text) {
#ifdef __WXGTK__
    GtkWidget* entry = text ? text->GetHandle() : nullptr;
    if (entry && GTK_IS_ENTRY(entry)) gtk_entry_set_invisible_char(GTK_ENTRY(entry), '*');
#else
    (void)text;
#endif
}

}  // namespace pelmora
