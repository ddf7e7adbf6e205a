// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The scrolling CPU bar graph: one 4-pixel bar per second, newest at the right edge, on a
// grid drawn once. Also writes the status panel's "Last" and "Maximum" texts.
// Main thread only. Per tick: StoreSample(), DrawCpuGraph(), AdvanceCursor().

#include <cstdint>
#include <vector>

#include "monitor/CInpane.h"
#include "monitor/PixelImage.h"

namespace pelmora {

constexpr int kCpuBarStep = 4;  // width of one bar and the grid spacing
constexpr Rgb kCpuGraphBackground = MakeRgb(0, 80, 0);
constexpr Rgb kCpuGridColour = MakeRgb(0, 125, 125);
constexpr Rgb kCpuBarColour = MakeRgb(0, 255, 255);

class CpuGraph {
public:
    /// At start-up with the graph control's client size: draws the grid, makes the ring of
    /// width / 4 empty samples (-1) with the cursor at its head, then DrawCpuGraph().
    void SetupCpuGraph(int width, int height, CInpane& panel);

    /// Puts a sample (percent) into the node under the cursor.
    void StoreSample(int32_t percent);
    /// Redraws the bars, newest (the cursor) at the right, and sets "Last" (the cursor's
    /// sample, negatives as 0) and "Maximum" (over the visible samples) as "%d%%".
    void DrawCpuGraph(CInpane& panel);
    /// Moves the cursor on, wrapping; the oldest sample is overwritten next.
    void AdvanceCursor();

    /// The picture the window blits into the graph control.
    const PixelImage& Image() const { return working_; }
    const std::vector<int32_t>& Samples() const { return ring_; }
    int Cursor() const { return cursor_; }

private:
    int width_ = 0;
    int height_ = 0;
    PixelImage background_;
    PixelImage working_;
    std::vector<int32_t> ring_;
    int cursor_ = 0;
};

}  // namespace pelmora
