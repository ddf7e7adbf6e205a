// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A plain off-screen picture: the engine composes into it, the window only blits it.
// Pixels are 0x00RRGGBB, row-major, top row first. Rectangles are half-open
// [left, right) × [top, bottom) and every drawing call clips to the image, so callers may
// pass coordinates that lie partly or wholly outside it.

#include <cstdint>
#include <vector>

namespace pelmora {

using Rgb = uint32_t;

constexpr Rgb MakeRgb(uint8_t r, uint8_t g, uint8_t b) {
    return (static_cast<Rgb>(r) << 16) | (static_cast<Rgb>(g) << 8) | b;
}
constexpr uint8_t RedOf(Rgb c) { return static_cast<uint8_t>(c >> 16); }
constexpr uint8_t GreenOf(Rgb c) { return static_cast<uint8_t>(c >> 8); }
constexpr uint8_t BlueOf(Rgb c) { return static_cast<uint8_t>(c); }

class PixelImage {
public:
    PixelImage() = default;
    PixelImage(int width, int height, Rgb fill = 0);

    /// Sets the size (negative sizes count as 0); reallocates only when the pixel count grows.
    void Resize(int width, int height, Rgb fill = 0);

    int Width() const { return width_; }
    int Height() const { return height_; }
    /// Pixel at (x, y); 0 outside the image.
    Rgb At(int x, int y) const;
    void Set(int x, int y, Rgb colour);
    const std::vector<Rgb>& Pixels() const { return pixels_; }

    void Fill(Rgb colour);
    void FillRect(int left, int top, int right, int bottom, Rgb colour);
    /// Pixels [x0, x1) of row y, as a move-to/line-to leaves them (end point not painted).
    void HLine(int x0, int x1, int y, Rgb colour);
    /// Pixels [y0, y1) of column x.
    void VLine(int x, int y0, int y1, Rgb colour);
    /// One-pixel outline just inside the rectangle.
    void FrameRect(int left, int top, int right, int bottom, Rgb colour);

    /// Copies the w × h block at (srcX, srcY) of `src` to (dstX, dstY), clipped to both.
    /// `src` must not be this image.
    void CopyFrom(const PixelImage& src, int srcX, int srcY, int w, int h, int dstX, int dstY);
    /// Becomes a copy of `src` (same size and pixels) without giving up its storage.
    void Assign(const PixelImage& src);

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<Rgb> pixels_;
};

}  // namespace pelmora
