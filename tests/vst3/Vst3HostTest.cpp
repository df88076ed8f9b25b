// Our VST3 host and our declarations of the format against real plug-ins built by others
// (Debian's zam-plugins): if an interface id, a method's place in its table or a structure's
// layout were wrong, these plug-ins would not load, would answer nonsense or would crash.
#include "tools/Vst3Host.h"
#include "tests/vst3/FormatRules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using harness::Vst3Host;

namespace {

const fs::path kSystemVst3 = LYREVANE_SYSTEM_VST3_DIR;
constexpr double kRate = 48000.0;
constexpr int32_t kBlock = 256;

std::vector<fs::path> zamBundles()
{
    std::vector<fs::path> bundles;
    std::error_code ignored;
    for (const fs::directory_entry& entry : fs::directory_iterator(kSystemVst3, ignored)) {
        if (entry.path().extension() == ".vst3" &&
            entry.path().filename().string().rfind("Za", 0) == 0) {
            bundles.push_back(entry.path());
        }
    }
    return bundles;
}

std::string textOf(vst3::EditController& controller, vst3::ParamId id, double value)
{
    vst3::String128 text{};
    if (controller.getParamStringByValue(id, value, text) != vst3::kResultOk) return "<none>";
    return harness::utf8Of(text);
}

TEST(Vst3Host, LoadsEveryZamBundleAndItsAnswersKeepTheFormatsRules)
{
    const std::vector<fs::path> bundles = zamBundles();
    ASSERT_GE(bundles.size(), 10u) << "zam-plugins (scripts/install-deps.sh) puts its VST3 "
                                      "effects in "
                                   << kSystemVst3;
    for (const fs::path& bundle : bundles) {
        SCOPED_TRACE(bundle.filename().string());
        Vst3Host host;
        std::string error;
        ASSERT_TRUE(host.load(bundle.string(), kRate, kBlock, error)) << error;
        EXPECT_EQ(std::string(host.classInfo().name), bundle.stem().string());
        EXPECT_EQ(std::string(host.factoryInfo().vendor), "Damien Zammit");
        std::vector<std::string> faults;
        vst3test::checkFormatRules(host, faults);
        // The plug-in framework of Debian 12's zam-plugins describes an audio bus past the
        // last one (it prints "invalid bus" and answers success); every other rule holds.
        faults.erase(
            std::remove(faults.begin(), faults.end(), "a bus beyond the last was described"),
            faults.end());
        for (const std::string& each : faults)
            ADD_FAILURE() << each;
        // A block of silence plays without fault and gives finite samples.
        std::vector<float> left(kBlock, 1.0f);
        std::vector<float> right(kBlock, 1.0f);
        EXPECT_EQ(host.process(nullptr, left.data(), right.data(), kBlock), vst3::kResultOk);
        for (int32_t i = 0; i < kBlock; ++i) {
            ASSERT_TRUE(std::isfinite(left[i]) && std::isfinite(right[i]));
        }
    }
}

class ZamCompressor : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(host.load((kSystemVst3 / "ZamCompX2.vst3").string(), kRate, kBlock, error))
            << error;
        makeup = host.parameterId("Makeup");
        ASSERT_GE(makeup, 0);
        for (int32_t i = 0; i < kBlock; ++i) {
            // Quiet enough that the compressor at its defaults leaves it alone.
            input[size_t(i)] = 0.125f * float(std::sin(i * 0.05));
        }
    }

    double normalizedOf(Vst3Host& on, const std::string& text)
    {
        vst3::String128 typed{};
        harness::copyUtf16(text, typed);
        double value = -1.0;
        EXPECT_EQ(on.controller()->getParamValueByString(vst3::ParamId(makeup), typed, value),
                  vst3::kResultOk);
        return value;
    }

    // The gain of one block, from the sample where the input is loudest.
    double gainOfBlock(Vst3Host& on)
    {
        const float* inputs[2] = {input.data(), input.data()};
        EXPECT_EQ(on.process(inputs, left.data(), right.data(), kBlock), vst3::kResultOk);
        const size_t peak = 31;  // sin(31 * 0.05) is within a hair of 1
        EXPECT_FLOAT_EQ(left[peak], right[peak]);
        return left[peak] / input[peak];
    }

    Vst3Host host;
    int64_t makeup = -1;
    std::vector<float> input = std::vector<float>(kBlock);
    std::vector<float> left = std::vector<float>(kBlock);
    std::vector<float> right = std::vector<float>(kBlock);
};

TEST_F(ZamCompressor, TakesAParameterChangeInTheBlockAndItsValueFromText)
{
    EXPECT_NEAR(gainOfBlock(host), 1.0, 1e-4);
    const double sixDecibels = normalizedOf(host, "6");
    EXPECT_GT(sixDecibels, 0.0);
    EXPECT_LT(sixDecibels, 1.0);
    host.setParameter(vst3::ParamId(makeup), sixDecibels);
    EXPECT_NEAR(gainOfBlock(host), std::pow(10.0, 6.0 / 20.0), 1e-3);
    EXPECT_EQ(textOf(*host.controller(), vst3::ParamId(makeup), sixDecibels).substr(0, 1), "6");
}

TEST_F(ZamCompressor, ItsStateCarriesTheSettingToAnotherInstance)
{
    host.setParameter(vst3::ParamId(makeup), normalizedOf(host, "12"));
    gainOfBlock(host);
    std::vector<uint8_t> state;
    ASSERT_TRUE(host.componentState(state));
    EXPECT_FALSE(state.empty());

    Vst3Host other;
    std::string error;
    ASSERT_TRUE(other.load((kSystemVst3 / "ZamCompX2.vst3").string(), kRate, kBlock, error));
    EXPECT_NEAR(gainOfBlock(other), 1.0, 1e-4);
    ASSERT_TRUE(other.setComponentState(state));
    EXPECT_NEAR(gainOfBlock(other), std::pow(10.0, 12.0 / 20.0), 1e-3);
    EXPECT_NEAR(other.controller()->getParamNormalized(vst3::ParamId(makeup)),
                normalizedOf(other, "12"), 1e-6);
}

TEST(Vst3MemoryStream, MovesAtMostItsLimitPerCallAndSeeksWithinItsBytes)
{
    harness::Vst3MemoryStream stream;
    stream.mostPerCall = 3;
    char text[] = "abcdefgh";
    int32_t moved = 0;
    EXPECT_EQ(stream.write(text, 8, &moved), vst3::kResultOk);
    EXPECT_EQ(moved, 3);
    EXPECT_EQ(stream.write(text + 3, 5, &moved), vst3::kResultOk);
    int64_t where = 0;
    EXPECT_EQ(stream.seek(0, vst3::Stream::kSeekSet, &where), vst3::kResultOk);
    char back[8] = {};
    EXPECT_EQ(stream.read(back, 8, &moved), vst3::kResultOk);
    EXPECT_EQ(std::string(back, size_t(moved)), "abc");
    EXPECT_EQ(stream.seek(-1, vst3::Stream::kSeekEnd, &where), vst3::kResultOk);
    EXPECT_EQ(where, 5);
    EXPECT_EQ(stream.read(back, 8, &moved), vst3::kResultOk);
    EXPECT_EQ(std::string(back, size_t(moved)), "f");
    EXPECT_EQ(stream.read(back, 8, &moved), vst3::kResultOk);
    EXPECT_EQ(moved, 0);
    EXPECT_NE(stream.seek(-7, vst3::Stream::kSeekCurrent, &where), vst3::kResultOk);
}

TEST(Vst3Host, SaysWhyABundleDoesNotLoad)
{
    Vst3Host host;
    std::string error;
    EXPECT_FALSE(host.load("/nonexistent/Nothing.vst3", kRate, kBlock, error));
    EXPECT_NE(error.find("Nothing.so"), std::string::npos) << error;
}

}  // namespace
