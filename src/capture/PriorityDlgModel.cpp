// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/PriorityDlgModel.h"

#include <algorithm>
#include <array>

namespace pelmora {

namespace {

struct Slider {
    int id;
    int text;
    bool isClass;
    int32_t RecSettings::*field;
};

const std::array<Slider, 7> kSliders = {{
    {PriorityDlgModel::kProcessClass, PriorityDlgModel::kProcessClassText, true, &RecSettings::processPriorityClass},
    {PriorityDlgModel::kUiThread, PriorityDlgModel::kUiThreadText, false, &RecSettings::uiThreadPriority},
    {PriorityDlgModel::kReceiveThread, PriorityDlgModel::kReceiveThreadText, false,
     &RecSettings::receiveThreadPriority},
    {PriorityDlgModel::kPreprocessThread, PriorityDlgModel::kPreprocessThreadText, false,
     &RecSettings::preprocessThreadPriority},
    {PriorityDlgModel::kWriterThread, PriorityDlgModel::kWriterThreadText, false, &RecSettings::writerThreadPriority},
    {PriorityDlgModel::kEncoderClass, PriorityDlgModel::kEncoderClassText, true, &RecSettings::encoderPriorityClass},
    {PriorityDlgModel::kEncoderThread, PriorityDlgModel::kEncoderThreadText, false,
     &RecSettings::encoderThreadPriority},
}};

const Slider* Find(int id) {
    for (const Slider& s : kSliders)
        if (s.id == id) return &s;
    return nullptr;
}

int Top(const Slider& s) { return s.isClass ? 3 : 6; }

}  // namespace

std::string PriorityClassName(int classIndex) {
    static const char* const names[] = {"Idle", "Normal", "High", "Realtime"};
    return classIndex >= 0 && classIndex < 4 ? names[classIndex] : "";
}

std::string ThreadPriorityName(int priorityIndex) {
    static const char* const names[] = {"Idle",         "Lowest",  "Below Normal", "Normal",
                                        "Above Normal", "Highest", "Time Critical"};
    return priorityIndex >= 0 && priorityIndex < 7 ? names[priorityIndex] : "";
}

void PriorityDlgModel::OnInitDialog() {
    const RecSettings& settings = host_.Settings();
    for (const Slider& s : kSliders) {
        controls_->SetRange(s.id, 0, Top(s));
        controls_->SetPosition(s.id, std::clamp<int>(settings.*s.field, 0, Top(s)));
        ShowText(s.id);
    }
    controls_->Enable(kApply, false);
}

void PriorityDlgModel::ShowText(int sliderId) {
    const Slider* s = Find(sliderId);
    if (!s) return;
    const int position = controls_->Position(s->id);
    controls_->SetText(s->text, s->isClass ? PriorityClassName(position) : ThreadPriorityName(position));
}

void PriorityDlgModel::OnScroll(int id) {
    if (!Find(id)) return;
    controls_->Enable(kApply, true);
    ShowText(id);
}

void PriorityDlgModel::SetPositions(int processClass, int ui, int receive, int preprocess, int writer,
                                    int encoderClass, int encoderThread) {
    const int positions[] = {processClass, ui, receive, preprocess, writer, encoderClass, encoderThread};
    for (std::size_t i = 0; i < kSliders.size(); ++i) {
        controls_->SetPosition(kSliders[i].id, positions[i]);
        ShowText(kSliders[i].id);
    }
    controls_->Enable(kApply, true);
}

void PriorityDlgModel::OnClicked(int id) {
    switch (id) {
    case kWindowsDefault:
        SetPositions(1, 3, 3, 3, 3, 1, 3);
        break;
    case kRecommendedBoost:
        SetPositions(1, 3, 4, 4, 4, 1, 4);
        break;
    case kApply:
        Apply();
        break;
    case kOk:
        Close(true);
        Apply();
        break;
    case kCancel:
        Close(false);
        break;
    default:
        break;
    }
}

void PriorityDlgModel::Apply() {
    controls_->Enable(kApply, false);
    RecSettings& settings = host_.Settings();
    for (const Slider& s : kSliders) settings.*s.field = std::clamp(controls_->Position(s.id), 0, Top(s));
    host_.ApplyPriorities();
}

}  // namespace pelmora
