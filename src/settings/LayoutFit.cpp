// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/LayoutFit.h"

#include <algorithm>
#include <numeric>

namespace pelmora {

namespace {

int HorizontalOverlap(const FitRect& a, const FitRect& b) { return std::min(a.Right(), b.Right()) - std::max(a.x, b.x); }
int VerticalOverlap(const FitRect& a, const FitRect& b) { return std::min(a.Bottom(), b.Bottom()) - std::max(a.y, b.y); }

bool Contains(const FitRect& outer, int x, int y) {
    return x >= outer.x && x < outer.Right() && y >= outer.y && y < outer.Bottom();
}

}  // namespace

std::vector<FitRect> FitLayout(const std::vector<FitItem>& items, int framePadding, int maxRight, int maxBottom) {
    const std::size_t n = items.size();
    std::vector<FitRect> out(n);
    // Natural sizes: taller about the middle, wider to the right.
    for (std::size_t i = 0; i < n; ++i) {
        FitRect r = items[i].place;
        if (!items[i].group) {
            if (items[i].growWidth && r.w < items[i].naturalWidth) r.w = items[i].naturalWidth;
            if (r.h < items[i].naturalHeight) {
                r.y -= (items[i].naturalHeight - r.h) / 2;
                r.h = items[i].naturalHeight;
            }
        }
        out[i] = r;
    }
    // A frame grows to the right around a child that grew, and what stands to its right on
    // the same band moves over, as far as the room allows.
    auto inGroup = [&](std::size_t g, std::size_t i) {
        const FitRect &doc = items[g].place, &p = items[i].place;
        return !items[i].group && Contains(doc, p.x + p.w / 2, p.y + p.h / 2);
    };
    for (std::size_t g = 0; g < n; ++g) {
        if (!items[g].group) continue;
        int need = out[g].Right();
        for (std::size_t i = 0; i < n; ++i)
            if (inGroup(g, i)) need = std::max(need, out[i].Right() + framePadding);
        int delta = need - out[g].Right();
        if (delta <= 0) continue;
        const FitRect doc = items[g].place;
        std::vector<std::size_t> right;
        int rightmost = out[g].Right();
        for (std::size_t j = 0; j < n; ++j) {
            const FitRect& p = items[j].place;
            if (j == g || p.x < doc.Right() || p.Bottom() <= doc.y || p.y >= doc.Bottom()) continue;
            right.push_back(j);
            rightmost = std::max(rightmost, out[j].Right());
        }
        delta = std::min(delta, maxRight - rightmost);
        if (delta <= 0) continue;
        out[g].w += delta;
        for (std::size_t j : right) out[j].x += delta;
    }
    // A label, or a control that grew wider, ends before its right-hand neighbour on the same
    // line and inside its frame: a label when its text fits the rest, a grown control not
    // short of its own place.
    for (std::size_t i = 0; i < n; ++i) {
        if (!items[i].label && !items[i].growWidth) continue;
        auto narrowTo = [&](int right) {
            const int width = right - out[i].x;
            if (items[i].label ? width >= items[i].naturalWidth : width >= items[i].place.w) out[i].w = width;
        };
        for (std::size_t j = 0; j < n; ++j) {
            if (j == i || items[j].group || items[j].place.x <= items[i].place.x) continue;
            if (VerticalOverlap(out[i], out[j]) <= 0 || HorizontalOverlap(out[i], out[j]) <= 0) continue;
            narrowTo(out[j].x);
        }
        for (std::size_t g = 0; g < n; ++g)
            if (items[g].group && inGroup(g, i) && out[i].Right() > out[g].Right() - framePadding)
                narrowTo(out[g].Right() - framePadding);
    }
    // Top to bottom: a control that covers one placed above it moves down, and so does
    // everything under it.
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < n; ++i)
        if (!items[i].group) order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const FitRect &pa = items[a].place, &pb = items[b].place;
        return pa.y != pb.y ? pa.y < pb.y : pa.x < pb.x;
    });
    int shift = 0;
    std::vector<std::pair<int, int>> shiftFrom;  // (layout y, shift of everything from there on)
    std::vector<std::size_t> placed;
    for (std::size_t i : order) {
        out[i].y += shift;
        for (bool moved = true; moved;) {
            moved = false;
            for (std::size_t p : placed) {
                // Only a control laid out above this one, not one beside it.
                const FitRect& above = items[p].place;
                if (above.Bottom() > items[i].place.y + items[i].place.h / 2) continue;
                if (HorizontalOverlap(out[i], out[p]) <= 0) continue;
                const int need = out[p].Bottom() - out[i].y;
                if (need <= 0) continue;
                shift += need;
                out[i].y += need;
                moved = true;
            }
        }
        shiftFrom.emplace_back(items[i].place.y, shift);
        placed.push_back(i);
    }
    // The shift in force at a layout y: that of the last control placed above it.
    auto shiftAt = [&](int y) {
        int s = 0;
        for (const auto& [from, value] : shiftFrom) {
            if (from >= y) break;
            s = value;
        }
        return s;
    };
    for (std::size_t g = 0; g < n; ++g) {
        if (!items[g].group) continue;
        const FitRect& doc = items[g].place;
        const int top = doc.y + shiftAt(doc.y);
        int bottom = doc.Bottom() + shiftAt(doc.Bottom());
        int lowest = top;
        for (std::size_t i = 0; i < n; ++i)
            if (inGroup(g, i)) lowest = std::max(lowest, out[i].Bottom());
        bottom = std::max(bottom, lowest + framePadding);
        // At the window's edge the padding gives way first.
        if (bottom > maxBottom) bottom = std::max(maxBottom, lowest + 1);
        out[g] = {out[g].x, top, out[g].w, bottom - top};
    }
    return out;
}

}  // namespace pelmora
