// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Template 102: the main window's controls in dialog units (x, y, width, height).

#include <array>

namespace pelmora {

enum class ItemKind { Button, GroupBox, Edit, ReadOnlyEdit, Label, RightLabel, Canvas, ListBox, DropDown };

struct DlgItem {
    int id;  // -1 for items nobody addresses
    ItemKind kind;
    const char* caption;
    int x, y, w, h;
};

constexpr int kMainWidthDu = 400;
constexpr int kMainHeightDu = 313;

constexpr int kIdRecord = 1050;
constexpr int kIdPause = 1051;
constexpr int kIdLoad = 1059;
constexpr int kIdSave = 1061;
constexpr int kIdSettingsGroup = 1062;
constexpr int kIdCompression = 1064;
constexpr int kIdPresetName = 1065;
constexpr int kIdInputMeter = 1066;
constexpr int kIdProcessedMeter = 1067;
constexpr int kIdProcessedHold = 1068;
constexpr int kIdInputHold = 1069;
constexpr int kIdCpuGraph = 1074;
constexpr int kIdBriefGroup = 1178;
constexpr int kIdBrief = 1183;
constexpr int kIdStatusPanel = 1186;
constexpr int kIdLogBox = 1151;

// Group boxes come first so that the controls they frame lie above them.
constexpr std::array<DlgItem, 24> kMainTemplate{{
    {-1, ItemKind::GroupBox, "Compression Options", 5, 192, 272, 30},
    {kIdSettingsGroup, ItemKind::GroupBox, "Settings", 282, 146, 111, 44},
    {-1, ItemKind::GroupBox, "Input Meters", 5, 252, 388, 44},
    {kIdBriefGroup, ItemKind::GroupBox, "Brief Process Description", 5, 222, 388, 30},
    {kIdRecord, ItemKind::Button, "Record", 282, 195, 51, 27},
    {kIdPause, ItemKind::Button, "Pause", 342, 195, 51, 27},
    {kIdLoad, ItemKind::Button, "Load", 291, 175, 41, 11},
    {kIdSave, ItemKind::Button, "Save", 342, 175, 41, 11},
    {kIdCompression, ItemKind::ReadOnlyEdit, "", 12, 203, 258, 14},
    {kIdPresetName, ItemKind::Edit, "", 291, 157, 92, 14},
    {kIdInputMeter, ItemKind::Canvas, "", 21, 272, 144, 19},
    {kIdInputHold, ItemKind::Canvas, "", 166, 272, 27, 19},
    {kIdProcessedMeter, ItemKind::Canvas, "", 213, 272, 144, 19},
    {kIdProcessedHold, ItemKind::Canvas, "", 358, 272, 27, 19},
    {-1, ItemKind::Label, "Initial input", 22, 262, 35, 8},
    {-1, ItemKind::Label, "Preprocessed (after optional DC filter) ", 214, 261, 120, 8},
    {-1, ItemKind::RightLabel, "L", 10, 272, 8, 8},
    {-1, ItemKind::RightLabel, "R", 10, 282, 8, 8},
    {-1, ItemKind::RightLabel, "L", 201, 272, 8, 8},
    {-1, ItemKind::RightLabel, "R", 201, 282, 8, 8},
    {kIdCpuGraph, ItemKind::Canvas, "", 282, 115, 111, 30},
    {kIdBrief, ItemKind::ListBox, "", 12, 235, 374, 12},
    {kIdStatusPanel, ItemKind::Canvas, "", 282, 0, 111, 115},
    {kIdLogBox, ItemKind::DropDown, "", 5, 298, 388, 94},
}};

/// Rectangle of the settings sheet: top left, up to the Record button and the
/// "Compression Options" box.
constexpr DlgItem kSheetRect{-1, ItemKind::Canvas, "", 0, 0, 280, 191};

}  // namespace pelmora
