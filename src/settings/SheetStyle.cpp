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
    // The tabs are nodes of the notebook itself, so its own style reaches them.
    AddCss(sheet->GetHandle(), "notebook > header > tabs > tab { padding: 3px 7px; min-width: 0; }");
#else
    (void)sheet;
#endif
}

void SetTabTitleColour(wxNotebook* sheet, wxWindow* page, const wxColour& colour) {
#ifdef __WXGTK__
    GtkWidget* label = gtk_notebook_get_tab_label(GTK_NOTEBOOK(sheet->GetHandle()), page->GetHandle());
    if (!label) return;
    const wxString hex = colour.GetAsString(wxC2S_HTML_SYNTAX);
    AddCss(label, "label, label:backdrop, label:disabled { color: " + hex + "; }");
#else
    (void)sheet;
    (void)page;
    (void)colour;
#endif
}

}  // namespace pelmora
