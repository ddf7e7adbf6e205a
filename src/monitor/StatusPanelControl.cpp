// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/StatusPanelControl.h"

#include <wx/settings.h>

#include <algorithm>
#include <memory>

#include "monitor/CInpane.h"
#include "monitor/CanvasControl.h"
#include "monitor/CpuGraph.h"
#include "monitor/GlyphText.h"
#include "monitor/PictureRender.h"

namespace pelmora {

namespace {
Rgb RgbOf(const wxColour& c) { return MakeRgb(c.Red(), c.Green(), c.Blue()); }

}  // namespace

struct StatusPanelControl::Impl {
    CanvasControl* panel = nullptr;
    CanvasControl* graph = nullptr;
    CInpane inpane;
    CpuGraph cpuGraph;
    GlyphText glyphs;      // the panel's texts, written as pixels
    PixelImage composed;   // the panel's pixels with its texts
    bool renderPending = false;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);

    void Render() {
        renderPending = false;
        const PanelPicture& screen = inpane.Screen();
        composed.Assign(screen.pixels);
        for (const TextCommand& t : screen.texts) glyphs.Write(t, composed);
        // The control repaints only the part that differs from what it shows.
        panel->SetPixels(composed);
    }
};

StatusPanelControl::StatusPanelControl(CanvasControl* panel, CanvasControl* graph)
    : impl_(std::make_unique<Impl>()) {
    impl_->panel = panel;
    impl_->graph = graph;
}

StatusPanelControl::~StatusPanelControl() { *impl_->alive = false; }

// The changes of one timer tick (values, then the banner's blink) are drawn together, once.
void StatusPanelControl::Show() {
    if (impl_->renderPending) return;
    impl_->renderPending = true;
    impl_->panel->CallAfter([impl = impl_.get(), alive = impl_->alive] {
        if (*alive) impl->Render();
    });
}

void StatusPanelControl::BuildBackground() {
    wxSize size = impl_->panel->GetClientSize();
    InpaneColours colours;
    colours.window = RgbOf(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW));
    colours.edgeOuter = RgbOf(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW));
    colours.edgeInner = RgbOf(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT));
    impl_->inpane.BuildBackground(size.x, size.y, colours);
    impl_->inpane.Repaint();
    Show();
    // The glyphs of states and values, made once the window is up rather than at the first
    // Record click.
    impl_->panel->CallAfter([impl = impl_.get(), alive = impl_->alive] {
        if (!*alive) return;
        PixelImage scratch(1, 1);
        for (const TextCommand& t : impl->inpane.TextsToPrepare()) impl->glyphs.Write(t, scratch);
    });
}

void StatusPanelControl::SetState(int state) { impl_->inpane.SetState(state); }

void StatusPanelControl::SetProcessValues(const std::array<std::string, 6>& values) {
    const PanelValue rows[6] = {PanelValue::WriteTime, PanelValue::FileSize, PanelValue::Level,
                                PanelValue::DcLeft,    PanelValue::DcRight,  PanelValue::DataLost};
    for (int i = 0; i < 6; ++i) impl_->inpane.SetValue(rows[i], values[static_cast<std::size_t>(i)]);
}

void StatusPanelControl::ShowValues() {
    impl_->inpane.ShowValues();
    Show();
}

void StatusPanelControl::BlinkState(int show) {
    impl_->inpane.BlinkState(show);
    Show();
}

void StatusPanelControl::SetupCpuGraph() {
    wxSize size = impl_->graph->GetClientSize();
    impl_->cpuGraph.SetupCpuGraph(size.x, size.y, impl_->inpane);
    impl_->graph->SetImage(ToBitmap(impl_->cpuGraph.Image()));
}

void StatusPanelControl::CpuTick(int32_t sample) {
    impl_->cpuGraph.StoreSample(sample);
    impl_->cpuGraph.DrawCpuGraph(impl_->inpane);
    impl_->cpuGraph.AdvanceCursor();
    impl_->graph->SetPixels(impl_->cpuGraph.Image());
}

void StatusPanelControl::Release() {
    *impl_->alive = false;  // nothing drawn after this
    impl_->panel->ClearImage();
    impl_->graph->ClearImage();
}

}  // namespace pelmora
