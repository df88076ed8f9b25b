// The host's window and the read-back of pixels, in Xlib.
#include "tools/HostWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace harness {

namespace {

constexpr int kOpenAttempts = 40;
constexpr auto kOpenRetryInterval = std::chrono::milliseconds(50);

// One colour channel of a TrueColor pixel scaled to eight bits, whatever the mask width.
uint32_t channel(unsigned long pixel, unsigned long mask)
{
    if (mask == 0) return 0;
    const int shift = __builtin_ctzl(mask);
    const unsigned long maximum = mask >> shift;
    return static_cast<uint32_t>(((pixel & mask) >> shift) * 255 / maximum);
}

}  // namespace

HostWindow::HostWindow(int x, int y, int width, int height)
{
    for (int attempt = 0; attempt < kOpenAttempts && !connection; ++attempt) {
        connection = XOpenDisplay(nullptr);
        if (!connection) std::this_thread::sleep_for(kOpenRetryInterval);
    }
    if (!connection) {
        reason = std::string("cannot open the X display ") + XDisplayName(nullptr);
        return;
    }
    // Override-redirect: placed exactly where asked, whether a window manager runs or not.
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = BlackPixel(connection, DefaultScreen(connection));
    window = XCreateWindow(connection, DefaultRootWindow(connection), x, y,
                           static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                           CopyFromParent, InputOutput, CopyFromParent,
                           CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(connection, window);
    XSync(connection, False);
    currentLeft = x;
    currentTop = y;
    currentWidth = width;
    currentHeight = height;
}

HostWindow::~HostWindow()
{
    if (!connection) return;
    if (window) XDestroyWindow(connection, window);
    XCloseDisplay(connection);
}

void HostWindow::sync() const
{
    if (connection) XSync(connection, False);
}

void HostWindow::resize(int width, int height)
{
    if (!window || width <= 0 || height <= 0) return;
    const int screen = DefaultScreen(connection);
    currentLeft = std::max(0, std::min(currentLeft, DisplayWidth(connection, screen) - width));
    currentTop = std::max(0, std::min(currentTop, DisplayHeight(connection, screen) - height));
    currentWidth = width;
    currentHeight = height;
    XMoveResizeWindow(connection, window, currentLeft, currentTop, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
    XSync(connection, False);
}

std::vector<uint32_t> readPixels(Display* display, unsigned long window, int x, int y,
                                 int width, int height)
{
    std::vector<uint32_t> pixels;
    if (!display || width <= 0 || height <= 0) return pixels;
    XSync(display, False);
    XImage* image = XGetImage(display, window, x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image) return pixels;
    pixels.reserve(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const unsigned long pixel = XGetPixel(image, column, row);
            pixels.push_back(channel(pixel, image->red_mask) << 16 |
                             channel(pixel, image->green_mask) << 8 |
                             channel(pixel, image->blue_mask));
        }
    }
    XDestroyImage(image);
    return pixels;
}

}  // namespace harness
