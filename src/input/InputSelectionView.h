// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a new input choice does outside the enumeration: the General page's lists and
// labels, the XBR page's ABR control, and the capture device. The window implements it.

#include <string>
#include <vector>

namespace pelmora {

class InputSelectionView {
public:
    virtual ~InputSelectionView() = default;

    // General page lists; each call replaces the whole list.
    virtual void SetDeviceList(const std::vector<std::string>& items) = 0;
    virtual void SetFormatList(const std::vector<std::string>& items) = 0;
    virtual void SelectFormat(int position) = 0;

    // Bitrate table switch.
    virtual void SetAbrRange(int minimum, int maximum) = 0;  // XBR page's ABR spin control
    virtual void SetAbrValue(int kbit) = 0;                  // XBR page's ABR value, after a clamp
    /// "Current bitrate: %d kbit"; the page refreshes its controls with it.
    virtual void SetBitrateLabel(const std::string& text) = 0;

    // A new device or format takes effect.
    virtual void BuildEncoderCommand() = 0;
    virtual void CloseCaptureDevice() = 0;
    virtual void PaintMeterGradients() = 0;
    virtual bool OpenCaptureDevice() = 0;
    virtual void SetUpMixer() = 0;
};

}  // namespace pelmora
