// Synthesises the guitar recordings as RIFF/WAVE files at build time: a modal model of a
// plucked steel string in two polarisations, sympathetic open strings, a pick transient, then
// an acoustic body ringing on its own or an electric pickup chain. Besides the 25 ringing
// notes, each open string of each set has a palm-muted and a dead take from the same model.
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
    double t60AtLowE;        // decay of a low E fundamental's first polarisation, seconds
    double lossPerHz;        // how much faster each Hz of a partial decays (1/T60 per Hz)
    double pickupPosition;   // fraction of the scale from the bridge; 0 for none
    double inharmonicity[6]; // B of each open string, low E to high E
    double bodyLevel;        // the body's own ring against the string's first half second (RMS)
    double pickLevel[6];     // the pick's scrape against the string's first 10 ms, by string; 0 none
    double pickCorner[6];    // where the scrape's noise rolls off, by string (Hz)
    double secondLevel;      // the second polarisation against the first, on average
    double secondLonger;     // how many times longer it rings, on average
    double detuneHz;         // how far apart the two beat, on average
    double harmonicCorner;   // partial number of a low E where the pick's rounding sets in; 0 none
    double decaySlope;       // the fundamental's T60 falls as (low E / f0)^decaySlope
    double lowNoteLoss;      // extra loss per Hz, per octave of f0 below 300 Hz; 0 none
    double plainBrightness[6]; // how much flatter than 1/k each string's partials fall
    double attackLevel;      // a share of each partial that settles within the first tenths; 0 none
    double bodyLoss;         // extra 1/T60 where the body draws most from the string, near 1 kHz
    double brilliance;       // how much more strongly partials above kBrillianceHz radiate; 1 none
    double neighbourLevel;   // a weak neighbouring mode beside each partial, on average; 0 none
    double neighbourHz;      // how far from the partial it sits, on average
};

// Stiffness by string: wound strings are stiff for their pitch, the plain third of an
// electric set most of all. A fret shortens the string, and B grows as 1 / length^2. The
// acoustic's low E and A are kept at the soft end of real strings: their bright upper
// partials, stretched sharp by stiffness, would otherwise pull the pitch a listener (or a
// tracker weighing the upper partials) hears more than 8 cents above the fundamental's.
// The scrape is duller on the plain strings; its level follows how bright each string's
// own attack already is, so that every string starts with a broadband burst.
constexpr Voicing kAcoustic = {10.0, 12.0, 1.0 / 5500.0, 0.0,
                               {1.8e-5, 2.2e-5, 2.8e-5, 2.2e-5, 2.0e-5, 1.4e-5},
                               0.18,
                               {0.35, 0.55, 0.5, 0.5, 0.5, 0.5},
                               {8000, 8000, 8000, 4000, 4000, 4000},
                               0.75, 2.25, 0.6, 0.0,
                               0.3, 0.5, {0, 0, 0, 0.3, 0.27, 0.18}, 0.0, 0.11, 2.0, 0.0, 0.0};
// The electric's solid body and neck still ring a little between the string's partials, as
// real clean electrics do some 45 dB below them; each partial beats with a neighbour.
constexpr Voicing kElectric = {12.0, 28.0, 1.0 / 15000.0, 0.06,
                               {4.5e-5, 3.1e-5, 4.5e-5, 5.0e-5, 3.0e-5, 2.5e-5},
                               0.2, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, 0.4, 1.5, 0.15, 6.0,
                               0.35, 2.5, {0, 0, 0, 0.4, 0.4, 0.4}, 0.8, 0.0, 1.0, 0.05, 2.5};

// What a hand on the strings changes: it draws energy from every partial, the more the
// higher the partial, and may take the top off the pluck itself or slap the strings.
struct TakeShape {
    double seconds;          // long enough for the string to die away
    double fadeSeconds;      // the closing fade
    double damping;          // extra 1/T60 of every partial and of the sympathetic strings
    double dampingPerHz;     // extra 1/T60 per Hz of the partial
    double pluckCorner;      // above it the hand rounds the pluck's partials off (Hz); 0 none
    double slapLevel;        // the hand's slap against the string's first 10 ms; 0 none
    double driveSeconds;     // the span whose level sets the amplifier's gain
    double bodyShare;        // how much of the ringing note's push the body gets
};

// The picking hand's edge on the strings by the bridge: the low partials ring for a second
// or so, those near 1 kHz for some tenths, and the pluck loses its top.
constexpr TakeShape kPalmMuted = {3.0, 0.5, 0.5, 0.0022, 1200.0, 0.0, 0.02, 1.0};
// The fretting hand resting on the strings: every partial dies within some tens of
// milliseconds, the fundamental first among the strong ones, and the hand and the pick
// slap the strings, a broadband burst.
constexpr TakeShape kDead = {0.5, 0.2, 30.0, 0.004, 0.0, 1.5, 0.02, 0.3};

constexpr double kPluckPosition = 0.13;    // fraction of the scale from the bridge
constexpr double kPickCorner = 7000.0;     // the pick's width rounds off the kink
constexpr double kBrillianceHz = 3500.0;   // where the top starts to radiate more efficiently
constexpr double kHighestPartial = 12000.0;
constexpr double kPeakLevel = 0.70794578;  // -3 dBFS
constexpr double kAttackT60 = 0.45;        // how fast the attack share settles, seconds
constexpr double kNeighbourT60 = 0.3;      // a neighbouring mode's ring against its partial's
constexpr double kScrapeSeconds = 0.005;   // time constant of the pick's scrape
constexpr double kBodyLossOctaves = 0.7;   // width of the body's pull on the string
constexpr int kTrailingZeros = 64;         // the sampler loops the last two samples
constexpr double kFadeSeconds = 1.0;       // the closing fade, long after the note is inaudible
constexpr int kBlock = 512;                // samples per table of a partial's course
constexpr double kDriveRms = 0.2;          // amplifier input level of the sustained tone
const int kOpenStrings[6] = {40, 45, 50, 55, 59, 64};

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

// One exponentially decaying partial: amplitude * d^n * sin(w n), starting at exactly zero.
struct Partial {
    double amplitude;
    double omega;     // radians per sample
    double logDecay;  // ln d, negative
    int lifetime;     // samples until it falls below audibility
};

Partial makePartial(double freq, double amplitude, double t60)
{
    Partial partial;
    partial.amplitude = amplitude;
    partial.omega = 2 * kPi * freq / kSampleRate;
    partial.logDecay = -3.0 * std::log(10.0) / (t60 * kSampleRate);
    // -120 dB below full amplitude is far below the 16-bit floor.
    partial.lifetime =
        int(std::min(1e9, std::log(1e-6 / std::max(std::fabs(amplitude), 1e-9)) / partial.logDecay));
    return partial;
}

// Where a guitarist plays the note: the highest open string at or below it.
int stringOf(int note)
{
    for (int s = 5; s > 0; --s) {
        if (note >= kOpenStrings[s]) return s;
    }
    return 0;
}

// Decay of a partial at freq: the string's own losses rise with frequency. On a clean
// electric the low notes' upper partials die far sooner than their fundamentals ring (1 to
// 2 kHz within 1.4 to 3 s against 13 to 33 s), and more so the lower the note; from about
// D4 up they fade almost evenly across the spectrum, so their tone stays bright.
double partialT60(const Voicing& voicing, double f0, double freq)
{
    const double fundamental = voicing.t60AtLowE * std::pow(82.4 / f0, voicing.decaySlope);
    const double octavesBelow = std::max(0.0, std::log2(300.0 / f0));
    const double loss = voicing.lossPerHz * (1 + voicing.lowNoteLoss * octavesBelow);
    // An acoustic top's modes crowd around 1 kHz, where the bridge gives way most and so
    // draws energy out of the string fastest: the string's partials there ring shorter.
    const double octavesFromBody = std::log2(freq / 1000.0) / kBodyLossOctaves;
    const double body = voicing.bodyLoss * std::exp(-0.5 * octavesFromBody * octavesFromBody);
    return 1.0 / (1.0 / fundamental + freq * loss + body);
}

// The string's partials, each in two polarisations: the second, weaker, rings longer (on an
// acoustic 0.5 to 1.0 as strong and two to three times as long; an electric's pickup hears
// it less) and a fraction of a hertz apart, so every partial beats and the note decays in
// two stages like a real string.
void addStringPartials(std::vector<Partial>& partials, const Recording& rec,
                       const Voicing& voicing, const TakeShape* hand, Random& random)
{
    // A hand on the string adds its losses to the string's own; the ringing take has none.
    const auto damped = [hand](double t60, double freq) {
        return hand ? 1.0 / (1.0 / t60 + hand->damping + hand->dampingPerHz * freq) : t60;
    };
    const double f0 = recordings::noteFrequency(rec.rootNote);
    const int string = stringOf(rec.rootNote);
    const int fret = rec.rootNote - kOpenStrings[string];
    const double inharmonicity = voicing.inharmonicity[string] * std::pow(2.0, fret / 6.0);
    // The picking hand stays put while the fret shortens the string, so on higher frets
    // the pluck sits at a larger fraction of the sounding length: rounder, fuller notes.
    // The pickup's comb is left at its open-string place on purpose: moving it too would
    // hollow out the notes around the twelfth fret and unbalance a strum across the set.
    const double pluckPosition = kPluckPosition * std::pow(2.0, fret / 12.0);
    // A generator of their own, so that the string's other draws stay as they were.
    Random neighbours(0xD1B54A32D192ED03ULL * uint64_t(rec.resourceId));

    for (int k = 1;; ++k) {
        const double kk = double(k) * k;
        const double f = k * f0 * std::sqrt((1 + inharmonicity * kk) / (1 + inharmonicity));
        if (f > kHighestPartial) break;
        double amplitude = std::sin(k * kPi * pluckPosition) / k;
        // The light plain strings (G, B and high E) bend sharply round the pick, so their
        // upper partials fall off more slowly than a wound string's. On the acoustic's high
        // E less so: its partials reach the top octaves within a few steps, where more would
        // make every sample step a click.
        if (voicing.plainBrightness[string] > 0) {
            amplitude *= std::pow(double(k), voicing.plainBrightness[string]);
        }
        amplitude /= std::sqrt(1 + (f / kPickCorner) * (f / kPickCorner));
        if (voicing.harmonicCorner > 0) {
            // Thinner strings bend more sharply round the pick: the corner climbs with pitch,
            // and past it the partials fall steeply, which keeps the low notes dark.
            const double corner = voicing.harmonicCorner * f0 / 82.4;
            amplitude /= 1 + kk / (corner * corner);
        }
        if (voicing.pickupPosition > 0) {
            amplitude *= std::sin(k * kPi * voicing.pickupPosition);
        }
        // An acoustic top radiates the upper partials more efficiently than the low ones:
        // real steel-string notes keep their brightness through the first 100 ms.
        const double x = (f / kBrillianceHz) * (f / kBrillianceHz);
        amplitude *= std::sqrt((1 + x * voicing.brilliance * voicing.brilliance) / (1 + x));
        if (hand && hand->pluckCorner > 0) {
            amplitude /= std::sqrt(1 + (f / hand->pluckCorner) * (f / hand->pluckCorner));
        }
        const double t60 = partialT60(voicing, f0, f);
        const double second = voicing.secondLevel * (1.0 + 0.33 * random.bipolar());
        const double longer = voicing.secondLonger * (1.0 + 0.11 * random.bipolar());
        // The fundamental's pair sits closer, around the note's own frequency weighted by
        // strength, so that the note stays in tune; higher pairs beat a fraction of a hertz
        // apart, the longer-lived one above or below at random: were it always above, the
        // low partials would drift sharp as the note rings and a tracker would hear it so.
        double detune = 0.1;
        if (k > 1) {
            detune = voicing.detuneHz * (1.0 + 0.66 * random.bipolar());
            if (random.next() & 1) detune = -detune;
        }
        const double below = detune * second / (1 + second);
        partials.push_back(makePartial(f - below, amplitude, damped(t60, f)));
        partials.push_back(
            makePartial(f - below + detune, second * amplitude, damped(longer * t60, f)));
        // Real picked notes fall 2 to 3 dB within their first 50 ms as the string settles
        // off the pick; this also keeps each note's peak in its attack.
        if (voicing.attackLevel > 0) {
            partials.push_back(
                makePartial(f - below, voicing.attackLevel * amplitude, damped(kAttackT60, f)));
        }
        // Real partials do not fall smoothly even within the first second: a neighbouring
        // mode of the string on its neck, a few hertz off, beats against each one and dies
        // sooner, so the wobble shows in the attack and fades as the pair settles.
        if (voicing.neighbourLevel > 0) {
            double offset = voicing.neighbourHz * (1.0 + 0.5 * neighbours.bipolar());
            if (neighbours.next() & 1) offset = -offset;
            const double level = voicing.neighbourLevel * (1.0 + 0.5 * neighbours.bipolar());
            partials.push_back(
                makePartial(f - below + offset, level * amplitude, damped(kNeighbourT60 * t60, f)));
        }
    }
}

// The open strings that the note's partials excite: each rings weakly where one of its
// harmonics meets one of the note's, rising over some 40 ms as it picks up energy.
void addSympatheticStrings(std::vector<Partial>& partials, const Recording& rec,
                           const Voicing& voicing, const TakeShape* hand, double level)
{
    const double f0 = recordings::noteFrequency(rec.rootNote);
    const int played = stringOf(rec.rootNote);
    for (int s = 0; s < 6; ++s) {
        if (s == played) continue;
        const double open = recordings::noteFrequency(kOpenStrings[s]);
        for (int h = 1; h <= 6; ++h) {
            const double freq = h * open;
            const double ratio = freq / f0;
            if (std::fabs(ratio - std::round(ratio)) * f0 > 2.0 || ratio < 0.9) continue;
            const double amplitude = level / (h * std::round(ratio));
            double t60 = partialT60(voicing, open, freq);
            // The hand lies across every string.
            if (hand) t60 = 1.0 / (1.0 / t60 + hand->damping + hand->dampingPerHz * freq);
            partials.push_back(makePartial(freq, amplitude, t60));
            partials.push_back(makePartial(freq, -amplitude, 0.04 * 6.9 / 3.0));
        }
    }
}

// The body's resonances, struck by the pluck and ringing on their own: the air mode of the
// sound hole near 100 Hz, the top plate near 200 Hz and a thinning series above.
void addBodyModes(std::vector<Partial>& partials, double level, double f0)
{
    const struct {
        double freq, gain, t60;
    } modes[] = {{102, 1.0, 0.9},  {204, 0.9, 0.7},  {248, 0.8, 0.9},  {390, 1.2, 1.0},
                 {530, 1.0, 0.9}, {690, 0.9, 0.8}, {870, 0.8, 0.7}, {1090, 0.8, 0.6},
                 {1380, 0.7, 0.5}, {1750, 0.6, 0.4}, {2250, 0.5, 0.3}, {2900, 0.4, 0.25}};
    for (const auto& mode : modes) {
        // A mode below the note's fundamental gets only the pluck's brief push.
        const double drive = std::min(1.0, mode.freq / f0);
        partials.push_back(makePartial(mode.freq, level * mode.gain * drive, mode.t60));
    }
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
            // The imaginary part: a sine, so every partial starts from zero.
            for (int n = 0; n < count; ++n) block[n] = sr * tableIm[n] + si * tableRe[n];
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

// The pick scraping off the string: a few milliseconds of broadband noise from about 1 kHz
// up, set against the string's own first 10 ms, so that the attack sounds like a scrape and
// not only like the string's partials. Its level and colour follow the string.
void addPickScrape(std::vector<double>& signal, double level, double corner, Random& random)
{
    const int length = kSampleRate * 10 / 1000;
    std::vector<double> noise(length, 0.0);
    const double decay = std::exp(-1.0 / (kScrapeSeconds * kSampleRate));
    double envelope = 1.0;
    for (int n = 1; n < length; ++n) {  // from the second sample: the first stays zero
        noise[n] = envelope * random.bipolar();
        envelope *= decay;
    }
    Biquad::highpass(1000.0, 0.707).process(noise);
    Biquad::lowpass(corner, 0.707).process(noise);
    double stringEnergy = 0, noiseEnergy = 0;
    for (int n = 0; n < length; ++n) {
        stringEnergy += signal[n] * signal[n];
        noiseEnergy += noise[n] * noise[n];
    }
    const double gain = level * std::sqrt(stringEnergy / noiseEnergy);
    for (int n = 0; n < length; ++n) signal[n] += gain * noise[n];
}

void acousticBody(std::vector<double>& signal)
{
    Biquad::highpass(60.0, 0.707).process(signal);
    Biquad::peak(102.0, 4.0, 3.0).process(signal);  // air mode of the sound hole
    Biquad::peak(204.0, 3.0, 3.0).process(signal);  // top plate
}

void electricChain(std::vector<double>& signal, double driveSeconds)
{
    // Pickup inductance against cable capacitance: a resonant lowpass, and the strong, broad
    // presence near 2.3 kHz that real clean electrics show from G3 up, where those partials
    // stand some 15 dB above the fundamental and hold the tone bright as the note decays.
    Biquad::lowpass(5000.0, 1.2).process(signal);
    Biquad::peak(2350.0, 0.9, 16.0).process(signal);
    // Real clean electrics carry little of D3 to B3 below 250 Hz: a narrow dip near 150 Hz
    // spares the low E's 82 Hz, so its attack does not turn bright. Before the clip, whose
    // drive then makes up the level those notes lose, keeping a strum balanced.
    Biquad::peak(150.0, 2.0, -8.0).process(signal);
    // A clean amplifier pushed a little: a cubic soft clip whose gain is set by the level
    // of the first half second, so only the sharpest attacks get rounded. A muted take is
    // set by its pluck alone, as the amplifier's gain stays where the ringing notes set it.
    double energy = 0;
    const int span = std::min(int(signal.size()), int(driveSeconds * kSampleRate));
    for (int n = 0; n < span; ++n) energy += signal[n] * signal[n];
    const double drive = kDriveRms / std::sqrt(energy / span);
    for (double& s : signal) {
        const double x = std::clamp(s * drive, -1.0, 1.0);
        s = x - x * x * x / 3.0;
    }
    // A guitar speaker's band, thin at the bottom with the cabinet's bump near 240 Hz, and
    // falling steeply above 4 kHz as real clean electric notes do.
    Biquad::highpass(180.0, 0.707).process(signal);
    Biquad::peak(240.0, 1.0, 4.0).process(signal);
    Biquad::lowpass(3500.0, 0.707).process(signal);
    Biquad::lowpass(4500.0, 0.707).process(signal);
}

// The pick gives a little as it leaves the string: the sharpest attack peaks are rounded
// so that no note's first spike stands more than 15 dB above its first half second, which
// would make it sound quieter than its neighbours in a strum at the same peak level.
void roundAttackPeaks(std::vector<double>& signal)
{
    const int span = std::min(int(signal.size()), kSampleRate / 2);
    double energy = 0;
    for (int n = 0; n < span; ++n) energy += signal[n] * signal[n];
    const double limit = std::sqrt(energy / span) * std::pow(10.0, 15.0 / 20.0);
    const double knee = 0.7 * limit;
    const int attack = std::min(span, kSampleRate / 20);
    for (int n = 0; n < attack; ++n) {
        const double magnitude = std::fabs(signal[n]);
        if (magnitude <= knee) continue;
        const double rounded = knee + (limit - knee) * std::tanh((magnitude - knee) / (limit - knee));
        signal[n] = std::copysign(rounded, signal[n]);
    }
}

// Fades, DC removal and level, ending in exact zeros; returns 16-bit samples.
std::vector<int16_t> finish(std::vector<double>& signal, double fadeSeconds)
{
    const int length = int(signal.size());
    const int soundEnd = length - kTrailingZeros;
    const int fadeStart = soundEnd - int(fadeSeconds * kSampleRate);
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
    const TakeShape* hand = rec.take == Take::palmMuted ? &kPalmMuted
                            : rec.take == Take::dead    ? &kDead
                                                        : nullptr;
    Random random(0x9E3779B97F4A7C15ULL * uint64_t(rec.resourceId));
    const int length = int((hand ? hand->seconds : voicing.seconds) * kSampleRate);
    std::vector<Partial> partials;
    addStringPartials(partials, rec, voicing, hand, random);
    std::vector<double> signal = renderPartials(partials, length);
    const double stringPeak = peakOf(signal);
    partials.clear();
    addSympatheticStrings(partials, rec, voicing, hand, 0.01 * stringPeak);
    if (voicing.bodyLevel > 0) {
        // Against the string's level rather than its attack peak, which the brighter strings
        // raise without driving the body any harder.
        const int halfSecond = kSampleRate / 2;
        double energy = 0;
        for (int n = 0; n < halfSecond; ++n) energy += signal[n] * signal[n];
        addBodyModes(partials,
                     (hand ? hand->bodyShare : 1.0) * voicing.bodyLevel *
                         std::sqrt(energy / halfSecond),
                     recordings::noteFrequency(rec.rootNote));
    }
    const std::vector<double> ring = renderPartials(partials, length);
    for (int n = 0; n < length; ++n) signal[n] += ring[n];
    const int string = stringOf(rec.rootNote);
    if (voicing.pickLevel[string] > 0) {
        addPickScrape(signal, voicing.pickLevel[string], voicing.pickCorner[string], random);
    }
    if (hand && hand->slapLevel > 0) addPickScrape(signal, hand->slapLevel, 8000.0, random);
    if (rec.set == SoundSet::acoustic) {
        acousticBody(signal);
    } else {
        electricChain(signal, hand ? hand->driveSeconds : 0.5);
    }
    roundAttackPeaks(signal);
    return finish(signal, hand ? hand->fadeSeconds : kFadeSeconds);
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
                                  noteName(rec.rootNote) +
                                  (rec.take == Take::palmMuted ? ", palm-muted"
                                   : rec.take == Take::dead    ? ", dead"
                                                               : "");
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
            if (rec.set != set || rec.take != Take::ringing) continue;
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
    for (const Recording& rec : recordings::kRecordings) {
        takes.push_back(rec.take == Take::ringing ? synthesise(rec) : std::vector<int16_t>());
    }
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
