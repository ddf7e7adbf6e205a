// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "monitor/CInpane.h"
#include "monitor/Contrast.h"
#include "monitor/InpaneLayout.h"

using namespace pelmora;

namespace {

constexpr Rgb kWindow = MakeRgb(250, 250, 250);

const TextCommand* FindText(const PanelPicture& p, const std::string& text) {
    auto it = std::find_if(p.texts.begin(), p.texts.end(),
                           [&](const TextCommand& t) { return t.text == text; });
    return it == p.texts.end() ? nullptr : &*it;
}

CInpane BuiltPanel(int w = 166, int h = 200) {
    CInpane panel;
    InpaneColours colours;
    colours.window = kWindow;
    panel.BuildBackground(w, h, colours);
    return panel;
}

}  // namespace

TEST(InpaneLayout, RowsOfA200PixelPanel) {
    const InpaneLayout L = ComputeInpaneLayout(166, 200);
    EXPECT_EQ(L.rowHeight, 15);
    EXPECT_EQ(L.inset, 3);
    const int rows[8] = {48, 63, 78, 93, 108, 123, 160, 175};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(L.rowTextY[i], rows[i]) << i;
    EXPECT_EQ(L.gridY.front(), 45);
    EXPECT_EQ(L.gridY.back(), 135);
    EXPECT_EQ(L.cpuGridY[0], 157);
    EXPECT_EQ(L.cpuGridY[2], 187);
    EXPECT_EQ(L.processHeadingY, 28);
    EXPECT_EQ(L.cpuHeadingY, 141);
    EXPECT_EQ(L.bannerBottom, 22);
    EXPECT_EQ(L.regular.height, 12);
    EXPECT_EQ(L.regular.weight, 400);
    EXPECT_EQ(L.bold.height, 14);
    EXPECT_EQ(L.bold.weight, 700);
    EXPECT_EQ(L.bold.face, "Arial");
    EXPECT_EQ(L.margin, static_cast<int>(166 * 0.02 + 2));
    EXPECT_EQ(L.centreX, 83);
}

TEST(InpaneLayout, ZeroEdgeSizesCountAsTwo) {
    const InpaneLayout L = ComputeInpaneLayout(100, 100, 0, 0);
    EXPECT_EQ(L.edgeWidth, 2);
    EXPECT_EQ(L.edgeHeight, 2);
    EXPECT_EQ(ComputeInpaneLayout(100, 100, 3, 1).edgeWidth, 3);
}

TEST(CInpane, BackgroundHoldsHeadingsLabelsAndGrid) {
    CInpane panel = BuiltPanel();
    ASSERT_TRUE(panel.IsReady());
    panel.ShowValues();
    const PanelPicture& s = panel.Screen();
    const TextCommand* heading = FindText(s, "PROCESS DETAILS");
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->align, TextAlign::Centre);
    EXPECT_EQ(heading->x, 83);
    EXPECT_EQ(heading->y, 28);
    EXPECT_EQ(heading->font.weight, 700);
    const TextCommand* label = FindText(s, "Maximum");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->y, 175);
    EXPECT_EQ(label->align, TextAlign::Left);
    EXPECT_EQ(label->colour, kInpaneTextColour);  // reads on a light window as it is
    ASSERT_NE(FindText(s, "Level (L/R)"), nullptr);
    ASSERT_NE(FindText(s, "CPU USAGE"), nullptr);
    // Grid: row lines over [m, W - m), the centre line between rows 3 and 9.
    const int m = panel.Layout().margin;
    EXPECT_EQ(s.pixels.At(m, 45), kInpaneGridColour);
    EXPECT_EQ(s.pixels.At(166 - m - 1, 45), kInpaneGridColour);
    EXPECT_EQ(s.pixels.At(166 - m, 45), kWindow);
    EXPECT_EQ(s.pixels.At(83, 100), kInpaneGridColour);
    EXPECT_EQ(s.pixels.At(83, 140), kWindow);
    EXPECT_EQ(s.pixels.At(83, 170), kInpaneGridColour);
    EXPECT_EQ(s.pixels.At(40, 100), kWindow);
    // No state set yet: the banner band stays in the window colour, without text.
    EXPECT_EQ(s.pixels.At(83, 10), kWindow);
    for (const TextCommand& t : s.texts) EXPECT_GE(t.y, panel.Layout().bannerBottom) << t.text;
}

TEST(CInpane, StatesDrawTheirBannerAndFrame) {
    CInpane panel = BuiltPanel();
    const struct { int state; const char* text; Rgb colour; } cases[] = {
        {0, "INITIALIZATION FAILED", MakeRgb(0, 0, 0)},
        {1, "READY", InpaneStateColour(1)},
        {2, "RECORDING", InpaneStateColour(2)},
        {3, "PAUSED", InpaneStateColour(3)},
    };
    for (const auto& c : cases) {
        panel.SetState(c.state);
        panel.ShowValues();
        const PanelPicture& s = panel.Screen();
        EXPECT_EQ(s.pixels.At(83, 10), c.colour) << c.text;
        EXPECT_EQ(s.pixels.At(2, 100), c.colour) << "frame";
        EXPECT_EQ(s.pixels.At(3, 100), kWindow);
        const TextCommand* banner = FindText(s, c.text);
        ASSERT_NE(banner, nullptr) << c.text;
        EXPECT_EQ(banner->colour, kInpaneBannerTextColour);
        // Written on the banner's own colour, so its cell shows no box.
        EXPECT_TRUE(banner->opaque);
        EXPECT_EQ(banner->background, c.colour);
        EXPECT_EQ(banner->y, 6);
        // Only the newest state's text remains.
        int bannerTexts = 0;
        for (const TextCommand& t : s.texts) bannerTexts += t.y < 22 ? 1 : 0;
        EXPECT_EQ(bannerTexts, 1);
    }
    panel.SetState(9);
    panel.ShowValues();
    EXPECT_EQ(panel.Screen().pixels.At(83, 10), MakeRgb(0, 0, 0));
    for (const TextCommand& t : panel.Screen().texts) EXPECT_GE(t.y, 22) << t.text;
}

TEST(CInpane, ValuesAreRightAlignedAndShownOnlyByShowValues) {
    CInpane panel = BuiltPanel();
    panel.SetState(kStateReady);
    panel.SetValue(PanelValue::WriteTime, "00:01:02");
    panel.SetValue(PanelValue::CpuMaximum, "42%");
    EXPECT_EQ(FindText(panel.Screen(), "00:01:02"), nullptr);
    panel.ShowValues();
    const TextCommand* t = FindText(panel.Screen(), "00:01:02");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->align, TextAlign::Right);
    EXPECT_EQ(t->x, 166 - panel.Layout().margin);
    EXPECT_EQ(t->y, 48);
    EXPECT_TRUE(t->opaque);
    EXPECT_EQ(t->background, kWindow);
    const TextCommand* cpu = FindText(panel.Screen(), "42%");
    ASSERT_NE(cpu, nullptr);
    EXPECT_EQ(cpu->y, 175);
    EXPECT_EQ(panel.Value(PanelValue::WriteTime), "00:01:02");
}

TEST(CInpane, BlinkingHidesAndShowsTheBannerText) {
    CInpane panel = BuiltPanel();
    panel.SetState(kStatePaused);
    panel.ShowValues();
    panel.BlinkState(0);
    EXPECT_EQ(FindText(panel.Screen(), "PAUSED"), nullptr);
    EXPECT_EQ(panel.Screen().pixels.At(83, 10), InpaneStateColour(kStatePaused));
    ASSERT_NE(FindText(panel.Screen(), "PROCESS DETAILS"), nullptr);  // below the band
    panel.BlinkState(1);
    EXPECT_NE(FindText(panel.Screen(), "PAUSED"), nullptr);
    panel.BlinkState(1);  // showing twice does not duplicate the text
    int count = 0;
    for (const TextCommand& t : panel.Screen().texts) count += t.text == "PAUSED" ? 1 : 0;
    EXPECT_EQ(count, 1);
}

TEST(CInpane, NothingBeforeBuildBackground) {
    CInpane panel;
    EXPECT_FALSE(panel.IsReady());
    panel.ShowValues();
    panel.BlinkState(1);
    panel.Repaint();
    EXPECT_EQ(panel.Screen().pixels.Width(), 0);
    EXPECT_TRUE(panel.Screen().texts.empty());
    // A state set this early is not lost: the background shows it once built.
    panel.SetState(kStateInitFailed);
    InpaneColours colours;
    panel.BuildBackground(166, 200, colours);
    panel.Repaint();
    EXPECT_NE(FindText(panel.Screen(), "INITIALIZATION FAILED"), nullptr);
}

TEST(CInpane, PreparedTextsCoverEveryStateAndEveryValueCharacter) {
    CInpane panel;
    EXPECT_TRUE(panel.TextsToPrepare().empty());  // no layout, no fonts yet
    InpaneColours colours;
    colours.window = kWindow;
    panel.BuildBackground(194, 187, colours);
    const TextCommands texts = panel.TextsToPrepare();
    for (int state : {kStateInitFailed, kStateReady, kStateRecording, kStatePaused}) {
        const auto it = std::find_if(texts.begin(), texts.end(),
                                     [&](const TextCommand& t) { return t.text == InpaneStateText(state); });
        ASSERT_NE(it, texts.end()) << InpaneStateText(state);
        EXPECT_EQ(it->background, InpaneStateColour(state));
        EXPECT_EQ(it->colour, kInpaneBannerTextColour);
    }
    // Whatever the values show is among the prepared characters of the values' face.
    panel.SetValue(PanelValue::WriteTime, "12:34:56");
    panel.SetValue(PanelValue::FileSize, "987.65 MB");
    panel.SetValue(PanelValue::Level, "-6.0/-inf db");
    panel.SetValue(PanelValue::DataLost, "0.10 sec");
    panel.ShowValues();
    const TextCommand& values = texts.back();
    for (const TextCommand& t : panel.Screen().texts) {
        if (t.align != TextAlign::Right) continue;
        EXPECT_EQ(t.background, values.background);
        for (char c : t.text) EXPECT_NE(values.text.find(c), std::string::npos) << "'" << c << "' of " << t.text;
    }
}

namespace {

// Hue in degrees of a colour that has one.
double HueOf(Rgb c) {
    const double r = RedOf(c), g = GreenOf(c), b = BlueOf(c);
    const double hi = std::max({r, g, b}), lo = std::min({r, g, b}), d = hi - lo;
    double h = hi == r ? std::fmod((g - b) / d + 6.0, 6.0) : hi == g ? (b - r) / d + 2.0 : (r - g) / d + 4.0;
    return h * 60.0;
}

}  // namespace

TEST(Contrast, RatiosOfKnownPairs) {
    EXPECT_NEAR(ContrastRatio(MakeRgb(0, 0, 0), MakeRgb(255, 255, 255)), 21.0, 1e-9);
    EXPECT_NEAR(ContrastRatio(MakeRgb(100, 100, 100), MakeRgb(45, 45, 45)), 2.3, 0.05);
    EXPECT_NEAR(ContrastRatio(MakeRgb(230, 230, 230), MakeRgb(220, 130, 160)), 2.2, 0.05);
    // A colour that reads already is kept; one that does not keeps its hue.
    EXPECT_EQ(WithContrast(MakeRgb(100, 100, 100), MakeRgb(255, 255, 255), 4.5), MakeRgb(100, 100, 100));
    const Rgb pink = WithContrast(MakeRgb(220, 130, 160), MakeRgb(230, 230, 230), 4.5);
    EXPECT_GE(ContrastRatio(pink, MakeRgb(230, 230, 230)), 4.5);
    EXPECT_NEAR(HueOf(pink), HueOf(MakeRgb(220, 130, 160)), 3.0);
    // A background in the middle: the far end of the other side serves.
    EXPECT_GE(ContrastRatio(WithContrast(MakeRgb(238, 238, 236), MakeRgb(80, 150, 100), 4.5), MakeRgb(80, 150, 100)),
              4.5);
}

// Every text of the panel, in every state and both banner phases, against the pixels it is
// written on, for the window colours of Adwaita, Adwaita-dark and HighContrast (and its
// inverse): the text and its background are one pair, and it reads.
TEST(CInpane, EveryTextReadsInLightDarkAndHighContrastThemes) {
    for (Rgb window : {MakeRgb(255, 255, 255), MakeRgb(45, 45, 45), MakeRgb(53, 53, 53), MakeRgb(0, 0, 0)}) {
        CInpane panel;
        InpaneColours colours;
        colours.window = window;
        panel.BuildBackground(166, 200, colours);
        for (int i = 0; i < kPanelValueCount; ++i) panel.SetValue(static_cast<PanelValue>(i), "12.34 MB");
        for (int state : {kStateInitFailed, kStateReady, kStateRecording, kStatePaused}) {
            panel.SetState(state);
            panel.ShowValues();
            for (int show : {1, 0}) {
                panel.BlinkState(show);
                const PanelPicture& s = panel.Screen();
                for (const TextCommand& t : s.texts) {
                    // The pixels of the text's line, at its anchor and under its middle.
                    const int mid = t.y + t.font.height / 2;
                    for (Rgb under : {s.pixels.At(t.x, t.y + 1), s.pixels.At(t.x, mid)}) {
                        EXPECT_EQ(t.background, under) << t.text << " window " << std::hex << window;
                        EXPECT_GE(ContrastRatio(t.colour, under), kTextContrast)
                            << t.text << " window " << std::hex << window;
                    }
                }
            }
        }
    }
}
