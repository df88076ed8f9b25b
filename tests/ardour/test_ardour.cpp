// Tests of the host test's own measurements and plan: a fault here would pass or fail the
// instrument in the host for the wrong reason.
#include "tests/support/AudioChecks.h"
#include "tests/support/HostTestPlan.h"
#include "tools/MidiFile.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

using namespace ardourtest;

namespace {

const double kPi = std::acos(-1.0);

// A plucked-string stand-in: a few harmonics under a decay, starting with a short ramp.
std::vector<float> pluck(double frequency, int64_t start, int64_t length, int rate)
{
    std::vector<float> samples(static_cast<size_t>(start + length), 0.0f);
    for (int64_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double envelope = std::min(1.0, i / 240.0) * std::exp(-3.0 * t);
        double x = 0.0;
        for (int h = 1; h <= 4; ++h) {
            x += std::sin(2.0 * kPi * frequency * h * t) / (h * 1.5);
        }
        samples[start + i] = static_cast<float>(0.3 * envelope * x);
    }
    return samples;
}

std::string temporaryPath(const char* name)
{
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder ? folder : "/tmp") + "/" + name + std::to_string(::getpid());
}

}  // namespace

TEST(AudioChecks, PitchIsMeasuredWellInsideTheTolerance)
{
    const double note64 = 440.0 * std::pow(2.0, -5.0 / 12.0);
    const std::vector<float> inTune = pluck(note64, 0, kHostRate, kHostRate);
    const double measured = dominantFrequency(inTune, kHostRate, 4800, kHostRate / 2,
                                              note64 * 0.8, note64 * 1.25);
    EXPECT_NEAR(centsBetween(measured, note64), 0.0, 0.2);

    // A voice stepping through 44100 Hz recordings unscaled at 48000 Hz sounds 147 cents
    // sharp; the measurement must report that, not snap to the expected note.
    const std::vector<float> sharp = pluck(note64 * 48000.0 / 44100.0, 0, kHostRate, kHostRate);
    const double sharpMeasured = dominantFrequency(sharp, kHostRate, 4800, kHostRate / 2,
                                                   note64 * 0.8, note64 * 1.25);
    EXPECT_NEAR(centsBetween(sharpMeasured, note64), 146.7, 0.3);

    // A window reaching past the recording measures nothing rather than reading beyond it.
    EXPECT_EQ(dominantFrequency(inTune, kHostRate, kHostRate - 10, 100, 200.0, 500.0), 0.0);
}

TEST(AudioChecks, DivergenceFindsWhereAnAddedStringEnters)
{
    const int64_t entry = 1234;
    std::vector<float> oneString = pluck(82.4, 0, 6000, kHostRate);
    std::vector<float> twoStrings = oneString;
    const std::vector<float> second = pluck(123.5, entry, 6000 - entry, kHostRate);
    for (size_t i = 0; i < twoStrings.size(); ++i) {
        twoStrings[i] += second[i];
    }
    // The ramp starts at zero, so the first sample that shows the string is one later.
    EXPECT_EQ(firstDivergence(twoStrings, 0, oneString, 0, 6000, 1e-5f), entry + 1);
    EXPECT_EQ(firstDivergence(oneString, 0, oneString, 0, 6000, 1e-5f), -1);

    // Against silence, and with the second signal placed elsewhere in a longer recording.
    std::vector<float> later(10000, 0.0f);
    std::copy(oneString.begin(), oneString.end(), later.begin() + 3000);
    EXPECT_EQ(firstDivergence(later, 3000, twoStrings, -1, 6000, 1e-5f), 1);
    EXPECT_EQ(firstDivergence(twoStrings, 0, later, 3000, 6000, 1e-5f), entry + 1);
    // Reading past the end counts as silence instead of running off the buffer.
    EXPECT_EQ(firstDivergence(later, 9990, later, 9990, 100, 1e-5f), -1);
}

TEST(AudioChecks, ReadsLevelsAndChannelsFromAFile)
{
    const std::string path = temporaryPath("ardourcheck-level.wav");
    SF_INFO info{};
    info.samplerate = kHostRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    std::vector<float> frames;
    for (int i = 0; i < kHostRate; ++i) {
        const float x = static_cast<float>(std::sin(2.0 * kPi * 1000.0 * i / kHostRate));
        frames.push_back(x);
        frames.push_back(i == 100 ? NAN : 0.5f * x);
    }
    sf_writef_float(file, frames.data(), kHostRate);
    sf_close(file);

    StereoAudio audio;
    std::string error;
    ASSERT_TRUE(readStereo(path, audio, error)) << error;
    std::remove(path.c_str());
    EXPECT_EQ(audio.sampleRate, kHostRate);
    ASSERT_EQ(audio.left.size(), static_cast<size_t>(kHostRate));
    EXPECT_NEAR(rmsDecibels(audio.left, 0, kHostRate), -3.0103, 0.001);
    EXPECT_EQ(countNonFinite(audio.left), 0);
    EXPECT_EQ(countNonFinite(audio.right), 1);
    EXPECT_NEAR(peakLevel(audio.left, 0, kHostRate), 1.0f, 1e-4f);
    EXPECT_EQ(rmsDecibels(audio.left, 10, 10), -INFINITY);

    EXPECT_FALSE(readStereo(path, audio, error));
    EXPECT_NE(error.find(path), std::string::npos);
}

TEST(HostTestPlan, MidiFileLandsEveryKeyOnItsPlannedSample)
{
    const std::string path = temporaryPath("ardourcheck-plan.mid");
    std::string error;
    ASSERT_TRUE(writeMidiFile(path, error)) << error;
    const auto file = smf::MidiFile::load(path, error);
    std::remove(path.c_str());
    ASSERT_TRUE(file) << error;

    const std::vector<PlannedKey> keys = plannedKeys();
    ASSERT_EQ(file->events().size(), keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        const smf::ChannelEvent& event = file->events()[i];
        const double seconds = file->tempoMap().secondsAtTick(event.tick);
        EXPECT_EQ(std::llround(seconds * kHostRate), keys[i].sample) << "key " << i;
        EXPECT_EQ(event.status, 0x90);
        EXPECT_EQ(event.data1, keys[i].key);
        EXPECT_EQ(event.data2, keys[i].velocity);
        EXPECT_LT(keys[i].sample, plannedLength());
    }
    EXPECT_DOUBLE_EQ(file->tempoMap().beatsPerMinuteAtSeconds(0.0), 120.0);
}

TEST(HostTestPlan, EditedChordsAreEMajorPrefixesWithTheElectricSet)
{
    // The chord bank truncates value x 19, so a value a hair under its position would land
    // one fret low and the strums would no longer differ by exactly one string.
    const int eMajorFrets[kStrings] = {0, 2, 2, 1, 0, 0};
    int soundSetEdits = 0;
    for (const PlannedParameter& p : plannedParameters()) {
        if (p.index == 75) {
            EXPECT_EQ(p.value, 1.0f);
            ++soundSetEdits;
            continue;
        }
        const int chord = p.index / kStrings;
        const int string = p.index % kStrings;
        const int strings = chord - kWorkedChord;
        ASSERT_TRUE(strings >= 1 && strings < kStrings) << p.index;
        const int fret = static_cast<int>(p.value * -19.0f) * -1 - 1;
        EXPECT_EQ(fret, string < strings ? eMajorFrets[string] : -1) << "parameter " << p.index;
    }
    EXPECT_EQ(soundSetEdits, 1);

    // Every string count from one to six is strummed once, each far from the next.
    std::vector<Strum> strums = plannedStrums();
    ASSERT_EQ(strums.size(), static_cast<size_t>(kStrings));
    for (size_t i = 0; i < strums.size(); ++i) {
        EXPECT_EQ(std::count_if(strums.begin(), strums.end(),
                                [&](const Strum& s) { return s.strings == int(i) + 1; }),
                  1);
        if (i > 0) {
            EXPECT_GE(strums[i].keySample - strums[i - 1].keySample, 2 * kHostRate);
        }
    }
    EXPECT_EQ(strums.front().strings, kStrings);  // the worked example on a fresh instance
}

TEST(HostTestPlan, WrittenParameterValuesReadBackAsTheSameFloats)
{
    // The host and the render tool both parse these texts; a digit too few would set a
    // neighbouring float, which the chord bank may truncate to another fret.
    const std::string folder = temporaryPath("ardourcheck-args");
    const std::string argsPath = folder + ".txt";
    const std::string luaPath = folder + ".lua";
    std::string error;
    ASSERT_TRUE(writeRenderArguments(argsPath, error)) << error;
    ASSERT_TRUE(writeLuaTables(luaPath, error)) << error;
    std::ifstream args(argsPath);
    std::ifstream lua(luaPath);
    const std::string luaText((std::istreambuf_iterator<char>(lua)),
                              std::istreambuf_iterator<char>());
    std::remove(argsPath.c_str());
    std::remove(luaPath.c_str());

    for (const PlannedParameter& p : plannedParameters()) {
        std::string option, assignment;
        ASSERT_TRUE(std::getline(args, option) && std::getline(args, assignment));
        EXPECT_EQ(option, "--param");
        const size_t equals = assignment.find('=');
        ASSERT_NE(equals, std::string::npos);
        EXPECT_EQ(std::stoi(assignment.substr(0, equals)), p.index);
        const std::string value = assignment.substr(equals + 1);
        EXPECT_EQ(std::strtof(value.c_str(), nullptr), p.value) << assignment;
        const std::string luaEntry = "{ " + std::to_string(p.index) + ", " + value + " }";
        EXPECT_NE(luaText.find(luaEntry), std::string::npos) << luaEntry;
    }
    EXPECT_NE(luaText.find("PLAN_LENGTH = " + std::to_string(plannedLength())),
              std::string::npos);
}
