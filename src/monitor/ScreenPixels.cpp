// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/ScreenPixels.h"

#ifdef GDK_WINDOWING_X11
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/gdkx.h>
#endif

#include <algorithm>
#include <vector>

namespace pelmora {

#ifdef GDK_WINDOWING_X11
namespace {

// Depth 24 only: a 32-bit window would read the pixels' empty top byte as full transparency.
bool SameLayoutAsPixels(Display* display, const Visual* visual, int depth) {
    const uint32_t probe = 1;
    const bool littleEndianHost = *reinterpret_cast<const unsigned char*>(&probe) == 1;
    return depth == 24 && visual->red_mask == 0xff0000 && visual->green_mask == 0xff00 &&
           visual->blue_mask == 0xff && (ImageByteOrder(display) == LSBFirst) == littleEndianHost;
}

// One graphics context per display and depth, kept for the life of the program.
GC ContextFor(Display* display, Drawable drawable, int depth) {
    struct Made {
        Display* display;
        int depth;
        GC context;
    };
    static std::vector<Made> made;
    for (const Made& m : made)
        if (m.display == display && m.depth == depth) return m.context;
    made.push_back({display, depth, XCreateGC(display, drawable, 0, nullptr)});
    return made.back().context;
}

}  // namespace
#endif

bool PutScreenPixels(GdkWindow* window, const PixelImage& pixels, int x, int y, int width, int height) {
#ifdef GDK_WINDOWING_X11
    if (window == nullptr || !GDK_IS_X11_WINDOW(window) || gdk_window_get_scale_factor(window) != 1) return false;
    // Only what lies inside both the pixels and the window.
    const int right = std::min({x + width, pixels.Width(), gdk_window_get_width(window)});
    const int bottom = std::min({y + height, pixels.Height(), gdk_window_get_height(window)});
    x = std::max(x, 0);
    y = std::max(y, 0);
    if (right <= x || bottom <= y) return true;
    // The window's place in the X window that holds it (the toolkit's inner windows are
    // usually drawn by the toolkit into their native ancestor).
    GdkWindow* native = window;
    double originX = 0, originY = 0;
    while (!gdk_window_has_native(native)) {
        gdk_window_coords_to_parent(native, originX, originY, &originX, &originY);
        native = gdk_window_get_parent(native);
        if (native == nullptr) return false;
    }
    GdkVisual* visual = gdk_window_get_visual(native);
    Display* display = GDK_WINDOW_XDISPLAY(native);
    Visual* xVisual = gdk_x11_visual_get_xvisual(visual);
    const int depth = gdk_visual_get_depth(visual);
    if (!SameLayoutAsPixels(display, xVisual, depth)) return false;

    const Drawable target = GDK_WINDOW_XID(native);
    // The image borrows the pixels; nothing is copied before the transfer.
    XImage* image = XCreateImage(display, xVisual, static_cast<unsigned>(depth), ZPixmap, 0,
                                 reinterpret_cast<char*>(const_cast<Rgb*>(pixels.Pixels().data())),
                                 static_cast<unsigned>(pixels.Width()), static_cast<unsigned>(pixels.Height()), 32,
                                 pixels.Width() * static_cast<int>(sizeof(Rgb)));
    if (image == nullptr) return false;
    // A window that went away in between is not worth an error report.
    GdkDisplay* gdkDisplay = gdk_window_get_display(native);
    gdk_x11_display_error_trap_push(gdkDisplay);
    XPutImage(display, target, ContextFor(display, target, depth), image, x, y, static_cast<int>(originX) + x,
              static_cast<int>(originY) + y, static_cast<unsigned>(right - x), static_cast<unsigned>(bottom - y));
    gdk_x11_display_error_trap_pop_ignored(gdkDisplay);
    image->data = nullptr;
    XDestroyImage(image);
    return true;
#else
    (void)window, (void)pixels, (void)x, (void)y, (void)width, (void)height;
    return false;
#endif
}

}  // namespace pelmora
