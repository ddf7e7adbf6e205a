// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Rules of the "Advanced" page: optimization, frame flags, the encoder's location and
// console, and the encoder's built-in presets.

#include <string>

#include "settings/PageModel.h"

namespace pelmora {

class AdvPageModel : public PageModel {
public:
    enum Id {
        kOptimizationGroup = 2101,
        kOptimization,
        kOptionsGroup,
        kCrc,
        kFlagsGroup,
        kCopy,
        kCopyright,
        kLameGroup,
        kPath,
        kBrowse,
        kShowConsole,
        kCustomNames,
        kPresetsGroup,
        kUsePreset,
        kPresetNote,
        kGeneralRadio,
        kGeneralList,
        kAltRadio,
        kAltList,
    };

    explicit AdvPageModel(PageHost& host);

    void EnablePageControls(int mode) override;
    void ShowSettings() override;
    void OnClicked(int id) override;
    void OnSelChange(int id) override;

    /// The encoder was found at another place: the path box shows encoderPath.
    void ShowEncoderPath();
    /// The encoder browse: offers an open-file dialog and takes an acceptable choice.
    void BrowseForEncoder();

protected:
    void OnInitDialog() override;
    void OnSetActive() override;
    void DoDataExchange(DataExchange& dx) override;

private:
    int32_t crc_ = 0, copy_ = 0, copyright_ = 0, showConsole_ = 0, customNames_ = 0, usePreset_ = 0;
    int32_t family_ = 0;
    std::string path_;
};

/// The open-file dialog of the encoder browse.
FileChoice EncoderBrowseChoice(const RecSettings& s, const std::string& programFolder);
/// Whether a chosen file may serve as the encoder: an executable regular file, named "lame"
/// unless custom names are enabled.
bool AcceptableEncoder(const std::string& path, bool customNames);

}  // namespace pelmora
