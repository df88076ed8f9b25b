// Finding our editor panel on an X display and judging whether a person would see it: the
// host test's screenshot program and its own tests share these.
#pragma once

#include <X11/Xlib.h>
#include <cairo.h>

#include <memory>

namespace ardourtest {

struct ScreenRectangle {
    int x = 0, y = 0, width = 0, height = 0;
};

using Surface = std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)>;

// The topmost viewable window of exactly width x height at any depth, in root coordinates.
// The window's own contents are not consulted: something may cover it.
bool findViewableWindow(Display* display, int width, int height, ScreenRectangle& found);

// The part of the screen that viewable top-level windows cover; the whole screen when none is.
ScreenRectangle windowsArea(Display* display);

// What the screen shows in the rectangle (clipped to the screen), composed by the server as a
// person would see it, as an RGB24 image.
Surface grabScreen(Display* display, ScreenRectangle area);

// Share of the panel's pixels (panel in shot coordinates) that show the artwork drawn from its
// top left. The panel's controls cover part of its background, so a painted panel scores
// below 1, and an unpainted or covered one near 0.
double artworkShare(cairo_surface_t* shot, const ScreenRectangle& panel, cairo_surface_t* artwork);

}  // namespace ardourtest
