// The segment render against a plain per-sample reference of the voice arithmetic: dense
// schedules of notes, releases, bends and resets, with every voice busy, at two host rates.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "sound/SampleBank.h"

namespace {

// The voice arithmetic written out once more, sample by sample and voice by voice, in the
// most direct form: the yardstick for the vectorised render.
class ReferenceSampler
{
public:
    explicit ReferenceSampler(const CSampler& mapped) : map(mapped)
    {
        for (Voice& voice : voices) voice.wave = &silent;
    }

    void setSampleRate(float hostRate)
    {
        rateStep = 44100.0f / hostRate;
        const float scale = hostRate / 44100.0f;
        attack = std::pow(kEpsilon, 1.0f / (220.0f * scale));
        decay = std::pow(kEpsilon, 1.0f / (8820.0f * scale));
        release = std::pow(kEpsilon, 1.0f / (441.0f * scale));
    }

    void noteOn(int32_t note, int32_t velocity)
    {
        Voice* picked = nullptr;
        for (int32_t wanted : {4, 3}) {
            for (Voice& voice : voices) {
                if (!picked && voice.state == wanted) picked = &voice;
            }
        }
        if (!picked) return;
        const CWaveData* mapped = map.mapEntry(note, velocity);
        picked->wave = mapped ? mapped : &silent;
        picked->gain = float(velocity) * 0.007874016f;
        picked->note = note;
        picked->ratio = static_cast<float>(noteFrequency(note)) / picked->wave->rootFrequency();
        picked->fraction = 0.0f;
        picked->position = 0;
        picked->value = 0.0f;
        picked->state = 0;
        picked->bend = bend;
    }

    void noteOff(int32_t note)
    {
        for (Voice& voice : voices) {
            if (voice.note == note && voice.state < 3) {
                voice.state = 3;
                return;
            }
        }
    }

    void reset()
    {
        for (Voice& voice : voices) voice.state = 3;
        bend = 1.0f;
    }

    void setBend(float ratio)
    {
        bend = ratio;
        for (Voice& voice : voices) {
            if (voice.state != 4) voice.bend = ratio;
        }
    }

    float renderSample()
    {
        float sum = 0.0f;
        for (Voice& voice : voices) {
            float x = 0.0f;
            if (voice.position >= 0) {
                int32_t i = voice.position;
                const int32_t loopStart = voice.wave->loopStart();
                if (i >= loopStart) {
                    i = loopStart + (i - loopStart) % (voice.wave->loopEnd() - loopStart + 1);
                }
                x = voice.wave->sample(i);
            }
            for (float& state : voice.smoothing) {
                state = (x - state) * 1.0f + state;
                x = state;
            }
            sum += voice.gain * x * voice.value;
        }
        return sum * 0.25f;
    }

    void advance()
    {
        const float coefficients[5] = {attack, decay, 1.0f, release, 0.0f};
        const float targets[5] = {1.0f, 1.0f, 0.0f, 0.0f, 0.0f};
        for (Voice& voice : voices) {
            const float step = voice.bend * voice.ratio * rateStep + voice.fraction;
            const auto whole = static_cast<int32_t>(step);
            voice.position = int32_t(uint32_t(voice.position) + uint32_t(whole));
            voice.fraction = step - float(whole);
            const int32_t s = voice.state;
            voice.value = (voice.value - targets[s]) * coefficients[s] + targets[s];
            if (std::fabs(voice.value - targets[s]) <= kEpsilon && s != 4) voice.state = s + 1;
        }
    }

private:
    static constexpr float kEpsilon = 0.00005f;

    struct Voice
    {
        int32_t note = 0;
        float gain = 0.0f;
        float ratio = 1.0f;
        float bend = 1.0f;
        float fraction = 0.0f;
        int32_t position = 0;
        const CWaveData* wave = nullptr;
        int32_t state = 4;
        float value = 0.0f;
        float smoothing[4] = {};
    };

    const CSampler& map;
    CWaveData silent;
    Voice voices[32];
    float bend = 1.0f;
    float rateStep = 1.0f;
    float attack = 0.0f;
    float decay = 0.0f;
    float release = 0.0f;
};

struct Event
{
    enum Kind { on, off, bend, reset } kind;
    int32_t note;
    int32_t velocity;
    float ratio;
};

// Renders a seeded random schedule through a fresh engine, segment by segment, and through
// the reference, and returns the largest difference of any sample. Every fourth gap is a
// single frame, so segments of every length from 1 up, and chunk tails, are covered.
template <typename MapNotes>
float largestDifference(CSampler::VectorUnits units, MapNotes mapNotes, float hostRate,
                        int32_t frames, int32_t notesPerBurst, int32_t lowestNote,
                        int32_t highestNote)
{
    CSampler sampler;
    sampler.useVectorUnits(units);
    mapNotes(sampler);
    ReferenceSampler reference(sampler);
    sampler.setSampleRate(hostRate);
    reference.setSampleRate(hostRate);
    std::mt19937 random(1234);
    auto uniform = [&](int32_t low, int32_t high) {
        return std::uniform_int_distribution<int32_t>(low, high)(random);
    };
    std::vector<float> rendered(size_t(frames), 0.0f);
    float largest = 0.0f;
    int32_t done = 0;
    while (done < frames) {
        const int32_t gap = uniform(0, 3) == 0 ? 1 : uniform(0, 700);
        const int32_t count = std::min(gap, frames - done);
        sampler.render(rendered.data() + done, count);
        for (int32_t i = done; i < done + count; ++i) {
            const float expected = reference.renderSample();
            reference.advance();
            largest = std::max(largest, std::fabs(rendered[size_t(i)] - expected));
        }
        done += count;

        const int32_t roll = uniform(0, 99);
        if (roll < 60) {
            for (int32_t n = 0; n < notesPerBurst; ++n) {
                const int32_t note = uniform(lowestNote, highestNote);
                const int32_t velocity = uniform(1, 127);
                sampler.noteOn(0, note, velocity);
                reference.noteOn(note, velocity);
            }
        } else if (roll < 85) {
            const int32_t note = uniform(lowestNote, highestNote);
            sampler.noteOff(note);
            reference.noteOff(note);
        } else if (roll < 98) {
            const float ratio = std::pow(2.0f, float(uniform(-8191, 8191)) / (6.0f * 8191.0f));
            sampler.setBend(ratio);
            reference.setBend(ratio);
        } else {
            sampler.reset();
            reference.reset();
        }
    }
    return largest;
}

using SamplerEquivalenceTest = ::testing::TestWithParam<CSampler::VectorUnits>;

TEST_P(SamplerEquivalenceTest, DenseStrummingOnTheRecordingsMatchesToTheBit)
{
    CRiffReader reader;
    CWaveData acoustic[kAcousticCount];
    CWaveData electric[kElectricCount];
    loadSoundSets(reader, acoustic, electric);
    auto acousticSet = [&](CSampler& sampler) { selectAcousticSet(sampler, acoustic); };
    auto electricSet = [&](CSampler& sampler) { selectElectricSet(sampler, electric); };
    for (float rate : {44100.0f, 48000.0f}) {
        EXPECT_EQ(largestDifference(GetParam(), acousticSet, rate, 5 * 44100, 6, 40, 82), 0.0f)
            << rate;
        EXPECT_EQ(largestDifference(GetParam(), electricSet, rate, 2 * 44100, 6, 40, 82), 0.0f)
            << rate;
    }
}

TEST_P(SamplerEquivalenceTest, LoopsWrapsAndArbitrarySamplesMatchToTheBit)
{
    // Samples that are no multiples of 2^-15 make the smoothing chain round, and short
    // recordings with loops of several lengths keep most voices in their loop. A loop of 49
    // is one whose offsets a double reciprocal divides one short.
    std::mt19937 random(99);
    std::uniform_real_distribution<float> level(-1.0f, 1.0f);
    CWaveData records[4];
    const int32_t lengths[] = {5, 49, 333, 3000};
    const int32_t loopStarts[] = {3, 0, 100, 2998};
    for (int32_t r = 0; r < 4; ++r) {
        std::vector<float> samples(static_cast<size_t>(lengths[r]));
        for (float& sample : samples) sample = level(random);
        records[r].setData(noteFrequency(50 + 8 * r), samples.data(), lengths[r], loopStarts[r],
                           lengths[r] - 1);
    }
    // Some notes play 16-bit samples, so segments mix them with float ones.
    std::vector<uint8_t> pcm(2 * 777);
    for (uint8_t& byte : pcm) byte = uint8_t(random());
    CWaveData pcmRecord;
    pcmRecord.setPcm(noteFrequency(45), pcm.data(), 777, 700, 776);
    auto shortLoops = [&](CSampler& sampler) {
        for (int32_t note = 0; note < CSampler::kNoteCount; ++note) {
            sampler.mapNote(note, note % 5 == 0 ? pcmRecord : records[note % 4]);
        }
    };
    EXPECT_EQ(largestDifference(GetParam(), shortLoops, 44100.0f, 3 * 44100, 10, 30, 100), 0.0f);

    // A 1 Hz root played high at a 1 kHz host rate moves half a million samples a frame:
    // positions run through 2^31 into negative values and back within the render.
    CWaveData deep;
    std::vector<float> samples(51);
    for (float& sample : samples) sample = level(random);
    deep.setData(1.0f, samples.data(), 51, 2, 50);
    auto deepLoop = [&](CSampler& sampler) {
        shortLoops(sampler);
        sampler.mapNote(126, deep);
        sampler.mapNote(127, deep);
    };
    EXPECT_EQ(largestDifference(GetParam(), deepLoop, 1000.0f, 20000, 3, 120, 127), 0.0f);
}

std::vector<CSampler::VectorUnits> availableUnits()
{
    std::vector<CSampler::VectorUnits> units = {CSampler::VectorUnits::baseline};
    if (CSampler::bestVectorUnits() == CSampler::VectorUnits::avx2) {
        units.push_back(CSampler::VectorUnits::avx2);
    }
    return units;
}

INSTANTIATE_TEST_SUITE_P(Units, SamplerEquivalenceTest, ::testing::ValuesIn(availableUnits()),
                         [](const auto& info) {
                             return info.param == CSampler::VectorUnits::avx2 ? "avx2"
                                                                              : "baseline";
                         });

}  // namespace
