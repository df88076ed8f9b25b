// Our VST3 host and our declarations of the format against real plug-ins built by others
// (Debian's zam-plugins): if an interface id, a method's place in its table or a structure's
// layout were wrong, these plug-ins would not load, would answer nonsense or would crash.
#include "tools/Vst3Host.h"

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

// The answers every VST3 plug-in owes a host, checked one by one; each broken rule is added
// to faults with what was answered.
void checkFormatRules(Vst3Host& host, std::vector<std::string>& faults)
{
    auto fault = [&faults](const std::string& what) { faults.push_back(what); };
    const vst3::ClassInfo2& info = host.classInfo();
    if (std::strcmp(info.category, vst3::kAudioModuleClass) != 0) fault("class category");
    if (info.name[0] == '\0') fault("class without a name");
    if (host.hasClassInfo2() && info.subCategories[0] == '\0') fault("no subcategories");
    if (host.factoryInfo().vendor[0] == '\0') fault("factory without a vendor");

    for (int32_t type : {vst3::kAudio, vst3::kEvent}) {
        for (int32_t direction : {vst3::kInput, vst3::kOutput}) {
            const std::vector<vst3::BusInfo> buses = host.buses(type, direction);
            for (const vst3::BusInfo& bus : buses) {
                const std::string name = harness::utf8Of(bus.name);
                if (bus.mediaType != type || bus.direction != direction) {
                    fault("bus " + name + " describes another kind or direction");
                }
                if (bus.channelCount < 1) fault("bus " + name + " without channels");
                if (name.empty()) fault("a bus without a name");
            }
            vst3::BusInfo beyond{};
            if (host.component()->getBusInfo(type, direction, int32_t(buses.size()), beyond) ==
                vst3::kResultOk) {
                fault("a bus beyond the last was described");
            }
        }
    }

    vst3::EditController& controller = *host.controller();
    std::set<vst3::ParamId> ids;
    for (const vst3::ParameterInfo& parameter : host.parameters()) {
        const std::string title = harness::utf8Of(parameter.title);
        if (!ids.insert(parameter.id).second) fault(title + ": id given twice");
        if (title.empty()) fault("parameter " + std::to_string(parameter.id) + " untitled");
        if (!(parameter.defaultNormalizedValue >= 0.0 && parameter.defaultNormalizedValue <= 1.0)) {
            fault(title + ": default outside 0 to 1");
        }
        if (parameter.stepCount < 0) fault(title + ": negative step count");
        const double plain =
            controller.normalizedParamToPlain(parameter.id, parameter.defaultNormalizedValue);
        if (std::fabs(controller.plainParamToNormalized(parameter.id, plain) -
                      parameter.defaultNormalizedValue) > 1e-6) {
            fault(title + ": plain and normalised values do not convert back");
        }
        if ((parameter.flags & vst3::ParameterInfo::kIsReadOnly) != 0) continue;
        // A value's text reads back as that value, within the precision of the text.
        const double shown = parameter.defaultNormalizedValue;
        const std::string text = textOf(controller, parameter.id, shown);
        vst3::String128 typed{};
        harness::copyUtf16(text, typed);
        double value = -1.0;
        if (controller.getParamValueByString(parameter.id, typed, value) != vst3::kResultOk ||
            std::fabs(value - shown) > 1e-4) {
            fault(title + ": the text '" + text + "' does not read back");
        }
    }
    vst3::ParameterInfo beyond{};
    if (controller.getParameterInfo(int32_t(ids.size()), beyond) == vst3::kResultOk) {
        fault("a parameter beyond the last was described");
    }
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
        checkFormatRules(host, faults);
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
