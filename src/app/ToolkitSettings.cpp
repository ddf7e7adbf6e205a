// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ToolkitSettings.h"

#include <gtk/gtk.h>

#include <cstdlib>
#include <cstring>
#include <string>

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

namespace {
// The default theme's marks of checked and mixed check boxes and radio buttons, as the theme
// lists them after its vector images. A vector mark is rendered anew at every state change
// of the control (nothing caches it), about a millisecond each time.
constexpr const char* kThemeAssets = "/org/gtk/libgtk/theme/Adwaita/assets/";
constexpr const char* kMarkRules[][2] = {
    {"check:checked", "check-symbolic"},
    {"check:indeterminate", "dash-symbolic"},
    {"radio:checked", "bullet-symbolic"},
    {"radio:indeterminate", "dash-symbolic"},
};

GtkCssProvider* markProvider = nullptr;

bool DefaultThemeActive(GtkSettings* settings) {
    gchar* name = nullptr;
    g_object_get(settings, "gtk-theme-name", &name, nullptr);
    const bool adwaita = name && (std::strcmp(name, "Adwaita") == 0 || std::strcmp(name, "Adwaita-dark") == 0);
    g_free(name);
    return adwaita;
}

// The images are made for one screen pixel per unit; larger scales keep the vector marks.
bool UnscaledDisplay() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display) return false;
    for (int i = 0; i < gdk_display_get_n_monitors(display); ++i)
        if (gdk_monitor_get_scale_factor(gdk_display_get_monitor(display, i)) != 1) return false;
    return true;
}

std::string MarkRules() {
    std::string css;
    for (const auto& rule : kMarkRules) {
        const std::string path = std::string(kThemeAssets) + rule[1] + ".symbolic.png";
        if (!g_resources_get_info(path.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr, nullptr, nullptr))
            return {};
        css += std::string(rule[0]) + " { -gtk-icon-source: -gtk-recolor(url(\"resource://" + path + "\")); }\n";
    }
    return css;
}

void UpdateMarkProvider(GtkSettings* settings) {
    GdkScreen* screen = gdk_screen_get_default();
    if (!screen) return;
    const bool wanted = DefaultThemeActive(settings) && UnscaledDisplay();
    if (wanted && !markProvider) {
        const std::string css = MarkRules();
        if (css.empty()) return;
        markProvider = gtk_css_provider_new();
        gtk_css_provider_load_from_data(markProvider, css.c_str(), -1, nullptr);
        gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(markProvider),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    } else if (!wanted && markProvider) {
        gtk_style_context_remove_provider_for_screen(screen, GTK_STYLE_PROVIDER(markProvider));
        g_clear_object(&markProvider);
    }
}

void OnThemeChanged(GObject* settings, GParamSpec*, gpointer) { UpdateMarkProvider(GTK_SETTINGS(settings)); }
}  // namespace

void UseImageCheckMarks() {
    GtkSettings* settings = gtk_settings_get_default();
    if (!settings) return;
    UpdateMarkProvider(settings);
    g_signal_connect(settings, "notify::gtk-theme-name", G_CALLBACK(OnThemeChanged), nullptr);
}

void DisableToolkitAnimations() {
    if (GtkSettings* settings = gtk_settings_get_default())
        g_object_set(settings, "gtk-enable-animations", FALSE, nullptr);
}

}  // namespace pelmora
