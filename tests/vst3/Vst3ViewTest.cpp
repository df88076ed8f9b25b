// Our view hosting (tools/Vst3ViewHost) and the panel's part of our declarations, proven on a
// real plug-in's panel: Debian's ZamCompX2 embeds its view in our window, registers with our
// run loop and draws from our timer calls alone, with no idle call, as in Ardour.
#include "tools/HostWindow.h"
#include "tools/Vst3Host.h"
#include "tools/Vst3ViewHost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

const std::filesystem::path kSystemVst3 = LYREVANE_SYSTEM_VST3_DIR;

TEST(Vst3View, AZamPanelOpensInOurWindowAndDrawsOnOurRunLoopAlone)
{
    harness::Vst3Host host;
    std::string error;
    ASSERT_TRUE(host.load((kSystemVst3 / "ZamCompX2.vst3").string(), 48000.0, 256, error)) << error;
    harness::Vst3ViewHost view;
    ASSERT_TRUE(view.open(*host.controller(), error)) << error;
    vst3::ViewRect size{};
    ASSERT_EQ(view.view()->getSize(&size), vst3::kResultOk);
    const int width = size.right - size.left;
    const int height = size.bottom - size.top;
    EXPECT_GT(width, 100);
    EXPECT_GT(height, 50);
    EXPECT_GE(view.registeredTimers() + view.registeredHandlers(), 1u);

    view.run(1500);
    EXPECT_GT(view.timerCalls + view.descriptorCalls, 5);
    const std::vector<uint32_t> pixels =
        harness::readPixels(view.window()->display(), view.window()->id(), 0, 0,
                            view.window()->width(), view.window()->height());
    const std::set<uint32_t> colours(pixels.begin(), pixels.end());
    EXPECT_GT(colours.size(), 16u) << "the panel drew nothing into our window";

    // Removed, the view leaves nothing registered with the host.
    view.close();
    EXPECT_EQ(view.registeredTimers(), 0u);
    EXPECT_EQ(view.registeredHandlers(), 0u);
}

}  // namespace
