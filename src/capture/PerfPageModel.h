// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Rules of the "Performance" page: the fill of the pipeline's three storages, and the
// buttons that open the buffer and priority dialogs.

#include "settings/PageModel.h"

namespace pelmora {

class PerfPageModel : public PageModel {
public:
    enum Id {
        kBuffersGroup = 2501,
        kPriorityGroup,
        kDeviceLabel,
        kReceivedLabel,
        kOutputLabel,
        kDeviceText = 1112,
        kDeviceBar = 1107,
        kReceivedText = 1113,
        kReceivedBar = 1108,
        kOutputText = 1114,
        kOutputBar = 1109,
        kBuffersSetup = 1110,
        kChangePriorities = 1111,
    };

    explicit PerfPageModel(PageHost& host) : PageModel(host) {}

    /// 1 disables "Buffers' Setup" for a recording, 2 enables it.
    void EnablePageControls(int mode) override;
    void ShowSettings() override {}
    void OnClicked(int id) override;

    /// Free shares of the device queue, received storage and output storage in percent, and
    /// the seconds of sound each can still take.
    void ShowBufferFill(int32_t devicePercent, int32_t receivedPercent, int32_t outputPercent, double deviceSeconds,
                        double receivedSeconds, double outputSeconds);

protected:
    void OnInitDialog() override;
    void OnSetActive() override;
    void DoDataExchange(DataExchange&) override {}
};

}  // namespace pelmora
