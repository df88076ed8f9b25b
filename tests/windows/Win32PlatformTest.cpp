// The Win32 services under wine: the resources that the generated script puts into the
// program, found, loaded, locked and sized as the module does, and the missing-resource box.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Messages.h"
#include "platform/Resources.h"
#include "resource-files.h"
#include "sound/RiffReader.h"

namespace {

std::vector<char> fileBytes(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Win32ResourcesTest, EveryRowOfTheTableHoldsItsFileByteForByte)
{
    for (const ResourceFile& row : kResourceFiles) {
        SCOPED_TRACE(std::string(row.type) + " " + std::to_string(row.id));
        const platform::ResourceHandle found = platform::findResource(row.id, row.type);
        ASSERT_NE(found, nullptr);
        const void* bytes = platform::lockResource(platform::loadResource(found));
        ASSERT_NE(bytes, nullptr);
        const std::vector<char> expected = fileBytes(row.path);
        ASSERT_FALSE(expected.empty());
        ASSERT_EQ(platform::sizeofResource(found), expected.size());
        EXPECT_EQ(std::memcmp(bytes, expected.data(), expected.size()), 0);
    }
}

TEST(Win32ResourcesTest, AMissingIdShowsErrorOneWithTheSystemsNotFoundCode)
{
    EXPECT_EQ(platform::findResource(9999, "WAVE"), nullptr);
    EXPECT_EQ(platform::lastError(), platform::kErrorResourceNotFound);
    // An image id asked for as a recording is just as missing.
    EXPECT_EQ(platform::findResource(10, "WAVE"), nullptr);
    EXPECT_EQ(platform::lastError(), platform::kErrorResourceNotFound);

    std::vector<std::string> messages;
    platform::setMessageSink([&messages](const char* text, const char* caption) {
        messages.push_back(std::string(text) + "|" + caption);
    });
    CRiffReader reader;
    EXPECT_FALSE(reader.openResource(9999));
    EXPECT_TRUE(reader.openResource(1043));
    platform::setMessageSink(nullptr);
    EXPECT_EQ(messages, (std::vector<std::string>{"error1|error1:1814 (716)"}));
}

}  // namespace
