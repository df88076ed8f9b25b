// Finds our editor panel among the windows of an X display (a child window of the panel's size
// inside a host's window), writes a screenshot of the host's windows, and tells whether the
// panel's artwork is really visible there rather than covered or unpainted.
// Usage: lyrevane-panel-shot OUT.png BACKGROUND.png WIDTH HEIGHT [MIN-SHARE]
// Exits 0 when the panel is shown, 1 when it is found but its artwork is not, 2 when no window
// of that size is viewable yet. OUT.png is written in every case, to see what the screen shows.
#include "tests/ardour/PanelShot.h"

#include <cstdio>
#include <cstdlib>

using namespace ardourtest;

int main(int argc, char** argv)
{
    if (argc < 5 || argc > 6) {
        std::fprintf(stderr, "usage: %s OUT.png BACKGROUND.png WIDTH HEIGHT [MIN-SHARE]\n",
                     argv[0]);
        return 64;
    }
    const char* out = argv[1];
    const int width = std::atoi(argv[3]);
    const int height = std::atoi(argv[4]);
    const double minimumShare = argc > 5 ? std::atof(argv[5]) : 0.5;

    Surface background(cairo_image_surface_create_from_png(argv[2]), cairo_surface_destroy);
    if (cairo_surface_status(background.get()) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 64;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "cannot open the X display '%s'\n", XDisplayName(nullptr));
        return 64;
    }
    XGrabServer(display);  // the windows must not change between the search and the grab
    ScreenRectangle panel;
    const bool panelFound = findViewableWindow(display, width, height, panel);
    const ScreenRectangle area = windowsArea(display);
    Surface shot = grabScreen(display, area);
    XUngrabServer(display);
    XCloseDisplay(display);

    if (cairo_surface_write_to_png(shot.get(), out) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "cannot write %s\n", out);
        return 64;
    }
    if (!panelFound) {
        std::printf("no viewable %dx%d window; what the screen shows is in %s\n", width, height,
                    out);
        return 2;
    }
    const ScreenRectangle inShot{panel.x - area.x, panel.y - area.y, width, height};
    const double share = artworkShare(shot.get(), inShot, background.get());
    std::printf("panel at %d,%d; %.0f%% of it shows the artwork\n", panel.x, panel.y,
                100.0 * share);
    return share >= minimumShare ? 0 : 1;
}
