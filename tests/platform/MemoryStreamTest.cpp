// The read-only memory file, shared by the Linux tests and the Windows tests under wine,
// where it is a multimedia memory file.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/MemoryStream.h"

namespace {

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

}  // namespace
