// The editor's window, whatever the windowing system: a child of the host's window that
// reports pointer and wheel events and asks for its area to be painted. The toolkit's frame
// reaches the window system only through this; the X11 implementation lives in platform/,
// and another backend is new files beside it.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/Painter.h"

namespace platform {

// Pointer buttons and modifiers: these are the bits of the toolkit's button state.
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

// What the window reports, on the thread that handles its events. Coordinates are panel
// pixels: the window divides its own by its scale. Keys are not the window's: they reach the
// host, which forwards those it wants to the editor.
class WindowListener
{
public:
    // Paint area through painter, now; the painter is clipped to area.
    virtual void windowPaint(Painter& painter, const Rect& area) = 0;
    virtual void windowMouseDown(int32_t x, int32_t y, uint32_t state) = 0;
    virtual void windowMouseUp(int32_t x, int32_t y, uint32_t state) = 0;
    virtual void windowMouseMoved(int32_t x, int32_t y, uint32_t state) = 0;
    virtual void windowMouseExited(int32_t x, int32_t y, uint32_t state) = 0;
    // One notch is 1; up and right are positive. False when nothing used it: the window
    // then passes the notch on to its parent, as unhandled input goes to the host.
    virtual bool windowWheel(int32_t x, int32_t y, float distance, bool horizontal,
                             uint32_t state) = 0;
    // The window is gone (its parent was destroyed); nothing may be drawn any more.
    virtual void windowDestroyed() = 0;
    // A window whose events the system delivers by itself (from the host's message loop,
    // not from processEvents) brackets each of them, so that what the listener is asked
    // meanwhile can wait until the event has unwound. The end may destroy the window: the
    // backend touches nothing of it afterwards.
    virtual void windowEventBegins() = 0;
    virtual void windowEventEnds() = 0;
    // The system asks for another scale (the window moved to a screen of another density);
    // the window keeps its own until setScale.
    virtual void windowScaleChanged(double /*scale*/) {}

protected:
    ~WindowListener() = default;
};

class ChildWindow
{
public:
    // parent is the host's native window handle (an X11 window id, a Win32 window) as a
    // pointer-sized value; width and height are panel pixels, each shown as scale device
    // pixels (scaledLength of platform/Scale.h). Null when the window cannot be made there.
    static std::unique_ptr<ChildWindow> create(uintptr_t parent, int32_t width, int32_t height,
                                               double scale, WindowListener& listener);
    // The scale the window system asks of a panel in parent, or of any panel for a null
    // parent: under Win32 the window's density (96 dots per inch is 1), which already takes
    // a host that scales its windows itself into account. 0 where the system says nothing.
    static double parentScale(uintptr_t parent);
    // The scale the desktop asks of applications: on X11 the server's Xft.dpi / 96, else
    // GDK_SCALE. 0 where none is set or usable.
    static double desktopScale();
    virtual ~ChildWindow() = default;

    // Shows the panel at another scale: the window takes its new size and is repainted whole.
    virtual void setScale(double scale) = 0;
    // Handles every event already received, without waiting for more.
    virtual void processEvents() = 0;
    // Hides the window and stops handling its events and painting it, for good.
    virtual void hide() = 0;
    // Asks for a repaint of area; it happens at the next paintPending.
    virtual void invalidate(const Rect& area) = 0;
    // Paints the area gathered from invalidations and exposures, if any.
    virtual void paintPending() = 0;
    // Paints area now, shown in one piece so it never appears half-drawn.
    virtual void paint(const Rect& area) = 0;
    // Keeps the pointer's events coming to this window while a button is held, until
    // releasePointer; called after a press that a view took and after every release.
    virtual void capturePointer() = 0;
    virtual void releasePointer() = 0;
    // The window's own native handle.
    virtual uintptr_t nativeHandle() const = 0;
};

}  // namespace platform
