// Resource lookup, memory files, message routing and the clock.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/MemoryStream.h"
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

TEST(MemoryStreamTest, SeeksFromEachOriginAndReadsUpToTheEnd)
{
    const unsigned char bytes[] = {10, 11, 12, 13, 14, 15};
    platform::MemoryStream stream;
    EXPECT_FALSE(stream.open(nullptr, 4));
    ASSERT_TRUE(stream.open(bytes, sizeof bytes));

    using Origin = platform::MemoryStream::Origin;
    EXPECT_EQ(stream.seek(0, Origin::End), 6);
    EXPECT_EQ(stream.seek(2, Origin::Start), 2);
    EXPECT_EQ(stream.seek(1, Origin::Current), 3);
    unsigned char out[8] = {};
    EXPECT_EQ(stream.read(out, 2), 2u);
    EXPECT_EQ(out[0], 13);
    EXPECT_EQ(out[1], 14);
    EXPECT_EQ(stream.seek(-1, Origin::End), 5);
    EXPECT_EQ(stream.read(out, 8), 1u);
    EXPECT_EQ(out[0], 15);
    EXPECT_EQ(stream.read(out, 8), 0u);

    // Out-of-range targets fail and leave the position where it was.
    EXPECT_EQ(stream.seek(1, Origin::Start), 1);
    EXPECT_EQ(stream.seek(-2, Origin::Current), -1);
    EXPECT_EQ(stream.seek(INT64_MAX, Origin::End), -1);
    EXPECT_EQ(stream.seek(INT64_MIN, Origin::End), -1);
    EXPECT_EQ(stream.seek(0, Origin::Current), 1);

    stream.close();
    EXPECT_FALSE(stream.isOpen());
    EXPECT_EQ(stream.read(out, 1), 0u);
    EXPECT_EQ(stream.seek(0, Origin::Start), -1);
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
