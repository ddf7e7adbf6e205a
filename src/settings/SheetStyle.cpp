// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SheetStyle.h"

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace pelmora {

#ifdef __WXGTK__
namespace {

void AddCss(GtkWidget* widget, const wxString& css) {
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, css.utf8_str(), -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(provider),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

}  // namespace
#endif

void TightenTabs(wxNotebook* sheet) {
#ifdef __WXGTK__
    // The tabs are inner nodes of the notebook: a rule for the screen, named for this sheet.
    GtkWidget* widget = sheet->GetHandle();
    if (!GTK_IS_NOTEBOOK(widget)) return;
    gtk_style_context_add_class(gtk_widget_get_style_context(widget), "pelmora-sheet");
    static bool added = false;
    if (added) return;
    added = true;
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(
        provider,
        // The class twice outweighs the theme's rules for top tabs and their states.
        "notebook.pelmora-sheet.pelmora-sheet > header > tabs > tab,"
        "notebook.pelmora-sheet.pelmora-sheet > header.top > tabs > tab,"
        "notebook.pelmora-sheet.pelmora-sheet > header.top > tabs > tab:checked,"
        "notebook.pelmora-sheet.pelmora-sheet > header.top > tabs > tab:hover"
        " { padding: 2px 4px; min-width: 0; margin: 0; }"
        // Boxes and buttons on the pages as high as their text needs, so that the pages'
        // rows keep their places.
        "notebook.pelmora-sheet.pelmora-sheet entry,"
        "notebook.pelmora-sheet.pelmora-sheet button,"
        "notebook.pelmora-sheet.pelmora-sheet combobox button,"
        "notebook.pelmora-sheet.pelmora-sheet spinbutton"
        " { min-height: 0; padding-top: 1px; padding-bottom: 1px; }"
        "notebook.pelmora-sheet.pelmora-sheet spinbutton > button"
        " { min-height: 0; padding-top: 0; padding-bottom: 0; }",
        -1, nullptr);
    gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(widget), GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
#else
    (void)sheet;
#endif
}

void SetTabTitleColour(wxNotebook* sheet, wxWindow* page, const wxColour& colour) {
#ifdef __WXGTK__
    // The tab's widget is the toolkit's box around the title; the title inherits its colour.
    GtkWidget* tab = gtk_notebook_get_tab_label(GTK_NOTEBOOK(sheet->GetHandle()), page->GetHandle());
    if (!tab) return;
    const wxString css = "* { color: " + colour.GetAsString(wxC2S_HTML_SYNTAX) + "; }";
    AddCss(tab, css);
    if (GTK_IS_CONTAINER(tab)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(tab));
        for (GList* c = children; c; c = c->next) AddCss(GTK_WIDGET(c->data), css);
        g_list_free(children);
    }
#else
    (void)sheet;
    (void)page;
    (void)colour;
#endif
}

void HideSpinText(wxWindow* spin) {
#ifdef __WXGTK__
    GtkWidget* widget = spin->GetHandle();
    if (!widget || !GTK_IS_ENTRY(widget)) return;
    // No character is drawn for hidden text, and the entry asks for no room.
    gtk_entry_set_visibility(GTK_ENTRY(widget), FALSE);
    gtk_entry_set_invisible_char(GTK_ENTRY(widget), 0);
    gtk_entry_set_width_chars(GTK_ENTRY(widget), 0);
#else
    (void)spin;
#endif
}

}  // namespace pelmora
