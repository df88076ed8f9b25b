// Window search, screen grabs and artwork matching for the editor screenshot in the host.
#include "tests/ardour/PanelShot.h"

#include "tools/HostWindow.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace ardourtest {

namespace {

// A window listed by XQueryTree may be gone before we ask about it; that is an answer ("not
// this one"), not a reason to end the process as the default handler would.
int ignoreXError(Display*, XErrorEvent*)
{
    return 0;
}

class TolerantErrors
{
public:
    TolerantErrors() : previous(XSetErrorHandler(ignoreXError)) {}
    ~TolerantErrors() { XSetErrorHandler(previous); }

private:
    int (*previous)(Display*, XErrorEvent*);
};

bool viewableRectangle(Display* display, Window window, ScreenRectangle& rectangle)
{
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes) ||
        attributes.map_state != IsViewable) {
        return false;
    }
    Window child;
    if (!XTranslateCoordinates(display, window, attributes.root, 0, 0, &rectangle.x,
                               &rectangle.y, &child)) {
        return false;
    }
    rectangle.width = attributes.width;
    rectangle.height = attributes.height;
    return true;
}

// Children in stacking order, bottom first; empty when the window is gone.
struct Children {
    Window* windows = nullptr;
    unsigned count = 0;
    Children(Display* display, Window window)
    {
        Window root, parent;
        if (!XQueryTree(display, window, &root, &parent, &windows, &count)) {
            windows = nullptr;
            count = 0;
        }
    }
    ~Children()
    {
        if (windows) XFree(windows);
    }
};

bool findBelow(Display* display, Window window, int width, int height, ScreenRectangle& found)
{
    const Children children(display, window);
    // Topmost first: of two candidates, that is the one a person would see.
    for (unsigned i = children.count; i-- > 0;) {
        ScreenRectangle r;
        if (!viewableRectangle(display, children.windows[i], r)) {
            continue;
        }
        if (r.width == width && r.height == height) {
            found = r;
            return true;
        }
        if (findBelow(display, children.windows[i], width, height, found)) {
            return true;
        }
    }
    return false;
}

ScreenRectangle clipToScreen(Display* display, ScreenRectangle r)
{
    const int right = std::min(r.x + r.width, DisplayWidth(display, DefaultScreen(display)));
    const int bottom = std::min(r.y + r.height, DisplayHeight(display, DefaultScreen(display)));
    r.x = std::max(r.x, 0);
    r.y = std::max(r.y, 0);
    r.width = std::max(right - r.x, 0);
    r.height = std::max(bottom - r.y, 0);
    return r;
}

}  // namespace

bool findViewableWindow(Display* display, int width, int height, ScreenRectangle& found)
{
    const TolerantErrors tolerant;
    return findBelow(display, DefaultRootWindow(display), width, height, found);
}

ScreenRectangle windowsArea(Display* display)
{
    const TolerantErrors tolerant;
    const Children children(display, DefaultRootWindow(display));
    int left = 0, top = 0, right = 0, bottom = 0;
    for (unsigned i = 0; i < children.count; ++i) {
        ScreenRectangle r;
        if (!viewableRectangle(display, children.windows[i], r)) {
            continue;
        }
        r = clipToScreen(display, r);
        if (r.width == 0 || r.height == 0) {
            continue;
        }
        const bool first = right == 0;
        left = first ? r.x : std::min(left, r.x);
        top = first ? r.y : std::min(top, r.y);
        right = std::max(right, r.x + r.width);
        bottom = std::max(bottom, r.y + r.height);
    }
    if (right == 0) {
        return clipToScreen(display, {0, 0, 1 << 16, 1 << 16});
    }
    return {left, top, right - left, bottom - top};
}

Surface grabScreen(Display* display, ScreenRectangle area)
{
    area = clipToScreen(display, area);
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, std::max(area.width, 1),
                                               std::max(area.height, 1)),
                    cairo_surface_destroy);
    const std::vector<uint32_t> pixels = harness::readPixels(
        display, DefaultRootWindow(display), area.x, area.y, area.width, area.height);
    if (pixels.empty()) {
        return surface;
    }
    cairo_surface_flush(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < area.height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
        for (int x = 0; x < area.width; ++x) {
            row[x] = 0xFF000000u | pixels[static_cast<size_t>(y) * area.width + x];
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

double artworkShare(cairo_surface_t* shot, const ScreenRectangle& panel, cairo_surface_t* artwork)
{
    const int columns = std::min(panel.width, cairo_image_surface_get_width(artwork));
    const int rows = std::min(panel.height, cairo_image_surface_get_height(artwork));
    const int left = panel.x, top = panel.y;
    if (columns <= 0 || rows <= 0) {
        return 0.0;
    }
    cairo_surface_flush(shot);
    cairo_surface_flush(artwork);
    const unsigned char* shotData = cairo_image_surface_get_data(shot);
    const unsigned char* artData = cairo_image_surface_get_data(artwork);
    const int shotStride = cairo_image_surface_get_stride(shot);
    const int artStride = cairo_image_surface_get_stride(artwork);
    const int firstRow = std::max(0, -top);
    const int lastRow = std::min(rows, cairo_image_surface_get_height(shot) - top);
    const int firstColumn = std::max(0, -left);
    const int lastColumn = std::min(columns, cairo_image_surface_get_width(shot) - left);
    long matching = 0;
    for (int y = firstRow; y < lastRow; ++y) {
        const auto* shotRow = reinterpret_cast<const uint32_t*>(shotData + (top + y) * shotStride);
        const auto* artRow = reinterpret_cast<const uint32_t*>(artData + y * artStride);
        for (int x = firstColumn; x < lastColumn; ++x) {
            // A server at 16 bits per pixel keeps only 5 or 6 bits of each channel.
            bool close = true;
            for (int shift = 0; shift <= 16; shift += 8) {
                const int a = (shotRow[left + x] >> shift) & 0xFF;
                const int b = (artRow[x] >> shift) & 0xFF;
                close = close && std::abs(a - b) <= 8;
            }
            matching += close;
        }
    }
    return static_cast<double>(matching) / (static_cast<double>(columns) * rows);
}

}  // namespace ardourtest
