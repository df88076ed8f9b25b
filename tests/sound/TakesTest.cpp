// The palm-muted and dead takes as the sampler plays them: which channel starts which take,
// and what each sounds like against the ringing stroke of the same note, measured from the
// rendered audio.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "sound/SampleBank.h"
#include "tests/support/GuitarMeasure.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int32_t kRate = 44100;
constexpr int32_t kOpenStrings[kOpenStringCount] = {40, 45, 50, 55, 59, 64};

class TakesTest : public ::testing::Test
{
protected:
    TakesTest()
    {
        loadSoundSets(reader, acoustic, electric);
        loadTakes(reader, takes);
    }

    void select(SoundSet set)
    {
        sampler.reset();
        if (set == SoundSet::acoustic) {
            selectAcousticSet(sampler, acoustic);
        } else {
            selectElectricSet(sampler, electric);
        }
        selectTakes(sampler, set, takes);
    }

    // One stroke of note on a fresh sampler, as the instrument plays it.
    recordings::Note play(SoundSet set, Take take, int32_t note, double seconds)
    {
        select(set);
        sampler.noteOn(channelOf(take), note, 100);
        recordings::Note played;
        played.rate = kRate;
        played.rootHz = noteFrequency(note);
        played.samples.assign(static_cast<size_t>(seconds * kRate), 0.0f);
        sampler.render(played.samples.data(), static_cast<int32_t>(played.samples.size()));
        sampler.reset();
        // Let the stroke's release run out so that the next one starts alone.
        std::vector<float> rest(kRate);
        sampler.render(rest.data(), kRate);
        return played;
    }

    CRiffReader reader;
    CWaveData acoustic[kAcousticCount];
    CWaveData electric[kElectricCount];
    StringTakes takes;
    CSampler sampler;
};

// The level of one frequency over 20 ms (Hann window) from seconds on, in dB.
double toneDb(const recordings::Note& note, double freq, double seconds)
{
    const int32_t length = kRate / 50;
    const auto start = static_cast<size_t>(seconds * kRate);
    double re = 0;
    double im = 0;
    for (int32_t n = 0; n < length && start + n < note.samples.size(); ++n) {
        const double window = 0.5 - 0.5 * std::cos(2 * kPi * (n + 0.5) / length);
        const double phase = 2 * kPi * freq * n / kRate;
        re += note.samples[start + n] * window * std::cos(phase);
        im -= note.samples[start + n] * window * std::sin(phase);
    }
    return 20 * std::log10(4.0 * std::hypot(re, im) / length + 1e-12);
}

// RMS over 10 ms from seconds on, in dB.
double levelDb(const recordings::Note& note, double seconds)
{
    constexpr size_t kLength = kRate / 100;
    const auto start = static_cast<size_t>(seconds * kRate);
    double energy = 0;
    for (size_t n = start; n < start + kLength && n < note.samples.size(); ++n) {
        energy += double(note.samples[n]) * note.samples[n];
    }
    return 10 * std::log10(energy / double(kLength) + 1e-30);
}

// How long the stroke takes to fall 40 dB below its loudest 10 ms, in seconds.
double timeTo40DbDown(const recordings::Note& note)
{
    double loudest = -300;
    for (double t = 0; t < 0.05; t += 0.001) loudest = std::max(loudest, levelDb(note, t));
    double t = 0;
    while (t < double(note.samples.size()) / kRate && levelDb(note, t) > loudest - 40) t += 0.001;
    return t;
}

TEST_F(TakesTest, ChannelChoosesTheTakeAndTheRingingRecordingStandsInForAMissingOne)
{
    for (const SoundSet set : {SoundSet::acoustic, SoundSet::electric}) {
        select(set);
        const auto& ofSet = takes[static_cast<size_t>(set)];
        // A fretted note plays the take of the string below it, as the ringing ones do.
        for (const auto& [note, string] : {std::pair{40, 0}, {44, 0}, {47, 1}, {64, 5}, {88, 5}}) {
            SCOPED_TRACE(note);
            ASSERT_NE(ofSet[0][string].pcm(), nullptr) << "the take is embedded";
            EXPECT_EQ(sampler.takeEntry(Take::palmMuted, note), &ofSet[0][string]);
            EXPECT_EQ(sampler.takeEntry(Take::dead, note), &ofSet[1][string]);
        }
        const auto started = [&](int32_t channel) {
            sampler.reset();
            std::vector<float> rest(kRate);
            sampler.render(rest.data(), kRate);  // every voice released and silent
            sampler.noteOn(channel, 52, 100);
            for (int32_t v = 0; v < CSampler::kVoiceCount; ++v) {
                if (sampler.voice(v).envelope.state == CEnvelope::kAttack) {
                    return sampler.voice(v).player.wave;
                }
            }
            return static_cast<const CWaveData*>(nullptr);
        };
        EXPECT_EQ(started(0), sampler.mapEntry(52, 100));
        EXPECT_EQ(started(channelOf(Take::palmMuted)), &ofSet[0][2]);
        EXPECT_EQ(started(channelOf(Take::dead)), &ofSet[1][2]);
        for (const int32_t channel : {3, 9, 15, -1, 16, 1000}) {
            EXPECT_EQ(started(channel), sampler.mapEntry(52, 100)) << "channel " << channel;
        }
        // Where a take is missing (the VST module carries none), the ringing one plays.
        sampler.mapTake(Take::dead, 52, nullptr);
        EXPECT_EQ(started(channelOf(Take::dead)), sampler.mapEntry(52, 100));
    }
}

// The picking hand's edge by the bridge: the low partials kept, the highs damped, near 1 kHz
// ringing for some tenths of a second; measured on each open string against its ringing
// stroke.
TEST_F(TakesTest, PalmMutedStrokesKeepTheLowsAndDampTheHighs)
{
    for (const SoundSet set : {SoundSet::acoustic, SoundSet::electric}) {
        for (const int32_t note : kOpenStrings) {
            SCOPED_TRACE(std::string(set == SoundSet::acoustic ? "acoustic " : "electric ") +
                         std::to_string(note));
            const recordings::Note ringing = play(set, Take::ringing, note, 2.0);
            const recordings::Note palm = play(set, Take::palmMuted, note, 2.0);
            const recordings::GuitarMeasures ring = recordings::measureGuitar(ringing);
            const recordings::GuitarMeasures muted = recordings::measureGuitar(palm);
            EXPECT_GE(muted.t60Band[0], 0.2);
            EXPECT_LE(muted.t60Band[0], 0.8);
            EXPECT_LT(muted.centroidHz[1], 0.8 * ring.centroidHz[1]);
            const double f0 = noteFrequency(note);
            EXPECT_GE(toneDb(palm, f0, 0.05), toneDb(ringing, f0, 0.05) - 3.0) << "fundamental";
        }
    }
}

// The fretting hand resting on the strings: a percussive chuck with hardly any note in it.
TEST_F(TakesTest, DeadStrokesAreABroadbandChuck)
{
    for (const SoundSet set : {SoundSet::acoustic, SoundSet::electric}) {
        for (const int32_t note : kOpenStrings) {
            SCOPED_TRACE(std::string(set == SoundSet::acoustic ? "acoustic " : "electric ") +
                         std::to_string(note));
            const recordings::Note ringing = play(set, Take::ringing, note, 2.0);
            const recordings::Note dead = play(set, Take::dead, note, 0.5);
            const double f0 = noteFrequency(note);
            EXPECT_LE(toneDb(dead, f0, 0.05), toneDb(ringing, f0, 0.05) - 12.0) << "fundamental";
            EXPECT_LE(timeTo40DbDown(dead), 0.15);
            // The hand's slap: more of the first 10 ms above 4 kHz than a ringing stroke has,
            // and noise-like rather than a series of lines.
            const recordings::GuitarMeasures chuck = recordings::measureGuitar(dead);
            EXPECT_GE(chuck.pickDb, recordings::measureGuitar(ringing).pickDb + 3.0);
            EXPECT_GE(chuck.pickFlatness, 0.08);
        }
    }
}

}  // namespace
