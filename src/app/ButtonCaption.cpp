// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ButtonCaption.h"

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace pelmora {

void SetButtonCaption(wxButton* button, const wxString& caption) {
    if (button->GetLabel() == caption) return;
#ifdef __WXGTK__
    // Mnemonics would need the toolkit's conversion; such captions take the long way.
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(button->GetHandle()));
    if (child && GTK_IS_LABEL(child) && !caption.Contains('&') && !caption.Contains('_')) {
        button->wxControl::SetLabel(caption);
        gtk_label_set_text(GTK_LABEL(child), caption.utf8_str());
        return;
    }
#endif
    button->SetLabel(caption);
}

}  // namespace pelmora
