// The editor's X11 child window: its own display connection, event translation, double
// clicks by timing and distance, gathered repaints, a Cairo surface over the window, and the
// desktop's scale from the server's resources.
#include "platform/ChildWindow.h"
#include "platform/Scale.h"
#include "platform/linux/CairoPainter.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <cairo-xlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform {

namespace {

// A second press of the same button is a double click when it comes within this many
// milliseconds of the first and within this many pixels of it each way, as the desktops'
// and Windows' own double clicks do: a quick press elsewhere on the panel is a click of its
// own (a control-click there is a reset).
constexpr uint32_t kDoubleClickTimeMs = 400;
constexpr int kDoubleClickDistance = 4;

// X errors are reported through one process-wide handler, and the default one ends the
// process. A parent that vanishes under us must not take the host down, so while any of our
// windows lives, errors on our own connections are recorded and everything else goes on to
// the handler that was there before.
struct OwnDisplay
{
    Display* display;
    bool failed;
};
std::vector<OwnDisplay> ownDisplays;
XErrorHandler previousHandler = nullptr;

int onXError(Display* display, XErrorEvent* error)
{
    for (OwnDisplay& own : ownDisplays) {
        if (own.display == display) {
            own.failed = true;
            return 0;
        }
    }
    return previousHandler ? previousHandler(display, error) : 0;
}

void watchDisplay(Display* display)
{
    if (ownDisplays.empty()) previousHandler = XSetErrorHandler(onXError);
    ownDisplays.push_back({display, false});
}

void unwatchDisplay(Display* display)
{
    ownDisplays.erase(std::remove_if(ownDisplays.begin(), ownDisplays.end(),
                                     [&](const OwnDisplay& own) { return own.display == display; }),
                      ownDisplays.end());
    if (!ownDisplays.empty()) return;
    // Leave a handler installed after ours in place: it may be the host's.
    XErrorHandler current = XSetErrorHandler(previousHandler);
    if (current != onXError) XSetErrorHandler(current);
    previousHandler = nullptr;
}

bool displayFailed(Display* display)
{
    for (const OwnDisplay& own : ownDisplays) {
        if (own.display == display) return own.failed;
    }
    return false;
}

uint32_t pointerState(unsigned int xState)
{
    uint32_t state = 0;
    if (xState & Button1Mask) state |= kPointerLeft;
    if (xState & Button2Mask) state |= kPointerMiddle;
    if (xState & Button3Mask) state |= kPointerRight;
    if (xState & ShiftMask) state |= kPointerShift;
    if (xState & ControlMask) state |= kPointerControl;
    if (xState & Mod1Mask) state |= kPointerAlt;
    return state;
}

// Buttons 4 to 7 are wheel notches and have no bit.
uint32_t buttonBit(unsigned int button)
{
    switch (button) {
    case Button1: return kPointerLeft;
    case Button2: return kPointerMiddle;
    case Button3: return kPointerRight;
    case 8: return kPointerButton4;
    case 9: return kPointerButton5;
    default: return 0;
    }
}

bool isWheel(unsigned int button)
{
    return button >= 4 && button <= 7;
}

}  // namespace

class X11Window : public ChildWindow
{
public:
    struct Impl;
    explicit X11Window(std::unique_ptr<Impl> impl);
    ~X11Window() override;

    void setScale(double scale) override;
    void processEvents() override;
    void hide() override;
    void invalidate(const Rect& area) override;
    void paintPending() override;
    void paint(const Rect& area) override;
    // X11 grabs the pointer for the window by itself from a press until the release.
    void capturePointer() override {}
    void releasePointer() override {}
    uintptr_t nativeHandle() const override;

private:
    std::unique_ptr<Impl> impl;
};

struct X11Window::Impl
{
    Display* display = nullptr;
    Window window = 0;
    Window parent = 0;
    cairo_surface_t* surface = nullptr;
    // On the usual 24-bit true-colour visual the panel is painted into an image of our own
    // and copied to the window with XPutImage: Cairo 1.16 keeps a little memory for every
    // connection whose X surface it uploads images to, so with one connection per open
    // editor its X surfaces would leak on every open. Other visuals use a Cairo X surface.
    Visual* visual = nullptr;
    int depth = 0;
    GC copyContext = nullptr;
    WindowListener* listener = nullptr;
    // Device pixels per panel pixel, and the panel's size in panel pixels.
    double scale = 1.0;
    int32_t panelWidth = 0;
    int32_t panelHeight = 0;
    bool destroyed = false;
    bool hidden = false;
    // Area waiting to be painted, in panel pixels; empty when right <= left.
    int pendingLeft = 0, pendingTop = 0, pendingRight = 0, pendingBottom = 0;
    // The last press, for double clicks.
    unsigned int lastButton = 0;
    Time lastPressTime = 0;
    int lastPressX = 0, lastPressY = 0;
    // Wheel buttons whose press went on to the parent, so that their release follows it.
    unsigned int passedWheelButtons = 0;

    // Shows a painted area of the image on the window.
    void copyToWindow(int left, int top, int right, int bottom)
    {
        const int width = cairo_image_surface_get_width(surface);
        const int height = cairo_image_surface_get_height(surface);
        left = std::max(left, 0), top = std::max(top, 0);
        right = std::min(right, width), bottom = std::min(bottom, height);
        if (right <= left || bottom <= top) return;
        XImage* image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                                     reinterpret_cast<char*>(cairo_image_surface_get_data(surface)),
                                     static_cast<unsigned>(width), static_cast<unsigned>(height),
                                     32, cairo_image_surface_get_stride(surface));
        if (!image) return;
        // Cairo's pixels are native 32-bit words; Xlib converts for a server of the other order.
        const uint16_t probe = 1;
        image->byte_order = *reinterpret_cast<const uint8_t*>(&probe) == 1 ? LSBFirst : MSBFirst;
        XPutImage(display, window, copyContext, image, left, top, left, top,
                  static_cast<unsigned>(right - left), static_cast<unsigned>(bottom - top));
        image->data = nullptr;  // the pixels belong to the Cairo surface
        XDestroyImage(image);
    }

    void addPending(int left, int top, int right, int bottom)
    {
        if (right <= left || bottom <= top) return;
        if (pendingRight <= pendingLeft) {
            pendingLeft = left, pendingTop = top, pendingRight = right, pendingBottom = bottom;
            return;
        }
        pendingLeft = std::min(pendingLeft, left);
        pendingTop = std::min(pendingTop, top);
        pendingRight = std::max(pendingRight, right);
        pendingBottom = std::max(pendingBottom, bottom);
    }

    // Hands a button event on as the server would have, had this window not selected it:
    // to the parent or the nearest ancestor that asks for it, in that window's coordinates.
    void passToParent(const XButtonEvent& event)
    {
        XEvent passed{};
        passed.xbutton = event;
        passed.xbutton.window = parent;
        passed.xbutton.subwindow = window;
        Window child = 0;
        XTranslateCoordinates(display, window, parent, event.x, event.y, &passed.xbutton.x,
                              &passed.xbutton.y, &child);
        const long mask = event.type == ButtonPress ? ButtonPressMask : ButtonReleaseMask;
        XSendEvent(display, parent, True, mask, &passed);
        XFlush(display);
    }

    int32_t panelX(int x) const { return toPanel(x, scale); }
    int32_t panelY(int y) const { return toPanel(y, scale); }

    void onButtonPress(const XButtonEvent& event)
    {
        const uint32_t state = pointerState(event.state);
        if (isWheel(event.button)) {
            const bool horizontal = event.button >= 6;
            const float distance = (event.button == 4 || event.button == 7) ? 1.0f : -1.0f;
            const unsigned int bit = 1u << event.button;
            if (listener->windowWheel(panelX(event.x), panelY(event.y), distance, horizontal,
                                      state)) {
                passedWheelButtons &= ~bit;
            } else if (!hidden && !destroyed) {
                passedWheelButtons |= bit;
                passToParent(event);
            }
            return;
        }
        const uint32_t bit = buttonBit(event.button);
        if (!bit) return;
        uint32_t extra = 0;
        // The distance is in panel pixels: the same reach of the hand at any scale.
        const double reach = kDoubleClickDistance * scale;
        if (event.button == lastButton && event.time - lastPressTime <= kDoubleClickTimeMs &&
            std::abs(event.x - lastPressX) <= reach && std::abs(event.y - lastPressY) <= reach) {
            extra = kPointerDoubleClick;
            lastButton = 0;  // a third press starts over
        } else {
            lastButton = event.button;
            lastPressTime = event.time;
            lastPressX = event.x;
            lastPressY = event.y;
        }
        listener->windowMouseDown(panelX(event.x), panelY(event.y), state | bit | extra);
    }

    void dispatch(XEvent& event)
    {
        switch (event.type) {
        case Expose: {
            const Rect exposed = toPanel({event.xexpose.x, event.xexpose.y,
                                          event.xexpose.x + event.xexpose.width,
                                          event.xexpose.y + event.xexpose.height},
                                         scale);
            addPending(exposed.left, exposed.top, exposed.right, exposed.bottom);
            break;
        }
        case ButtonPress: onButtonPress(event.xbutton); break;
        case ButtonRelease:
            if (isWheel(event.xbutton.button)) {
                const unsigned int bit = 1u << event.xbutton.button;
                if (passedWheelButtons & bit) passToParent(event.xbutton);
                passedWheelButtons &= ~bit;
            } else if (const uint32_t bit = buttonBit(event.xbutton.button)) {
                listener->windowMouseUp(panelX(event.xbutton.x), panelY(event.xbutton.y),
                                        pointerState(event.xbutton.state) & ~bit);
            }
            break;
        case MotionNotify:
            listener->windowMouseMoved(panelX(event.xmotion.x), panelY(event.xmotion.y),
                                       pointerState(event.xmotion.state));
            break;
        // Crossings caused by grabs are not the pointer coming or going.
        case EnterNotify:
            if (event.xcrossing.mode == NotifyNormal) {
                listener->windowMouseMoved(panelX(event.xcrossing.x), panelY(event.xcrossing.y),
                                           pointerState(event.xcrossing.state));
            }
            break;
        case LeaveNotify:
            if (event.xcrossing.mode == NotifyNormal) {
                listener->windowMouseExited(panelX(event.xcrossing.x),
                                            panelY(event.xcrossing.y),
                                            pointerState(event.xcrossing.state));
            }
            break;
        case DestroyNotify:
            if (event.xdestroywindow.window == window) {
                destroyed = true;
                cairo_surface_finish(surface);
                listener->windowDestroyed();
            }
            break;
        default: break;
        }
    }

    // The image the panel is painted into, or the X surface of other visuals, of the
    // window's device size.
    void makeSurface(int width, int height)
    {
        if (copyContext) {
            surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        } else {
            surface = cairo_xlib_surface_create(display, window, visual, width, height);
        }
    }
};

// X11 has no scale per window; the desktop's is the server's resource or the environment.
double ChildWindow::parentScale(uintptr_t)
{
    return 0.0;
}

double ChildWindow::desktopScale()
{
    double scale = 0.0;
    if (Display* display = XOpenDisplay(nullptr)) {
        // The resources as the server held them when this connection opened.
        if (const char* resources = XResourceManagerString(display)) {
            XrmInitialize();
            XrmDatabase database = XrmGetStringDatabase(resources);
            char* type = nullptr;
            XrmValue value{};
            if (database && XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) &&
                value.addr) {
                scale = std::strtod(value.addr, nullptr) / 96.0;
            }
            if (database) XrmDestroyDatabase(database);
        }
        XCloseDisplay(display);
    }
    if (isUsableScale(scale)) return scale;
    // A whole number of device pixels per pixel, as GTK reads it.
    const char* gdkScale = std::getenv("GDK_SCALE");
    if (!gdkScale || std::strspn(gdkScale, "0123456789") != std::strlen(gdkScale)) return 0.0;
    scale = std::strtod(gdkScale, nullptr);
    return isUsableScale(scale) ? scale : 0.0;
}

std::unique_ptr<ChildWindow> ChildWindow::create(uintptr_t parent, int32_t width,
                                                 int32_t height, double scale,
                                                 WindowListener& listener)
{
    if (!isUsableScale(scale)) scale = 1.0;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    watchDisplay(display);

    XSetWindowAttributes attributes{};
    // No background: the frame paints every pixel, and a server-side clear would flicker.
    attributes.background_pixmap = None;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask |
                            PointerMotionMask | EnterWindowMask | LeaveWindowMask |
                            StructureNotifyMask;
    const Window window = XCreateWindow(
        display, static_cast<Window>(parent), 0, 0,
        static_cast<unsigned>(std::max(scaledLength(width, scale), 1)),
        static_cast<unsigned>(std::max(scaledLength(height, scale), 1)), 0, CopyFromParent,
        InputOutput, CopyFromParent, CWBackPixmap | CWEventMask, &attributes);
    XSync(display, False);
    XWindowAttributes created{};
    if (displayFailed(display) || !XGetWindowAttributes(display, window, &created)) {
        XCloseDisplay(display);
        unwatchDisplay(display);
        return nullptr;
    }
    XMapWindow(display, window);
    XFlush(display);

    auto impl = std::make_unique<X11Window::Impl>();
    impl->display = display;
    impl->window = window;
    impl->parent = static_cast<Window>(parent);
    impl->listener = &listener;
    impl->scale = scale;
    impl->panelWidth = width;
    impl->panelHeight = height;
    impl->visual = created.visual;
    const Visual* visual = created.visual;
    const bool imageMatchesVisual = visual->c_class == TrueColor && created.depth >= 24 &&
                                    visual->red_mask == 0xFF0000 &&
                                    visual->green_mask == 0x00FF00 &&
                                    visual->blue_mask == 0x0000FF;
    if (imageMatchesVisual) {
        impl->depth = created.depth;
        impl->copyContext = XCreateGC(display, window, 0, nullptr);
    }
    impl->makeSurface(created.width, created.height);
    return std::make_unique<X11Window>(std::move(impl));
}

X11Window::X11Window(std::unique_ptr<Impl> impl) : impl(std::move(impl)) {}

void X11Window::setScale(double scale)
{
    if (!isUsableScale(scale) || scale == impl->scale || impl->destroyed) return;
    impl->scale = scale;
    const int width = std::max(scaledLength(impl->panelWidth, scale), 1);
    const int height = std::max(scaledLength(impl->panelHeight, scale), 1);
    XResizeWindow(impl->display, impl->window, static_cast<unsigned>(width),
                  static_cast<unsigned>(height));
    cairo_surface_destroy(impl->surface);
    impl->makeSurface(width, height);
    impl->addPending(0, 0, impl->panelWidth, impl->panelHeight);
    XFlush(impl->display);
}

X11Window::~X11Window()
{
    cairo_surface_destroy(impl->surface);
    if (impl->copyContext) XFreeGC(impl->display, impl->copyContext);
    if (!impl->destroyed) XDestroyWindow(impl->display, impl->window);
    XCloseDisplay(impl->display);
    unwatchDisplay(impl->display);
}

void X11Window::processEvents()
{
    while (!impl->destroyed && !impl->hidden && XPending(impl->display) > 0) {
        XEvent event;
        XNextEvent(impl->display, &event);
        impl->dispatch(event);
    }
}

void X11Window::hide()
{
    if (impl->hidden || impl->destroyed) return;
    impl->hidden = true;
    XUnmapWindow(impl->display, impl->window);
    XFlush(impl->display);
}

void X11Window::invalidate(const Rect& area)
{
    if (!impl->destroyed) impl->addPending(area.left, area.top, area.right, area.bottom);
}

void X11Window::paintPending()
{
    if (impl->pendingRight <= impl->pendingLeft) return;
    const Rect area{impl->pendingLeft, impl->pendingTop, impl->pendingRight,
                    impl->pendingBottom};
    impl->pendingRight = impl->pendingLeft;
    paint(area);
}

void X11Window::paint(const Rect& asked)
{
    if (impl->destroyed || impl->hidden) return;
    // Every device pixel the area touches is shown, so the panel paints every panel pixel
    // that touches one of those.
    const Rect device = toDevice(asked, impl->scale);
    const Rect area = toPanel(device, impl->scale);
    {
        CairoPainter painter(cairo_create(impl->surface), impl->scale);
        cairo_t* cr = painter.context();
        cairo_rectangle(cr, area.left, area.top, area.right - area.left,
                        area.bottom - area.top);
        cairo_clip(cr);
        if (impl->copyContext) {
            impl->listener->windowPaint(painter, area);
        } else {
            // Composed off-screen and shown in one copy, so the window never shows a
            // half-drawn panel; the image of the other visuals is copied in one piece anyway.
            cairo_push_group(cr);
            impl->listener->windowPaint(painter, area);
            cairo_pop_group_to_source(cr);
            cairo_paint(cr);
        }
    }
    cairo_surface_flush(impl->surface);
    if (impl->copyContext) impl->copyToWindow(device.left, device.top, device.right, device.bottom);
    XFlush(impl->display);
}

uintptr_t X11Window::nativeHandle() const
{
    return impl->window;
}

}  // namespace platform
