// A frame in a real X window under a parent of our own: it paints its views, and pointer
// events sent through the XTest extension drag a slider and toggle a button.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "ToolkitFixtures.h"
#include "platform/Scale.h"
#include "vstgui/CFrame.h"
#include "vstgui/COnOffButton.h"
#include "tools/HostWindow.h"
#include "vstgui/CSlider.h"

using namespace VSTGUI;
using namespace toolkit_test;

namespace {

// Stands in for the host: a top-level window at the screen's corner, holding the editor.
struct HostWindowFixture : ::testing::Test
{
    void SetUp() override
    {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        host = std::make_unique<harness::HostWindow>(0, 0, 200, 100);
        ASSERT_TRUE(host->ok()) << host->error();
        display = host->display();
        int unused = 0;
        if (!XTestQueryExtension(display, &unused, &unused, &unused, &unused)) {
            GTEST_SKIP() << "no XTest";
        }
        editor.setFrame(frame = new CFrame(CRect(0, 0, 200, 100), host->parent(), &editor));
        frame->setBackgroundColour(CColour{0, 0, 128, 255});
        ASSERT_NE(frame->getWindowId(), 0u);
    }
    void TearDown() override
    {
        if (frame) frame->release();
        host.reset();
    }

    // Lets the server deliver and the frame handle everything for a while.
    void pump(int milliseconds = 150)
    {
        XSync(display, False);
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            frame->idle();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    // The pixel once painting has settled: a repaint can lag its event on a loaded machine.
    Rgba windowPixel(int x, int y)
    {
        Rgba previous = grabPixel(x, y);
        for (int attempt = 0; attempt < 60; ++attempt) {
            pump(40);
            const Rgba current = grabPixel(x, y);
            if (current == previous) return current;
            previous = current;
        }
        return previous;
    }

    Rgba grabPixel(int x, int y)
    {
        const std::vector<uint32_t> pixel =
            harness::readPixels(display, frame->getWindowId(), x, y, 1, 1);
        if (pixel.empty()) return {};
        return {uint8_t(pixel[0] >> 16), uint8_t(pixel[0] >> 8), uint8_t(pixel[0]), 255};
    }

    void pointerTo(int x, int y)
    {
        XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
        XSync(display, False);
        pump(40);
    }
    void button(bool down)
    {
        XTestFakeButtonEvent(display, 1, down ? True : False, CurrentTime);
        XSync(display, False);
        pump(40);
    }

    std::unique_ptr<harness::HostWindow> host;
    Display* display = nullptr;
    RecordingEditor editor;
    RecordingListener listener{editor.log};
    CFrame* frame = nullptr;
};

}  // namespace

TEST_F(HostWindowFixture, WindowPaintsItsViewsAndFollowsThePointer)
{
    ImageResources resources;
    resources.add(1, makePng(20, 10, [](int, int) { return Rgba{255, 0, 0, 255}; }));
    resources.add(2, makePng(24, 32, [](int, int y) {
        return y < 16 ? Rgba{0, 0, 0, 0} : Rgba{0, 255, 0, 255};
    }));
    resources.install();
    auto* handle = new CBitmap(1);
    auto* buttonImage = new CBitmap(2);
    auto* slider =
        new CHorizontalSlider(CRect(0, 0, 200, 10), &listener, 1, 0, 180, handle, nullptr);
    auto* toggle = new COnOffButton(CRect(100, 50, 124, 66), &listener, 73, buttonImage);
    handle->release();
    buttonImage->release();
    frame->addView(slider);
    frame->addView(toggle);

    pump();
    EXPECT_EQ(windowPixel(150, 80), (Rgba{0, 0, 128, 255}));
    EXPECT_EQ(windowPixel(5, 5), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(windowPixel(110, 58), (Rgba{0, 0, 128, 255}));

    // Press on the slider and drag it half way: dragOrigin is 0 + 10 - 1 = 9.
    pointerTo(9, 5);
    button(true);
    pointerTo(9 + 90, 5);
    button(false);
    EXPECT_FLOAT_EQ(slider->getValue(), 0.5f);
    pump();
    EXPECT_EQ(windowPixel(95, 5), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(windowPixel(5, 5), (Rgba{0, 0, 128, 255}));

    pointerTo(110, 58);
    button(true);
    button(false);
    EXPECT_EQ(toggle->getValue(), 1.0f);
    pump();
    EXPECT_EQ(windowPixel(110, 58), (Rgba{0, 255, 0, 255}));
    EXPECT_NE(editor.log.find("begin73;change73;end73;"), std::string::npos);
}

TEST_F(HostWindowFixture, ScaledWindowDrawsTheLargerDrawingAndTakesThePointerInFramePixels)
{
    // The 1x image is red; its 2x drawing is blue on the left and green on the right, so
    // the window shows which one it drew. A 3x drawing of the wrong size is not used.
    ImageResources resources;
    resources.add(3, makePng(10, 10, [](int, int) { return Rgba{255, 0, 0, 255}; }));
    resources.add(2003, makePng(20, 20, [](int x, int) {
        return x < 10 ? Rgba{0, 0, 255, 255} : Rgba{0, 255, 0, 255};
    }));
    resources.add(3003, makePng(29, 30, [](int, int) { return Rgba{255, 255, 255, 255}; }));
    resources.add(4, makePng(10, 10, [](int, int) { return Rgba{255, 0, 0, 255}; }));
    resources.install();
    frame->release();
    host->resize(400, 200);
    editor.setFrame(frame = new CFrame(CRect(0, 0, 200, 100), host->parent(), &editor, 2.0));
    frame->setBackgroundColour(CColour{0, 0, 128, 255});
    auto* picture = new CBitmap(3);
    frame->setBackground(picture);
    picture->release();
    auto* handle = new CBitmap(4);
    auto* slider =
        new CHorizontalSlider(CRect(0, 50, 200, 60), &listener, 1, 0, 190, handle, nullptr);
    handle->release();
    frame->addView(slider);

    pump();
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, frame->getWindowId(), &attributes);
    EXPECT_EQ(attributes.width, 400);
    EXPECT_EQ(attributes.height, 200);
    EXPECT_EQ(windowPixel(3, 3), (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(windowPixel(19, 19), (Rgba{0, 255, 0, 255}));
    // Without a usable 2x drawing the 1x one is enlarged: red, not white.
    EXPECT_EQ(windowPixel(10, 110), (Rgba{255, 0, 0, 255}));

    // A drag of 95 frame pixels is 190 of the window's: half the travel.
    pointerTo(9, 109);
    button(true);
    pointerTo(9 + 190, 109);
    button(false);
    EXPECT_FLOAT_EQ(slider->getValue(), 0.5f);

    // At 3, the 3x drawing of the wrong size is passed over for the 2x one, enlarged.
    frame->setScale(3.0);
    pump();
    XGetWindowAttributes(display, frame->getWindowId(), &attributes);
    EXPECT_EQ(attributes.width, 600);
    EXPECT_EQ(attributes.height, 300);
    EXPECT_EQ(windowPixel(4, 4), (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(windowPixel(25, 25), (Rgba{0, 255, 0, 255}));
    // Unusable scales change nothing.
    frame->setScale(0.5);
    frame->setScale(std::nan(""));
    EXPECT_EQ(frame->getScale(), 3.0);
}

TEST(ScaleChoice, ImagesAreDrawnFromTheSmallestDrawingAtOrAboveTheScale)
{
    using platform::imageFactorFor;
    using platform::kAllImageFactors;
    EXPECT_EQ(imageFactorFor(1.0, kAllImageFactors), 1);
    EXPECT_EQ(imageFactorFor(1.25, kAllImageFactors), 2);
    EXPECT_EQ(imageFactorFor(2.0, kAllImageFactors), 2);
    EXPECT_EQ(imageFactorFor(2.5, kAllImageFactors), 3);
    EXPECT_EQ(imageFactorFor(4.0, kAllImageFactors), 3);  // none reaches it: the largest
    EXPECT_EQ(imageFactorFor(1.5, 1u << 3), 3);
    EXPECT_EQ(imageFactorFor(2.5, 1u << 2), 2);
    EXPECT_EQ(imageFactorFor(2.0, 0), 1);
    // The window's pixels and the frame's meet without gaps or overlaps.
    EXPECT_EQ(platform::scaledLength(529, 1.5), 793);
    EXPECT_EQ(platform::scaledLength(225, 1.1), 247);
    EXPECT_EQ(platform::toPanel(312, 1.5), 208);
    EXPECT_EQ(platform::toPanel(-1, 2.0), -1);
    const platform::Rect device = platform::toDevice({25, 0, 48, 16}, 1.5);
    EXPECT_EQ(device.left, 37);
    EXPECT_EQ(device.right, 72);
    const platform::Rect back = platform::toPanel(device, 1.5);
    EXPECT_EQ(back.left, 24);
    EXPECT_EQ(back.right, 48);
}

TEST_F(HostWindowFixture, DestroyedParentStopsTheFrameQuietly)
{
    pump();
    XDestroyWindow(display, host->id());
    host->forget();
    pump();
    EXPECT_FALSE(frame->isOpen());
    frame->invalidate();
    frame->idle();
}
