// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/CLogList.h"

#include <wx/filedlg.h>
#include <wx/filefn.h>
#include <wx/menu.h>
#include <wx/dcmemory.h>
#include <wx/msgdlg.h>
#include <wx/renderer.h>

#include <atomic>
#include <mutex>

namespace pelmora {

namespace {
constexpr int kCmdClearLog = 32774;
constexpr int kCmdSaveLog = 32775;
}  // namespace

// The log may report from any thread; the box is only touched on the main thread, and
// never after it is gone.
struct CLogList::Bridge {
    std::mutex mutex;
    CLogList* box = nullptr;
    std::atomic<bool> pending{false};

    void Changed() {
        if (pending.exchange(true)) return;  // one refresh covers every change before it
        std::lock_guard<std::mutex> lock(mutex);
        if (box) box->CallAfter([this] {
            pending = false;
            box->Refresh();
        });
    }
};

CLogList::CLogList(wxWindow* parent, int id, EventLog& log)
    : wxOwnerDrawnComboBox(parent, id, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0, nullptr,
                           wxCB_READONLY),
      log_(log), bridge_(std::make_shared<Bridge>()) {
    bridge_->box = this;
    std::weak_ptr<Bridge> weak = bridge_;
    log_.SetObserver([weak] {
        if (auto bridge = weak.lock()) bridge->Changed();
    });
    Bind(wxEVT_CONTEXT_MENU, [this](wxContextMenuEvent& event) {
        wxPoint p = event.GetPosition();
        if (p == wxDefaultPosition) p = ClientToScreen(wxPoint(0, GetSize().y));
        ShowContextMenu(p);
    });
    // A new theme brings new colours.
    Bind(wxEVT_SYS_COLOUR_CHANGED, [this](wxSysColourChangedEvent& event) {
        themeAttributes_.reset();
        event.Skip();
    });
    Bind(wxEVT_RIGHT_DOWN, [this](wxMouseEvent& event) { ShowContextMenu(ClientToScreen(event.GetPosition())); });
    Refresh();
}

wxVisualAttributes CLogList::GetDefaultAttributes() const {
    if (!themeAttributes_) themeAttributes_ = wxOwnerDrawnComboBox::GetDefaultAttributes();
    return *themeAttributes_;
}

CLogList::~CLogList() {
    log_.SetObserver(nullptr);
    std::lock_guard<std::mutex> lock(bridge_->mutex);
    bridge_->box = nullptr;
}

void CLogList::Refresh() {
    std::vector<std::string> lines = log_.Lines();
    unsigned shown = GetCount();
    bool appendOnly = lines.size() >= shown &&
                      (shown == 0 || GetString(shown - 1) == wxString::FromUTF8(lines[shown - 1].c_str()));
    Freeze();
    if (!appendOnly) {
        Clear();
        shown = 0;
    }
    wxArrayString added;
    for (std::size_t i = shown; i < lines.size(); ++i) added.Add(wxString::FromUTF8(lines[i].c_str()));
    if (!added.IsEmpty()) Append(added);
    int selected = log_.SelectedIndex();
    if (selected >= 0 && static_cast<unsigned>(selected) < GetCount())
        SetSelection(selected);
    Thaw();
}

void CLogList::CacheButtonImages() {
    const wxSize size = GetButtonSize();
    if (size.x <= 0 || size.y <= 0) return;
    const wxColour background = GetParent()->GetBackgroundColour();
    auto draw = [&](int flags) {
        wxBitmap image(size);
        wxMemoryDC dc(image);
        dc.SetBackground(wxBrush(background));
        dc.Clear();
        wxRendererNative::Get().DrawComboBoxDropButton(this, dc, wxRect(size), flags);
        dc.SelectObject(wxNullBitmap);
        return image;
    };
    SetButtonBitmaps(draw(0), false, draw(wxCONTROL_PRESSED), draw(wxCONTROL_CURRENT), draw(wxCONTROL_DISABLED));
}

void CLogList::ShowContextMenu(const wxPoint& screenPoint) {
    wxMenu menu;
    menu.Append(kCmdClearLog, "Clear log");
    menu.AppendSeparator();
    menu.Append(kCmdSaveLog, "Save log");
    int command = GetPopupMenuSelectionFromUser(menu, ScreenToClient(screenPoint));
    if (command == kCmdClearLog) ClearLog();
    if (command == kCmdSaveLog) SaveLog();
}

void CLogList::ClearLog() { log_.Clear(); }

void CLogList::SaveLog() {
    wxFileDialog dialog(this, wxFileSelectorPromptStr, wxGetCwd(),
                        wxString::FromUTF8(log_.ProposedSaveName().c_str()) + ".txt", "txt file  (*.txt)|*.txt",
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK) return;
    wxString path = dialog.GetPath();
    if (!path.Lower().EndsWith(".txt") && path.AfterLast('/').Find('.') == wxNOT_FOUND) path += ".txt";
    std::string error;
    if (!log_.SaveTo(std::string(path.utf8_str()), &error))
        wxMessageBox(wxString::FromUTF8(error.c_str()) + "\n" + path, "Pelmora", wxOK | wxICON_ERROR, this);
}

}  // namespace pelmora
