#include "settings/ContainedLayout.h"

#include <wx/window.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace pelmora {

void KeepLayoutRequestsInside(wxWindow* page) {
#ifdef __WXGTK__
    GtkWidget* widget = page ? page->GetHandle() : nullptr;
    if (!widget || !GTK_IS_CONTAINER(widget)) return;
    // Deprecated in GTK 3 but still honoured: a page's size is set by the sheet and never by
    // its contents, so its requests can be answered within it.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_container_set_resize_mode(GTK_CONTAINER(widget), GTK_RESIZE_QUEUE);
    G_GNUC_END_IGNORE_DEPRECATIONS
#else
    (void)page;
#endif
}

}  // namespace pelmora
