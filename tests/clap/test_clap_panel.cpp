// The CLAP edition's panel in a host's window on the test display: the same pixels as the VST
// panel, driven only by the host's timer, and a click on the fretboard reaching the
// instrument and, as parameter events, the host.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "instrument/Controls.h"
#include "tests/support/PanelSession.h"
#include "tools/ClapHost.h"
#include "tools/HostWindow.h"

namespace {

const std::string kPlugin = LYREVANE_CLAP_BINARY;

// As a host's main loop: the timers fire every 20 ms for a while.
void runTimers(harness::ClapHost& host, int milliseconds = 300)
{
    for (int elapsed = 0; elapsed < milliseconds; elapsed += 20) {
        host.fireTimers();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void playBlock(harness::ClapHost& host)
{
    float left[256], right[256];
    host.run(nullptr, {}, 256, nullptr, left, right);
}

}  // namespace

TEST(ClapPanel, OpensInTheHostsWindowAndAClickOnTheFretboardEditsTheChord)
{
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display";
    harness::ClapHost host;
    std::string error;
    ASSERT_TRUE(host.load(kPlugin, "", 48000.0, 256, error)) << error;
    const auto* gui = host.extension<clapabi::PluginGui>(clapabi::kGuiExtension);
    ASSERT_NE(gui, nullptr);
    const clapabi::Plugin* plugin = host.plugin();
    EXPECT_TRUE(gui->isApiSupported(plugin, clapabi::kWindowApiX11, false));
    EXPECT_FALSE(gui->isApiSupported(plugin, clapabi::kWindowApiX11, true));
    EXPECT_FALSE(gui->create(plugin, clapabi::kWindowApiX11, true));
    ASSERT_TRUE(gui->create(plugin, clapabi::kWindowApiX11, false));

    // The scale the host asks for, before the panel opens; resizing is refused.
    uint32_t width = 0, height = 0;
    ASSERT_TRUE(gui->setScale(plugin, 2.0));
    ASSERT_TRUE(gui->size(plugin, &width, &height));
    EXPECT_EQ(width, 2u * paneltest::kPanelWidth);
    EXPECT_EQ(height, 2u * paneltest::kPanelHeight);
    EXPECT_FALSE(gui->setScale(plugin, 0.0));
    ASSERT_TRUE(gui->setScale(plugin, 1.0));
    ASSERT_TRUE(gui->size(plugin, &width, &height));
    ASSERT_EQ(width, uint32_t(paneltest::kPanelWidth));
    EXPECT_FALSE(gui->canResize(plugin));
    EXPECT_FALSE(gui->setSize(plugin, width + 10, height));
    EXPECT_TRUE(gui->setSize(plugin, width, height));

    harness::HostWindow window(0, 0, int(width), int(height));
    ASSERT_TRUE(window.ok()) << window.error();
    clapabi::Window parent{clapabi::kWindowApiX11, {}};
    parent.x11 = window.id();
    ASSERT_TRUE(gui->setParent(plugin, &parent));
    EXPECT_EQ(host.timerCount(), 1u);
    runTimers(host);
    window.sync();
    paneltest::Picture screen;
    screen.width = int(width);
    screen.height = int(height);
    screen.pixels =
        harness::readPixels(window.display(), window.id(), 0, 0, screen.width, screen.height);
    bool rewritten = false;
    paneltest::expectMatchesReference(
        screen, paneltest::referencePicture("default-panel.png", screen, rewritten));

    // A press on string 3 of the chord shown (chord 1, C) at fret 4.
    Display* display = window.display();
    const int string = 2;
    XTestFakeMotionEvent(display, -1, paneltest::stringPressX(5), paneltest::stringTop(string) + 8,
                         CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    runTimers(host);
    playBlock(host);
    double fret = 0.0;
    ASSERT_TRUE(host.parameterValue(controls::kFirstString + string, fret));
    EXPECT_EQ(fret, 4.0);
    ASSERT_FALSE(host.reportedValues.empty()) << "the host hears of the edit";
    EXPECT_EQ(host.reportedValues.back().first, controls::kFirstString + string);
    EXPECT_EQ(host.reportedValues.back().second, 4.0);
    ASSERT_EQ(host.reportedGestures.size(), 2u);
    EXPECT_TRUE(host.reportedGestures.front().second);
    EXPECT_FALSE(host.reportedGestures.back().second);

    gui->destroy(plugin);
    EXPECT_EQ(host.timerCount(), 0u);
}
