// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/PixelImage.h"

#include <algorithm>
#include <cstddef>

namespace pelmora {

PixelImage::PixelImage(int width, int height, Rgb fill) { Resize(width, height, fill); }

void PixelImage::Resize(int width, int height, Rgb fill) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), fill);
}

Rgb PixelImage::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    return pixels_[static_cast<size_t>(y) * width_ + x];
}

void PixelImage::Set(int x, int y, Rgb colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pixels_[static_cast<size_t>(y) * width_ + x] = colour;
}

void PixelImage::Fill(Rgb colour) { std::fill(pixels_.begin(), pixels_.end(), colour); }

void PixelImage::FillRect(int left, int top, int right, int bottom, Rgb colour) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, width_);
    bottom = std::min(bottom, height_);
    if (left >= right) return;
    for (int y = top; y < bottom; ++y) {
        auto row = pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_;
        std::fill(row + left, row + right, colour);
    }
}

void PixelImage::HLine(int x0, int x1, int y, Rgb colour) { FillRect(x0, y, x1, y + 1, colour); }

void PixelImage::VLine(int x, int y0, int y1, Rgb colour) { FillRect(x, y0, x + 1, y1, colour); }

void PixelImage::FrameRect(int left, int top, int right, int bottom, Rgb colour) {
    if (left >= right || top >= bottom) return;
    HLine(left, right, top, colour);
    HLine(left, right, bottom - 1, colour);
    VLine(left, top, bottom, colour);
    VLine(right - 1, top, bottom, colour);
}

void PixelImage::CopyFrom(const PixelImage& src, int srcX, int srcY, int w, int h, int dstX,
                          int dstY) {
    // Clip against the source, then the destination, moving both origins together.
    if (srcX < 0) { w += srcX; dstX -= srcX; srcX = 0; }
    if (srcY < 0) { h += srcY; dstY -= srcY; srcY = 0; }
    if (dstX < 0) { w += dstX; srcX -= dstX; dstX = 0; }
    if (dstY < 0) { h += dstY; srcY -= dstY; dstY = 0; }
    w = std::min({w, src.width_ - srcX, width_ - dstX});
    h = std::min({h, src.height_ - srcY, height_ - dstY});
    if (w <= 0 || h <= 0) return;
    for (int row = 0; row < h; ++row) {
        auto from = src.pixels_.begin() + static_cast<std::ptrdiff_t>(srcY + row) * src.width_ + srcX;
        auto to = pixels_.begin() + static_cast<std::ptrdiff_t>(dstY + row) * width_ + dstX;
        std::copy(from, from + w, to);
    }
}

void PixelImage::Assign(const PixelImage& src) {
    width_ = src.width_;
    height_ = src.height_;
    pixels_.assign(src.pixels_.begin(), src.pixels_.end());
}

}  // namespace pelmora
