// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A settings page without its window: its values, the exchange with its controls, its
// enabling rules and what each control's handler writes into the settings record.
// The window creates the controls, binds them to Attach and forwards their notifications.

#include "settings/DataExchange.h"
#include "settings/PageControls.h"
#include "settings/PageHost.h"

namespace pelmora {

class PageModel {
public:
    explicit PageModel(PageHost& host) : host_(host) {}
    virtual ~PageModel() = default;
    PageModel(const PageModel&) = delete;
    PageModel& operator=(const PageModel&) = delete;

    /// Binds the page's controls. Until the page is first shown they hold nothing.
    void Attach(PageControls& controls) { controls_ = &controls; }
    /// The page's window exists (it has been shown once).
    bool Created() const { return created_; }

    /// The sheet brings the page to the front; the first time, the page is initialised first.
    void Activate();
    /// The sheet switches to another page.
    virtual void OnKillActive() {}
    /// 1 locks the page for a recording, 2 unlocks it and applies its own dependencies.
    virtual void EnablePageControls(int mode) = 0;
    /// Copies the settings record into the page's values (and lists and sliders once created).
    virtual void ShowSettings() = 0;

    // Notifications of the page's controls.
    virtual void OnClicked(int id) { (void)id; }
    virtual void OnTextChanged(int id) { (void)id; }
    virtual void OnSelChange(int id) { (void)id; }
    virtual void OnScroll(int id) { (void)id; }
    virtual void OnKillFocus(int id) { (void)id; }
    /// Up/down arrows pressed: +1 up, -1 down.
    virtual void OnSpin(int id, int delta) { (void)id, (void)delta; }

    /// Controls to values (validating) when `save`, values to controls otherwise.
    /// False when a value failed its validation (its message has been shown).
    bool UpdateData(bool save);
    /// Controls to values for a handler of control `changed`: the whole page, and when its
    /// reading stops at an earlier failure, `changed` on its own too, so that what the user
    /// just did is never lost. False when the page's reading failed.
    bool ReadPageFor(int changed);

protected:
    /// First display: the framework's initialisation shows the values.
    virtual void OnInitDialog() { UpdateData(false); }
    virtual void OnSetActive() = 0;
    /// Binds values and controls in their binding order.
    virtual void DoDataExchange(DataExchange& dx) = 0;
    /// The framework's part of activation: refresh the controls, except the first time.
    void FrameworkActivate();
    /// Enables or disables a set of controls.
    void EnableAll(std::initializer_list<int> ids, bool on);
    /// Lock while recording, else unlock.
    int ActivationMode() const { return host_.IsRecording() ? 1 : 2; }

    PageHost& host_;
    PageControls* controls_ = nullptr;

private:
    bool created_ = false;
    bool firstActive_ = true;
};

}  // namespace pelmora
