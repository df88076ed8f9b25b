// The editor's child window under Win32: the window class "Plugin%p" of the module, its
// window procedure, capture while a button is held, wheel, double clicks and leave tracking,
// a 32-bit back buffer that each paint is composed in by GDI+ before one copy to the
// window, so the panel never shows half drawn, and the scale of the host's window's density.
#include "platform/ChildWindow.h"

#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdio>

#include "platform/Scale.h"
#include "platform/win32/GdiplusPainter.h"
#include "platform/win32/Win32Module.h"

// Sent on Windows 8.1 and later to a top-level window moved to a screen of another density,
// and on Windows 10 1703 and later to child windows of a window that changed.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef WM_DPICHANGED_AFTERPARENT
#define WM_DPICHANGED_AFTERPARENT 0x02E3
#endif

namespace platform {

namespace {

// Windows' density of a scale of 1.
constexpr double kBaseDpi = 96.0;

// Frames of every instance share the one class; it goes with the last of them.
int liveWindows = 0;
wchar_t className[32];

HINSTANCE instanceHandle()
{
    HMODULE module = moduleHandle();
    return module != nullptr ? module : GetModuleHandleW(nullptr);
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

bool registerClass()
{
    if (liveWindows++ > 0) return true;
    std::swprintf(className, sizeof className / sizeof className[0], L"Plugin%p",
                  static_cast<void*>(instanceHandle()));
    WNDCLASSW windowClass{};
    windowClass.style = CS_GLOBALCLASS | CS_DBLCLKS;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instanceHandle();
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
    windowClass.lpszClassName = className;
    if (RegisterClassW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        --liveWindows;
        return false;
    }
    return true;
}

void unregisterClass()
{
    if (--liveWindows == 0) UnregisterClassW(className, instanceHandle());
}

// Message key flags to the toolkit's button bits; alt is not among the flags.
uint32_t pointerState(WPARAM keys)
{
    uint32_t state = 0;
    if (keys & MK_LBUTTON) state |= kPointerLeft;
    if (keys & MK_RBUTTON) state |= kPointerRight;
    if (keys & MK_MBUTTON) state |= kPointerMiddle;
    if (keys & MK_XBUTTON1) state |= kPointerButton4;
    if (keys & MK_XBUTTON2) state |= kPointerButton5;
    if (keys & MK_CONTROL) state |= kPointerControl;
    if (keys & MK_SHIFT) state |= kPointerShift;
    if (GetKeyState(VK_MENU) < 0) state |= kPointerAlt;
    return state;
}

uint32_t keyboardState()
{
    uint32_t state = 0;
    if (GetKeyState(VK_SHIFT) < 0) state |= kPointerShift;
    if (GetKeyState(VK_CONTROL) < 0) state |= kPointerControl;
    if (GetKeyState(VK_MENU) < 0) state |= kPointerAlt;
    return state;
}

// The buttons held right now, read from the system (for the leave message, which has none).
uint32_t currentState()
{
    const bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
    uint32_t state = keyboardState();
    if (GetAsyncKeyState(swapped ? VK_RBUTTON : VK_LBUTTON) < 0) state |= kPointerLeft;
    if (GetAsyncKeyState(swapped ? VK_LBUTTON : VK_RBUTTON) < 0) state |= kPointerRight;
    if (GetAsyncKeyState(VK_MBUTTON) < 0) state |= kPointerMiddle;
    return state;
}

}  // namespace

class Win32ChildWindow : public ChildWindow
{
public:
    explicit Win32ChildWindow(WindowListener& listener) : listener(&listener) {}
    ~Win32ChildWindow() override;
    // Registers the class, makes the back buffer and the window; false on any failure.
    bool open(HWND parent, int32_t windowWidth, int32_t windowHeight, double windowScale);
    void setScale(double newScale) override;
    void processEvents() override;
    void hide() override;
    void invalidate(const Rect& area) override;
    void paintPending() override;
    void paint(const Rect& area) override;
    void capturePointer() override;
    void releasePointer() override;
    uintptr_t nativeHandle() const override;

    GdiplusUse use;
    WindowListener* listener;
    HWND window = nullptr;
    bool registered = false;
    bool hidden = false;
    bool destroyed = false;
    bool trackingLeave = false;
    // The panel's size in panel pixels, the back buffer's in device pixels, and the scale
    // between them.
    int32_t panelWidth = 0;
    int32_t panelHeight = 0;
    double scale = 1.0;
    int width = 0;
    int height = 0;
    HDC bufferDevice = nullptr;
    HBITMAP buffer = nullptr;
    HGDIOBJ previousBitmap = nullptr;
    void* bufferPixels = nullptr;

    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void compose(const Rect& area);
    // A back buffer of the device size for the scale; false when it cannot be made.
    bool makeBuffer();
    void freeBuffer();
};

namespace {

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* impl = reinterpret_cast<Win32ChildWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (impl == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    // The host's message loop calls this, not processEvents. A host may close the editor from
    // a callback made while a message is handled: the end of the message then releases the
    // frame, and this window with it.
    WindowListener* listener = impl->listener;
    listener->windowEventBegins();
    const LRESULT result = impl->handle(message, wParam, lParam);
    listener->windowEventEnds();
    return result;
}

}  // namespace

LRESULT Win32ChildWindow::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Client coordinates of the mouse messages, in panel pixels.
    const int x = toPanel(GET_X_LPARAM(lParam), scale);
    const int y = toPanel(GET_Y_LPARAM(lParam), scale);
    if (hidden && message != WM_DESTROY && message != WM_PAINT) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paintInfo;
        HDC device = BeginPaint(window, &paintInfo);
        const RECT& area = paintInfo.rcPaint;
        if (!hidden && area.right > area.left && area.bottom > area.top) {
            // Every panel pixel that touches a device pixel to be shown is painted.
            compose(toPanel(Rect{area.left, area.top, area.right, area.bottom}, scale));
            BitBlt(device, area.left, area.top, area.right - area.left, area.bottom - area.top,
                   bufferDevice, area.left, area.top, SRCCOPY);
        }
        EndPaint(window, &paintInfo);
        return 0;
    }
    case WM_ERASEBKGND: return 1;  // the frame paints every pixel
    case WM_MOUSEMOVE:
        if (!trackingLeave) {
            TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, window, 0};
            trackingLeave = TrackMouseEvent(&track) != 0;
        }
        listener->windowMouseMoved(x, y, pointerState(wParam));
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
    case WM_XBUTTONDBLCLK: {
        const bool doubleClick = message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK ||
                                 message == WM_MBUTTONDBLCLK || message == WM_XBUTTONDBLCLK;
        listener->windowMouseDown(x, y,
                                  pointerState(GET_KEYSTATE_WPARAM(wParam)) |
                                      (doubleClick ? uint32_t(kPointerDoubleClick) : 0u));
        return message == WM_XBUTTONDOWN || message == WM_XBUTTONDBLCLK ? TRUE : 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_XBUTTONUP:
        listener->windowMouseUp(x, y, pointerState(GET_KEYSTATE_WPARAM(wParam)));
        return message == WM_XBUTTONUP ? TRUE : 0;
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL: {
        // The wheel's point is on the screen; notches are 120 units, whole ones only.
        POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(window, &point);
        const float distance = static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA);
        const bool horizontal = message == WM_MOUSEHWHEEL;
        if (listener->windowWheel(toPanel(point.x, scale), toPanel(point.y, scale), distance,
                                  horizontal, keyboardState())) {
            return 0;
        }
        break;  // unused: default processing hands it to the parent, the host
    }
    case WM_MOUSELEAVE: {
        trackingLeave = false;
        POINT point;
        GetCursorPos(&point);
        ScreenToClient(window, &point);
        listener->windowMouseExited(toPanel(point.x, scale), toPanel(point.y, scale),
                                    currentState());
        return 0;
    }
    case WM_DPICHANGED:
        // The new density is in the low word; the frame decides whether to take it.
        listener->windowScaleChanged(LOWORD(wParam) / kBaseDpi);
        return 0;
    case WM_DPICHANGED_AFTERPARENT:
        listener->windowScaleChanged(ChildWindow::parentScale(
            reinterpret_cast<uintptr_t>(GetParent(window))));
        return 0;
    case WM_DESTROY:
        destroyed = true;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        listener->windowDestroyed();
        break;
    default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Composed in the back buffer, which the window shows in one copy: never half drawn.
void Win32ChildWindow::compose(const Rect& area)
{
    std::unique_ptr<Painter> painter =
        paintPixels(static_cast<uint8_t*>(bufferPixels), width, height, scale);
    painter->setClip(area);
    listener->windowPaint(*painter, area);
    painter.reset();
    GdiFlush();
}

bool Win32ChildWindow::makeBuffer()
{
    width = std::max(scaledLength(panelWidth, scale), 1);
    height = std::max(scaledLength(panelHeight, scale), 1);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first, as the toolkit's pixels
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bufferDevice = CreateCompatibleDC(nullptr);
    buffer = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bufferPixels, nullptr, 0);
    if (bufferDevice == nullptr || buffer == nullptr) return false;
    previousBitmap = SelectObject(bufferDevice, buffer);
    return true;
}

void Win32ChildWindow::freeBuffer()
{
    if (previousBitmap != nullptr) SelectObject(bufferDevice, previousBitmap);
    if (buffer != nullptr) DeleteObject(buffer);
    if (bufferDevice != nullptr) DeleteDC(bufferDevice);
    previousBitmap = nullptr;
    buffer = nullptr;
    bufferDevice = nullptr;
    bufferPixels = nullptr;
}

bool Win32ChildWindow::open(HWND parent, int32_t windowWidth, int32_t windowHeight,
                            double windowScale)
{
    if (!registerClass()) return false;
    registered = true;
    panelWidth = windowWidth;
    panelHeight = windowHeight;
    scale = isUsableScale(windowScale) ? windowScale : 1.0;
    if (!makeBuffer()) return false;
    window = CreateWindowExW(WS_EX_COMPOSITED, className, L"Window",
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                             width, height, parent, nullptr, instanceHandle(), nullptr);
    if (window == nullptr) return false;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    InvalidateRect(window, nullptr, FALSE);
    return true;
}

Win32ChildWindow::~Win32ChildWindow()
{
    if (window != nullptr && !destroyed) {
        // The user data goes first, so that the destroy message finds no listener.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
    freeBuffer();
    if (registered) unregisterClass();
}

void Win32ChildWindow::setScale(double newScale)
{
    if (!isUsableScale(newScale) || newScale == scale || destroyed) return;
    const double previous = scale;
    freeBuffer();
    scale = newScale;
    if (!makeBuffer()) {
        // Without memory for the larger buffer the panel stays as it was.
        freeBuffer();
        scale = previous;
        makeBuffer();
    }
    SetWindowPos(window, nullptr, 0, 0, width, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, FALSE);
}

void Win32ChildWindow::processEvents()
{
    // The host's message loop delivers the window's messages to its procedure.
}

void Win32ChildWindow::hide()
{
    if (destroyed || hidden) return;
    hidden = true;
    if (GetCapture() == window) ReleaseCapture();
    ShowWindow(window, SW_HIDE);
}

void Win32ChildWindow::invalidate(const Rect& area)
{
    if (destroyed || hidden || area.right <= area.left || area.bottom <= area.top) return;
    const Rect device = toDevice(area, scale);
    const RECT rect = {device.left, device.top, device.right, device.bottom};
    InvalidateRect(window, &rect, FALSE);
}

void Win32ChildWindow::paintPending()
{
    // Dispatches the window's pending paint message now, if it has one.
    if (!destroyed && !hidden) UpdateWindow(window);
}

void Win32ChildWindow::paint(const Rect& area)
{
    invalidate(area);
    paintPending();
}

void Win32ChildWindow::capturePointer()
{
    if (!destroyed && !hidden) SetCapture(window);
}

void Win32ChildWindow::releasePointer()
{
    if (GetCapture() == window) ReleaseCapture();
}

uintptr_t Win32ChildWindow::nativeHandle() const
{
    return reinterpret_cast<uintptr_t>(window);
}

std::unique_ptr<ChildWindow> ChildWindow::create(uintptr_t parent, int32_t width,
                                                 int32_t height, double scale,
                                                 WindowListener& listener)
{
    HWND parentWindow = reinterpret_cast<HWND>(parent);
    if (parentWindow == nullptr || !IsWindow(parentWindow)) return nullptr;
    auto made = std::make_unique<Win32ChildWindow>(listener);
    if (!made->open(parentWindow, width, height, scale)) return nullptr;
    return made;
}

double ChildWindow::parentScale(uintptr_t parent)
{
    // The density Windows gives the host's window, which is 96 for a host that lets Windows
    // enlarge its windows itself; the process's own setting is the host's, never ours.
    // GetDpiForWindow exists from Windows 10 1607 on; before, the screen's density.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    HWND window = reinterpret_cast<HWND>(parent);
    UINT dpi = 0;
    if (window != nullptr && dpiForWindow != nullptr && IsWindow(window)) dpi = dpiForWindow(window);
    if (dpi == 0) {
        HDC screen = GetDC(nullptr);
        if (screen != nullptr) {
            dpi = static_cast<UINT>(std::max(GetDeviceCaps(screen, LOGPIXELSX), 0));
            ReleaseDC(nullptr, screen);
        }
    }
    const double scale = dpi / kBaseDpi;
    return isUsableScale(scale) ? scale : 0.0;
}

double ChildWindow::desktopScale()
{
    return 0.0;  // Windows speaks through the window's density
}

}  // namespace platform
