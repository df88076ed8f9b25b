// Dead and palm-muted strums heard: with the articulation keys on, the levels of the rendered
// audio show the chuck gone within a fifth of a second and the palm-muted strum dying long
// before the ringing one; with them off the same keys silence the strings, as the key map says.
#include "tests/host/PlektraFixture.h"
#include "tests/support/AudioChecks.h"

namespace plektratest {
namespace {

constexpr int32_t kRate = 44100;
constexpr int32_t kStrumAt = 1024;

class StrokesTest : public PlektraTest
{
protected:
    // E major strummed by one key, after an optional ringing strum to be silenced.
    std::vector<float> strummed(uint8_t key, bool articulationKeys, bool ringFirst = false)
    {
        restart();
        plektra->setArticulationKeys(articulationKeys);
        std::vector<harness::MidiEvent> events = {{0, kNoteOn, kFirstChordKey + 4, 100}};
        if (ringFirst) events.push_back({1, kNoteOn, kStrumDownKey, 100});
        events.push_back({kStrumAt, kNoteOn, key, 100});
        return host.renderSong(2 * kRate, kBlock, events);
    }

    // The level from `from` to `to` seconds after the strum key.
    static double level(const std::vector<float>& audio, double from, double to)
    {
        return ardourtest::rmsDecibels(audio, kStrumAt + static_cast<int64_t>(from * kRate),
                                       kStrumAt + static_cast<int64_t>(to * kRate));
    }
};

TEST_F(StrokesTest, DeadAndPalmMutedStrumsSoundAsTheirTakes)
{
    const std::vector<float> ringing = strummed(kStrumDownKey, true);
    const std::vector<float> dead = strummed(61, true);
    const std::vector<float> deadUp = strummed(63, true);
    const std::vector<float> palmMuted = strummed(66, true);
    const std::vector<float> palmMutedUp = strummed(68, true);
    for (const auto* chuck : {&dead, &deadUp}) {
        // A stroke that is heard, then gone: far below the ringing strum a fifth of a second on.
        EXPECT_GT(level(*chuck, 0.0, 0.06), -40.0);
        EXPECT_LT(level(*chuck, 0.2, 0.3), level(ringing, 0.2, 0.3) - 30.0);
    }
    for (const auto* muted : {&palmMuted, &palmMutedUp}) {
        EXPECT_GT(level(*muted, 0.0, 0.1), level(ringing, 0.0, 0.1) - 12.0);
        EXPECT_LT(level(*muted, 0.8, 1.0), level(ringing, 0.8, 1.0) - 10.0);
    }
}

TEST_F(StrokesTest, OffTheArticulationKeysSilenceTheStrings)
{
    const std::vector<float> rung = strummed(kStrumDownKey, false, true);
    for (uint8_t key : {61, 63, 66, 68}) {
        const std::vector<float> silenced = strummed(key, false, true);
        EXPECT_LT(level(silenced, 0.1, 0.5), -90.0) << int(key);
        EXPECT_GT(level(rung, 0.1, 0.5), -30.0);
    }
}

}  // namespace
}  // namespace plektratest
