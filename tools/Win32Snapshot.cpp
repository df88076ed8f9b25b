// Editor snapshots on Windows: a top-level window stands in for a host's plug-in window. The
// module's editor is opened inside it, idled for a moment with the messages pumped so that it
// can paint, and the window's pixels are copied with BitBlt and written with libpng.
#include "tools/Snapshot.h"

#include <png.h>
#include <windows.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr auto kIdleTime = std::chrono::milliseconds(300);
constexpr auto kIdleInterval = std::chrono::milliseconds(15);
constexpr wchar_t kClassName[] = L"LyrevaneSnapshotWindow";

void pumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

HWND createSnapshotWindow(int width, int height)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RegisterClassW(&windowClass);  // fails harmlessly when already registered
    RECT frame = {0, 0, width, height};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    return CreateWindowW(kClassName, L"lyrevane-render snapshot", WS_OVERLAPPEDWINDOW, 0, 0,
                         frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

void idleEditor(harness::PluginHost& host, std::chrono::milliseconds duration)
{
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        host.dispatch(effEditIdle);
        pumpMessages();
        std::this_thread::sleep_for(kIdleInterval);
    }
}

bool captureWindowPng(HWND window, int width, int height, const std::string& path,
                      std::string& error)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC windowDevice = GetDC(window);
    HDC memoryDevice = CreateCompatibleDC(windowDevice);
    HBITMAP section = CreateDIBSection(windowDevice, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    if (section != nullptr && memoryDevice != nullptr) {
        HGDIOBJ previous = SelectObject(memoryDevice, section);
        copied = BitBlt(memoryDevice, 0, 0, width, height, windowDevice, 0, 0, SRCCOPY) != 0;
        GdiFlush();
        SelectObject(memoryDevice, previous);
    }
    bool written = false;
    if (!copied) {
        error = "cannot copy the editor window's pixels";
    } else {
        // The section's bytes are blue, green, red and an unused fourth byte.
        std::vector<uint8_t> rgba(static_cast<const uint8_t*>(bits),
                                  static_cast<const uint8_t*>(bits) + size_t(width) * height * 4);
        for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 0xFF;
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = static_cast<png_uint_32>(width);
        image.height = static_cast<png_uint_32>(height);
        image.format = PNG_FORMAT_BGRA;
        written = png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
        if (!written) error = "cannot write " + path + ": " + image.message;
        png_image_free(&image);
    }
    if (section != nullptr) DeleteObject(section);
    if (memoryDevice != nullptr) DeleteDC(memoryDevice);
    ReleaseDC(window, windowDevice);
    return written;
}

}  // namespace

bool writeEditorSnapshot(harness::PluginHost& host, const std::string& pngPath, std::string& error)
{
    ERect* rect = nullptr;
    host.dispatch(effEditGetRect, 0, 0, &rect);
    if (rect == nullptr || rect->right <= rect->left || rect->bottom <= rect->top) {
        error = "the module has no editor (effEditGetRect gave no size)";
        return false;
    }
    const int width = rect->right - rect->left;
    const int height = rect->bottom - rect->top;
    HWND window = createSnapshotWindow(width, height);
    if (window == nullptr) {
        error = "cannot create the snapshot window";
        return false;
    }
    bool written = false;
    if (host.dispatch(effEditOpen, 0, 0, window) == 0) {
        error = "the module's editor did not open (effEditOpen answered 0)";
    } else {
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
        idleEditor(host, kIdleTime);
        written = captureWindowPng(window, width, height, pngPath, error);
        host.dispatch(effEditClose);
    }
    DestroyWindow(window);
    pumpMessages();
    return written;
}
