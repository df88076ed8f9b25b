// Two instances with their editors open at once in two host windows: both panels paint, and
// closing one leaves the other drawing, so nothing of one editor's window, display
// connection or images is shared with or torn down under the other.
#include <chrono>
#include <cstdlib>
#include <set>
#include <thread>

#include "tests/hardening/HardeningHost.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace hardening {
namespace {

constexpr int kPanelWidth = 529;
constexpr int kPanelHeight = 225;

class TwoEditors : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no DISPLAY";
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(hosts[i].load(LYREVANE_MODULE_PATH)) << hosts[i].error();
            ASSERT_NE(hosts[i].open(), nullptr);
            hosts[i].startUp();
            windows[i] = XCreateSimpleWindow(display, DefaultRootWindow(display), 40 + 600 * i, 40,
                                             kPanelWidth, kPanelHeight, 0, 0, 0);
            XMapWindow(display, windows[i]);
        }
        XSync(display, False);
    }

    void TearDown() override
    {
        for (TestHost& host : hosts)
            host.close();
        if (display) XCloseDisplay(display);
    }

    // Distinct colours in the window: a painted panel has many, a window with nothing drawn
    // into it has one.
    size_t colours(Window window)
    {
        XImage* image =
            XGetImage(display, window, 0, 0, kPanelWidth, kPanelHeight, AllPlanes, ZPixmap);
        if (!image) return 0;
        std::set<unsigned long> seen;
        for (int y = 0; y < kPanelHeight; y += 3) {
            for (int x = 0; x < kPanelWidth; x += 3)
                seen.insert(XGetPixel(image, x, y));
        }
        XDestroyImage(image);
        return seen.size();
    }

    // Idles every open editor, as a host's timer would, until each window shows a panel.
    bool painted(std::initializer_list<int> editors)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            for (int i : editors)
                hosts[i].dispatch(effEditIdle);
            bool all = true;
            for (int i : editors)
                all = all && colours(windows[i]) > 16;
            if (all) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    Display* display = nullptr;
    TestHost hosts[2];
    Window windows[2] = {};
};

TEST_F(TwoEditors, BothPaintAndOneOutlivesTheOther)
{
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(hosts[i].dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(windows[i])), 1);
    }
    EXPECT_TRUE(painted({0, 1}));

    // The second panel must repaint from scratch after the first is gone: hide and show its
    // window so that everything in it is exposed again.
    hosts[0].dispatch(effEditClose);
    XUnmapWindow(display, windows[1]);
    XSync(display, False);
    XMapWindow(display, windows[1]);
    XSync(display, False);
    EXPECT_TRUE(painted({1}));

    // And the first opens again beside it.
    ASSERT_EQ(hosts[0].dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(windows[0])), 1);
    EXPECT_TRUE(painted({0, 1}));
    hosts[1].dispatch(effEditClose);
    hosts[0].dispatch(effEditClose);
}

}  // namespace
}  // namespace hardening
