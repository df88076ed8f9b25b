// The sound engine's voices: pitch, envelope course, allocation, release, reset, bend, mix
// and the host-rate adaptation.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "sound/Sampler.h"

namespace {

constexpr float kFirstAttackValue = 0.04401767f;  // 1 - 0.95598233
constexpr float kSustainedValue = 0.9999522f;

class SamplerTest : public ::testing::Test
{
protected:
    SamplerTest() { useRecording(std::vector<float>(1000, 0.5f), 440.0f); }

    // Maps every note to one recording (looping its last two samples).
    void useRecording(const std::vector<float>& samples, float root)
    {
        const int32_t count = int32_t(samples.size());
        record.setData(root, samples.data(), count, count - 2, count - 1);
        for (int32_t note = 0; note < CSampler::kNoteCount; ++note) {
            sampler.mapNote(note, record);
        }
    }

    void advance(int32_t times)
    {
        for (int32_t i = 0; i < times; ++i) {
            sampler.advance();
        }
    }

    // Advances until voice index leaves state from; returns how many advances that took.
    int32_t advancesInState(int32_t index, int32_t from)
    {
        int32_t count = 0;
        while (state(index) == from && count < 1000000) {
            sampler.advance();
            ++count;
        }
        return count;
    }

    int32_t state(int32_t index) const { return sampler.voice(index).envelope.state; }
    const CWavePlayer& player(int32_t index) const { return sampler.voice(index).player; }

    std::vector<int32_t> statesOf(int32_t first, int32_t last) const
    {
        std::vector<int32_t> states;
        for (int32_t i = first; i <= last; ++i) {
            states.push_back(state(i));
        }
        return states;
    }

    CWaveData record;
    CSampler sampler;
};

TEST_F(SamplerTest, PitchRatioSetsTheReadStep)
{
    sampler.noteOn(0, 69, 100);
    EXPECT_EQ(player(0).ratio, 1.0f);
    EXPECT_EQ(player(0).wave, &record);
    advance(10);
    EXPECT_EQ(player(0).position, 10);
    EXPECT_EQ(player(0).fraction, 0.0f);

    CWaveData rootD;
    std::vector<float> samples(5000, 0.25f);
    rootD.setData(noteFrequency(74), samples.data(), 5000, 4998, 4999);
    sampler.mapNote(81, rootD);
    sampler.noteOn(0, 81, 100);
    EXPECT_NEAR(player(1).ratio, std::pow(2.0, 7.0 / 12), 1e-6);
    int32_t previous = 0;
    for (int32_t i = 0; i < 1000; ++i) {
        sampler.advance();
        const int32_t moved = player(1).position - previous;
        ASSERT_TRUE(moved == 1 || moved == 2) << "advance " << i;
        ASSERT_GE(player(1).fraction, 0.0f);
        ASSERT_LT(player(1).fraction, 1.0f);
        previous = player(1).position;
    }
    EXPECT_NEAR(player(1).position, 1498.3, 1.0);

    // A note played on a recording of its own root is never detuned.
    for (int32_t root = 40; root <= 85; ++root) {
        CSampler fresh;
        CWaveData atRoot;
        atRoot.setData(noteFrequency(root), samples.data(), 100, 98, 99);
        fresh.mapNote(root, atRoot);
        fresh.noteOn(0, root, 1);
        EXPECT_EQ(fresh.voice(0).player.ratio, 1.0f) << "root " << root;
    }
}

TEST_F(SamplerTest, EnvelopeRisesHoldsAndReleasesOnSchedule)
{
    const EnvelopeRates& rates = sampler.envelopeRates();
    EXPECT_FLOAT_EQ(rates[CEnvelope::kAttack].coefficient, 0.95598233f);
    EXPECT_FLOAT_EQ(rates[CEnvelope::kDecay].coefficient, 0.99887776f);
    EXPECT_EQ(rates[CEnvelope::kSustain].coefficient, 1.0f);
    EXPECT_FLOAT_EQ(rates[CEnvelope::kRelease].coefficient, 0.97779340f);
    EXPECT_EQ(rates[CEnvelope::kOff].coefficient, 0.0f);

    sampler.noteOn(0, 69, 127);
    EXPECT_EQ(sampler.renderSample(), 0.0f);
    sampler.advance();
    EXPECT_FLOAT_EQ(sampler.voice(0).envelope.value, kFirstAttackValue);
    EXPECT_EQ(advancesInState(0, CEnvelope::kAttack), 220);  // 221 in all
    EXPECT_EQ(state(0), CEnvelope::kDecay);
    sampler.advance();
    EXPECT_EQ(state(0), CEnvelope::kSustain);
    advance(10000);
    EXPECT_EQ(state(0), CEnvelope::kSustain);
    EXPECT_FLOAT_EQ(sampler.voice(0).envelope.value, kSustainedValue);

    sampler.noteOff(69);
    EXPECT_EQ(state(0), CEnvelope::kRelease);
    EXPECT_EQ(advancesInState(0, CEnvelope::kRelease), 441);
    EXPECT_EQ(state(0), CEnvelope::kOff);
    EXPECT_GT(sampler.voice(0).envelope.value, 0.0f);
    sampler.advance();
    EXPECT_EQ(sampler.voice(0).envelope.value, 0.0f);
    EXPECT_EQ(sampler.renderSample(), 0.0f);
}

TEST_F(SamplerTest, FullVoicesDropNotesAndReleasingVoicesAreTakenFirst)
{
    for (int32_t note = 40; note < 73; ++note) {
        sampler.noteOn(0, note, 100);
    }
    for (int32_t i = 0; i < CSampler::kVoiceCount; ++i) {
        EXPECT_EQ(sampler.voice(i).note, 40 + i);
        EXPECT_EQ(state(i), CEnvelope::kAttack);
    }

    advance(50);
    sampler.noteOff(45);
    sampler.noteOn(0, 90, 64);
    EXPECT_EQ(sampler.voice(5).note, 90);
    EXPECT_EQ(state(5), CEnvelope::kAttack);
    EXPECT_EQ(sampler.voice(5).envelope.value, 0.0f);  // cut off, restarting from silence
    EXPECT_EQ(sampler.voice(5).player.position, 0);
    EXPECT_FLOAT_EQ(sampler.voice(5).velocityGain, 64.0f / 127.0f);

    sampler.noteOn(0, 91, 64);
    for (int32_t i = 0; i < CSampler::kVoiceCount; ++i) {
        EXPECT_NE(sampler.voice(i).note, 91);
    }
}

TEST_F(SamplerTest, NoteOffReleasesOnlyTheLowestHeldMatch)
{
    sampler.noteOn(0, 60, 100);
    sampler.noteOn(0, 60, 100);
    sampler.noteOn(0, 62, 100);
    sampler.noteOff(61);
    EXPECT_EQ(statesOf(0, 2), (std::vector<int32_t>{0, 0, 0}));
    sampler.noteOff(60);
    EXPECT_EQ(statesOf(0, 2), (std::vector<int32_t>{3, 0, 0}));
    sampler.noteOff(60);
    EXPECT_EQ(statesOf(0, 2), (std::vector<int32_t>{3, 3, 0}));
    sampler.noteOff(60);
    EXPECT_EQ(statesOf(0, 3), (std::vector<int32_t>{3, 3, 0, 4}));
}

TEST_F(SamplerTest, ResetReleasesEveryVoiceAndCentresTheBend)
{
    sampler.noteOn(0, 50, 100);
    sampler.noteOn(0, 52, 100);
    advance(300);
    sampler.setBend(1.5f);
    sampler.reset();
    EXPECT_EQ(sampler.bend(), 1.0f);
    EXPECT_EQ(statesOf(0, 31), std::vector<int32_t>(32, CEnvelope::kRelease));
    EXPECT_EQ(player(0).bend, 1.5f);

    // Voices that were off fall silent at once; sounding ones fade over the release.
    sampler.advance();
    EXPECT_EQ(statesOf(0, 3), (std::vector<int32_t>{3, 3, 4, 4}));

    sampler.reset();
    sampler.noteOn(0, 70, 100);
    sampler.noteOn(0, 71, 100);
    EXPECT_EQ(sampler.voice(0).note, 70);
    EXPECT_EQ(sampler.voice(1).note, 71);
    EXPECT_EQ(player(0).bend, 1.0f);
}

TEST_F(SamplerTest, BendReachesSoundingVoicesAndLaterStarts)
{
    sampler.noteOn(0, 69, 100);
    const float wholeTone = 1.122462f;
    sampler.setBend(wholeTone);
    EXPECT_EQ(player(0).bend, wholeTone);
    EXPECT_EQ(player(1).bend, 1.0f);  // off: keeps its old bend until it starts
    advance(1000);
    EXPECT_NEAR(player(0).position, 1122.462, 1.0);

    sampler.noteOn(0, 69, 100);
    EXPECT_EQ(player(1).bend, wholeTone);

    for (float invalid : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::infinity()}) {
        sampler.setBend(invalid);
        EXPECT_EQ(sampler.bend(), wholeTone);
        EXPECT_EQ(player(0).bend, wholeTone);
    }
    // An absurd ratio is held to two octaves, so the step stays a small whole number.
    sampler.setBend(1e30f);
    EXPECT_EQ(player(0).bend, 4.0f);
    sampler.setBend(1e-30f);
    EXPECT_EQ(player(0).bend, 0.25f);
}

TEST_F(SamplerTest, VoicesMixUnclippedAtAQuarterEach)
{
    useRecording(std::vector<float>(1000, -1.0f), 440.0f);
    for (int32_t i = 0; i < 4; ++i) {
        sampler.noteOn(0, 69, 127);
    }
    advance(300);
    EXPECT_NEAR(sampler.renderSample(), -1.0f, 1e-4f);
    sampler.noteOn(0, 69, 127);
    advance(300);
    EXPECT_NEAR(sampler.renderSample(), -1.25f, 1e-4f);
}

TEST_F(SamplerTest, PlayingPastTheEndAlternatesTheLastTwoSamples)
{
    useRecording({0.1f, 0.2f, 0.3f, 0.4f, 0.5f}, 440.0f);
    sampler.noteOn(0, 69, 100);
    const float expected[] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.4f, 0.5f, 0.4f, 0.5f, 0.4f};
    for (float sample : expected) {
        EXPECT_EQ(player(0).sample(), sample) << "position " << player(0).position;
        sampler.advance();
    }
}

TEST(WavePlayerTest, PositionWrappingPastTwoToThe31ReadsSilence)
{
    CWaveData loud;
    const float samples[] = {0.9f, 0.9f, 0.9f};
    loud.setData(440.0f, samples, 3, 1, 2);
    CWavePlayer player;
    player.wave = &loud;
    player.ratio = 3.0f;
    player.position = INT_MAX - 1;
    EXPECT_EQ(player.sample(), 0.9f);
    player.step(1.0f);
    EXPECT_EQ(player.position, INT_MIN + 1);
    EXPECT_EQ(player.sample(), 0.0f);
}

TEST_F(SamplerTest, HostRateKeepsPitchAndEnvelopeTimesInRealTime)
{
    sampler.setSampleRate(48000.0f);
    sampler.noteOn(0, 69, 100);
    advance(48000);
    // One second of output has read one second of the 44100 Hz recording.
    EXPECT_NEAR(player(0).position, 44100, 1);
    sampler.reset();
    advance(1000);

    sampler.noteOn(0, 69, 100);
    const int32_t attack = 1 + advancesInState(0, CEnvelope::kAttack);
    EXPECT_NEAR(attack / 48000.0, 221 / 44100.0, 2 / 48000.0);
    advance(10);
    sampler.noteOff(69);
    const int32_t release = advancesInState(0, CEnvelope::kRelease);
    EXPECT_NEAR(release / 48000.0, 441 / 44100.0, 2 / 48000.0);

    for (float invalid : {0.0f, -48000.0f, 0.5f, std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::infinity()}) {
        sampler.setSampleRate(invalid);
    }
    sampler.noteOn(0, 69, 100);
    const int32_t start = player(0).position;
    advance(480);
    EXPECT_NEAR(player(0).position - start, 441, 1);

    // Back at the recordings' rate every figure is exact again.
    sampler.setSampleRate(44100.0f);
    CSampler reference;
    for (int32_t state = 0; state < 5; ++state) {
        EXPECT_EQ(sampler.envelopeRates()[state].coefficient,
                  reference.envelopeRates()[state].coefficient);
    }
    sampler.reset();
    advance(1000);
    sampler.noteOn(0, 69, 100);
    sampler.advance();
    reference.mapNote(69, record);
    reference.noteOn(0, 69, 100);
    reference.advance();
    EXPECT_EQ(sampler.voice(0).envelope.value, reference.voice(0).envelope.value);
    EXPECT_FLOAT_EQ(sampler.voice(0).envelope.value, kFirstAttackValue);
    EXPECT_EQ(player(0).position, 1);
    EXPECT_EQ(player(0).fraction, 0.0f);
}

TEST_F(SamplerTest, NotesAndVelocitiesOutsideTheMidiRangeAreIgnored)
{
    const std::pair<int32_t, int32_t> outside[] = {{128, 100}, {-1, 100}, {60, 128}, {60, -1},
                                                   {INT_MAX, INT_MAX}, {INT_MIN, 0}};
    for (auto [note, velocity] : outside) {
        sampler.noteOn(0, note, velocity);
        sampler.noteOff(note);
        sampler.mapNote(note, record);
        EXPECT_EQ(sampler.mapEntry(note, velocity), nullptr);
    }
    EXPECT_EQ(statesOf(0, 31), std::vector<int32_t>(32, CEnvelope::kOff));

    sampler.noteOn(0, 0, 0);
    sampler.noteOn(0, 127, 127);
    EXPECT_EQ(statesOf(0, 2), (std::vector<int32_t>{0, 0, 4}));
    EXPECT_EQ(sampler.voice(1).note, 127);
}

}  // namespace
