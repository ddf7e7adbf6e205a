// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: the event log box, a drop-down list that mirrors the EventLog's lines and
// shows the newest one. Its context menu clears the log or saves it to a text file.

#include <wx/odcombo.h>

#include <memory>
#include <optional>

#include "recording/EventLog.h"

namespace pelmora {

// A wx-drawn drop-down, since GTK keeps right clicks on its native one to itself.
class CLogList : public wxOwnerDrawnComboBox {
public:
    CLogList(wxWindow* parent, int id, EventLog& log);
    ~CLogList() override;

    /// Brings the items in line with the log (main thread).
    void Refresh();

    /// Draws the drop button once per state, at its present size, for all later paints:
    /// the toolkit's renderer loads its arrow icon afresh each time it draws one.
    void CacheButtonImages();
    void ClearLog();
    void SaveLog();

    /// The theme's colours and font for the box, asked of the toolkit once: the box has no
    /// colours of its own, so every paint would look them up again.
    wxVisualAttributes GetDefaultAttributes() const override;

private:
    struct Bridge;
    void ShowContextMenu(const wxPoint& screenPoint);

    EventLog& log_;
    std::shared_ptr<Bridge> bridge_;
    mutable std::optional<wxVisualAttributes> themeAttributes_;
};

}  // namespace pelmora
