// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/PageModel.h"

namespace pelmora {

void PageModel::Activate() {
    if (!controls_) return;
    if (!created_) {
        created_ = true;
        OnInitDialog();
    }
    OnSetActive();
}

bool PageModel::UpdateData(bool save) {
    if (!controls_) return true;
    DataExchange dx(*controls_, save);
    DoDataExchange(dx);
    return !dx.Failed();
}

bool PageModel::ReadPageFor(int changed) {
    if (UpdateData(true)) return true;
    DataExchange one = DataExchange::ReadingOne(*controls_, changed);
    DoDataExchange(one);
    return false;
}

void PageModel::FrameworkActivate() {
    if (!firstActive_) UpdateData(false);
    firstActive_ = false;
}

void PageModel::EnableAll(std::initializer_list<int> ids, bool on) {
    if (!controls_) return;
    for (int id : ids) controls_->Enable(id, on);
}

}  // namespace pelmora
