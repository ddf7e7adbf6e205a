// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the mixer line control changes on the General page, and what it asks of the window.
// The window implements it; every call comes on the main window's thread.

#include <string>
#include <vector>

namespace pelmora {

enum class MixerItem {
    kSourceList,     // 1132
    kVolumeSlider,   // 1133
    kBalanceSlider,  // 1134
    kSourceLabel,    // 1194 "Source"
    kVolumeLabel,    // 1195 "Volume"
    kBalanceLabel,   // 1196 "Balance"
};

class MixerView {
public:
    virtual ~MixerView() = default;
    virtual void EnableMixerItem(MixerItem item, bool enable) = 0;
    /// Empties the Source list and fills it with `lines`, in order.
    virtual void SetSourceLines(const std::vector<std::string>& lines) = 0;
    /// Selects a line of the Source list; -1 leaves it without a selection.
    virtual void SelectSourceLine(int position) = 0;
    virtual void SetVolumePosition(int position) = 0;   // 0..100
    virtual void SetBalancePosition(int position) = 0;  // -100..100
    /// The padlock button's icon: closed when locked, open otherwise.
    virtual void ShowPadlock(bool locked) = 0;
    virtual void FocusRecordButton() = 0;
    /// True while a window of the program is the active window.
    virtual bool ProgramIsActive() const = 0;
};

}  // namespace pelmora
