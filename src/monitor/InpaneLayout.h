// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where everything in the status panel goes, from the panel's client size in pixels.
// Rows are 5/64 of the height; every value is truncated toward zero.

#include <array>

#include "monitor/TextCommand.h"

namespace pelmora {

/// The eight value rows, top to bottom: six process details, then the two CPU rows.
enum class PanelValue { WriteTime, FileSize, Level, DcLeft, DcRight, DataLost, CpuLast, CpuMaximum };
constexpr int kPanelValueCount = 8;

struct InpaneLayout {
    int width = 0;
    int height = 0;
    int edgeWidth = 2;   // the system's 3-D edge size
    int edgeHeight = 2;
    int rowHeight = 0;   // h = trunc(height * 0.078125)
    int inset = 0;       // l = trunc(h * 0.2)
    int margin = 0;      // m = trunc(width * 0.02 + edgeWidth)
    int centreX = 0;     // the column between labels and values
    int bannerBottom = 0;       // trunc(1.5 h): the banner band is rows [0, bannerBottom)
    int processHeadingY = 0;    // top of "PROCESS DETAILS"
    int cpuHeadingY = 0;        // top of "CPU USAGE"
    std::array<int, kPanelValueCount> rowTextY{};  // top of each row's label and value
    std::array<int, 7> gridY{};  // k·h for k = 3..9
    std::array<int, 3> cpuGridY{};  // trunc(h·10.5), trunc(h·11.5), trunc(h·12.5)
    FontSpec regular;  // labels and values: height h - l, weight 400
    FontSpec bold;     // headings and banner: height trunc((h - l) * 1.2), weight 700
};

/// Edge sizes of 0 (a system that reports none) count as 2.
InpaneLayout ComputeInpaneLayout(int width, int height, int edgeWidth = 2, int edgeHeight = 2);

}  // namespace pelmora
