#include "app/ToolkitSettings.h"

#include <gtk/gtk.h>

#include <cstdlib>

namespace pelmora {

namespace {
constexpr const char* kGlVariable = "GDK_GL";
bool glVariableSet = false;
}  // namespace

void PrepareToolkitEnvironment() {
    if (std::getenv(kGlVariable)) return;
    glVariableSet = ::setenv(kGlVariable, "disable", 0) == 0;
}

void RestoreToolkitEnvironment() {
    if (glVariableSet) ::unsetenv(kGlVariable);
    glVariableSet = false;
}

void DisableToolkitAnimations() {
    if (GtkSettings* settings = gtk_settings_get_default())
        g_object_set(settings, "gtk-enable-animations", FALSE, nullptr);
}

}  // namespace pelmora
