// Strokes that never repeat exactly: what variation changes from stroke to stroke, that soft
// strokes sound darker, that a song plays the same in any block size, and that with variation
// off every sample is as it always was. Measured from the rendered audio.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "sound/SampleBank.h"
#include "tests/support/GuitarMeasure.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int32_t kRate = 44100;

struct Strike
{
    int64_t time;  // samples from the start
    int32_t note;
    int32_t velocity;
};

class VariationTest : public ::testing::Test
{
protected:
    VariationTest()
    {
        loadSoundSets(reader, acoustic, electric);
        selectAcousticSet(sampler, acoustic);
    }

    // Renders the strikes in blocks of blockSize, each at its exact sample, releasing the
    // string's last stroke as the strum engine does when it strikes a string again.
    static std::vector<float> render(CSampler& engine, const std::vector<Strike>& strikes,
                                     int64_t length, int32_t blockSize)
    {
        std::vector<float> out(static_cast<size_t>(length));
        size_t next = 0;
        for (int64_t done = 0; done < length;) {
            const int64_t blockEnd = std::min(length, done + blockSize);
            while (done < blockEnd) {
                const int64_t due = next < strikes.size() ? std::min(strikes[next].time, blockEnd)
                                                          : blockEnd;
                engine.render(out.data() + done, static_cast<int32_t>(due - done));
                done = due;
                while (next < strikes.size() && strikes[next].time == done) {
                    engine.noteOff(strikes[next].note);
                    engine.noteOn(0, strikes[next].note, strikes[next].velocity);
                    ++next;
                }
            }
        }
        return out;
    }

    CRiffReader reader;
    CWaveData acoustic[kAcousticCount];
    CWaveData electric[kElectricCount];
    CSampler sampler;
};

// The fundamental's frequency over [start, start + 1 s), found to a hundredth of a cent by a
// search of the Hann-windowed tone level around nominal.
double fundamentalHz(const std::vector<float>& x, int64_t start, double nominal)
{
    const auto level = [&](double freq) {
        double re = 0;
        double im = 0;
        for (int32_t n = 0; n < kRate; ++n) {
            const double w = 0.5 - 0.5 * std::cos(2 * kPi * (n + 0.5) / kRate);
            const double v = x[static_cast<size_t>(start + n)] * w;
            re += v * std::cos(2 * kPi * freq * n / kRate);
            im += v * std::sin(2 * kPi * freq * n / kRate);
        }
        return std::hypot(re, im);
    };
    double low = nominal * std::exp2(-10 / 1200.0);
    double high = nominal * std::exp2(10 / 1200.0);
    while (1200 * std::log2(high / low) > 0.01) {
        const double a = low + (high - low) / 3;
        const double b = high - (high - low) / 3;
        (level(a) < level(b) ? low : high) = level(a) < level(b) ? a : b;
    }
    return 0.5 * (low + high);
}

double rmsDb(const std::vector<float>& x, int64_t start, int64_t length)
{
    double energy = 0;
    for (int64_t n = start; n < start + length; ++n) energy += double(x[n]) * x[n];
    return 10 * std::log10(energy / double(length) + 1e-30);
}

recordings::Note noteOf(const std::vector<float>& x, double rootHz)
{
    recordings::Note note;
    note.samples = x;
    note.rate = kRate;
    note.rootHz = rootHz;
    return note;
}

TEST_F(VariationTest, OffPlaysEverySampleAsBefore)
{
    std::vector<Strike> strikes;
    for (int32_t i = 0; i < 40; ++i) strikes.push_back({i * 2205, 40 + (i * 7) % 40, 20 + i * 3});
    CSampler untouched;
    selectAcousticSet(untouched, acoustic);
    const std::vector<float> before = render(untouched, strikes, 4 * kRate, 512);
    // Off with a seed, and off again after a while on: the next strokes play as before.
    sampler.setVariation(false, 1234);
    EXPECT_EQ(render(sampler, strikes, 4 * kRate, 512), before);
    CSampler wasOn;
    selectAcousticSet(wasOn, acoustic);
    wasOn.setVariation(true, 5);
    render(wasOn, strikes, 4 * kRate, 512);
    wasOn.reset();
    std::vector<float> rest(kRate);
    wasOn.render(rest.data(), kRate);
    wasOn.setVariation(false, 5);
    CSampler fresh;
    selectAcousticSet(fresh, acoustic);
    fresh.render(rest.data(), kRate);
    EXPECT_EQ(render(wasOn, strikes, 4 * kRate, 512), render(fresh, strikes, 4 * kRate, 512));
}

// One string struck again and again at one velocity: each stroke a little louder or softer,
// sharper or flatter, brighter or duller than the last, but never by much.
TEST_F(VariationTest, SuccessiveStrokesOfAStringDiffer)
{
    constexpr int32_t kStrokes = 8;
    constexpr int64_t kGap = 3 * kRate / 2;
    std::vector<Strike> strikes;
    for (int32_t i = 0; i < kStrokes; ++i) strikes.push_back({i * kGap, 52, 100});
    sampler.setVariation(true, 77);
    const std::vector<float> varied = render(sampler, strikes, kStrokes * kGap, 256);
    CSampler plain;
    selectAcousticSet(plain, acoustic);
    const std::vector<float> same = render(plain, {{0, 52, 100}}, kGap, 256);

    const double nominal = fundamentalHz(same, kRate / 10, noteFrequency(52));
    const double plainLevel = rmsDb(same, kRate / 50, kRate / 10);
    const double plainCentroid =
        recordings::measureGuitar(noteOf(same, noteFrequency(52))).centroidHz[1];
    std::vector<double> cents, levels, centroids;
    for (int32_t i = 0; i < kStrokes; ++i) {
        const int64_t start = i * kGap;
        const double hz = fundamentalHz(varied, start + kRate / 10, nominal);
        cents.push_back(1200 * std::log2(hz / nominal));
        levels.push_back(rmsDb(varied, start + kRate / 50, kRate / 10) - plainLevel);
        const std::vector<float> stroke(varied.begin() + start, varied.begin() + start + kGap - 1);
        centroids.push_back(recordings::measureGuitar(noteOf(stroke, nominal)).centroidHz[1]);
    }
    const auto spread = [](const std::vector<double>& v) {
        return *std::max_element(v.begin(), v.end()) - *std::min_element(v.begin(), v.end());
    };
    for (int32_t i = 0; i < kStrokes; ++i) {
        SCOPED_TRACE(i);
        EXPECT_LE(std::fabs(cents[i]), 1.75);
    }
    EXPECT_GE(spread(cents), 0.5) << "pitch";
    EXPECT_LE(spread(cents), 3.0) << "pitch";
    EXPECT_GE(spread(levels), 0.2) << "level";
    EXPECT_LE(spread(levels), 1.0) << "level";
    EXPECT_GE(spread(centroids) / plainCentroid, 0.03) << "the pick's place";
    std::printf("over %d strokes: pitch %.2f cents, level %.2f dB, centroid %.0f Hz apart\n",
                kStrokes, spread(cents), spread(levels), spread(centroids));
}

// Soft strokes are darker: the centroid at 100 ms of a hard strum at least 1.3 times a soft
// one's, where without variation the two have one timbre.
TEST_F(VariationTest, SoftStrumsAreDarkerThanHardOnes)
{
    const int32_t eMajor[] = {40, 47, 52, 56, 59, 64};
    const auto strum = [&](bool varied, int32_t velocity) {
        CSampler engine;
        selectAcousticSet(engine, acoustic);
        engine.setVariation(varied, 3);
        std::vector<Strike> strikes;
        for (int32_t s = 0; s < 6; ++s) strikes.push_back({s * 441, eMajor[s], velocity});
        return recordings::measureGuitar(noteOf(render(engine, strikes, kRate, 512), 82.41))
            .centroidHz[1];
    };
    EXPECT_NEAR(strum(false, 127) / strum(false, 30), 1.0, 0.01);
    const double ratio = strum(true, 127) / strum(true, 30);
    EXPECT_GE(ratio, 1.3);
    std::printf("centroid at 100 ms, velocity 127 over 30: %.2f\n", ratio);
}

// Drawn from the seed and the stroke's place alone: the same strokes render the same in any
// block size, and another seed plays them another way.
TEST_F(VariationTest, TheSameSongRendersTheSameInAnyBlockSize)
{
    std::vector<Strike> strikes;
    for (int32_t i = 0; i < 30; ++i) strikes.push_back({i * 1500 + (i % 3) * 7, 45 + i % 20, 90});
    std::vector<std::vector<float>> renders;
    for (const int32_t block : {1, 64, 1000, 4096}) {
        CSampler engine;
        selectAcousticSet(engine, acoustic);
        engine.setVariation(true, 42);
        renders.push_back(render(engine, strikes, 3 * kRate, block));
    }
    for (size_t i = 1; i < renders.size(); ++i) EXPECT_EQ(renders[i], renders[0]);
    CSampler other;
    selectAcousticSet(other, acoustic);
    other.setVariation(true, 43);
    EXPECT_NE(render(other, strikes, 3 * kRate, 64), renders[0]);
    // Told the host's position, a stroke plays as it does at that place in the whole song.
    constexpr int64_t kPlace = 12345;
    CSampler told;
    CSampler counted;
    for (CSampler* engine : {&told, &counted}) {
        selectAcousticSet(*engine, acoustic);
        engine->setVariation(true, 42);
    }
    told.setSongPosition(kPlace);
    std::vector<float> silence(kPlace);
    counted.render(silence.data(), kPlace);
    EXPECT_EQ(render(told, {{0, 50, 90}}, kRate / 2, 64),
              render(counted, {{0, 50, 90}}, kRate / 2, 64));
}

}  // namespace
