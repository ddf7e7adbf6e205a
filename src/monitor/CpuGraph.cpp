// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/CpuGraph.h"

#include <algorithm>
#include <string>

namespace pelmora {

namespace {

std::string Percent(int32_t v) { return std::to_string(v) + "%"; }

}  // namespace

void CpuGraph::SetupCpuGraph(int width, int height, CInpane& panel) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    background_.Resize(width_, height_, kCpuGraphBackground);
    working_.Resize(width_, height_);
    // Grid lines are move-to / line-to strokes: their end points stay unpainted.
    for (int i = 0; i <= width_ / kCpuBarStep; ++i) {
        background_.VLine(width_ - 1 - kCpuBarStep * i, 0, height_ - 1, kCpuGridColour);
    }
    for (int y = 0; y < height_; y += kCpuBarStep) {
        background_.HLine(0, width_ - 1, y, kCpuGridColour);
    }
    ring_.assign(static_cast<size_t>(width_ / kCpuBarStep), -1);
    cursor_ = 0;
    DrawCpuGraph(panel);
}

void CpuGraph::StoreSample(int32_t percent) {
    if (!ring_.empty()) ring_[cursor_] = percent;
}

void CpuGraph::AdvanceCursor() {
    if (!ring_.empty()) cursor_ = (cursor_ + 1) % static_cast<int>(ring_.size());
}

void CpuGraph::DrawCpuGraph(CInpane& panel) {
    working_.Assign(background_);
    const int n = static_cast<int>(ring_.size());
    int32_t maximum = 0;
    int node = cursor_;
    for (int i = 0; i < n; ++i) {
        const int32_t v = ring_[node];
        maximum = std::max(maximum, v);
        int64_t b = static_cast<int64_t>(height_ - 1) * v / 100;
        if (b == 0) b = 1;
        if (v <= 0) b = 0;
        b = std::min<int64_t>(b, height_);  // an out-of-range sample fills its column
        const int bar = static_cast<int>(b);
        working_.FillRect(width_ - kCpuBarStep * (i + 1), height_ - 1 - bar,
                          width_ - kCpuBarStep * i, height_ - 1, kCpuBarColour);
        node = node == 0 ? n - 1 : node - 1;
    }
    const int32_t last = n > 0 ? std::max(ring_[cursor_], 0) : 0;
    panel.SetValue(PanelValue::CpuLast, Percent(last));
    panel.SetValue(PanelValue::CpuMaximum, Percent(maximum));
}

}  // namespace pelmora
