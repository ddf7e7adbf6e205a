#include "app/ToolkitSettings.h"

#include <gtk/gtk.h>

namespace pelmora {

void DisableToolkitAnimations() {
    if (GtkSettings* settings = gtk_settings_get_default())
        g_object_set(settings, "gtk-enable-animations", FALSE, nullptr);
}

}  // namespace pelmora
