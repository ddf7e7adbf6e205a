// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a page's rules see of its controls, addressed by control id. The window binds real
// controls; tests bind a plain table.

#include <string>

namespace pelmora {

class PageControls {
public:
    virtual ~PageControls() = default;

    /// Text of an edit box or label.
    virtual std::string Text(int id) const = 0;
    /// Sets the text without reporting a change back to the page.
    virtual void SetText(int id, const std::string& text) = 0;
    /// State of a check box or radio button.
    virtual bool Checked(int id) const = 0;
    virtual void SetChecked(int id, bool on) = 0;
    /// Selection of a drop-down list (-1 for none), position of a slider or progress bar.
    virtual int Position(int id) const = 0;
    virtual void SetPosition(int id, int position) = 0;
    /// Range of a slider, progress bar or up/down arrows.
    virtual void SetRange(int id, int minimum, int maximum) = 0;
    virtual bool Enabled(int id) const = 0;
    virtual void Enable(int id, bool on) = 0;
    /// A validation message, shown to the user who must acknowledge it.
    virtual void ShowMessage(const std::string& text) = 0;
};

}  // namespace pelmora
