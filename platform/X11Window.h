// The editor's child window under X11: created inside the host's parent window, its events
// read without blocking on the user-interface thread and passed to a listener, and a Cairo
// surface to paint it through. It takes no keys: they reach the host whatever the pointer is
// over, and the host forwards to the editor those it wants to.
#pragma once

#include <cstdint>
#include <memory>

typedef struct _cairo_surface cairo_surface_t;

namespace platform {

// Pointer buttons and modifiers, with the bit values the widget toolkit uses.
enum PointerState : uint32_t {
    kPointerLeft = 0x02,
    kPointerMiddle = 0x04,
    kPointerRight = 0x08,
    kPointerShift = 0x10,
    kPointerControl = 0x20,
    kPointerAlt = 0x40,
    kPointerButton4 = 0x100,
    kPointerButton5 = 0x200,
    kPointerDoubleClick = 0x400,
};

// A second press of the same button within this many milliseconds is a double click.
constexpr uint32_t kDoubleClickTimeMs = 400;

class WindowListener
{
public:
    // Repaint left..right, top..bottom (exclusive) now.
    virtual void windowPaint(int left, int top, int right, int bottom) = 0;
    virtual void windowMouseDown(int x, int y, uint32_t state) = 0;
    virtual void windowMouseUp(int x, int y, uint32_t state) = 0;
    virtual void windowMouseMoved(int x, int y, uint32_t state) = 0;
    virtual void windowMouseExited(int x, int y, uint32_t state) = 0;
    // One notch is 1; up and right are positive. False when nothing used it: the window
    // then passes the notch on to its parent, as unhandled input goes to the host.
    virtual bool windowWheel(int x, int y, float distance, bool horizontal, uint32_t state) = 0;
    // The window is gone (its parent was destroyed); nothing may be drawn any more.
    virtual void windowDestroyed() = 0;

protected:
    ~WindowListener() = default;
};

class X11Window
{
public:
    // parent is the host's X11 window id. Null when there is no display or no such parent.
    static std::unique_ptr<X11Window> create(uintptr_t parent, int width, int height,
                                             WindowListener& listener);
    ~X11Window();

    // Handles every event already received, without waiting for more.
    void processEvents();
    // Unmaps the window and stops handling its events and painting it, for good.
    void hide();
    // Asks for a repaint of the area; it happens at the next paintPending.
    void invalidate(int left, int top, int right, int bottom);
    // Paints the area gathered from invalidations and exposures, if any.
    void paintPending();
    // The surface over the window; valid until the window is destroyed.
    cairo_surface_t* surface() const;
    // True when that surface is an image copied to the window after painting, so a paint
    // never shows half-drawn and needs no composing of its own.
    bool paintsOffscreen() const;
    uintptr_t windowId() const;

private:
    struct Impl;
    explicit X11Window(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl;
};

}  // namespace platform
