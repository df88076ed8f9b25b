// Validity rules of a recording's content; the silent default is checked by the loader tests.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sound/WaveData.h"

namespace {

TEST(WaveDataTest, SetDataKeepsACopyOnlyOfValidContent)
{
    float samples[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    CWaveData record;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    struct Call
    {
        float root;
        const float* data;
        int32_t count, loopStart, loopEnd;
    };
    for (const Call& refused : {Call{100.0f, nullptr, 4, 0, 3}, Call{100.0f, samples, 2, 0, 1},
                                Call{0.99f, samples, 4, 0, 3}, Call{nan, samples, 4, 0, 3},
                                Call{infinity, samples, 4, 0, 3}, Call{100.0f, samples, 4, -1, 3},
                                Call{100.0f, samples, 4, 3, 3}, Call{100.0f, samples, 4, 2, 1},
                                Call{100.0f, samples, 4, 0, 4}, Call{100.0f, samples, 4, 4, 5}}) {
        record.setData(refused.root, refused.data, refused.count, refused.loopStart,
                       refused.loopEnd);
        EXPECT_EQ(record.length(), 20);
        EXPECT_EQ(record.rootFrequency(), 2205.0f);
    }

    record.setData(1.0f, samples, 4, 2, 3);
    samples[0] = 9.0f;
    ASSERT_EQ(record.length(), 4);
    EXPECT_EQ(record.sample(0), 0.1f);
    EXPECT_EQ(record.sample(3), 0.4f);
    EXPECT_EQ(record.rootFrequency(), 1.0f);
    EXPECT_EQ(record.loopStart(), 2);
    EXPECT_EQ(record.loopEnd(), 3);

    // 16-bit samples follow the same rules and are read in place, little-endian, from any
    // address: nothing is copied.
    const uint8_t bytes[] = {0xff, 0x00, 0x80, 0xff, 0x7f, 0x01, 0x00};
    record.setPcm(100.0f, bytes + 1, 2, 0, 1);
    EXPECT_EQ(record.length(), 4);
    EXPECT_NE(record.floatSamples(), nullptr);
    record.setPcm(440.0f, bytes + 1, 3, 1, 2);
    EXPECT_EQ(record.pcm(), bytes + 1);
    EXPECT_EQ(record.floatSamples(), nullptr);
    EXPECT_EQ(record.length(), 3);
    EXPECT_EQ(record.rootFrequency(), 440.0f);
    EXPECT_EQ(record.sample(0), -1.0f);
    EXPECT_EQ(record.sample(1), 0.999969482421875f);
    EXPECT_EQ(record.sample(2), 1.0f / 32768.0f);
}

}  // namespace
