// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Rules of the "Expert" page: expert encoder switches, ATH mode, q level, custom options.

#include <string>

#include "settings/PageModel.h"

namespace pelmora {

class ExpPageModel : public PageModel {
public:
    enum Id {
        kDiffBlockTypes = 2201,
        kDisableFiltering,
        kDisableReservoir,
        kDisableShortBlocks,
        kEnforceIso,
        kAthLabel,
        kAth,
        kQLabel,
        kQ,
        kCustomLabel,
        kCustom,
        kOnlyCustom,
    };

    explicit ExpPageModel(PageHost& host) : PageModel(host) {}

    void EnablePageControls(int mode) override;
    void ShowSettings() override;
    void OnClicked(int id) override;
    void OnSelChange(int id) override;
    void OnTextChanged(int id) override;

protected:
    void OnInitDialog() override;
    void OnSetActive() override;
    void DoDataExchange(DataExchange& dx) override;

private:
    int32_t diff_ = 0, noFilter_ = 0, noReservoir_ = 0, noShort_ = 0, iso_ = 0, onlyCustom_ = 0;
    std::string custom_;
};

}  // namespace pelmora
