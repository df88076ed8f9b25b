// Capo and tunings heard: the pitch of a picked string, measured in the rendered audio, moves
// with the capo and the tuning while the chord keeps its frets.
#include <cmath>
#include <string>

#include "tests/host/PlektraFixture.h"
#include "tests/support/AudioChecks.h"

namespace plektratest {
namespace {

struct Heard {
    int32_t tuning;
    int32_t capo;
    uint8_t pickKey;
    double expectedHz;  // the string of E major (0 2 2 1 0 0) as it should sound
};

double semitones(double hz, int32_t steps)
{
    return hz * std::pow(2.0, steps / 12.0);
}

class NeckTest : public PlektraTest
{
protected:
    // E major selected, then one string picked; the strongest peak within a fifth of the
    // expected pitch, from 0.1 s to 0.6 s after the pick.
    double pickedPitch(int32_t tuning, int32_t capo, uint8_t pickKey, double expectedHz)
    {
        restart();
        plektra->setNeck(tuning, capo);
        const std::vector<float> left = host.renderSong(
            44100, kBlock, {{0, kNoteOn, kFirstChordKey + 4, 100}, {1024, kNoteOn, pickKey, 110}});
        return ardourtest::dominantFrequency(left, 44100, 1024 + 4410, 22050, expectedHz / 1.5,
                                             expectedHz * 1.5);
    }
};

TEST_F(NeckTest, ThePickedStringSoundsWithTheCapoAndTheTuning)
{
    constexpr double kHighE = 329.63;
    constexpr double kLowE = 82.41;
    const Heard cases[] = {
        {0, 0, kPickHighestKey, kHighE},
        {0, 3, kPickHighestKey, semitones(kHighE, 3)},
        {2, 12, kPickHighestKey, semitones(kHighE, 11)},  // half a step down, capo at 12
        {6, 0, kPickHighestKey, semitones(kHighE, -2)},   // open D: the high string is D
        {4, 0, kPickLowestKey, semitones(kLowE, -4)},     // drop C: the low string is C
        {1, 5, kPickLowestKey, semitones(kLowE, 3)},      // drop D, capo at 5
    };
    for (const Heard& heard : cases) {
        const double hz = pickedPitch(heard.tuning, heard.capo, heard.pickKey, heard.expectedHz);
        EXPECT_NEAR(ardourtest::centsBetween(hz, heard.expectedHz), 0.0, 15.0)
            << "tuning " << heard.tuning << " capo " << heard.capo << ": " << hz << " Hz";
    }
}

}  // namespace
}  // namespace plektratest
