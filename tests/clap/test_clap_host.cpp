// Our CLAP host against real CLAP binaries from Debian (zam-plugins): if it reads their
// parameters, delivers parameter events and the transport, and passes audio as they expect,
// our declarations of the interface match the binaries the format's hosts and plug-ins use.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

#include "tools/ClapHost.h"

namespace {

constexpr double kRate = 48000.0;
constexpr uint32_t kBlock = 512;
const std::string kEqualiser = "/usr/lib/clap/ZamEQ2.clap";
const std::string kDelay = "/usr/lib/clap/ZamDelay.clap";

void load(harness::ClapHost& host, const std::string& path)
{
    std::string error;
    ASSERT_TRUE(host.load(path, "", kRate, kBlock, error)) << error;
}

const harness::ClapParameter& parameterNamed(const harness::ClapHost& host, const std::string& name)
{
    const harness::ClapParameter* parameter = host.findParameter(name);
    if (parameter == nullptr) throw std::runtime_error("no parameter " + name);
    return *parameter;
}

// The output's level over the input's, both RMS, after the filters settle.
double gainOfSine(harness::ClapHost& host)
{
    std::vector<float> in(kBlock), left(kBlock), right(kBlock);
    const float* inputs[2] = {in.data(), in.data()};
    double outEnergy = 0.0;
    double inEnergy = 0.0;
    for (int block = 0; block < 40; ++block) {
        for (uint32_t i = 0; i < kBlock; ++i) {
            in[i] = 0.25f * static_cast<float>(
                                std::sin(2.0 * M_PI * 1000.0 * (block * kBlock + i) / kRate));
        }
        EXPECT_TRUE(host.run(nullptr, {}, kBlock, inputs, left.data(), right.data()));
        for (uint32_t i = 0; block >= 20 && i < kBlock; ++i) {
            outEnergy += left[i] * left[i];
            inEnergy += in[i] * in[i];
        }
    }
    return std::sqrt(outEnergy / inEnergy);
}

}  // namespace

TEST(ClapHost, ReadsARealPluginsParametersAsItStatesThem)
{
    harness::ClapHost host;
    load(host, kEqualiser);
    ASSERT_EQ(host.parameters().size(), 12u);
    const harness::ClapParameter& gain = parameterNamed(host, "master gain");
    EXPECT_EQ(gain.name, "Master Gain");
    EXPECT_EQ(gain.module, "master");
    EXPECT_EQ(gain.minimum, -12.0);
    EXPECT_EQ(gain.maximum, 12.0);
    EXPECT_EQ(gain.defaultValue, 0.0);
    EXPECT_TRUE(gain.flags & clapabi::kParamIsAutomatable);
    EXPECT_TRUE(parameterNamed(host, "Peaks ON").flags & clapabi::kParamIsStepped);
    double value = -1.0;
    ASSERT_TRUE(host.parameterValue(gain.id, value));
    EXPECT_EQ(value, 0.0);
    std::string text;
    ASSERT_TRUE(host.valueToText(gain.id, 3.5, text));
    EXPECT_EQ(std::stod(text), 3.5);
    EXPECT_EQ(host.findParameter("no such control"), nullptr);
}

TEST(ClapHost, ParameterEventsAndAudioReachTheProcess)
{
    harness::ClapHost host;
    load(host, kEqualiser);
    EXPECT_EQ(host.audioInputChannels(), 1u);
    EXPECT_NEAR(gainOfSine(host), 1.0, 1e-3);
    const clapabi::Id gain = parameterNamed(host, "Master Gain").id;
    host.setParameter(gain, 6.0);
    EXPECT_NEAR(gainOfSine(host), std::pow(10.0, 6.0 / 20.0), 1e-3);
    double value = 0.0;
    ASSERT_TRUE(host.parameterValue(gain, value));
    EXPECT_EQ(value, 6.0);
}

// The delay synchronised to the host's tempo states the time it chose as a read-only output.
TEST(ClapHost, TheTransportsTempoReachesThePlugin)
{
    harness::ClapHost host;
    load(host, kDelay);
    host.setParameter(parameterNamed(host, "Sync BPM").id, 1.0);
    const harness::ClapParameter& chosen = parameterNamed(host, "Delaytime");
    EXPECT_TRUE(chosen.flags & clapabi::kParamIsReadOnly);
    std::vector<float> silence(kBlock), left(kBlock), right(kBlock);
    const float* inputs[1] = {silence.data()};
    for (const auto& [tempo, milliseconds] : {std::pair{120.0, 500.0}, std::pair{100.0, 600.0}}) {
        const harness::ClapSongPosition position{0.0, tempo, true};
        ASSERT_TRUE(host.run(&position, {}, kBlock, inputs, left.data(), right.data()));
        double value = 0.0;
        ASSERT_TRUE(host.parameterValue(chosen.id, value));
        EXPECT_NEAR(value, milliseconds, 1e-9) << tempo;
    }
}

TEST(ClapHost, SaysWhyItCannotLoad)
{
    harness::ClapHost missing;
    std::string error;
    EXPECT_FALSE(missing.load("/nonexistent/X.clap", "", kRate, kBlock, error));
    EXPECT_NE(error.find("cannot load /nonexistent/X.clap"), std::string::npos) << error;

    // A shared library that is no CLAP binary (it exports no entry).
    harness::ClapHost notClap;
    EXPECT_FALSE(notClap.load(LYREVANE_NOT_CLAP, "", kRate, kBlock, error));
    EXPECT_NE(error.find("is not a CLAP plug-in"), std::string::npos) << error;

    harness::ClapHost wrongId;
    EXPECT_FALSE(wrongId.load(kDelay, "org.example.none", kRate, kBlock, error));
    EXPECT_NE(error.find("holds no plug-in org.example.none"), std::string::npos) << error;
}
