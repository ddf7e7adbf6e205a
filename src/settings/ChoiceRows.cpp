#include "settings/ChoiceRows.h"

#include <dlfcn.h>
#include <wx/choice.h>

#include <algorithm>

namespace pelmora {

namespace {

// The few GTK calls needed, looked up in the toolkit the window library already loaded, so
// the build needs no GTK headers. Missing ones leave the list as it is.
struct GList {
    void* data;
    GList* next;
    GList* prev;
};

struct GtkCalls {
    GList* (*getCells)(void*) = nullptr;
    void (*setFixedSize)(void*, int, int) = nullptr;
    void (*getPadding)(void*, int*, int*) = nullptr;
    void (*listFree)(GList*) = nullptr;
    bool ok = false;

    GtkCalls() {
        getCells = reinterpret_cast<GList* (*)(void*)>(dlsym(RTLD_DEFAULT, "gtk_cell_layout_get_cells"));
        setFixedSize = reinterpret_cast<void (*)(void*, int, int)>(dlsym(RTLD_DEFAULT, "gtk_cell_renderer_set_fixed_size"));
        getPadding = reinterpret_cast<void (*)(void*, int*, int*)>(dlsym(RTLD_DEFAULT, "gtk_cell_renderer_get_padding"));
        listFree = reinterpret_cast<void (*)(GList*)>(dlsym(RTLD_DEFAULT, "g_list_free"));
        ok = getCells && setFixedSize && getPadding && listFree;
    }
};

}  // namespace

void FixChoiceRows(wxChoice* choice) {
#ifdef __WXGTK__
    static const GtkCalls gtk;
    void* combo = choice ? choice->GetHandle() : nullptr;
    if (!gtk.ok || !combo) return;
    int width = 0;
    int height = choice->GetCharHeight();
    for (unsigned i = 0; i < choice->GetCount(); ++i) {
        wxSize extent = choice->GetTextExtent(choice->GetString(i));
        width = std::max(width, extent.x);
        height = std::max(height, extent.y);
    }
    GList* cells = gtk.getCells(combo);
    for (GList* cell = cells; cell; cell = cell->next) {
        int xpad = 0, ypad = 0;
        gtk.getPadding(cell->data, &xpad, &ypad);
        gtk.setFixedSize(cell->data, width + 2 * xpad, height + 2 * ypad);
    }
    if (cells) gtk.listFree(cells);
#else
    (void)choice;
#endif
}

}  // namespace pelmora
