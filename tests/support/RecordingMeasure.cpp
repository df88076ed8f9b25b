// Reading and measuring the synthesised guitar recordings.
#include "tests/support/RecordingMeasure.h"

#include <aubio/aubio.h>
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>

namespace recordings {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFullScale = 32768.0;

uint32_t le32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

uint16_t le16(const std::vector<uint8_t>& b, size_t at)
{
    return uint16_t(b[at] | b[at + 1] << 8);
}

std::string fourCc(const std::vector<uint8_t>& b, size_t at)
{
    return std::string(b.begin() + at, b.begin() + at + 4);
}

// Walks the chunks in [begin, end); a chunk of odd size is followed by a pad byte.
bool readChunks(const std::vector<uint8_t>& b, size_t begin, size_t end,
                std::vector<Chunk>& chunks, std::string& error)
{
    size_t pos = begin;
    while (pos < end) {
        if (pos + 8 > end) {
            error = "truncated chunk header";
            return false;
        }
        Chunk chunk{fourCc(b, pos), le32(b, pos + 4), pos + 8};
        const size_t padded = size_t(chunk.size) + (chunk.size & 1);
        if (chunk.dataOffset + padded > end) {
            error = "chunk '" + chunk.id + "' runs past its container";
            return false;
        }
        chunks.push_back(chunk);
        pos = chunk.dataOffset + padded;
    }
    return true;
}

std::vector<double> hann(int length)
{
    std::vector<double> w(length);
    for (int n = 0; n < length; ++n) w[n] = 0.5 - 0.5 * std::cos(2 * kPi * (n + 0.5) / length);
    return w;
}

// Power spectrum of a Hann-windowed stretch, zero-padded to fftSize; bins up to fftSize / 2.
std::vector<double> powerSpectrum(const std::vector<int16_t>& x, int start, int length, int fftSize)
{
    std::vector<float> in(fftSize, 0.0f);
    const std::vector<double> w = hann(length);
    for (int n = 0; n < length; ++n) {
        const int i = start + n;
        if (i >= 0 && i < int(x.size())) in[n] = float(x[i] / kFullScale * w[n]);
    }
    std::vector<fftwf_complex> out(fftSize / 2 + 1);
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(fftSize, in.data(), out.data(), FFTW_ESTIMATE);
    fftwf_execute(plan);
    fftwf_destroy_plan(plan);
    std::vector<double> power(out.size());
    for (size_t k = 0; k < out.size(); ++k) {
        power[k] = double(out[k][0]) * out[k][0] + double(out[k][1]) * out[k][1];
    }
    return power;
}

// Amplitude of one frequency in a Hann-windowed stretch; leakage from the next partial is
// far down the window's sidelobes when the stretch spans several periods of f0.
double toneAmplitude(const std::vector<int16_t>& x, int start, int length, double freq)
{
    const std::vector<double> w = hann(length);
    double re = 0, im = 0;
    const double omega = 2 * kPi * freq / kSampleRate;
    for (int n = 0; n < length; ++n) {
        const double s = x[start + n] / kFullScale * w[n];
        re += s * std::cos(omega * n);
        im -= s * std::sin(omega * n);
    }
    return 4.0 * std::hypot(re, im) / length;
}

// Least-squares slope of level (dB) against time (s); T60 is how long 60 dB take.
double t60FromLevels(const std::vector<double>& times, const std::vector<double>& levelsDb)
{
    const double n = double(times.size());
    if (n < 3) return std::numeric_limits<double>::quiet_NaN();
    double st = 0, sl = 0, stt = 0, stl = 0;
    for (size_t i = 0; i < times.size(); ++i) {
        st += times[i];
        sl += levelsDb[i];
        stt += times[i] * times[i];
        stl += times[i] * levelsDb[i];
    }
    const double slope = (n * stl - st * sl) / (n * stt - st * st);
    return -60.0 / slope;
}

double centroidAt(const std::vector<int16_t>& x, double seconds)
{
    constexpr int kFrame = 2048;
    const std::vector<double> power =
        powerSpectrum(x, int(seconds * kSampleRate) - kFrame / 2, kFrame, kFrame);
    double weighted = 0, total = 0;
    for (size_t k = 1; k < power.size(); ++k) {
        const double magnitude = std::sqrt(power[k]);
        weighted += magnitude * k * kSampleRate / kFrame;
        total += magnitude;
    }
    return total > 0 ? weighted / total : 0.0;
}

double rmsDb(const std::vector<int16_t>& x, int start, int length)
{
    double sum = 0;
    for (int n = start; n < start + length; ++n) sum += double(x[n]) * x[n];
    return 10 * std::log10(sum / length / (kFullScale * kFullScale) + 1e-30);
}

// Pitch as a time-domain tracker hears it: aubio's yinfft, whose spectral weighting follows
// the ear and so leans on the upper partials, where a stiff string runs sharp. The median of
// its estimates over 0.1-1.1 s, in cents from f0; a frame the tracker takes an octave off
// (it does so on a strong second partial) counts in its own octave, since tuning is asked.
double trackedPitchCents(const std::vector<int16_t>& x, double f0)
{
    constexpr unsigned kBuffer = 4096, kHop = 512;
    aubio_pitch_t* tracker = new_aubio_pitch("yinfft", kBuffer, kHop, kSampleRate);
    aubio_pitch_set_unit(tracker, "Hz");
    fvec_t* in = new_fvec(kHop);
    fvec_t* out = new_fvec(1);
    std::vector<double> cents;
    for (unsigned start = 0; start + kHop <= std::min(x.size(), size_t(kSampleRate * 11 / 10));
         start += kHop) {
        for (unsigned i = 0; i < kHop; ++i) fvec_set_sample(in, smpl_t(x[start + i] / kFullScale), i);
        aubio_pitch_do(tracker, in, out);
        const double hz = fvec_get_sample(out, 0);
        if (start >= unsigned(kSampleRate / 10) && hz > 0) {
            const double offset = 1200 * std::log2(hz / f0);
            cents.push_back(offset - 1200 * std::round(offset / 1200));
        }
    }
    del_fvec(out);
    del_fvec(in);
    del_aubio_pitch(tracker);
    if (cents.empty()) return std::numeric_limits<double>::quiet_NaN();
    std::nth_element(cents.begin(), cents.begin() + long(cents.size() / 2), cents.end());
    return cents[cents.size() / 2];
}

}  // namespace

std::vector<uint8_t> readFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

WaveFile parseWave(const std::vector<uint8_t>& bytes)
{
    WaveFile wave;
    if (bytes.size() < 12 || fourCc(bytes, 0) != "RIFF" || fourCc(bytes, 8) != "WAVE") {
        wave.error = "not a RIFF/WAVE file";
        return wave;
    }
    if (size_t(le32(bytes, 4)) + 8 != bytes.size()) {
        wave.error = "RIFF size does not match the file";
        return wave;
    }
    if (!readChunks(bytes, 12, bytes.size(), wave.chunks, wave.error)) return wave;
    for (const Chunk& chunk : wave.chunks) {
        if (chunk.id == "fmt " && chunk.size >= 16) {
            wave.formatTag = le16(bytes, chunk.dataOffset);
            wave.channels = le16(bytes, chunk.dataOffset + 2);
            wave.sampleRate = le32(bytes, chunk.dataOffset + 4);
            wave.bitsPerSample = le16(bytes, chunk.dataOffset + 14);
        } else if (chunk.id == "data" && wave.samples.empty()) {
            wave.samples.resize(chunk.size / 2);
            for (size_t i = 0; i < wave.samples.size(); ++i) {
                wave.samples[i] = int16_t(le16(bytes, chunk.dataOffset + 2 * i));
            }
        } else if (chunk.id == "LIST" && chunk.size >= 4 &&
                   fourCc(bytes, chunk.dataOffset) == "INFO") {
            const size_t end = chunk.dataOffset + chunk.size;
            if (!readChunks(bytes, chunk.dataOffset + 4, end, wave.infoTexts, wave.error)) {
                return wave;
            }
        }
    }
    const auto endsOnPad = [&](const std::vector<Chunk>& list) {
        return !list.empty() && (list.back().size & 1) &&
               list.back().dataOffset + list.back().size + 1 == bytes.size();
    };
    wave.endsWithPadByte = endsOnPad(wave.chunks) || endsOnPad(wave.infoTexts);
    wave.valid = true;
    return wave;
}

Measurements measure(const std::vector<int16_t>& x, const Recording& recording)
{
    Measurements m{};
    const int length = int(x.size());
    const double f0 = noteFrequency(recording.rootNote);

    // Pitch: a zero-padded spectrum of 0.1-1.1 s, parabolic interpolation on log power.
    {
        constexpr int kFft = 1 << 18;
        const std::vector<double> power = powerSpectrum(x, kSampleRate / 10, kSampleRate, kFft);
        const double binHz = double(kSampleRate) / kFft;
        const int lo = int(f0 * 0.97 / binHz), hi = int(f0 * 1.03 / binHz);
        int best = lo;
        for (int k = lo; k <= hi; ++k) {
            if (power[k] > power[best]) best = k;
        }
        const double a = std::log(power[best - 1]), b = std::log(power[best]),
                     c = std::log(power[best + 1]);
        const double offset = 0.5 * (a - c) / (a - 2 * b + c);
        m.pitchErrorCents = 1200 * std::log2((best + offset) * binHz / f0);
    }
    m.trackedPitchCents = trackedPitchCents(x, f0);

    double sum = 0;
    int peakIndex = 0;
    for (int n = 0; n < length; ++n) {
        sum += x[n];
        if (std::abs(x[n]) > std::abs(x[peakIndex])) peakIndex = n;
    }
    m.dcOffset = sum / length / kFullScale;
    m.peakSampleMagnitude = std::abs(x[peakIndex]);
    m.peakDb = 20 * std::log10(m.peakSampleMagnitude / kFullScale);
    m.peakTimeMs = 1000.0 * peakIndex / kSampleRate;
    m.firstSample = x[0];
    while (m.trailingZeros < length && x[length - 1 - m.trailingZeros] == 0) ++m.trailingZeros;
    const int soundEnd = length - m.trailingZeros;

    // Short-time level in 50 ms windows every 10 ms, from its maximum onward.
    {
        constexpr int kWindow = kSampleRate / 20, kHop = kSampleRate / 100;
        std::vector<double> levels;
        for (int start = 0; start + kWindow <= soundEnd; start += kHop) {
            levels.push_back(rmsDb(x, start, kWindow));
        }
        const auto loudest = std::max_element(levels.begin(), levels.end());
        double lowest = loudest == levels.end() ? 0 : *loudest;
        for (auto it = loudest; it != levels.end(); ++it) {
            if (*it < *loudest - 80) break;  // near the 16-bit floor, rounding dominates
            lowest = std::min(lowest, *it);
            m.maxLevelRiseDb = std::max(m.maxLevelRiseDb, *it - lowest);
        }
    }

    // Decay of the fundamental and of the partials near 2 kHz, fitted over the stretch
    // before the closing fade, where the model alone shapes the level.
    {
        constexpr int kFrame = 4096;
        const int fadeStart = soundEnd - kSampleRate;  // the closing fade's second
        std::vector<double> times, fundamental, bandTimes, band;
        double firstBand = 0;
        for (int start = kSampleRate / 5; start + kFrame <= fadeStart; start += kSampleRate / 20) {
            const double t = (start + kFrame / 2.0) / kSampleRate;
            times.push_back(t);
            fundamental.push_back(20 * std::log10(toneAmplitude(x, start, kFrame, f0) + 1e-12));
            const std::vector<double> power = powerSpectrum(x, start, kFrame, kFrame);
            double bandPower = 1e-30;
            for (int k = 1400 * kFrame / kSampleRate; k <= 2800 * kFrame / kSampleRate; ++k) {
                bandPower += power[k];
            }
            const double bandDb = 10 * std::log10(bandPower);
            if (band.empty()) firstBand = bandDb;
            if (bandDb > firstBand - 50) {
                bandTimes.push_back(t);
                band.push_back(bandDb);
            }
        }
        m.fundamentalT60 = t60FromLevels(times, fundamental);
        m.t60Near2k = t60FromLevels(bandTimes, band);
    }
    m.centroidEarlyHz = centroidAt(x, 0.05);
    m.centroidLateHz = centroidAt(x, 1.0);

    // Clicks: a step that the surrounding 10 ms of sound cannot account for.
    {
        constexpr int kHalf = kSampleRate / 200;
        std::vector<double> energy(length + 1, 0.0);
        for (int n = 0; n < length; ++n) energy[n + 1] = energy[n] + double(x[n]) * x[n];
        for (int n = kSampleRate / 20; n < length; ++n) {
            const int step = std::abs(int(x[n]) - int(x[n - 1]));
            if (step <= 2) continue;  // rounding steps in the quietest tail
            const int lo = std::max(0, n - kHalf), hi = std::min(length, n + kHalf);
            const double rms = std::sqrt((energy[hi] - energy[lo]) / (hi - lo));
            m.worstStepRatio = std::max(m.worstStepRatio, step / rms);
        }
    }

    m.loudnessDb = rmsDb(x, 0, kSampleRate / 2);
    return m;
}

}  // namespace recordings
