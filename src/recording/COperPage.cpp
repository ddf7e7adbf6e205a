// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsPageWindows.h"

namespace pelmora {

namespace {

using C = ControlEntry;
using M = OperPageModel;

std::vector<ControlEntry> PageLayout(const std::string& appendCaption) {
    return {
        {M::kStopGroup, C::Group, "Stop conditions", 7, 2, 250, 84},
        {M::kWriteTime, C::Check, "Write time", 23, 13, 53, 14},
        {M::kHours, C::Edit, "", 122, 13, 40, 14, {}, C::Right},
        {M::kHoursLabel, C::Label, "h:", 104, 13, 13, 14, {}, C::Right},
        {M::kMinutes, C::Edit, "", 183, 13, 21, 14, {}, C::Right},
        {M::kMinutesLabel, C::Label, "m:", 167, 13, 13, 14, {}, C::Right},
        {M::kSeconds, C::Edit, "", 225, 13, 21, 14, {}, C::Right},
        {M::kSecondsLabel, C::Label, "s:", 209, 13, 13, 14, {}, C::Right},
        {M::kDataLoss, C::Check, "Data loss", 23, 30, 80, 14},
        {M::kDataLossLimit, C::Edit, "", 122, 31, 40, 12, {}, C::Right},
        {M::kDataLossUnit, C::Label, "sec", 166, 32, 28, 12},
        {M::kFileSize, C::Check, "File size", 23, 47, 47, 14},
        {M::kFileSizeLimit, C::Edit, "", 122, 47, 40, 14, {}, C::Right},
        {M::kFileSizeUnit, C::Label, "MB", 166, 47, 19, 14},
        {M::kFreeSpace, C::Check, "Free disk space", 23, 64, 69, 14},
        {M::kFreeSpaceLimit, C::Edit, "", 122, 65, 40, 14, {}, C::Right},
        {M::kFreeSpaceUnit, C::Label, "MB", 166, 66, 19, 14},
        {M::kLogGroup, C::Group, "Logging", 7, 87, 250, 77},
        {M::kLogDuring, C::Check, "Write log file during recording", 23, 98, 107, 10},
        {M::kLogPerRecording, C::RadioFirst, "Create log file for every recording (%OUTFILEPATH%.log)", 23, 114, 202,
         10},
        {M::kLogAppend, C::Radio, appendCaption, 23, 129, 217, 10},
        {M::kMaxLogLabel, C::Label, "Max size of pelmora.log (KB)", 105, 144, 99, 14, {}, C::Right},
        {M::kMaxLog, C::Edit, "", 209, 144, 40, 14, {}, C::Right},
    };
}

}  // namespace

COperPage::COperPage(wxWindow* parent, OperPageModel& model) : CSettingsPage(parent, "Operations", model, PageLayout(model.AppendLogCaption())) {}

}  // namespace pelmora
