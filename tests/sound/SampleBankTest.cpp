// The note-to-recording maps of the two sound sets.
#include <gtest/gtest.h>

#include "sound/SampleBank.h"

namespace {

struct NoteRange
{
    int32_t first;
    int32_t last;
    int32_t index;
};

class SoundSetTest : public ::testing::Test
{
protected:
    // Every velocity of every note in range plays the record at index.
    template <size_t Count>
    void expectRanges(const CWaveData (&records)[Count], std::initializer_list<NoteRange> ranges)
    {
        for (const NoteRange& range : ranges) {
            for (int32_t note = range.first; note <= range.last; ++note) {
                for (int32_t velocity = 0; velocity < CSampler::kVelocityCount; ++velocity) {
                    ASSERT_EQ(sampler.mapEntry(note, velocity), &records[range.index])
                        << "note " << note << " velocity " << velocity;
                }
            }
        }
    }

    CSampler sampler;
    CWaveData acoustic[kAcousticCount];
    CWaveData electric[kElectricCount];
};

TEST_F(SoundSetTest, AcousticSetCoversEveryNoteFromTheNearestLowerRoot)
{
    selectAcousticSet(sampler, acoustic);
    expectRanges(acoustic, {{0, 47, 0}, {48, 52, 1}, {53, 57, 2}, {58, 61, 3}, {62, 66, 4},
                            {67, 68, 5}, {69, 70, 6}, {71, 73, 7}, {74, 127, 8}});
}

TEST_F(SoundSetTest, ElectricSetStepsEveryThreeSemitonesAndSwitchesBack)
{
    selectAcousticSet(sampler, acoustic);
    selectElectricSet(sampler, electric);
    for (int32_t index = 0; index < 15; ++index) {
        const int32_t root = 40 + 3 * index;
        expectRanges(electric, {{root, root + 2, index}});
    }
    expectRanges(electric, {{85, 127, 15}});
    EXPECT_EQ(sampler.mapEntry(81, 64), &electric[13]);
    // Notes below the lowest root are never played by the strum engine, but still map to a
    // recording of the set in force.
    expectRanges(electric, {{0, 39, 0}});

    selectAcousticSet(sampler, acoustic);
    expectRanges(acoustic, {{0, 47, 0}, {74, 127, 8}});
    expectRanges(acoustic, {{48, 52, 1}, {71, 73, 7}});
}

}  // namespace
