// The Windows render tool's renders of the example songs, made through this word size's DLL
// under wine, against the Linux render tool's renders through Lyrevane.so: the same samples.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/windows/PanelPicture.h"

namespace {

std::vector<float> readWave(const std::string& path, int& channels)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        ADD_FAILURE() << "cannot read " << path << ": " << sf_strerror(nullptr);
        return {};
    }
    std::vector<float> samples(size_t(info.frames) * info.channels);
    EXPECT_EQ(sf_readf_float(file, samples.data(), info.frames), info.frames);
    sf_close(file);
    channels = info.channels;
    return samples;
}

class RenderComparisonTest : public ::testing::TestWithParam<const char*>
{
};

TEST_P(RenderComparisonTest, WindowsRenderMatchesTheLinuxRender)
{
    const std::string song = GetParam();
    int linuxChannels = 0;
    int windowsChannels = 0;
    const std::vector<float> linuxRender =
        readWave(LYREVANE_RENDERS_DIR "/" + song + "-linux.wav", linuxChannels);
    const std::vector<float> windowsRender =
        readWave(LYREVANE_RENDERS_DIR "/" + song + "-windows.wav", windowsChannels);
    ASSERT_FALSE(linuxRender.empty());
    ASSERT_EQ(windowsChannels, linuxChannels);
    ASSERT_EQ(windowsRender.size(), linuxRender.size());
    double largest = 0.0;
    size_t differing = 0;
    for (size_t i = 0; i < linuxRender.size(); ++i) {
        const double difference = std::fabs(double(windowsRender[i]) - double(linuxRender[i]));
        largest = std::max(largest, difference);
        differing += difference != 0.0;
    }
    std::printf("%s: %zu samples, %zu differ, largest difference %.3g\n", song.c_str(),
                linuxRender.size(), differing, largest);
    EXPECT_LT(largest, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Examples, RenderComparisonTest,
                         ::testing::Values("song", "dense-strum"
#if LYREVANE_CLAP_RENDERS
                                           ,
                                           "song-clap"
#endif
                                           ),
                         [](const auto& info) {
                             std::string name = info.param;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

// The panel as the Windows render tool photographs it through this DLL (GDI+ on a Win32
// window under wine) against the Linux render tool's picture (Cairo on an X11 window).
TEST(PanelComparisonTest, WindowsPanelMatchesTheLinuxPanel)
{
    const wintest::RgbaPicture linuxPanel =
        wintest::readPng(LYREVANE_RENDERS_DIR "/panel-linux.png");
    const wintest::RgbaPicture windowsPanel =
        wintest::readPng(LYREVANE_RENDERS_DIR "/panel-windows.png");
    ASSERT_FALSE(linuxPanel.bytes.empty());
    ASSERT_EQ(windowsPanel.width, linuxPanel.width);
    ASSERT_EQ(windowsPanel.height, linuxPanel.height);
    const wintest::PictureMatch match = wintest::compare(windowsPanel, linuxPanel);
    std::printf("panel: %.2f%% of pixels within 8 levels, %.2f%% identical, largest %d\n",
                100.0 * match.withinEight, 100.0 * match.identical, match.largest);
    EXPECT_GE(match.withinEight, 0.95);
}

}  // namespace
