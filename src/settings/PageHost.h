// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the settings pages need from the main window (no window toolkit here).

#include <string>
#include <utility>
#include <vector>

#include "settings/BitrateTable.h"
#include "settings/RecSettings.h"

namespace pelmora {

/// An open-file dialog: title, first folder and filters as (description, pattern) pairs;
/// patterns are shell wildcards separated by ";".
struct FileChoice {
    std::string title;
    std::string startFolder;
    std::vector<std::pair<std::string, std::string>> filters;
};

class PageHost {
public:
    virtual ~PageHost() = default;
    virtual RecSettings& Settings() = 0;
    virtual const std::string& ProgramFolder() const = 0;
    /// Where output goes by default and bare output names are resolved.
    virtual const std::string& DefaultOutputFolder() const { return ProgramFolder(); }
    virtual bool IsRecording() const = 0;
    /// The input device is open and capturing.
    virtual bool PipelineReady() const = 0;
    /// Rebuilds the encoder arguments and the description after an output setting changed.
    virtual void BuildEncoderCommand() = 0;
    virtual BitrateTable ActiveBitrateTable() const = 0;
    /// The bitrate table in force and lsfMode, for the pages that switch it.
    virtual BitrateState& Bitrate() = 0;
    /// Sampling rate of the capture format chosen by deviceIndex and formatIndex; 0 without one.
    virtual int CaptureSampleRate() const = 0;
    /// Gives the keyboard focus to the Record button.
    virtual void FocusRecordButton() = 0;
    /// The General page's Device and Format lists changed their selection.
    virtual void OnDeviceSelected(int position) = 0;
    virtual void OnFormatSelected(int position) = 0;
    /// Shows an open-file dialog; the chosen path, or empty when cancelled.
    virtual std::string ChooseFile(const FileChoice& choice) = 0;
    // The tuning dialogs opened from the pages.
    virtual void ShowBuffersDialog() {}
    virtual void ShowPriorityDialog() {}
    virtual void ShowDcFilterDialog() {}
};

}  // namespace pelmora
