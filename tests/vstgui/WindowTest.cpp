// A frame in a real X window under a parent of our own: it paints its views, and pointer
// events sent through the XTest extension drag a slider and toggle a button.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "ToolkitFixtures.h"
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
