// Editor snapshots: a top-level X window stands in for a host's plug-in window. The module's
// editor is opened inside it, idled for a moment so that it can draw, and the window's pixels
// are read back and written with Cairo.
#include "tools/Snapshot.h"

#include <X11/Xlib.h>
#include <cairo.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "tools/HostWindow.h"

namespace {

constexpr auto kIdleTime = std::chrono::milliseconds(300);
constexpr auto kIdleInterval = std::chrono::milliseconds(15);

// The default handler ends the process; a snapshot reports the error and carries on, so that
// a failure ends in our own message. The editor shares this process and this handler.
int reportXError(Display* display, XErrorEvent* event)
{
    char text[256];
    XGetErrorText(display, event->error_code, text, sizeof(text));
    std::fprintf(stderr, "lyrevane-render: X error during the snapshot: %s\n", text);
    return 0;
}

bool writePng(const std::vector<uint32_t>& pixels, int width, int height,
              const std::string& path, std::string& error)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
        for (int x = 0; x < width; ++x) row[x] = 0xFF000000u | pixels[size_t(y) * width + x];
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

}  // namespace

bool writeEditorSnapshot(harness::PluginHost& host, const std::string& pngPath,
                         std::string& error)
{
    ERect* rect = nullptr;
    host.dispatch(effEditGetRect, 0, 0, &rect);
    if (rect == nullptr || rect->right <= rect->left || rect->bottom <= rect->top) {
        error = "the module has no editor (effEditGetRect gave no size)";
        return false;
    }
    const int width = rect->right - rect->left;
    const int height = rect->bottom - rect->top;

    XSetErrorHandler(reportXError);
    harness::HostWindow window(0, 0, width, height);
    if (!window.ok()) {
        error = window.error();
        return false;
    }
    // The Linux convention: the parent is an X11 window id carried in the pointer argument.
    if (host.dispatch(effEditOpen, 0, 0, window.parent()) == 0) {
        error = "the module's editor did not open (effEditOpen answered 0)";
        return false;
    }
    const auto end = std::chrono::steady_clock::now() + kIdleTime;
    while (std::chrono::steady_clock::now() < end) {
        host.dispatch(effEditIdle);
        std::this_thread::sleep_for(kIdleInterval);
    }
    const std::vector<uint32_t> pixels =
        harness::readPixels(window.display(), window.id(), 0, 0, width, height);
    host.dispatch(effEditClose);
    if (pixels.empty()) {
        error = "cannot read the editor window's pixels";
        return false;
    }
    return writePng(pixels, width, height, pngPath, error);
}
