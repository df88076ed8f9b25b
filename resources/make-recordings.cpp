// Synthesises the 25 guitar recordings as RIFF/WAVE files at build time: a modal model of a
// plucked steel string, a pick transient, then an acoustic body or an electric pickup chain.
//
//   make-recordings OUTDIR              writes OUTDIR/<resource id>.wav for every recording
//   make-recordings --listening OUTDIR  writes strummed E and C major chords of each set
//
// The output must be byte-identical from run to run, so randomness comes from our own
// generator seeded per note and every sum is taken in a fixed order.
#include "resources/recording-table.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using recordings::kSampleRate;
using recordings::Recording;
using recordings::SoundSet;

constexpr double kPi = 3.14159265358979323846;

// The tone of each set; see the comments at the use sites for the physics.
struct Voicing {
    double seconds;
    double t60AtLowE;        // decay of a low E fundamental, seconds
    double dampingCorner;    // Hz where the string losses double the decay rate
    double pickupPosition;   // fraction of the scale from the bridge; 0 for none
    double pickNoiseLevel;   // relative to the string's peak
};

constexpr Voicing kAcoustic = {4.0, 6.0, 1500.0, 0.0, 0.12};
constexpr Voicing kElectric = {6.0, 8.0, 2000.0, 0.25, 0.05};

constexpr double kPluckPosition = 0.13;    // fraction of the scale from the bridge
constexpr double kPickCorner = 3500.0;     // the pick's width rounds off the kink
constexpr double kHighestPartial = 12000.0;
constexpr double kPeakLevel = 0.70794578;  // -3 dBFS
constexpr int kTrailingZeros = 64;         // the sampler loops the last two samples
constexpr int kAttackSamples = 66;         // 1.5 ms: the pick leaves the string smoothly
constexpr int kBlock = 512;                // samples per table of a partial's course
constexpr double kDriveRms = 0.2;          // amplifier input level of the sustained tone

// PCG32 (O'Neill), written out so that every platform draws the same numbers.
class Random
{
public:
    explicit Random(uint64_t seed) : state_(0)
    {
        next();
        state_ += seed;
        next();
    }

    uint32_t next()
    {
        const uint64_t old = state_;
        state_ = old * 6364136223846793005ULL + 1442695040888963407ULL;
        const uint32_t xorshifted = uint32_t(((old >> 18u) ^ old) >> 27u);
        const uint32_t rot = uint32_t(old >> 59u);
        return (xorshifted >> rot) | (xorshifted << ((32u - rot) & 31u));
    }

    // Uniform in [-1, 1).
    double bipolar() { return next() * (2.0 / 4294967296.0) - 1.0; }

private:
    uint64_t state_;
};

// Second-order section (RBJ cookbook forms), run in double so that the low body
// resonances stay stable and exact.
class Biquad
{
public:
    static Biquad lowpass(double freq, double q) { return make(freq, q, 0.0, Kind::lowpass); }
    static Biquad highpass(double freq, double q) { return make(freq, q, 0.0, Kind::highpass); }
    static Biquad peak(double freq, double q, double gainDb)
    {
        return make(freq, q, gainDb, Kind::peak);
    }

    void process(std::vector<double>& signal)
    {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (double& s : signal) {
            const double y = b0_ * s + b1_ * x1 + b2_ * x2 - a1_ * y1 - a2_ * y2;
            x2 = x1;
            x1 = s;
            y2 = y1;
            y1 = y;
            s = y;
        }
    }

private:
    enum class Kind { lowpass, highpass, peak };

    static Biquad make(double freq, double q, double gainDb, Kind kind)
    {
        const double w = 2.0 * kPi * freq / kSampleRate;
        const double alpha = std::sin(w) / (2.0 * q);
        const double c = std::cos(w);
        double b0, b1, b2, a0, a1, a2;
        if (kind == Kind::peak) {
            const double a = std::pow(10.0, gainDb / 40.0);
            b0 = 1 + alpha * a;
            b1 = -2 * c;
            b2 = 1 - alpha * a;
            a0 = 1 + alpha / a;
            a1 = -2 * c;
            a2 = 1 - alpha / a;
        } else {
            const bool low = kind == Kind::lowpass;
            b0 = low ? (1 - c) / 2 : (1 + c) / 2;
            b1 = low ? 1 - c : -(1 + c);
            b2 = b0;
            a0 = 1 + alpha;
            a1 = -2 * c;
            a2 = 1 - alpha;
        }
        Biquad f;
        f.b0_ = b0 / a0;
        f.b1_ = b1 / a0;
        f.b2_ = b2 / a0;
        f.a1_ = a1 / a0;
        f.a2_ = a2 / a0;
        return f;
    }

    double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
};

// One exponentially decaying partial: amplitude * d^n * cos(w n).
struct Partial {
    double amplitude;
    double omega;     // radians per sample
    double logDecay;  // ln d, negative
    int lifetime;     // samples until it falls below audibility
};

// Where a guitarist plays the note: the highest open string at or below it.
int fretOf(int note)
{
    const int openStrings[] = {64, 59, 55, 50, 45, 40};
    for (int open : openStrings) {
        if (note >= open) return note - open;
    }
    return 0;
}

// The string's partials: two polarisations of each mode, the second slightly sharper and
// longer-lived, so the note beats gently and decays in two stages like a real string.
std::vector<Partial> stringPartials(const Recording& rec, const Voicing& voicing, Random& random)
{
    const double f0 = recordings::noteFrequency(rec.rootNote);
    // Stiffness: thick wound strings are noticeably inharmonic, thin plain ones hardly.
    const double lowness = std::clamp((76.0 - rec.rootNote) / 36.0, 0.0, 1.0);
    const double inharmonicity = 3e-5 * std::pow(1e-4 / 3e-5, lowness);
    const double t0 = voicing.t60AtLowE * std::pow(82.4 / f0, 0.35);
    // The picking hand stays put while the fret shortens the string, so on higher frets
    // the pluck sits at a larger fraction of the sounding length: rounder, fuller notes.
    // The pickup's comb is left at its open-string place on purpose: moving it too would
    // hollow out the notes around the twelfth fret (even partials vanish) and unbalance a
    // strum across the set.
    const double pluckPosition = kPluckPosition * std::pow(2.0, fretOf(rec.rootNote) / 12.0);

    std::vector<Partial> partials;
    for (int k = 1;; ++k) {
        const double kk = double(k) * k;
        const double f = k * f0 * std::sqrt((1 + inharmonicity * kk) / (1 + inharmonicity));
        if (f > kHighestPartial) break;
        double amplitude = std::sin(k * kPi * pluckPosition) / k;
        amplitude /= std::sqrt(1 + (f / kPickCorner) * (f / kPickCorner));
        if (voicing.pickupPosition > 0) {
            amplitude *= std::sin(k * kPi * voicing.pickupPosition);
        }
        const double t60 = t0 / (1 + (f / voicing.dampingCorner) * (f / voicing.dampingCorner));

        // The fundamental's second polarisation is detuned so little that it only bends
        // the decay; higher modes beat faster, as on a real string.
        const double detuneHz = k == 1 ? 0.04 : 0.04 * k * (1.0 + 0.3 * random.bipolar());
        const struct {
            double freq, amplitude, t60;
        } polarisations[] = {{f, amplitude, t60}, {f + detuneHz, 0.2 * amplitude, 1.4 * t60}};
        for (const auto& p : polarisations) {
            if (std::fabs(p.amplitude) < 1e-7) continue;
            Partial partial;
            partial.amplitude = p.amplitude;
            partial.omega = 2 * kPi * p.freq / kSampleRate;
            partial.logDecay = -3.0 * std::log(10.0) / (p.t60 * kSampleRate);
            // -140 dB below full amplitude is far below the 16-bit floor.
            partial.lifetime = int(std::min(1e9, std::log(1e-7 / std::fabs(p.amplitude)) /
                                                     partial.logDecay));
            partials.push_back(partial);
        }
    }
    return partials;
}

// Sums the partials block by block. Each partial's course over one block is a fixed table,
// so a block costs one complex multiply-add per sample, with the state at the block start
// taken exactly from the closed form so that no error accumulates over seconds.
std::vector<double> renderPartials(const std::vector<Partial>& partials, int length)
{
    std::vector<double> out(length, 0.0);
    std::vector<float> tableRe(kBlock), tableIm(kBlock), block(kBlock);
    for (const Partial& p : partials) {
        double re = 1, im = 0;
        const double stepRe = std::exp(p.logDecay) * std::cos(p.omega);
        const double stepIm = std::exp(p.logDecay) * std::sin(p.omega);
        for (int n = 0; n < kBlock; ++n) {
            tableRe[n] = float(re);
            tableIm[n] = float(im);
            const double r = re * stepRe - im * stepIm;
            im = re * stepIm + im * stepRe;
            re = r;
        }
        const int end = std::min(length, p.lifetime);
        for (int start = 0; start < end; start += kBlock) {
            const double magnitude = p.amplitude * std::exp(p.logDecay * start);
            const double phase = std::fmod(p.omega * start, 2 * kPi);
            const float sr = float(magnitude * std::cos(phase));
            const float si = float(magnitude * std::sin(phase));
            const int count = std::min(kBlock, length - start);
            for (int n = 0; n < count; ++n) block[n] = sr * tableRe[n] - si * tableIm[n];
            double* o = out.data() + start;
            for (int n = 0; n < count; ++n) o[n] += block[n];
        }
    }
    return out;
}

double peakOf(const std::vector<double>& signal)
{
    double peak = 0;
    for (double s : signal) peak = std::max(peak, std::fabs(s));
    return peak;
}

// The pick scraping off the string: a few milliseconds of decaying, softened noise.
void addPickNoise(std::vector<double>& signal, double level, Random& random)
{
    const int length = kSampleRate * 8 / 1000;
    const double decay = std::exp(-1.0 / (0.0015 * kSampleRate));
    const double smoothing = 0.45;
    double envelope = level, smoothed = 0;
    for (int n = 0; n < length && n < int(signal.size()); ++n) {
        smoothed += smoothing * (random.bipolar() - smoothed);
        signal[n] += envelope * smoothed;
        envelope *= decay;
    }
}

void acousticBody(std::vector<double>& signal)
{
    Biquad::highpass(70.0, 0.707).process(signal);
    Biquad::peak(102.0, 4.0, 3.0).process(signal);  // air mode of the sound hole
    Biquad::peak(204.0, 3.0, 3.0).process(signal);  // top plate
    Biquad::peak(410.0, 3.0, 2.5).process(signal);  // back and top together
}

void electricChain(std::vector<double>& signal)
{
    // Pickup inductance against cable capacitance: a resonant lowpass.
    Biquad::lowpass(3500.0, 1.4).process(signal);
    // A clean amplifier pushed a little: a cubic soft clip whose gain is set by the level
    // of the first half second, so only the sharpest attacks get rounded.
    double energy = 0;
    const int span = std::min(int(signal.size()), kSampleRate / 2);
    for (int n = 0; n < span; ++n) energy += signal[n] * signal[n];
    const double drive = kDriveRms / std::sqrt(energy / span);
    for (double& s : signal) {
        const double x = std::clamp(s * drive, -1.0, 1.0);
        s = x - x * x * x / 3.0;
    }
    // A guitar speaker's band.
    Biquad::highpass(90.0, 0.707).process(signal);
    Biquad::lowpass(5000.0, 0.707).process(signal);
}

// Fades, DC removal and level, ending in exact zeros; returns 16-bit samples.
std::vector<int16_t> finish(std::vector<double>& signal)
{
    const int length = int(signal.size());
    const int soundEnd = length - kTrailingZeros;
    const int fadeStart = soundEnd - length / 4;
    for (int n = 0; n < length; ++n) {
        double gain = 1.0;
        if (n >= fadeStart) {
            gain = 0.5 + 0.5 * std::cos(kPi * (n - fadeStart) / (soundEnd - fadeStart));
        }
        if (n >= soundEnd) gain = 0.0;
        signal[n] *= gain;
    }
    // Subtract the mean under a window that vanishes at both ends, so the first sample and
    // the trailing zeros stay exactly zero.
    double sum = 0, weight = 0;
    std::vector<double> window(length, 0.0);
    for (int n = 0; n < soundEnd; ++n) {
        const double s = std::sin(kPi * n / soundEnd);
        window[n] = s * s;
        sum += signal[n];
        weight += window[n];
    }
    const double mean = sum / weight;
    for (int n = 0; n < length; ++n) signal[n] -= mean * window[n];

    const double scale = kPeakLevel * 32768.0 / peakOf(signal);
    std::vector<int16_t> pcm(length);
    for (int n = 0; n < length; ++n) pcm[n] = int16_t(std::lround(signal[n] * scale));
    return pcm;
}

std::vector<int16_t> synthesise(const Recording& rec)
{
    const Voicing& voicing = rec.set == SoundSet::acoustic ? kAcoustic : kElectric;
    Random random(0x9E3779B97F4A7C15ULL * uint64_t(rec.resourceId));
    const int length = int(voicing.seconds * kSampleRate);
    std::vector<double> signal = renderPartials(stringPartials(rec, voicing, random), length);
    addPickNoise(signal, voicing.pickNoiseLevel * peakOf(signal), random);
    // Fading in before the filters keeps the very first sample at exactly zero.
    for (int n = 0; n < kAttackSamples; ++n) {
        signal[n] *= 0.5 - 0.5 * std::cos(kPi * n / kAttackSamples);
    }
    if (rec.set == SoundSet::acoustic) {
        acousticBody(signal);
    } else {
        electricChain(signal);
    }
    return finish(signal);
}

const char* const kNoteNames[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

std::string noteName(int note)
{
    return std::string(kNoteNames[note % 12]) + std::to_string(note / 12 - 1);
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

void put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void putId(std::vector<uint8_t>& out, const char* id)
{
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(id[i]));
}

// A text sub-chunk of an INFO list, zero-terminated. The loader walks chunks without
// skipping pad bytes, so only the last text of a file may have an odd size (its pad byte
// is then the file's last byte); earlier texts are given an even size with a second zero.
void putText(std::vector<uint8_t>& out, const char* id, const std::string& text, bool last)
{
    size_t size = text.size() + 1;
    if (!last && size % 2 != 0) ++size;
    putId(out, id);
    put32(out, uint32_t(size));
    out.insert(out.end(), text.begin(), text.end());
    out.insert(out.end(), size - text.size(), 0);
    if (size % 2 != 0) out.push_back(0);
}

// The file's bytes are laid out by hand: the loader relies on the exact chunk order, and
// the INFO list must end in an odd-sized text followed by its pad byte.
std::vector<uint8_t> waveFile(const std::vector<int16_t>& pcm, const std::string& title,
                              bool withInfoList)
{
    std::vector<uint8_t> body;
    putId(body, "WAVE");
    putId(body, "fmt ");
    put32(body, 16);
    put16(body, 1);  // integer PCM
    put16(body, 1);  // mono
    put32(body, kSampleRate);
    put32(body, kSampleRate * 2);
    put16(body, 2);
    put16(body, 16);
    putId(body, "data");
    put32(body, uint32_t(pcm.size() * 2));
    for (int16_t s : pcm) put16(body, uint16_t(s));
    if (withInfoList) {
        std::vector<uint8_t> info;
        putId(info, "INFO");
        putText(info, "INAM", title, false);
        // 24 characters and the terminator: odd, so the file ends in a pad byte.
        putText(info, "ISFT", "Lyrevane make-recordings", true);
        putId(body, "LIST");
        put32(body, uint32_t(info.size()));
        body.insert(body.end(), info.begin(), info.end());
    }
    std::vector<uint8_t> file;
    putId(file, "RIFF");
    put32(file, uint32_t(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

bool writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "make-recordings: cannot write %s\n", path.c_str());
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && ok;
}

std::string setName(SoundSet set)
{
    return set == SoundSet::acoustic ? "acoustic" : "electric";
}

bool writeRecordings(const std::filesystem::path& dir)
{
    for (const Recording& rec : recordings::kRecordings) {
        const std::string title = (rec.set == SoundSet::acoustic ? "Acoustic guitar "
                                                                  : "Electric guitar ") +
                                  noteName(rec.rootNote);
        if (!writeFile(dir / (std::to_string(rec.resourceId) + ".wav"),
                       waveFile(synthesise(rec), title, rec.hasInfoList))) {
            return false;
        }
    }
    return true;
}

// Plays a chord the way the instrument does: each string a note on the nearest recording at
// or below it, read at the note's speed without interpolation, one string every 460 samples
// with falling velocities, mixed at a quarter of full scale.
void strum(std::vector<double>& mix, int start, const std::vector<int>& notes, SoundSet set,
           const std::vector<std::vector<int16_t>>& takes)
{
    constexpr int kSpacing = 460;
    int velocity = 92;
    int offset = start;
    for (int note : notes) {
        size_t chosen = 0;
        bool found = false;
        for (size_t i = 0; i < recordings::kRecordingCount; ++i) {
            const Recording& rec = recordings::kRecordings[i];
            if (rec.set != set) continue;
            if (!found || rec.rootNote <= note) chosen = i;
            found = true;
        }
        const Recording& rec = recordings::kRecordings[chosen];
        const std::vector<int16_t>& take = takes[chosen];
        const float step = float(recordings::noteFrequency(note)) /
                           float(recordings::noteFrequency(rec.rootNote));
        const double gain = velocity / 127.0 * 0.25 / 32768.0;
        float fraction = 0;
        size_t position = 0;
        for (int n = offset; n < int(mix.size()) && position < take.size(); ++n) {
            mix[n] += gain * take[position];
            const float advance = step + fraction;
            const int whole = int(advance);
            position += whole;
            fraction = advance - whole;
        }
        velocity -= 8;
        offset += kSpacing;
    }
}

bool writeListening(const std::filesystem::path& dir)
{
    std::vector<std::vector<int16_t>> takes;
    for (const Recording& rec : recordings::kRecordings) takes.push_back(synthesise(rec));
    const std::vector<int> eMajor = {40, 47, 52, 56, 59, 64};
    const std::vector<int> cMajor = {48, 52, 55, 60, 64};
    for (SoundSet set : {SoundSet::acoustic, SoundSet::electric}) {
        const int chordGap = 3 * kSampleRate;
        std::vector<double> mix(2 * chordGap + 2 * kSampleRate, 0.0);
        strum(mix, 0, eMajor, set, takes);
        strum(mix, chordGap, cMajor, set, takes);
        std::vector<int16_t> pcm(mix.size());
        for (size_t n = 0; n < mix.size(); ++n) {
            pcm[n] = int16_t(std::lround(std::clamp(mix[n], -1.0, 32767.0 / 32768.0) * 32768.0));
        }
        const std::string name = "listening-" + setName(set);
        if (!writeFile(dir / (name + ".wav"), waveFile(pcm, name, false))) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool listening = argc == 3 && std::strcmp(argv[1], "--listening") == 0;
    if (argc != 2 && !listening) {
        std::fprintf(stderr, "usage: make-recordings [--listening] OUTDIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[argc - 1];
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        std::fprintf(stderr, "make-recordings: cannot create %s\n", dir.c_str());
        return 1;
    }
    return (listening ? writeListening(dir) : writeRecordings(dir)) ? 0 : 1;
}
