// Tests of how the host screenshot finds our panel and judges it visible: a fault here would
// pass a panel that a person cannot see, or fail one that is there.
// GoogleTest before Xlib: Xlib's None and Bool macros would rewrite GoogleTest's names.
#include <gtest/gtest.h>

#include "tests/ardour/PanelShot.h"

#include <cairo-xlib.h>

#include <cstdlib>

using namespace ardourtest;

namespace {

constexpr int kPanelWidth = 529;
constexpr int kPanelHeight = 225;

Surface loadBackground()
{
    const std::string path = std::string(LYREVANE_SOURCE_DIR) + "/resources/images/background.png";
    return Surface(cairo_image_surface_create_from_png(path.c_str()), cairo_surface_destroy);
}

void waitFor(Display* display, Window window, int type)
{
    XEvent event;
    XWindowEvent(display, window, type == Expose ? ExposureMask : StructureNotifyMask, &event);
    while (event.type != type) {
        XWindowEvent(display, window, type == Expose ? ExposureMask : StructureNotifyMask,
                     &event);
    }
}

Window mappedWindow(Display* display, Window parent, int x, int y, int width, int height,
                    unsigned long colour)
{
    const Window window = XCreateSimpleWindow(display, parent, x, y, width, height, 0, 0, colour);
    XSelectInput(display, window, ExposureMask | StructureNotifyMask);
    XMapWindow(display, window);
    waitFor(display, window, MapNotify);
    return window;
}

}  // namespace

TEST(PanelArtwork, CountsOnlyMatchingPixelsThatLieInsideTheShot)
{
    Surface background = loadBackground();
    ASSERT_EQ(cairo_surface_status(background.get()), CAIRO_STATUS_SUCCESS);
    // The artwork itself, dimmed by a few steps as a 16-bit server would, scores in full.
    Surface shot(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kPanelWidth, kPanelHeight),
                 cairo_surface_destroy);
    cairo_t* cr = cairo_create(shot.get());
    cairo_set_source_surface(cr, background.get(), 0, 0);
    cairo_paint(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.01);
    cairo_paint(cr);
    cairo_destroy(cr);
    EXPECT_GT(artworkShare(shot.get(), {0, 0, kPanelWidth, kPanelHeight}, background.get()),
              0.99);

    // A panel hanging off the shot's edges reads only what is there, and scores by it.
    const double leftHalf = artworkShare(shot.get(), {-kPanelWidth / 2, 0, kPanelWidth,
                                                      kPanelHeight}, background.get());
    EXPECT_LT(leftHalf, 0.6);
    EXPECT_EQ(artworkShare(shot.get(), {kPanelWidth, kPanelHeight, kPanelWidth, kPanelHeight},
                           background.get()),
              0.0);

    // A flat grey panel is not the artwork.
    Surface grey(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kPanelWidth, kPanelHeight),
                 cairo_surface_destroy);
    cr = cairo_create(grey.get());
    cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
    cairo_paint(cr);
    cairo_destroy(cr);
    EXPECT_LT(artworkShare(grey.get(), {0, 0, kPanelWidth, kPanelHeight}, background.get()), 0.1);
}

TEST(PanelShot, FindsThePanelInAHostWindowAndSeesWhenItIsCovered)
{
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    Surface background = loadBackground();
    const Window root = DefaultRootWindow(display);
    const unsigned long grey = 0x404040;

    // A host window with a toolbar strip above our panel, as the host lays out its plug-in window.
    const Window host = mappedWindow(display, root, 50, 60, 600, 300, grey);
    const Window panel = mappedWindow(display, host, 20, 34, kPanelWidth, kPanelHeight, grey);
    waitFor(display, panel, Expose);
    cairo_surface_t* target = cairo_xlib_surface_create(
        display, panel, DefaultVisual(display, DefaultScreen(display)), kPanelWidth,
        kPanelHeight);
    cairo_t* cr = cairo_create(target);
    cairo_set_source_surface(cr, background.get(), 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(target);
    cairo_surface_destroy(target);
    XSync(display, False);

    ScreenRectangle found;
    ASSERT_TRUE(findViewableWindow(display, kPanelWidth, kPanelHeight, found));
    EXPECT_EQ(found.x, 70);
    EXPECT_EQ(found.y, 94);
    ScreenRectangle area = windowsArea(display);
    EXPECT_TRUE(area.x <= 50 && area.y <= 60 && area.x + area.width >= 650 &&
                area.y + area.height >= 360);
    Surface shot = grabScreen(display, area);
    const ScreenRectangle inShot{found.x - area.x, found.y - area.y, kPanelWidth, kPanelHeight};
    EXPECT_GT(artworkShare(shot.get(), inShot, background.get()), 0.95);

    // Another window raised over it: the panel is still there, but nobody can see it.
    const Window cover = mappedWindow(display, root, 0, 0, 700, 400, 0x000000);
    waitFor(display, cover, Expose);
    XSync(display, False);
    ASSERT_TRUE(findViewableWindow(display, kPanelWidth, kPanelHeight, found));
    shot = grabScreen(display, area);
    EXPECT_LT(artworkShare(shot.get(), inShot, background.get()), 0.1);

    // A panel in an unmapped host window is not viewable, whatever its own map state.
    XDestroyWindow(display, cover);
    XUnmapWindow(display, host);
    XSync(display, False);
    EXPECT_FALSE(findViewableWindow(display, kPanelWidth, kPanelHeight, found));

    XDestroyWindow(display, host);
    XCloseDisplay(display);
}
