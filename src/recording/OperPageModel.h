// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Rules of the "Operations" page: the four stop conditions and the log file options.

#include <string>

#include "settings/PageModel.h"

namespace pelmora {

class OperPageModel : public PageModel {
public:
    enum Id {
        kStopGroup = 2401,
        kLogGroup,
        kWriteTime = 1005,
        kHours = 1160,
        kMinutes = 1161,
        kSeconds = 1162,
        kHoursLabel = 1197,
        kMinutesLabel = 1198,
        kSecondsLabel = 1199,
        kDataLoss = 1171,
        kDataLossLimit = 1172,
        kDataLossUnit = 1200,
        kFileSize = 1158,
        kFileSizeLimit = 1163,
        kFileSizeUnit = 1201,
        kFreeSpace = 1159,
        kFreeSpaceLimit = 1164,
        kFreeSpaceUnit = 1202,
        kLogDuring = 1165,
        kLogPerRecording = 1167,
        kLogAppend = 1168,
        kMaxLogLabel = 1203,
        kMaxLog = 1169,
    };

    explicit OperPageModel(PageHost& host) : PageModel(host) {}

    /// Caption of the "append" radio button, naming the real log file.
    std::string AppendLogCaption() const;

    void EnablePageControls(int mode) override;
    void ShowSettings() override;
    void OnClicked(int id) override;
    void OnTextChanged(int id) override;

protected:
    void OnInitDialog() override;
    void OnSetActive() override;
    void DoDataExchange(DataExchange& dx) override;

private:
    void CopySettings();

    int32_t writeTime_ = 0, fileSize_ = 0, freeSpace_ = 0, dataLoss_ = 0, logDuring_ = 0;
    int32_t logMode_ = 0;
    int32_t hours_ = 0, minutes_ = 0, seconds_ = 0;
    int32_t dataLossLimit_ = 0, fileSizeLimit_ = 0, freeSpaceLimit_ = 0, maxLog_ = 0;
};

/// `path` for display: the home folder shown as "~".
std::string DisplayPath(const std::string& path, const std::string& home);

/// The record's write time limit from the page's three boxes, held within 32 bits.
int32_t WriteTimeSeconds(int32_t hours, int32_t minutes, int32_t seconds);

}  // namespace pelmora
