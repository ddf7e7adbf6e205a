// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Rules of the General page's bitrate slider: it sets the minimum (and CBR) bitrate and
// drags the XBR page's maximum up with it.

#include <string>

#include "settings/PageHost.h"

namespace pelmora {

class VbrPageModel;

/// The General page's bitrate slider and its label.
class GenBitrateView {
public:
    virtual ~GenBitrateView() = default;
    virtual int BitrateSlider() const = 0;
    virtual void SetBitrateSlider(int position) = 0;
    virtual void SetBitrateLabel(const std::string& text) = 0;
};

class GenPageModel {
public:
    explicit GenPageModel(PageHost& host) : host_(host) {}
    void Attach(GenBitrateView& view) { view_ = &view; }
    void LinkXbrPage(VbrPageModel& xbr) { xbr_ = &xbr; }

    /// The user moved the bitrate slider.
    void OnBitrateScroll();
    /// The XBR page lowered the minimum below the slider: the slider follows, its label
    /// when the page is next shown.
    void MoveBitrateSlider(int index);
    /// Label from the slider's position in the active table (page activation).
    void UpdateBitrateLabel();
    /// "Current bitrate: %d kbit" for a position in the active table.
    std::string BitrateText(int index) const;

private:
    PageHost& host_;
    GenBitrateView* view_ = nullptr;
    VbrPageModel* xbr_ = nullptr;
};

}  // namespace pelmora
