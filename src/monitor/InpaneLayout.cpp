// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/InpaneLayout.h"

namespace pelmora {

InpaneLayout ComputeInpaneLayout(int width, int height, int edgeWidth, int edgeHeight) {
    InpaneLayout L;
    L.width = width;
    L.height = height;
    L.edgeWidth = edgeWidth != 0 ? edgeWidth : 2;
    L.edgeHeight = edgeHeight != 0 ? edgeHeight : 2;
    const int h = static_cast<int>(height * 0.078125);
    const int l = static_cast<int>(h * 0.2);
    L.rowHeight = h;
    L.inset = l;
    L.margin = static_cast<int>(width * 0.02 + L.edgeWidth);
    L.centreX = width / 2;
    L.bannerBottom = static_cast<int>(1.5 * h);
    L.processHeadingY = static_cast<int>(1.5 * h + 2 * l);
    L.cpuHeadingY = 9 * h + 2 * l;
    for (int k = 3; k <= 8; ++k) L.rowTextY[k - 3] = k * h + l;
    L.rowTextY[6] = static_cast<int>(10.5 * h + l);
    L.rowTextY[7] = static_cast<int>(11.5 * h + l);
    for (int k = 3; k <= 9; ++k) L.gridY[k - 3] = k * h;
    L.cpuGridY = {static_cast<int>(h * 10.5), static_cast<int>(h * 11.5),
                  static_cast<int>(h * 12.5)};
    L.regular = FontSpec{"Arial", h - l, 400};
    L.bold = FontSpec{"Arial", static_cast<int>((h - l) * 1.2), 700};
    return L;
}

}  // namespace pelmora
