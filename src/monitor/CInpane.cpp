// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/CInpane.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "monitor/Contrast.h"

namespace pelmora {

namespace {

const char* const kLabels[kPanelValueCount] = {"Write time", "File size", "Level (L/R)", "DC Left",
                                              "DC Right",   "Data lost", "Last",        "Maximum"};

TextCommand MakeText(std::string text, int x, int y, TextAlign align, Rgb colour, bool opaque,
                     Rgb background, const FontSpec& font) {
    TextCommand t;
    t.text = std::move(text);
    t.x = x;
    t.y = y;
    t.align = align;
    t.colour = colour;
    t.opaque = opaque;
    t.background = background;
    t.font = font;
    return t;
}

}  // namespace

const char* InpaneStateText(int state) {
    switch (state) {
        case kStateInitFailed: return "INITIALIZATION FAILED";
        case kStateReady: return "READY";
        case kStateRecording: return "RECORDING";
        case kStatePaused: return "PAUSED";
        default: return "";
    }
}

Rgb InpaneStateColour(int state) {
    Rgb hue;
    switch (state) {
        case kStateReady: hue = MakeRgb(80, 150, 100); break;
        case kStateRecording: hue = MakeRgb(220, 130, 160); break;
        case kStatePaused: hue = MakeRgb(160, 130, 220); break;
        default: return MakeRgb(0, 0, 0);
    }
    // Darkened as far as the banner text needs; the same in every theme.
    return WithContrast(hue, kInpaneBannerTextColour, kTextContrastAim);
}

Rgb InpaneTextColour(Rgb window) { return WithContrast(kInpaneTextColour, window, kTextContrastAim); }

void CInpane::BuildBackground(int width, int height, const InpaneColours& colours, int edgeWidth,
                              int edgeHeight) {
    layout_ = ComputeInpaneLayout(width, height, edgeWidth, edgeHeight);
    colours_ = colours;
    // Text and background are one pair: the text follows the theme's window colour.
    text_ = InpaneTextColour(colours.window);
    const InpaneLayout& L = layout_;
    PixelImage& px = background_.pixels;
    px.Resize(width, height, colours.window);
    background_.texts.clear();

    // Etched, flat edge around the whole panel.
    px.FrameRect(0, 0, width, height, colours.edgeOuter);
    px.FrameRect(1, 1, width - 1, height - 1, colours.edgeInner);

    const int x0 = L.margin;
    const int x1 = width - L.margin;
    for (int y : L.gridY) px.HLine(x0, x1, y, kInpaneGridColour);
    for (int y : L.cpuGridY) px.HLine(x0, x1, y, kInpaneGridColour);
    px.VLine(L.centreX, L.gridY.front(), L.gridY.back(), kInpaneGridColour);
    px.VLine(L.centreX, L.cpuGridY.front(), L.cpuGridY.back(), kInpaneGridColour);

    auto& texts = background_.texts;
    texts.push_back(MakeText("PROCESS DETAILS", L.centreX, L.processHeadingY, TextAlign::Centre,
                             text_, true, colours.window, L.bold));
    texts.push_back(MakeText("CPU USAGE", L.centreX, L.cpuHeadingY, TextAlign::Centre,
                             text_, true, colours.window, L.bold));
    for (int i = 0; i < kPanelValueCount; ++i) {
        texts.push_back(MakeText(kLabels[i], x0, L.rowTextY[i], TextAlign::Left, text_,
                                 true, colours.window, L.regular));
    }

    if (hasState_) DrawState();
    CopyBackground(working_);
    ready_ = true;
}

void CInpane::SetState(int state) {
    state_ = state;
    hasState_ = true;
    // Before the layout exists there is nothing to draw into; BuildBackground draws it.
    if (ready_) DrawState();
}

void CInpane::DrawState() {
    const InpaneLayout& L = layout_;
    const Rgb brush = InpaneStateColour(state_);
    PixelImage& px = background_.pixels;
    px.FrameRect(L.edgeWidth, L.edgeHeight, L.width - L.edgeWidth, L.height - L.edgeHeight,
                 brush);
    px.FillRect(L.edgeWidth, L.edgeHeight, L.width - L.edgeWidth, L.bannerBottom, brush);
    // The fill covers the previous state's text, so the new one replaces it.
    // On the banner's own colour: the fill under the text cell changes nothing.
    stateText_ = MakeText(InpaneStateText(state_), L.centreX, 2 * L.inset, TextAlign::Centre,
                          kInpaneBannerTextColour, true, brush, L.bold);
}

TextCommands CInpane::TextsToPrepare() const {
    TextCommands texts;
    if (!ready_) return texts;
    const InpaneLayout& L = layout_;
    for (int state : {kStateInitFailed, kStateReady, kStateRecording, kStatePaused})
        texts.push_back(MakeText(InpaneStateText(state), 0, 0, TextAlign::Left, kInpaneBannerTextColour, true,
                                 InpaneStateColour(state), L.bold));
    // Every character the values are written with.
    texts.push_back(MakeText("0123456789:./-()% infdbKMGBsec", 0, 0, TextAlign::Left, text_, true,
                             colours_.window, L.regular));
    return texts;
}

void CInpane::SetValue(PanelValue which, std::string text) {
    values_[static_cast<size_t>(which)] = std::move(text);
}

const std::string& CInpane::Value(PanelValue which) const {
    return values_[static_cast<size_t>(which)];
}

void CInpane::ShowValues() {
    if (!ready_) return;
    const InpaneLayout& L = layout_;
    CopyBackground(working_);
    for (int i = 0; i < kPanelValueCount; ++i) {
        working_.texts.push_back(MakeText(values_[i], L.width - L.margin, L.rowTextY[i],
                                          TextAlign::Right, text_, true,
                                          colours_.window, L.regular));
    }
    screen_.pixels.Assign(working_.pixels);
    screen_.texts = working_.texts;
}

void CInpane::CopyBackground(PanelPicture& to) const {
    to.pixels.Assign(background_.pixels);
    to.texts = background_.texts;
    if (hasState_ && !stateText_.text.empty()) to.texts.push_back(stateText_);
}

void CInpane::CopyBannerBand(const PanelPicture& from, PanelPicture& to) const {
    const int band = layout_.bannerBottom;
    to.pixels.CopyFrom(from.pixels, 0, 0, layout_.width, band, 0, 0);
    auto inBand = [band](const TextCommand& t) { return t.y < band; };
    to.texts.erase(std::remove_if(to.texts.begin(), to.texts.end(), inBand), to.texts.end());
    std::copy_if(from.texts.begin(), from.texts.end(), std::back_inserter(to.texts), inBand);
}

void CInpane::BlinkState(int show) {
    if (!ready_) return;
    if (show != 0) {
        CopyBannerBand(working_, screen_);
        return;
    }
    const InpaneLayout& L = layout_;
    screen_.pixels.FillRect(L.edgeWidth, L.edgeHeight, L.width - L.edgeWidth, L.bannerBottom,
                            InpaneStateColour(state_));
    const int band = L.bannerBottom;
    screen_.texts.erase(std::remove_if(screen_.texts.begin(), screen_.texts.end(),
                                       [band](const TextCommand& t) { return t.y < band; }),
                        screen_.texts.end());
}

void CInpane::Repaint() {
    if (!ready_) return;
    screen_.pixels.Assign(working_.pixels);
    screen_.texts = working_.texts;
}

}  // namespace pelmora
