// The Windows backends of the panel's window and drawing interfaces under wine: GDI+ drawing
// on the toolkit's premultiplied pixels, and the child window with real window messages.
#include <gtest/gtest.h>

#include <windows.h>
#include <gdiplus.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/ChildWindow.h"
#include "platform/win32/GdiplusPainter.h"
#include "platform/Painter.h"
#include "platform/Resources.h"
#include "resource-files.h"
#include "vstgui/PngDecoder.h"

namespace {

using platform::Colour;
using platform::Rect;

struct Pixels {
    int32_t width;
    int32_t height;
    std::vector<uint8_t> bytes;

    Pixels(int32_t w, int32_t h, uint8_t fill = 0) : width(w), height(h), bytes(size_t(w) * h * 4, fill) {}
    // Blue, green, red, alpha as one little-endian word.
    uint32_t at(int32_t x, int32_t y) const
    {
        uint32_t word;
        std::memcpy(&word, &bytes[(size_t(y) * width + x) * 4], 4);
        return word;
    }
};

constexpr Colour kRed = {255, 0, 0, 255};
constexpr uint32_t kRedWord = 0xFFFF0000u;
constexpr uint32_t kOpaqueBlack = 0xFF000000u;

TEST(GdiplusPainterTest, FillsOutlinesAndLinesCoverExactlyTheirPixels)
{
    Pixels pixels(8, 6);
    auto image = platform::Image::wrap(pixels.bytes.data(), pixels.width, pixels.height);
    ASSERT_NE(image, nullptr);
    {
        auto painter = image->paint();
        painter->clear({0, 0, 0, 255});
        painter->strokeRect({1, 1, 5, 4}, kRed);
        painter->fillRect({6, 0, 8, 2}, {0, 0, 255, 255});
        painter->drawLine(0, 5, 3, 5, {0, 255, 0, 255});
    }
    image->flush();
    // The outline's four sides, and nothing inside it.
    for (int32_t x = 1; x < 5; ++x) {
        EXPECT_EQ(pixels.at(x, 1), kRedWord) << x;
        EXPECT_EQ(pixels.at(x, 3), kRedWord) << x;
    }
    EXPECT_EQ(pixels.at(1, 2), kRedWord);
    EXPECT_EQ(pixels.at(4, 2), kRedWord);
    EXPECT_EQ(pixels.at(2, 2), kOpaqueBlack);
    EXPECT_EQ(pixels.at(5, 2), kOpaqueBlack);
    EXPECT_EQ(pixels.at(6, 1), 0xFF0000FFu);
    EXPECT_EQ(pixels.at(6, 2), kOpaqueBlack);
    for (int32_t x = 0; x <= 3; ++x) EXPECT_EQ(pixels.at(x, 5), 0xFF00FF00u) << x;
    EXPECT_EQ(pixels.at(4, 5), kOpaqueBlack);
}

TEST(GdiplusPainterTest, ImagesCopyWholePixelsAndBlendByAlphaWithinTheClip)
{
    // A 2 x 2 source: opaque (255, 128, 1) premultiplied as the decoder stores it, and clear.
    Pixels source(2, 2);
    const uint8_t opaque[4] = {0, 127, 254, 255};
    std::memcpy(&source.bytes[0], opaque, 4);
    std::memcpy(&source.bytes[12], opaque, 4);
    auto sourceImage = platform::Image::wrap(source.bytes.data(), 2, 2);

    Pixels target(6, 2);
    auto targetImage = platform::Image::wrap(target.bytes.data(), 6, 2);
    {
        auto painter = targetImage->paint();
        painter->clear({40, 80, 120, 255});
        painter->drawImage(*sourceImage, {0, 0, 2, 2}, 0, 0, 255);
        painter->drawImage(*sourceImage, {2, 0, 4, 2}, 0, 0, 0);
        painter->setClip({4, 0, 5, 2});
        painter->drawImage(*sourceImage, {4, 0, 6, 2}, 0, 0, 128);
    }
    const uint32_t background = 0xFF285078u;
    EXPECT_EQ(target.at(0, 0), 0xFFFE7F00u);
    EXPECT_EQ(target.at(1, 0), background);  // clear source pixels leave it as it was
    EXPECT_EQ(target.at(1, 1), 0xFFFE7F00u);
    EXPECT_EQ(target.at(2, 0), background);  // alpha 0 draws nothing
    EXPECT_EQ(target.at(5, 0), background);  // outside the clip
    // Half of each: within a level of (value + background) / 2 per channel.
    const uint32_t blended = target.at(4, 0);
    EXPECT_NEAR(int(blended >> 16 & 0xFF), (254 + 40) / 2, 2);
    EXPECT_NEAR(int(blended >> 8 & 0xFF), (127 + 80) / 2, 2);
    EXPECT_NEAR(int(blended & 0xFF), (0 + 120) / 2, 2);
}

// The images as the module decodes them from its resources (libpng built from Debian's source,
// the Linux build's decoder) against GDI+'s own decoder reading the committed files,
// premultiplied by the toolkit's rounding rule: the same bytes.
// A painter at a scale draws an image from its drawing at that factor pixel for pixel, and
// from a larger one filtered down; the 1x pixels are not used while a drawing reaches the
// scale.
TEST(GdiplusPainterTest, ScaledPaintersDrawFromTheDrawingOfTheirScale)
{
    Pixels single(2, 2);
    Pixels twice(4, 4);
    for (size_t i = 0; i < single.bytes.size(); i += 4) single.bytes[i + 2] = single.bytes[i + 3] = 255;
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 4; ++x) {
            uint8_t* p = &twice.bytes[(size_t(y) * 4 + x) * 4];
            p[x < 2 ? 0 : 1] = 255;  // blue on the left, green on the right
            p[3] = 255;
        }
    }
    auto image = platform::Image::wrap(single.bytes.data(), 2, 2);
    image->addScaled(2, twice.bytes.data());

    Pixels exact(8, 8);
    Pixels filtered(6, 6);
    platform::paintPixels(exact.bytes.data(), 8, 8, 2.0)->drawImage(*image, {1, 1, 3, 3}, 0, 0, 255);
    platform::paintPixels(filtered.bytes.data(), 6, 6, 1.5)->drawImage(*image, {0, 0, 2, 2}, 0, 0, 255);
    EXPECT_EQ(exact.at(2, 2), 0xFF0000FFu);
    EXPECT_EQ(exact.at(3, 5), 0xFF0000FFu);
    EXPECT_EQ(exact.at(4, 2), 0xFF00FF00u);
    EXPECT_EQ(exact.at(5, 5), 0xFF00FF00u);
    EXPECT_EQ(exact.at(1, 1), 0u);  // outside the area
    EXPECT_EQ(exact.at(6, 6), 0u);
    EXPECT_EQ(filtered.at(0, 0), 0xFF0000FFu);
    EXPECT_EQ(filtered.at(2, 2), 0xFF00FF00u);
    EXPECT_EQ(filtered.at(3, 3), 0u);
}

TEST(PngDecodingTest, ResourcesDecodeToTheSamePixelsAsGdiplusDecodesTheFiles)
{
    platform::GdiplusUse gdiplus;
    int images = 0;
    for (const ResourceFile& row : kResourceFiles) {
        if (std::string(row.type) != "PNG") continue;
        ++images;
        SCOPED_TRACE(row.id);
        const platform::ResourceHandle found = platform::findResource(row.id, "PNG");
        ASSERT_NE(found, nullptr);
        const auto* bytes =
            static_cast<const uint8_t*>(platform::lockResource(platform::loadResource(found)));
        int32_t width = 0;
        int32_t height = 0;
        std::vector<uint8_t> decoded;
        VSTGUI::decodePng(bytes, platform::sizeofResource(found), width, height, decoded);
        ASSERT_EQ(decoded.size(), size_t(width) * height * 4);

        const std::string path = row.path;
        Gdiplus::Bitmap file(std::wstring(path.begin(), path.end()).c_str());
        ASSERT_EQ(file.GetWidth(), UINT(width));
        ASSERT_EQ(file.GetHeight(), UINT(height));
        Gdiplus::BitmapData data{};
        const Gdiplus::Rect whole(0, 0, width, height);
        ASSERT_EQ(file.LockBits(&whole, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data),
                  Gdiplus::Ok);
        std::vector<uint8_t> expected(decoded.size());
        for (int32_t y = 0; y < height; ++y) {
            const auto* row8 = static_cast<const uint8_t*>(data.Scan0) + y * data.Stride;
            for (int32_t x = 0; x < width * 4; x += 4) {
                const uint8_t alpha = row8[x + 3];
                uint8_t* out = &expected[size_t(y) * width * 4 + x];
                for (int c = 0; c < 3; ++c) out[c] = uint8_t((row8[x + c] * alpha + 127) / 255);
                out[3] = alpha;
            }
        }
        file.UnlockBits(&data);
        EXPECT_EQ(decoded, expected);
    }
    EXPECT_EQ(images, 27);  // nine images, each drawn at 1x, 2x and 3x
}

struct Recorder : platform::WindowListener {
    std::vector<std::string> events;
    int paints = 0;
    bool takeWheel = false;
    // Every message is reported inside a bracket of its own.
    int eventDepth = 0;
    void windowEventBegins() override { ++eventDepth; }
    void windowEventEnds() override { --eventDepth; }
    double scaleAsked = 0.0;

    void windowPaint(platform::Painter& painter, const Rect& area) override
    {
        ++paints;
        painter.fillRect(area, kRed);
    }
    void windowMouseDown(int32_t x, int32_t y, uint32_t state) override { add("down", x, y, state); }
    void windowMouseUp(int32_t x, int32_t y, uint32_t state) override { add("up", x, y, state); }
    void windowMouseMoved(int32_t x, int32_t y, uint32_t state) override { add("move", x, y, state); }
    void windowMouseExited(int32_t, int32_t, uint32_t) override {}
    bool windowWheel(int32_t x, int32_t y, float distance, bool horizontal, uint32_t state) override
    {
        add(horizontal ? "hwheel" : "wheel", x, y, state);
        events.back() += " " + std::to_string(int(distance));
        return takeWheel;
    }
    void windowDestroyed() override { events.push_back("destroyed"); }
    void windowScaleChanged(double scale) override { scaleAsked = scale; }

    void add(const char* what, int32_t x, int32_t y, uint32_t state)
    {
        EXPECT_EQ(eventDepth, 1) << what;
        events.push_back(std::string(what) + " " + std::to_string(x) + "," + std::to_string(y) +
                         " " + std::to_string(state));
    }
};

// The host's window: counts the wheel messages its child passes on.
int parentWheels = 0;
LRESULT CALLBACK parentProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_MOUSEWHEEL) ++parentWheels;
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND makeParent()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = parentProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"LyrevaneTestParent";
    RegisterClassW(&windowClass);
    HWND parent = CreateWindowW(L"LyrevaneTestParent", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                0, 0, 300, 200, nullptr, nullptr, GetModuleHandleW(nullptr),
                                nullptr);
    return parent;
}

LPARAM at(int x, int y)
{
    return MAKELPARAM(x, y);
}

TEST(Win32ChildWindowTest, ReportsRealMouseMessagesAndPaintsInOneCopy)
{
    HWND parent = makeParent();
    ASSERT_NE(parent, nullptr);
    Recorder recorder;
    auto window = platform::ChildWindow::create(reinterpret_cast<uintptr_t>(parent), 100, 50,
                                                1.0, recorder);
    ASSERT_NE(window, nullptr);
    HWND child = reinterpret_cast<HWND>(window->nativeHandle());
    EXPECT_EQ(GetParent(child), parent);
    wchar_t className[64] = {};
    GetClassNameW(child, className, 64);
    EXPECT_EQ(std::wstring(className).rfind(L"Plugin", 0), 0u);
    EXPECT_EQ(GetClassLongW(child, GCL_STYLE) & (CS_GLOBALCLASS | CS_DBLCLKS),
              UINT(CS_GLOBALCLASS | CS_DBLCLKS));

    // A click, a drag with the capture held, a double click. Only the system's double-click
    // message makes one: a second press at once on the same spot is a press like any other.
    SendMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, at(10, 20));
    window->capturePointer();
    EXPECT_EQ(GetCapture(), child);
    SendMessageW(child, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, at(30, 22));
    SendMessageW(child, WM_LBUTTONUP, 0, at(30, 22));
    window->releasePointer();
    EXPECT_EQ(GetCapture(), nullptr);
    SendMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, at(30, 22));
    SendMessageW(child, WM_LBUTTONDBLCLK, MK_LBUTTON, at(5, 6));
    const std::vector<std::string> expected = {"down 10,20 2", "move 30,22 18", "up 30,22 0",
                                               "down 30,22 2", "down 5,6 1026"};
    std::vector<std::string> mouse;
    for (const std::string& event : recorder.events) {
        if (event.rfind("move", 0) != 0 || event.find(" 30,22 ") != std::string::npos) {
            mouse.push_back(event);
        }
    }
    EXPECT_EQ(mouse, expected);
    EXPECT_EQ(recorder.eventDepth, 0);

    // An unused wheel notch goes on to the host's window; a used one does not.
    RECT screen;
    GetWindowRect(child, &screen);
    const LPARAM wheelPoint = at(screen.left + 4, screen.top + 4);
    parentWheels = 0;
    SendMessageW(child, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), wheelPoint);
    EXPECT_EQ(parentWheels, 1);
    EXPECT_EQ(recorder.events.back(), "wheel 4,4 0 1");
    recorder.takeWheel = true;
    SendMessageW(child, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-2 * WHEEL_DELTA)), wheelPoint);
    EXPECT_EQ(parentWheels, 1);
    EXPECT_EQ(recorder.events.back(), "wheel 4,4 0 -2");

    // Painting goes through the listener and lands on the window.
    recorder.paints = 0;
    window->paint({0, 0, 100, 50});
    EXPECT_GE(recorder.paints, 1);
    HDC device = GetDC(child);
    EXPECT_EQ(GetPixel(device, 50, 25), RGB(255, 0, 0));
    ReleaseDC(child, device);

    window.reset();
    EXPECT_FALSE(IsWindow(child));
    DestroyWindow(parent);
}

TEST(Win32ChildWindowTest, AScaledWindowReportsPanelPixelsAndTakesANewScaleWhenTold)
{
    HWND parent = makeParent();
    ASSERT_NE(parent, nullptr);
    Recorder recorder;
    auto window = platform::ChildWindow::create(reinterpret_cast<uintptr_t>(parent), 100, 50,
                                                2.0, recorder);
    ASSERT_NE(window, nullptr);
    HWND child = reinterpret_cast<HWND>(window->nativeHandle());
    RECT client{};
    GetClientRect(child, &client);
    EXPECT_EQ(client.right, 200);
    EXPECT_EQ(client.bottom, 100);

    // Device pixel (41, 21) lies in panel pixel (20, 10).
    SendMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, at(41, 21));
    SendMessageW(child, WM_LBUTTONUP, 0, at(41, 21));
    EXPECT_EQ(recorder.events[recorder.events.size() - 2], "down 20,10 2");

    // The system's new density is the listener's to take; the window keeps its own until told.
    SendMessageW(child, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144), 0);
    EXPECT_EQ(recorder.scaleAsked, 1.5);
    GetClientRect(child, &client);
    EXPECT_EQ(client.right, 200);
    window->setScale(1.5);
    GetClientRect(child, &client);
    EXPECT_EQ(client.right, 150);
    EXPECT_EQ(client.bottom, 75);
    recorder.paints = 0;
    window->paint({0, 0, 100, 50});
    EXPECT_GE(recorder.paints, 1);
    HDC device = GetDC(child);
    EXPECT_EQ(GetPixel(device, 149, 74), RGB(255, 0, 0));
    ReleaseDC(child, device);

    window.reset();
    DestroyWindow(parent);
}

}  // namespace
