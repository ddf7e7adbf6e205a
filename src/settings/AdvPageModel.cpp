// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/AdvPageModel.h"

#include <sys/stat.h>
#include <unistd.h>

namespace pelmora {

namespace {

constexpr const char* kEncoderName = "lame";

}  // namespace

AdvPageModel::AdvPageModel(PageHost& host) : PageModel(host) {
    const RecSettings& s = host.Settings();
    crc_ = s.crcProtection;
    copy_ = s.markCopy;
    copyright_ = s.markCopyright;
    showConsole_ = s.showEncoderConsole;
    usePreset_ = s.useBuiltInPreset;
    family_ = s.presetFamily;
}

void AdvPageModel::DoDataExchange(DataExchange& dx) {
    dx.Check(kCrc, crc_);
    dx.Check(kCopy, copy_);
    dx.Check(kCopyright, copyright_);
    dx.Check(kShowConsole, showConsole_);
    dx.Check(kCustomNames, customNames_);
    dx.Check(kUsePreset, usePreset_);
    dx.Radio({kGeneralRadio, kAltRadio}, family_);
    dx.Text(kPath, path_);
}

void AdvPageModel::OnInitDialog() {
    UpdateData(false);
    const RecSettings& s = host_.Settings();
    controls_->SetPosition(kOptimization, s.optimization);
    controls_->SetPosition(kGeneralList, s.generalPresetIndex);
    controls_->SetPosition(kAltList, s.altPresetIndex);
}

void AdvPageModel::OnSetActive() {
    EnablePageControls(ActivationMode());
    FrameworkActivate();
}

void AdvPageModel::ShowSettings() {
    const RecSettings& s = host_.Settings();
    crc_ = s.crcProtection;
    copy_ = s.markCopy;
    copyright_ = s.markCopyright;
    showConsole_ = s.showEncoderConsole;
    customNames_ = s.customEncoderNames;
    usePreset_ = s.useBuiltInPreset;
    family_ = s.presetFamily;
    path_ = TextField(s.encoderPath);
    if (!Created()) return;
    controls_->SetPosition(kOptimization, s.optimization);
    controls_->SetPosition(kGeneralList, s.generalPresetIndex);
    controls_->SetPosition(kAltList, s.altPresetIndex);
    UpdateData(false);
}

void AdvPageModel::EnablePageControls(int mode) {
    if (mode != 1 && mode != 2) return;
    const std::initializer_list<int> always = {kOptimization, kCrc, kCopy, kCopyright, kShowConsole, kUsePreset,
                         kPath,         kBrowse, kCustomNames, kPresetNote};
    if (mode == 1) {
        EnableAll(always, false);
        EnableAll({kGeneralRadio, kAltRadio, kGeneralList, kAltList}, false);
        return;
    }
    EnableAll(always, true);
    const RecSettings& s = host_.Settings();
    if (s.useBuiltInPreset) {
        EnableAll({kGeneralRadio, kAltRadio}, true);
        EnableAll({kGeneralList}, s.presetFamily == 0);
        EnableAll({kAltList}, s.presetFamily == 1);
    } else {
        EnableAll({kGeneralRadio, kAltRadio, kGeneralList, kAltList}, false);
    }
}

void AdvPageModel::OnClicked(int id) {
    RecSettings& s = host_.Settings();
    switch (id) {
    case kCrc:
    case kCopy:
    case kCopyright:
        UpdateData(true);
        if (id == kCrc) s.crcProtection = crc_;
        else if (id == kCopy) s.markCopy = copy_;
        else s.markCopyright = copyright_;
        host_.BuildEncoderCommand();
        break;
    case kShowConsole:
        UpdateData(true);
        s.showEncoderConsole = showConsole_;
        break;
    case kCustomNames:
        UpdateData(true);
        s.customEncoderNames = customNames_;
        break;
    case kUsePreset:
        UpdateData(true);
        s.useBuiltInPreset = usePreset_;
        EnablePageControls(2);
        host_.BuildEncoderCommand();
        break;
    case kGeneralRadio:
    case kAltRadio:
        UpdateData(true);
        if (family_ == 0 || family_ == 1) s.presetFamily = family_;
        EnablePageControls(2);
        host_.BuildEncoderCommand();
        break;
    case kBrowse:
        BrowseForEncoder();
        break;
    default:
        break;
    }
}

void AdvPageModel::OnSelChange(int id) {
    RecSettings& s = host_.Settings();
    if (id == kOptimization) s.optimization = controls_->Position(kOptimization);
    else if (id == kGeneralList) s.generalPresetIndex = controls_->Position(kGeneralList);
    else if (id == kAltList) s.altPresetIndex = controls_->Position(kAltList);
    else return;
    host_.BuildEncoderCommand();
}

void AdvPageModel::ShowEncoderPath() {
    path_ = TextField(host_.Settings().encoderPath);
    if (Created()) controls_->SetText(kPath, path_);
}

FileChoice EncoderBrowseChoice(const RecSettings& s, const std::string& programFolder) {
    FileChoice choice;
    choice.title = "Lame location";
    choice.filters = {{"Lame ", s.customEncoderNames ? "*lame*" : "lame"},
                      {"Executables ", "*"},
                      {"All files (*.*)", "*"}};
    std::string path = TextField(s.encoderPath);
    std::size_t slash = path.rfind('/');
    choice.startFolder = path.empty() || slash == std::string::npos ? programFolder : path.substr(0, slash + 1);
    return choice;
}

bool AcceptableEncoder(const std::string& path, bool customNames) {
    std::size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!customNames && name != kEncoderName) return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

void AdvPageModel::BrowseForEncoder() {
    RecSettings& s = host_.Settings();
    std::string chosen = host_.ChooseFile(EncoderBrowseChoice(s, host_.ProgramFolder()));
    // A path the record cannot hold whole would point somewhere else: refuse it too.
    if (chosen.empty() || chosen.size() >= sizeof s.encoderPath) return;
    if (!AcceptableEncoder(chosen, s.customEncoderNames != 0)) return;
    SetTextField(s.encoderPath, chosen);
    ShowEncoderPath();
}

}  // namespace pelmora
