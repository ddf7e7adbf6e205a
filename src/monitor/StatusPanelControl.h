// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: the status panel (control 1186) and the CPU graph (control 1074), composed
// by CInpane and CpuGraph and shown on the main thread.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace pelmora {

class CanvasControl;

class StatusPanelControl {
public:
    StatusPanelControl(CanvasControl* panel, CanvasControl* graph);
    ~StatusPanelControl();

    /// Lays the panel out for the control's size; it shows its background from then on.
    void BuildBackground();
    void SetState(int state);
    /// The six process-detail texts, top row first.
    void SetProcessValues(const std::array<std::string, 6>& values);
    void ShowValues();
    void BlinkState(int show);

    /// Grid and empty ring for the graph control's size.
    void SetupCpuGraph();
    /// One second of the graph: store the sample, redraw, move the cursor on.
    void CpuTick(int32_t sample);

    /// Close: the controls let go of their pictures.
    void Release();

private:
    void Show();

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace pelmora
