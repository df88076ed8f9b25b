// Measures of realism for plucked guitar notes, and the raw notes of a soundfont to hold
// them against.
#include "tests/support/GuitarMeasure.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <numeric>
#include <string>

namespace recordings {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Spectrum {
    std::vector<double> power;
    double binHz;
};

enum class Window { hann, blackmanHarris, none };

double windowAt(Window window, int n, int length)
{
    const double phase = 2 * kPi * (n + 0.5) / length;
    switch (window) {
    case Window::hann: return 0.5 - 0.5 * std::cos(phase);
    // Sidelobes 92 dB down: strong partials cannot leak into the gaps between them.
    case Window::blackmanHarris:
        return 0.35875 - 0.48829 * std::cos(phase) + 0.14128 * std::cos(2 * phase) -
               0.01168 * std::cos(3 * phase);
    case Window::none: break;
    }
    return 1.0;
}

// Power spectrum of x[start, start + length), windowed, zero-padded to a power of two of at
// least minSize; samples outside x count as silence.
Spectrum spectrumOf(const std::vector<float>& x, double rate, long start, int length,
                    int minSize, Window window = Window::hann)
{
    int size = 1;
    while (size < std::max(length, minSize)) size *= 2;
    std::vector<float> in(size, 0.0f);
    for (int n = 0; n < length; ++n) {
        const long i = start + n;
        if (i < 0 || i >= long(x.size())) continue;
        in[n] = float(x[i] * windowAt(window, n, length));
    }
    std::vector<fftwf_complex> out(size / 2 + 1);
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(size, in.data(), out.data(), FFTW_ESTIMATE);
    fftwf_execute(plan);
    fftwf_destroy_plan(plan);
    Spectrum s{std::vector<double>(out.size()), rate / size};
    for (size_t k = 0; k < out.size(); ++k) {
        s.power[k] = double(out[k][0]) * out[k][0] + double(out[k][1]) * out[k][1];
    }
    return s;
}

double bandPower(const Spectrum& s, double lowHz, double highHz)
{
    double sum = 0;
    const size_t last = std::min(s.power.size() - 1, size_t(highHz / s.binHz));
    for (size_t k = size_t(std::max(1.0, std::ceil(lowHz / s.binHz))); k <= last; ++k) {
        sum += s.power[k];
    }
    return sum;
}

double decibels(double ratio)
{
    return 10 * std::log10(std::max(ratio, 1e-30));
}

// Peak near freq (within +-width), refined by a parabola through the log powers.
double peakNear(const Spectrum& s, double freq, double width)
{
    const long lo = std::max(1L, long((freq - width) / s.binHz));
    const long hi = std::min(long(s.power.size()) - 2, long((freq + width) / s.binHz));
    if (hi <= lo) return kNaN;
    long best = lo;
    for (long k = lo; k <= hi; ++k) {
        if (s.power[k] > s.power[best]) best = k;
    }
    const double a = std::log(s.power[best - 1] + 1e-30), b = std::log(s.power[best] + 1e-30),
                 c = std::log(s.power[best + 1] + 1e-30);
    const double denominator = a - 2 * b + c;
    const double offset = denominator != 0 ? 0.5 * (a - c) / denominator : 0.0;
    return (best + std::clamp(offset, -0.5, 0.5)) * s.binHz;
}

// The partials' frequencies up to maxHz, each found near where the spacing of the last two
// predicts it, so that a stiff string's stretched series is followed.
std::vector<double> partialSeries(const Spectrum& s, double f0, double maxHz)
{
    std::vector<double> peaks;
    double spacing = f0, last = 0;
    for (int k = 1;; ++k) {
        const double predicted = last + spacing;
        if (predicted > maxHz) break;
        const double peak = peakNear(s, predicted, (k == 1 ? 0.03 : 0.2) * f0);
        if (std::isnan(peak)) break;
        // A lost track (noise) may not walk backwards or stall.
        if (k > 1) spacing = std::clamp(peak - last, 0.8 * f0, 1.5 * f0);
        last = peak;
        peaks.push_back(peak);
    }
    return peaks;
}

// Amplitude of one frequency in a Hann-windowed stretch, by a rotating phasor.
double toneLevelDb(const std::vector<float>& x, long start, int length, double freq, double rate)
{
    double re = 0, im = 0, cr = 1, ci = 0;
    const double omega = 2 * kPi * freq / rate;
    const double sr = std::cos(omega), si = -std::sin(omega);
    const double windowStep = 2 * kPi / length;
    for (int n = 0; n < length; ++n) {
        const long i = start + n;
        if (i >= 0 && i < long(x.size())) {
            const double v = x[i] * (0.5 - 0.5 * std::cos(windowStep * (n + 0.5)));
            re += v * cr;
            im += v * ci;
        }
        const double r = cr * sr - ci * si;
        ci = cr * si + ci * sr;
        cr = r;
    }
    return 20 * std::log10(4.0 * std::hypot(re, im) / length + 1e-12);
}

struct Fit {
    double slope = kNaN;   // per second
    double scatter = kNaN;  // RMS distance from the line
};

Fit fitLine(const std::vector<double>& t, const std::vector<double>& y)
{
    Fit fit;
    const double n = double(t.size());
    if (t.size() < 4) return fit;
    const double mt = std::accumulate(t.begin(), t.end(), 0.0) / n;
    const double my = std::accumulate(y.begin(), y.end(), 0.0) / n;
    double stt = 0, sty = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        stt += (t[i] - mt) * (t[i] - mt);
        sty += (t[i] - mt) * (y[i] - my);
    }
    fit.slope = sty / stt;
    double residual = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        const double e = y[i] - (my + fit.slope * (t[i] - mt));
        residual += e * e;
    }
    fit.scatter = std::sqrt(residual / n);
    return fit;
}

double t60Of(const Fit& fit)
{
    return fit.slope < 0 ? -60.0 / fit.slope : kNaN;
}

// A level course in dB from `from` seconds after the onset, frame by frame, until it has
// fallen `range` dB below its first value or the note ends.
template <typename Level>
Fit decayCourse(const Note& note, long onset, double from, double to, int frame, double range,
                Level level)
{
    std::vector<double> times, levels;
    const long hop = long(0.05 * note.rate);
    for (long start = onset + long(from * note.rate);
         start + frame <= long(note.samples.size()) &&
         start - onset <= long(to * note.rate);
         start += hop) {
        const double db = level(start);
        if (!levels.empty() && db < levels.front() - range) break;
        times.push_back((start - onset + frame / 2.0) / note.rate);
        levels.push_back(db);
    }
    return fitLine(times, levels);
}

long onsetOf(const std::vector<float>& x)
{
    float peak = 0;
    for (float s : x) peak = std::max(peak, std::fabs(s));
    for (size_t n = 0; n < x.size(); ++n) {
        if (std::fabs(x[n]) >= 0.05f * peak) return long(n);
    }
    return 0;
}

double centroidAt(const Note& note, long at)
{
    constexpr int kFrame = 2048;
    const Spectrum s = spectrumOf(note.samples, note.rate, at - kFrame / 2, kFrame, kFrame);
    double weighted = 0, total = 0;
    for (size_t k = 1; k < s.power.size(); ++k) {
        const double magnitude = std::sqrt(s.power[k]);
        weighted += magnitude * k * s.binHz;
        total += magnitude;
    }
    return total > 0 ? weighted / total : kNaN;
}

}  // namespace

GuitarMeasures measureGuitar(const Note& note)
{
    GuitarMeasures m{};
    const std::vector<float>& x = note.samples;
    const double rate = note.rate, f0 = note.rootHz;
    const long onset = onsetOf(x);
    const auto at = [&](double seconds) { return onset + long(seconds * rate); };
    const double seconds = double(long(x.size()) - onset) / rate;

    // Between the partials: everything more than 15 Hz from a partial's peak, up to 5 kHz.
    {
        const int length = int(0.37 * rate);
        const Spectrum s =
            spectrumOf(x, rate, at(0.3), length, 4 * length, Window::blackmanHarris);
        const std::vector<double> peaks = partialSeries(s, f0, std::min(5000.0, rate / 2 - f0));
        double partials = 0, between = 0;
        const double top = peaks.empty() ? 0 : peaks.back() + 0.5 * f0;
        for (size_t k = size_t(0.5 * f0 / s.binHz); k < s.power.size() && k * s.binHz < top;
             ++k) {
            const double f = k * s.binHz;
            const auto nearest = std::lower_bound(peaks.begin(), peaks.end(), f);
            double distance = 1e9;
            if (nearest != peaks.end()) distance = *nearest - f;
            if (nearest != peaks.begin()) distance = std::min(distance, f - *(nearest - 1));
            (distance <= 15.0 ? partials : between) += s.power[k];
        }
        m.betweenPartialsDb = decibels(between / partials);
    }

    {
        const Spectrum s = spectrumOf(x, rate, onset, int(rate), int(rate));
        m.lowBandDb = decibels(bandPower(s, 80, 250) / bandPower(s, 20, rate / 2));
    }

    // The partials' own frequencies, from a long, finely resolved stretch.
    const Spectrum fine = spectrumOf(x, rate, at(0.1), int(std::min(1.0, seconds - 0.1) * rate),
                                     1 << 18);
    const std::vector<double> series = partialSeries(fine, f0, std::min(5000.0, rate / 2 - f0));

    // A partial's level wanders round its decay as the polarisations and neighbouring modes
    // pull it; over the first second, where a listener hears a note's life, and over 2.5 s.
    const auto partialScatter = [&](double from, double to) {
        double scatter = 0;
        int counted = 0;
        for (size_t k = 0; k < 4 && k < series.size(); ++k) {
            const int frame = 4096;
            const Fit fit = decayCourse(note, onset, from, to, frame, 40.0, [&](long start) {
                return toneLevelDb(x, start, frame, series[k], rate);
            });
            if (std::isnan(fit.scatter)) continue;
            scatter += fit.scatter;
            ++counted;
        }
        return counted > 0 ? scatter / counted : kNaN;
    };
    m.beatingDb = partialScatter(0.2, 2.5);
    m.beatingFirstSecondDb = partialScatter(0.05, 1.0 - 4096 / rate);

    {
        const int frame = int(0.05 * rate);
        const auto rms = [&](long start) {
            double sum = 0;
            for (long n = start; n < start + frame; ++n) sum += double(x[n]) * x[n];
            return decibels(sum / frame);
        };
        const Fit early = decayCourse(note, onset, 0.1, 0.55, frame, 80.0, rms);
        const Fit late = decayCourse(note, onset, 0.6, 2.5, frame, 80.0, rms);
        m.decayRatio = seconds > 1.2 ? early.slope / late.slope : kNaN;
        if (late.slope >= 0) m.decayRatio = kNaN;
    }

    {
        const Spectrum s = spectrumOf(x, rate, onset, int(0.01 * rate), 2048, Window::none);
        m.pickDb = decibels(bandPower(s, 4000, rate / 2) / bandPower(s, 20, rate / 2));
    }

    // A pick's scrape is noise, a string's partials are lines: the geometric over the
    // arithmetic mean of the power between 1 and 10 kHz tells them apart. Hann-windowed and
    // not zero-padded, so that neither truncation nor interpolation fills the gaps.
    {
        const int length = int(0.01 * rate);
        const Spectrum s = spectrumOf(x, rate, onset, length, length);
        double logSum = 0, sum = 0;
        int bins = 0;
        for (size_t k = size_t(std::ceil(1000 / s.binHz)); k < s.power.size() && k * s.binHz <= 10000;
             ++k) {
            logSum += std::log(s.power[k] + 1e-30);
            sum += s.power[k];
            ++bins;
        }
        m.pickFlatness = bins > 0 && sum > 0 ? std::exp(logSum / bins) / (sum / bins) : kNaN;
    }

    const double bands[3][2] = {{707, 1414}, {1414, 2828}, {2828, 5657}};
    std::map<long, Spectrum> frames;  // each frame's spectrum serves all three bands
    for (int b = 0; b < 3; ++b) {
        const int frame = 4096;
        const Fit fit = decayCourse(note, onset, 0.1, 30.0, frame, 45.0, [&](long start) {
            auto found = frames.find(start);
            if (found == frames.end()) {
                found = frames.emplace(start, spectrumOf(x, rate, start, frame, frame)).first;
            }
            return decibels(bandPower(found->second, bands[b][0], bands[b][1]));
        });
        m.t60Band[b] = t60Of(fit);
    }

    {
        const int frame = std::max(4096, int(10 * rate / f0));
        const double f1 = series.empty() ? f0 : series[0];
        m.fundamentalT60 = t60Of(decayCourse(note, onset, 0.2, 30.0, frame, 50.0, [&](long start) {
            return toneLevelDb(x, start, frame, f1, rate);
        }));
    }

    // (f_k / k)^2 = f0^2 (1 + B k^2): a straight line in k^2 whose slope over its intercept
    // is B. Partials far down the spectrum (a node at the pluck point) are left out.
    {
        double strongest = 0;
        std::vector<double> levels;
        for (double f : series) {
            levels.push_back(fine.power[size_t(f / fine.binHz + 0.5)]);
            strongest = std::max(strongest, levels.back());
        }
        std::vector<double> kk, ff;
        for (size_t i = 0; i < series.size() && i < 30; ++i) {
            if (levels[i] < strongest * 1e-6) continue;
            const double k = double(i + 1);
            kk.push_back(k * k);
            ff.push_back((series[i] / k) * (series[i] / k));
        }
        const Fit fit = fitLine(kk, ff);
        const double mean = std::accumulate(ff.begin(), ff.end(), 0.0) / std::max<size_t>(1, ff.size());
        const double meanK = std::accumulate(kk.begin(), kk.end(), 0.0) / std::max<size_t>(1, kk.size());
        m.inharmonicity = fit.slope / (mean - fit.slope * meanK);
    }

    const double centroidTimes[4] = {0.02, 0.1, 0.5, 1.0};
    for (int i = 0; i < 4; ++i) m.centroidHz[i] = centroidAt(note, at(centroidTimes[i]));
    m.harmonics100 = m.centroidHz[1] / f0;
    return m;
}

Note asNote(const std::vector<int16_t>& samples, const Recording& recording)
{
    Note note;
    note.rate = kSampleRate;
    note.rootHz = noteFrequency(recording.rootNote);
    for (int16_t s : samples) note.samples.push_back(float(s / 32768.0));
    return note;
}

namespace {

uint32_t le32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

uint16_t le16(const std::vector<uint8_t>& b, size_t at)
{
    return uint16_t(b[at] | b[at + 1] << 8);
}

struct Range {
    size_t offset = 0, size = 0;
};

// The chunks of one LIST (or of the file's RIFF form), by id.
void listChunks(const std::vector<uint8_t>& b, size_t begin, size_t end,
                std::vector<std::pair<std::string, Range>>& out)
{
    for (size_t pos = begin; pos + 8 <= end;) {
        const std::string id(b.begin() + long(pos), b.begin() + long(pos) + 4);
        const size_t size = le32(b, pos + 4);
        if (pos + 8 + size > end) return;
        if (id == "LIST" && size >= 4) {
            listChunks(b, pos + 12, pos + 8 + size, out);
        } else {
            out.push_back({id, {pos + 8, size}});
        }
        pos += 8 + size + (size & 1);
    }
}

struct Generators {
    int keyLow = 0, keyHigh = 127, velLow = 0, velHigh = 127;
    int instrument = -1, sample = -1, rootKey = -1;
};

// The generators of zone z of a bag list (pbag or ibag) over its generator list.
Generators zoneGenerators(const std::vector<uint8_t>& b, Range bags, Range gens, size_t z)
{
    Generators g;
    const size_t first = le16(b, bags.offset + 4 * z), last = le16(b, bags.offset + 4 * (z + 1));
    for (size_t i = first; i < last && 4 * (i + 1) <= gens.size; ++i) {
        const size_t at = gens.offset + 4 * i;
        const int oper = le16(b, at);
        const int amount = le16(b, at + 2);
        switch (oper) {
        case 43: g.keyLow = b[at + 2]; g.keyHigh = b[at + 3]; break;
        case 44: g.velLow = b[at + 2]; g.velHigh = b[at + 3]; break;
        case 41: g.instrument = amount; break;
        case 53: g.sample = amount; break;
        case 58: g.rootKey = amount; break;
        default: break;
        }
    }
    return g;
}

bool plays(const Generators& g, int key)
{
    return key >= g.keyLow && key <= g.keyHigh && 100 >= g.velLow && 100 <= g.velHigh;
}

}  // namespace

Note soundfontNote(const std::vector<uint8_t>& b, int preset, int key)
{
    Note note;
    if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF") return note;
    std::vector<std::pair<std::string, Range>> chunks;
    listChunks(b, 12, std::min(b.size(), size_t(le32(b, 4)) + 8), chunks);
    auto find = [&](const char* id) {
        for (const auto& [name, range] : chunks) {
            if (name == id) return range;
        }
        return Range{};
    };
    const Range smpl = find("smpl"), phdr = find("phdr"), pbag = find("pbag"),
                pgen = find("pgen"), inst = find("inst"), ibag = find("ibag"),
                igen = find("igen"), shdr = find("shdr");
    if (smpl.size == 0 || phdr.size < 76 || inst.size < 44 || shdr.size < 46) return note;

    int instrument = -1;
    for (size_t p = 0; p + 1 < phdr.size / 38 && instrument < 0; ++p) {
        const size_t at = phdr.offset + 38 * p;
        if (le16(b, at + 20) != preset || le16(b, at + 22) != 0) continue;
        for (size_t z = le16(b, at + 24); z < le16(b, at + 38 + 24); ++z) {
            const Generators g = zoneGenerators(b, pbag, pgen, z);
            if (g.instrument >= 0 && plays(g, key)) {
                instrument = g.instrument;
                break;
            }
        }
    }
    if (instrument < 0 || size_t(instrument + 1) >= inst.size / 22) return note;
    const size_t at = inst.offset + 22 * size_t(instrument);
    for (size_t z = le16(b, at + 20); z < le16(b, at + 22 + 20); ++z) {
        const Generators g = zoneGenerators(b, ibag, igen, z);
        if (g.sample < 0 || !plays(g, key) || size_t(g.sample) >= shdr.size / 46) continue;
        const size_t h = shdr.offset + 46 * size_t(g.sample);
        const size_t start = le32(b, h + 20), end = le32(b, h + 24);
        if (end <= start || smpl.offset + 2 * end > b.size()) return note;
        note.rate = le32(b, h + 36);
        const int root = g.rootKey >= 0 ? g.rootKey : b[h + 40];
        const int cents = int8_t(b[h + 41]);
        note.rootHz = 440.0 * std::pow(2.0, (root - 69 - cents / 100.0) / 12.0);
        for (size_t i = start; i < end; ++i) {
            note.samples.push_back(float(int16_t(le16(b, smpl.offset + 2 * i)) / 32768.0));
        }
        return note;
    }
    return note;
}

}  // namespace recordings
