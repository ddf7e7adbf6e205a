// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Icons.h"

#include <wx/artprov.h>
#include <wx/image.h>
#include <wx/filename.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>

#include "app/ProgramFolder.h"

namespace pelmora {

namespace {

// An icon file of the program's data folder; empty when it is not there, so that wx never
// shows an error box for it.
wxString IconFile(const char* name) {
    const std::string& folder = CurrentProgramPaths().dataFolder;
    if (folder.empty()) return wxString();
    const wxString path = wxString::FromUTF8((folder + "icons/" + name).c_str());
    return wxFileName::FileExists(path) ? path : wxString();
}

// Each icon is read and parsed once: the padlock changes with every Record and Stop.
wxBitmapBundle FromFile(const char* name, const wxSize& size) {
    static std::map<std::tuple<std::string, int, int>, wxBitmapBundle> loaded;
    const auto key = std::make_tuple(std::string(name), size.x, size.y);
    auto it = loaded.find(key);
    if (it != loaded.end()) return it->second;
    const wxString path = IconFile(name);
    wxBitmapBundle icon = path.empty() ? wxBitmapBundle() : wxBitmapBundle::FromSVGFile(path, size);
    loaded.emplace(key, icon);
    return icon;
}

// A fully transparent bitmap: the button keeps its size without a picture.
wxBitmapBundle Blank(const wxSize& size) {
    wxImage image(size);
    image.InitAlpha();
    std::fill(image.GetAlpha(), image.GetAlpha() + size.x * size.y, 0);
    return wxBitmapBundle(wxBitmap(image));
}

class IconButton : public wxBitmapButton {
public:
    IconButton(wxWindow* parent, int id, const wxBitmapBundle& icon) : wxBitmapButton(parent, id, icon) {
#ifdef __WXGTK3__
        GTKApplyCssStyle("* { padding: 0; min-width: 0; min-height: 0; }");
#endif
    }
};

}  // namespace

wxBitmapBundle PadlockIcon(bool open, const wxSize& size) {
    wxBitmapBundle icon = FromFile(open ? "padlock-open.svg" : "padlock-closed.svg", size);
    return icon.IsOk() ? icon : Blank(size);
}

wxBitmapBundle BrowseIcon(const wxSize& size) {
    wxBitmapBundle icon = FromFile("folder.svg", size);
    if (icon.IsOk()) return icon;
    icon = wxArtProvider::GetBitmapBundle(wxART_FOLDER, wxART_BUTTON, size);
    return icon.IsOk() ? icon : Blank(size);
}

wxBitmapButton* NewIconButton(wxWindow* parent, int id, const wxBitmapBundle& icon) {
    return new IconButton(parent, id, icon);
}

wxIconBundle AppIcon() {
    wxIconBundle icons;
    const wxBitmapBundle svg = FromFile("pelmora.svg", wxSize(48, 48));
    if (!svg.IsOk()) return icons;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icons.AddIcon(svg.GetIcon(wxSize(size, size)));
    return icons;
}

}  // namespace pelmora
