#pragma once
// What the settings pages need from the main window (no window toolkit here).

#include <string>

#include "settings/BitrateTable.h"
#include "settings/RecSettings.h"

namespace pelmora {

class PageHost {
public:
    virtual ~PageHost() = default;
    virtual RecSettings& Settings() = 0;
    virtual const std::string& ProgramFolder() const = 0;
    /// Where output goes by default and bare output names are resolved.
    virtual const std::string& DefaultOutputFolder() const { return ProgramFolder(); }
    virtual bool IsRecording() const = 0;
    /// Rebuilds the encoder arguments and the description after an output setting changed.
    virtual void BuildEncoderCommand() = 0;
    virtual BitrateTable ActiveBitrateTable() const = 0;
    /// Gives the keyboard focus to the Record button.
    virtual void FocusRecordButton() = 0;
    /// The General page's Device and Format lists changed their selection.
    virtual void OnDeviceSelected(int position) = 0;
    virtual void OnFormatSelected(int position) = 0;
};

}  // namespace pelmora
