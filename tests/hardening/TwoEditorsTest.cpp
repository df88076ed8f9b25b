// Two instances with their editors open at once in two host windows: both panels paint, and
// closing one leaves the other drawing, so nothing of one editor's window, display
// connection or images is shared with or torn down under the other.
#include <chrono>
#include <cstdlib>
#include <memory>
#include <set>
#include <thread>

#include "tests/hardening/HardeningHost.h"
#include "tools/HostWindow.h"

#include <X11/Xlib.h>

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
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(hosts[i].load(LYREVANE_MODULE_PATH)) << hosts[i].error();
            ASSERT_NE(hosts[i].open(), nullptr);
            hosts[i].startUp();
            windows[i] = std::make_unique<harness::HostWindow>(40 + 600 * i, 40, kPanelWidth,
                                                               kPanelHeight);
            ASSERT_TRUE(windows[i]->ok()) << windows[i]->error();
        }
    }

    void TearDown() override
    {
        for (PluginHost& host : hosts)
            host.close();
    }

    // Distinct colours in the window: a painted panel has many, a window with nothing drawn
    // into it has one.
    size_t colours(const harness::HostWindow& window)
    {
        const std::vector<uint32_t> pixels =
            harness::readPixels(window.display(), window.id(), 0, 0, kPanelWidth, kPanelHeight);
        if (pixels.empty()) return 0;
        std::set<uint32_t> seen;
        for (int y = 0; y < kPanelHeight; y += 3) {
            for (int x = 0; x < kPanelWidth; x += 3)
                seen.insert(pixels[static_cast<size_t>(y) * kPanelWidth + x]);
        }
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
                all = all && colours(*windows[i]) > 16;
            if (all) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    PluginHost hosts[2];
    std::unique_ptr<harness::HostWindow> windows[2];
};

TEST_F(TwoEditors, BothPaintAndOneOutlivesTheOther)
{
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(hosts[i].dispatch(effEditOpen, 0, 0, windows[i]->parent()), 1);
    }
    EXPECT_TRUE(painted({0, 1}));

    // The second panel must repaint from scratch after the first is gone: hide and show its
    // window so that everything in it is exposed again.
    hosts[0].dispatch(effEditClose);
    Display* display = windows[1]->display();
    XUnmapWindow(display, windows[1]->id());
    XSync(display, False);
    XMapWindow(display, windows[1]->id());
    XSync(display, False);
    EXPECT_TRUE(painted({1}));

    // And the first opens again beside it.
    ASSERT_EQ(hosts[0].dispatch(effEditOpen, 0, 0, windows[0]->parent()), 1);
    EXPECT_TRUE(painted({0, 1}));
    hosts[1].dispatch(effEditClose);
    hosts[0].dispatch(effEditClose);
}

}  // namespace
}  // namespace hardening
