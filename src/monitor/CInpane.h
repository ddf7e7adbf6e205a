// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The status panel: a banner with the recording state, which blinks while a recording runs,
// and eight label/value rows under the headings "PROCESS DETAILS" and "CPU USAGE".
// It computes no values: callers hand it finished texts and a state, and it composes them.
// Main thread only. What the panel shows is Screen(): pixels, with texts drawn over them in
// list order by the window. Static parts are built once; each update costs one copy of the
// background plus the value texts.

#include <array>
#include <string>

#include "monitor/InpaneLayout.h"
#include "monitor/InpaneState.h"
#include "monitor/PixelImage.h"
#include "monitor/TextCommand.h"

namespace pelmora {


/// Banner text of a state: "INITIALIZATION FAILED", "READY", "RECORDING", "PAUSED";
/// empty for any other value.
const char* InpaneStateText(int state);
/// Banner and frame colour of a state (its hue, dark enough for the banner text); black for
/// any other value.
Rgb InpaneStateColour(int state);

/// System colours the window reads from its toolkit.
struct InpaneColours {
    Rgb window = MakeRgb(255, 255, 255);      // panel background
    Rgb edgeOuter = MakeRgb(160, 160, 160);   // outer ring of the etched edge
    Rgb edgeInner = MakeRgb(240, 240, 240);   // inner ring of the etched edge
};

constexpr Rgb kInpaneTextColour = MakeRgb(100, 100, 100);
constexpr Rgb kInpaneBannerTextColour = MakeRgb(230, 230, 230);
constexpr Rgb kInpaneGridColour = MakeRgb(220, 220, 220);

/// Colour of headings, labels and values on the panel's background: kInpaneTextColour, its
/// lightness moved where it would not read on `window`.
Rgb InpaneTextColour(Rgb window);

/// A composed picture: blit the pixels, then draw the texts.
struct PanelPicture {
    PixelImage pixels;
    TextCommands texts;
};

class CInpane {
public:
    /// Lays out the panel for its client size and builds the background: frame, headings,
    /// labels and grid. Edge sizes are the system's 3-D edge; 0 counts as 2. Makes the
    /// panel ready; a state set before this is drawn now.
    void BuildBackground(int width, int height, const InpaneColours& colours,
                         int edgeWidth = 2, int edgeHeight = 2);

    /// Draws the banner and frame of state 0..3 (empty black banner for others) into the
    /// background. Shows nothing until the next ShowValues().
    void SetState(int state);

    /// Plain assignment; takes effect at the next ShowValues().
    void SetValue(PanelValue which, std::string text);
    const std::string& Value(PanelValue which) const;

    /// Background plus the current values, put on screen.
    void ShowValues();
    /// Once per tick while a recording runs, with tickCount % 2: non-zero shows the banner
    /// text, 0 hides it under the state's colour.
    void BlinkState(int show);
    /// The window paints: the working picture goes on screen again. Nothing before
    /// BuildBackground().
    void Repaint();

    bool IsReady() const { return ready_; }
    int State() const { return state_; }
    const InpaneLayout& Layout() const { return layout_; }
    /// What the panel shows now; empty until the panel is ready and first shown.
    const PanelPicture& Screen() const { return screen_; }
    /// Texts with every character the banner and the values may show, in their fonts and
    /// colours, for a window that prepares its glyphs before they are needed.
    TextCommands TextsToPrepare() const;

private:
    void DrawState();
    void CopyBackground(PanelPicture& to) const;
    void CopyBannerBand(const PanelPicture& from, PanelPicture& to) const;

    InpaneLayout layout_;
    InpaneColours colours_;
    Rgb text_ = kInpaneTextColour;
    PanelPicture background_;  // everything but the values
    TextCommand stateText_;    // part of the background once a state is set
    bool hasState_ = false;
    PanelPicture working_;
    PanelPicture screen_;
    std::array<std::string, kPanelValueCount> values_;
    bool ready_ = false;
    int state_ = -1;
};

}  // namespace pelmora
