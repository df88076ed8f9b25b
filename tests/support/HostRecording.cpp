#include "tests/support/HostRecording.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "tests/support/AudioChecks.h"

namespace ardourtest {

namespace {

// The same arithmetic on the same samples; only the order of summing voices may differ.
constexpr float kSameAudio = 1e-5f;
constexpr double kPitchToleranceCents = 5.0;

class Checks
{
public:
    void operator()(bool ok, const char* pattern, double a = 0.0, double b = 0.0,
                    double c = 0.0)
    {
        std::printf("%s ", ok ? "ok  " : "FAIL");
        std::printf(pattern, a, b, c);
        std::printf("\n");
        if (!ok) ++failures;
    }
    int failures = 0;
};

int64_t firstSound(const std::vector<float>& samples)
{
    const auto found = std::find_if(samples.begin(), samples.end(),
                                    [](float sample) { return sample != 0.0f; });
    return found == samples.end() ? -1 : found - samples.begin();
}

}  // namespace

int compareRecording(const std::string& recordingPath, const std::string& referencePath,
                     const KeyedSong& song, const std::string& pickOnlyPath)
{
    StereoAudio recording, reference, pickOnly;
    std::string error;
    if (!readStereo(recordingPath, recording, error) ||
        !readStereo(referencePath, reference, error) ||
        (!pickOnlyPath.empty() && !readStereo(pickOnlyPath, pickOnly, error))) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return -1;
    }
    Checks check;
    check(recording.sampleRate == song.rate, "recorded at %.0f Hz", recording.sampleRate);

    // The module's first sound comes with the first key that sounds, so the two first sounds
    // line the renders up; every later sample must then agree with no further help.
    const int64_t hostFirst = firstSound(recording.left);
    const int64_t referenceFirst = firstSound(reference.left);
    const int64_t offset = hostFirst - referenceFirst;
    const bool aligned = hostFirst >= 0 && referenceFirst >= 0 && offset >= 0 &&
                         offset <= song.largestOffset;
    check(aligned, "first sound at recording sample %.0f, render tool sample %.0f: offset %.0f",
          hostFirst, referenceFirst, offset);
    if (!aligned) return check.failures;
    check(static_cast<int64_t>(recording.left.size()) >= offset + song.length &&
              static_cast<int64_t>(reference.left.size()) >= song.length,
          "recorded %.0f frames and rendered %.0f; the song needs %.0f after the offset",
          recording.left.size(), reference.left.size(), song.length);
    const int64_t compared =
        std::min({song.length, static_cast<int64_t>(recording.left.size()) - offset,
                  static_cast<int64_t>(reference.left.size())});
    const std::vector<float> hostLeft(recording.left.begin() + offset,
                                      recording.left.begin() + offset + compared);
    const std::vector<float> hostRight(recording.right.begin() + offset,
                                       recording.right.begin() + offset + compared);

    const float sides = largestDifference(hostLeft, hostRight, compared);
    check(sides == 0.0f, "left equals right (largest difference %g)", sides);
    const float difference = largestDifference(hostLeft, reference.left, compared);
    check(difference <= kSameAudio,
          "sample for sample as the render tool over %.0f frames: largest difference %g, "
          "peak %.4f",
          compared, difference, peakLevel(reference.left, 0, compared));
    const int64_t divergence =
        firstDivergence(hostLeft, 0, reference.left, 0, compared, kSameAudio);
    if (divergence >= 0) {
        std::printf("info first difference beyond %g at song frame %lld\n", kSameAudio,
                    static_cast<long long>(divergence));
    }

    if (!pickOnly.left.empty()) {
        // The song without its strum is the pick alone: the recording leaves it where the
        // strum's first string enters.
        const int64_t entry =
            firstDivergence(hostLeft, 0, pickOnly.left, 0,
                            std::min<int64_t>(compared, pickOnly.left.size()), kSameAudio);
        check(entry >= song.strumSample && entry <= song.strumSample + 8,
              "the strum enters at song frame %.0f, its key at %.0f", entry, song.strumSample);
    }

    // The strum rings on through the block boundaries: it still sounds a second after its key.
    const int64_t ringing = song.strumSample + song.rate;
    const float level = peakLevel(hostLeft, ringing, ringing + 512);
    check(level > 0.01f, "the strum still rings a second after its key (peak %.4f)", level);

    const double expected = 440.0 * std::pow(2.0, (song.pickedNote - 69) / 12.0);
    const double measured =
        dominantFrequency(hostLeft, song.rate, song.pickSample + song.rate / 10, song.rate / 2,
                          expected * 0.8, expected * 1.25);
    const double cents = measured > 0.0 ? centsBetween(measured, expected) : 1e9;
    check(std::fabs(cents) <= kPitchToleranceCents,
          "picked string: %.3f Hz for %.3f Hz, %+.4f cents", measured, expected, cents);
    return check.failures;
}

}  // namespace ardourtest
