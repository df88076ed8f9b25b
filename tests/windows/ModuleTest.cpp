// The Windows test host: the shared host harness loads Lyrevane.dll with LoadLibrary as a
// host does; the test checks the exports and the effect record byte by byte at the
// interface's offsets for this word size, the host calls, and a strum on both channels.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/VstInterface.h"
#include "tools/PluginHost.h"

namespace {

template <typename T>
T fieldAt(const AEffect* effect, size_t offset32, size_t offset64)
{
    T value;
    const size_t offset = sizeof(void*) == 4 ? offset32 : offset64;
    std::memcpy(&value, reinterpret_cast<const char*>(effect) + offset, sizeof value);
    return value;
}

class ModuleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(host.load(LYREVANE_DLL)) << host.error();
        effect = host.open();
        loadMilliseconds = std::chrono::duration<double, std::milli>(
                               std::chrono::steady_clock::now() - start)
                               .count();
        ASSERT_NE(effect, nullptr) << host.error();
    }

    harness::PluginHost host;
    AEffect* effect = nullptr;
    double loadMilliseconds = 0.0;
};

TEST_F(ModuleTest, ExportsBothEntryNamesAtOneAddressAndAsksForTheVersionFirst)
{
    ASSERT_NE(host.symbol("VSTPluginMain"), nullptr);
    EXPECT_EQ(host.symbol("main"), host.symbol("VSTPluginMain"));
    std::printf("instance load time (LoadLibrary to effect record): %.1f ms\n", loadMilliseconds);
    const std::vector<harness::HostCall> calls = host.calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().opcode, audioMasterVersion);
    EXPECT_FALSE(calls.front().withEffect);
}

TEST_F(ModuleTest, RecordHoldsItsFieldsAtTheInterfacesOffsets)
{
    EXPECT_EQ(fieldAt<int32_t>(effect, 0, 0), kEffectMagic);
    EXPECT_EQ(fieldAt<void*>(effect, 4, 8), reinterpret_cast<void*>(effect->dispatcher));
    EXPECT_EQ(fieldAt<int32_t>(effect, 20, 40), 1);   // numPrograms
    EXPECT_EQ(fieldAt<int32_t>(effect, 24, 44), 77);  // numParams
    EXPECT_EQ(fieldAt<int32_t>(effect, 28, 48), 0);   // numInputs
    EXPECT_EQ(fieldAt<int32_t>(effect, 32, 52), 2);   // numOutputs
    EXPECT_EQ(fieldAt<int32_t>(effect, 36, 56),
              effFlagsHasEditor | effFlagsCanReplacing | effFlagsIsSynth);
    EXPECT_EQ(fieldAt<float>(effect, 60, 92), 1.0f);  // ioRatio
    EXPECT_EQ(fieldAt<void*>(effect, 80, 120), reinterpret_cast<void*>(effect->processReplacing));
    EXPECT_EQ(host.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(host.dispatch(effGetPlugCategory), 2);
    char name[65] = {};
    EXPECT_EQ(host.dispatch(effGetEffectName, 0, 0, name), 1);
    EXPECT_STREQ(name, "Lyrevane");
}

TEST_F(ModuleTest, AnswersTheHostAndPlaysAStrumOnBothChannels)
{
    host.dispatch(effOpen);
    host.clearCalls();
    host.startUp();
    EXPECT_EQ(host.callCount(audioMasterWantMidi), 1u);
    EXPECT_EQ(host.callCount(audioMasterCanDo), 0u);

    host.clearCalls();
    host.sendMidi({{0, 0x90, 52, 100}, {1, 0x90, 60, 100}});  // chord 4 (E major), strum down
    float peak = 0.0f;
    constexpr int kBlocks = 20;
    for (int block = 0; block < kBlocks; ++block) {
        const harness::Block out = host.render(512);
        ASSERT_EQ(out.left, out.right);
        for (float sample : out.left) peak = std::max(peak, std::fabs(sample));
    }
    EXPECT_EQ(host.callCount(audioMasterGetTime), 2u * kBlocks);
    EXPECT_GT(peak, 0.05f);
    EXPECT_LT(peak, 8.0f);

    host.clearCalls();
    host.setParameter(75, 1.0f);
    EXPECT_EQ(host.getParameter(75), 1.0f);
    EXPECT_EQ(host.callCount(audioMasterAutomate), 0u);  // the host's own change is not echoed
}

}  // namespace
