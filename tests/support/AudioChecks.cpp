// Measurements on rendered stereo audio for the host test.
#include "tests/support/AudioChecks.h"

#include <fftw3.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace ardourtest {

bool readStereo(const std::string& path, StereoAudio& audio, std::string& error)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        error = path + ": " + sf_strerror(nullptr);
        return false;
    }
    std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> closer(file, sf_close);
    if (info.channels < 1 || info.channels > 2) {
        error = path + ": " + std::to_string(info.channels) + " channels, expected 1 or 2";
        return false;
    }
    std::vector<float> interleaved(static_cast<size_t>(info.frames) * info.channels);
    const sf_count_t got = sf_readf_float(file, interleaved.data(), info.frames);
    if (got != info.frames) {
        error = path + ": short read";
        return false;
    }
    audio.sampleRate = info.samplerate;
    audio.left.resize(static_cast<size_t>(info.frames));
    audio.right.resize(static_cast<size_t>(info.frames));
    for (sf_count_t i = 0; i < info.frames; ++i) {
        audio.left[i] = interleaved[i * info.channels];
        audio.right[i] = interleaved[i * info.channels + info.channels - 1];
    }
    return true;
}

int64_t countNonFinite(const std::vector<float>& samples)
{
    return std::count_if(samples.begin(), samples.end(),
                         [](float x) { return !std::isfinite(x); });
}

float peakLevel(const std::vector<float>& samples, int64_t begin, int64_t end)
{
    end = std::min<int64_t>(end, static_cast<int64_t>(samples.size()));
    float peak = 0.0f;
    for (int64_t i = std::max<int64_t>(begin, 0); i < end; ++i) {
        peak = std::max(peak, std::fabs(samples[i]));
    }
    return peak;
}

float largestDifference(const std::vector<float>& a, const std::vector<float>& b, int64_t length)
{
    length = std::min({length, static_cast<int64_t>(a.size()), static_cast<int64_t>(b.size())});
    float largest = 0.0f;
    for (int64_t i = 0; i < length; ++i) {
        largest = std::max(largest, std::fabs(a[i] - b[i]));
    }
    return largest;
}

double rmsDecibels(const std::vector<float>& samples, int64_t begin, int64_t end)
{
    begin = std::max<int64_t>(begin, 0);
    end = std::min<int64_t>(end, static_cast<int64_t>(samples.size()));
    if (end <= begin) {
        return -std::numeric_limits<double>::infinity();
    }
    double sum = 0.0;
    for (int64_t i = begin; i < end; ++i) {
        sum += static_cast<double>(samples[i]) * samples[i];
    }
    return 10.0 * std::log10(sum / static_cast<double>(end - begin));
}

int64_t firstDivergence(const std::vector<float>& a, int64_t aStart, const std::vector<float>& b,
                        int64_t bStart, int64_t length, float threshold)
{
    const auto at = [](const std::vector<float>& v, int64_t i) {
        return i >= 0 && i < static_cast<int64_t>(v.size()) ? v[i] : 0.0f;
    };
    for (int64_t t = 0; t < length; ++t) {
        const float other = bStart < 0 ? 0.0f : at(b, bStart + t);
        if (std::fabs(at(a, aStart + t) - other) > threshold) {
            return t;
        }
    }
    return -1;
}

double dominantFrequency(const std::vector<float>& samples, int sampleRate, int64_t begin,
                         int64_t length, double low, double high)
{
    if (begin < 0 || length < 2 || begin + length > static_cast<int64_t>(samples.size())) {
        return 0.0;
    }
    // Zero padding to at least 16 times the window puts the bins 1/16 of the window's
    // resolution apart; the parabola through the top three log magnitudes refines further.
    int size = 1;
    while (size < 16 * length) {
        size *= 2;
    }
    float* buffer = fftwf_alloc_real(size);
    fftwf_complex* spectrum = fftwf_alloc_complex(size / 2 + 1);
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(size, buffer, spectrum, FFTW_ESTIMATE);
    std::fill(buffer, buffer + size, 0.0f);
    const double pi = std::acos(-1.0);
    for (int64_t i = 0; i < length; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * pi * i / (length - 1));
        buffer[i] = static_cast<float>(samples[begin + i] * hann);
    }
    fftwf_execute(plan);

    const double binWidth = static_cast<double>(sampleRate) / size;
    const auto magnitude = [&](int k) {
        return std::log(std::hypot(spectrum[k][0], spectrum[k][1]) + 1e-30);
    };
    const int first = std::max(1, static_cast<int>(std::ceil(low / binWidth)));
    const int last = std::min(size / 2 - 1, static_cast<int>(std::floor(high / binWidth)));
    int best = -1;
    for (int k = first; k <= last; ++k) {
        if (best < 0 || magnitude(k) > magnitude(best)) {
            best = k;
        }
    }
    double frequency = 0.0;
    // A maximum on the edge of the range is the flank of a peak outside it, not a peak.
    if (best > first && best < last) {
        const double left = magnitude(best - 1);
        const double centre = magnitude(best);
        const double right = magnitude(best + 1);
        const double shift = 0.5 * (left - right) / (left - 2.0 * centre + right);
        frequency = (best + shift) * binWidth;
    }
    fftwf_destroy_plan(plan);
    fftwf_free(spectrum);
    fftwf_free(buffer);
    return frequency;
}

double centsBetween(double frequency, double reference)
{
    return 1200.0 * std::log2(frequency / reference);
}

}  // namespace ardourtest
