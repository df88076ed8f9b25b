// Measurements on rendered stereo audio that the host test relies on: reading a WAV,
// locating where a new string enters a strum, the pitch of a ringing note, and levels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ardourtest {

struct StereoAudio {
    int sampleRate = 0;
    std::vector<float> left;
    std::vector<float> right;
};

// Reads a one- or two-channel sound file; a mono file gets its channel copied to both sides.
// Returns false and fills error on anything else.
bool readStereo(const std::string& path, StereoAudio& audio, std::string& error);

// Frames where a channel is NaN or infinite.
int64_t countNonFinite(const std::vector<float>& samples);

float peakLevel(const std::vector<float>& samples, int64_t begin, int64_t end);

float largestDifference(const std::vector<float>& a, const std::vector<float>& b, int64_t length);

// Root mean square of [begin, end) in dB relative to full scale; -inf for digital silence.
double rmsDecibels(const std::vector<float>& samples, int64_t begin, int64_t end);

// First frame t in [0, length) at which a[aStart + t] and b[bStart + t] differ by more than
// threshold, or -1. Two renders of one strum that differ only by one string are identical up
// to the sample that string enters, so this is where it starts. A negative bStart compares
// a against silence.
int64_t firstDivergence(const std::vector<float>& a, int64_t aStart, const std::vector<float>& b,
                        int64_t bStart, int64_t length, float threshold);

// Frequency of the strongest spectral peak between low and high Hz in [begin, begin + length),
// refined between FFT bins; 0 when the range holds no peak.
double dominantFrequency(const std::vector<float>& samples, int sampleRate, int64_t begin,
                         int64_t length, double low, double high);

double centsBetween(double frequency, double reference);

}  // namespace ardourtest
