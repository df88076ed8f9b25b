// Resource lookup, message routing and the clock (the memory file has a file of its own,
// shared with the Windows tests).
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/Resources.h"

namespace {

const unsigned char kWaveBytes[] = {1, 2, 3, 4, 5};
const unsigned char kImageBytes[] = {9, 8};

const platform::EmbeddedResource kTable[] = {
    {"WAVE", 7, kWaveBytes, kWaveBytes + sizeof kWaveBytes},
    {"PNG", 7, kImageBytes, kImageBytes + sizeof kImageBytes},
    {"WAVE", 8, kWaveBytes, kWaveBytes},
};

class ResourceTableTest : public ::testing::Test
{
protected:
    void SetUp() override { platform::setResourceTable(kTable, std::size(kTable)); }
    void TearDown() override { platform::setResourceTable(nullptr, 0); }
};

TEST_F(ResourceTableTest, FindsByTypeAndIdThroughAllFourSteps)
{
    platform::ResourceHandle wave = platform::findResource(7, "WAVE");
    ASSERT_NE(wave, nullptr);
    EXPECT_EQ(platform::lockResource(platform::loadResource(wave)), kWaveBytes);
    EXPECT_EQ(platform::sizeofResource(wave), sizeof kWaveBytes);

    platform::ResourceHandle image = platform::findResource(7, "PNG");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(platform::lockResource(platform::loadResource(image)), kImageBytes);

    EXPECT_EQ(platform::sizeofResource(platform::findResource(8, "WAVE")), 0u);
}

TEST_F(ResourceTableTest, MissingResourceFailsTheFindStepWithNotFound)
{
    EXPECT_EQ(platform::findResource(9, "WAVE"), nullptr);
    EXPECT_EQ(platform::lastError(), platform::kErrorResourceNotFound);
    EXPECT_EQ(platform::findResource(8, "PNG"), nullptr);
    EXPECT_EQ(platform::findResource(7, nullptr), nullptr);

    EXPECT_EQ(platform::loadResource(nullptr), nullptr);
    EXPECT_EQ(platform::lockResource(nullptr), nullptr);
    EXPECT_EQ(platform::sizeofResource(nullptr), 0u);
}

TEST(EmbeddedResourcesTest, RestoredTableHoldsTheRecordings)
{
    platform::setResourceTable(kTable, std::size(kTable));
    platform::setResourceTable(nullptr, 0);
    platform::ResourceHandle wave = platform::findResource(1043, "WAVE");
    ASSERT_NE(wave, nullptr);
    EXPECT_GT(platform::sizeofResource(wave), 44u);
}

TEST(MessagesTest, GoToTheSinkOrAsOneLineToStandardError)
{
    std::vector<std::string> seen;
    platform::setMessageSink([&seen](const char* text, const char* caption) {
        seen.push_back(std::string(caption) + "|" + text);
    });
    platform::showMessage("error1", "error1:1814 (716)");
    platform::showMessage(nullptr, nullptr);
    platform::setMessageSink(nullptr);
    EXPECT_EQ(seen, (std::vector<std::string>{"error1:1814 (716)|error1", "|"}));

    testing::internal::CaptureStderr();
    platform::showMessage("error2", "");
    platform::showMessage("error1", "error1:1814 (716)");
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed, "Lyrevane: error2\nLyrevane: error1:1814 (716): error1\n");
}

TEST(ClockTest, TickCountAdvancesAcrossASleep)
{
    const uint32_t before = platform::tickCount();
    platform::sleepMs(20);
    const uint32_t elapsed = platform::tickCount() - before;
    // Both readings are truncated to whole milliseconds.
    EXPECT_GE(elapsed, 19u);
    EXPECT_LT(elapsed, 5000u);
}

}  // namespace
