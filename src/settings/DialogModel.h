// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A modal tuning dialog without its window: its controls' values and texts, what its
// buttons store and apply. The window creates the controls, binds them to Attach, forwards
// their notifications and closes once Closed() says so.

#include "settings/PageControls.h"
#include "settings/TuningHost.h"

namespace pelmora {

class DialogModel {
public:
    enum CommonId { kOk = 1, kCancel = 2 };

    explicit DialogModel(TuningHost& host) : host_(host) {}
    virtual ~DialogModel() = default;
    DialogModel(const DialogModel&) = delete;
    DialogModel& operator=(const DialogModel&) = delete;

    void Attach(PageControls& controls) { controls_ = &controls; }
    /// The window and its controls exist: ranges, positions and texts.
    virtual void OnInitDialog() = 0;
    /// A slider moved.
    virtual void OnScroll(int id) { (void)id; }
    /// A button was pressed; OK and Cancel close the dialog.
    virtual void OnClicked(int id) { (void)id; }
    /// OK or Cancel was pressed (the close box and Esc count as Cancel, storing nothing).
    bool Closed() const { return closed_; }
    bool Accepted() const { return accepted_; }

protected:
    void Close(bool accepted) {
        closed_ = true;
        accepted_ = accepted;
    }

    TuningHost& host_;
    PageControls* controls_ = nullptr;

private:
    bool closed_ = false;
    bool accepted_ = false;
};

}  // namespace pelmora
