// Editor snapshots: a top-level X window stands in for a host's plug-in window. The module's
// editor is opened inside it, idled for a moment so that it can draw, and the window's pixels
// are read back with XGetImage and written with Cairo.
#include "tools/Snapshot.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

constexpr auto kIdleTime = std::chrono::milliseconds(300);
constexpr auto kIdleInterval = std::chrono::milliseconds(15);
constexpr auto kMapTimeout = std::chrono::seconds(2);

// The default handler ends the process; a snapshot reports the error and carries on, so that
// a failure ends in our own message. The editor shares this process and this handler.
int reportXError(Display* display, XErrorEvent* event)
{
    char text[256];
    XGetErrorText(display, event->error_code, text, sizeof(text));
    std::fprintf(stderr, "lyrevane-render: X error during the snapshot: %s\n", text);
    return 0;
}

// Scales one colour channel of a TrueColor pixel to eight bits, whatever the mask width.
uint32_t channel(unsigned long pixel, unsigned long mask)
{
    if (mask == 0) {
        return 0;
    }
    const int shift = __builtin_ctzl(mask);
    const unsigned long maximum = mask >> shift;
    return static_cast<uint32_t>(((pixel & mask) >> shift) * 255 / maximum);
}

bool writePng(XImage* image, int width, int height, const std::string& path, std::string& error)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            row[x] = 0xFF000000u | channel(pixel, image->red_mask) << 16 |
                     channel(pixel, image->green_mask) << 8 | channel(pixel, image->blue_mask);
        }
    }
    cairo_surface_mark_dirty(surface);
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        error = "cannot write " + path + ": " + cairo_status_to_string(status);
        return false;
    }
    return true;
}

void drainEvents(Display* display)
{
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
    }
}

bool waitUntilMapped(Display* display, Window window)
{
    const auto deadline = std::chrono::steady_clock::now() + kMapTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        XEvent event;
        if (XCheckTypedWindowEvent(display, window, MapNotify, &event)) {
            return true;
        }
        std::this_thread::sleep_for(kIdleInterval);
    }
    return false;
}

}  // namespace

bool writeEditorSnapshot(PluginHost& host, const std::string& pngPath, std::string& error)
{
    ERect* rect = nullptr;
    host.dispatch(effEditGetRect, 0, 0, &rect);
    if (rect == nullptr || rect->right <= rect->left || rect->bottom <= rect->top) {
        error = "the module has no editor (effEditGetRect gave no size)";
        return false;
    }
    const int width = rect->right - rect->left;
    const int height = rect->bottom - rect->top;

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        const char* name = std::getenv("DISPLAY");
        error = std::string("cannot open the X display ") + (name ? name : "(DISPLAY is unset)");
        return false;
    }
    XSetErrorHandler(reportXError);
    const int screen = DefaultScreen(display);
    const Window window =
        XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, width, height, 0,
                            BlackPixel(display, screen), BlackPixel(display, screen));
    XStoreName(display, window, "lyrevane-render snapshot");
    XSelectInput(display, window, StructureNotifyMask);
    XSync(display, False);

    bool written = false;
    // The Linux convention: the parent is an X11 window id carried in the pointer argument.
    if (host.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window)) == 0) {
        error = "the module's editor did not open (effEditOpen answered 0)";
    } else {
        XMapWindow(display, window);
        XSync(display, False);
        if (!waitUntilMapped(display, window)) {
            error = "the snapshot window was never mapped";
        } else {
            const auto end = std::chrono::steady_clock::now() + kIdleTime;
            while (std::chrono::steady_clock::now() < end) {
                host.dispatch(effEditIdle);
                drainEvents(display);
                std::this_thread::sleep_for(kIdleInterval);
            }
            XSync(display, False);
            XImage* image = XGetImage(display, window, 0, 0, width, height, AllPlanes, ZPixmap);
            if (image == nullptr) {
                error = "cannot read the editor window's pixels";
            } else {
                written = writePng(image, width, height, pngPath, error);
                XDestroyImage(image);
            }
        }
        host.dispatch(effEditClose);
    }
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return written;
}
