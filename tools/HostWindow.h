// A host's window for a plug-in editor: a top-level X window of our own on the display that
// DISPLAY names, placed exactly where asked, and the pixels of any window read back. Shared
// by the render tool's snapshots, the GUI tests, the soak and the host fuzzer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Xlib's own header defines macros that clash with ordinary code; only its handle type here.
struct _XDisplay;

namespace harness {

class HostWindow
{
public:
    // Opens its own connection to the display, creates the window and maps it raised. A
    // server whose last client just left turns connections away for a moment, so opening is
    // retried for two seconds. On failure ok() is false and error() says why.
    HostWindow(int x, int y, int width, int height);
    ~HostWindow();  // destroys the window if it still exists and closes the connection
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    bool ok() const { return window != 0; }
    const std::string& error() const { return reason; }
    _XDisplay* display() const { return connection; }
    // The X11 window id, and the same as the parent pointer that effEditOpen takes on Linux.
    unsigned long id() const { return window; }
    void* parent() const { return reinterpret_cast<void*>(window); }
    // For a test that destroys the window itself: the destructor leaves it alone.
    void forget() { window = 0; }
    // Waits until the server has handled every request sent so far.
    void sync() const;
    // Gives the window a new size, as a host does for an editor that asks, moved towards the
    // screen's top left as far as it must to stay whole on the screen.
    void resize(int width, int height);
    int width() const { return currentWidth; }
    int height() const { return currentHeight; }

private:
    _XDisplay* connection = nullptr;
    unsigned long window = 0;
    int currentLeft = 0;
    int currentTop = 0;
    int currentWidth = 0;
    int currentHeight = 0;
    std::string reason;
};

// An area of any window (or the root) as opaque 0x00RRGGBB pixels, top row first, each
// channel scaled to eight bits whatever the visual's depth. Empty when it cannot be read.
std::vector<uint32_t> readPixels(_XDisplay* display, unsigned long window, int x, int y,
                                 int width, int height);

}  // namespace harness
